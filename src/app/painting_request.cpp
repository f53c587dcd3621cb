// SPDX-FileCopyrightText: The Quillane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/painting_request.h"

#include <cstring>

namespace {

// A fixed-size text field of the record up to its first NUL, never past its end.
template <size_t N>
std::string FieldText(const char (&field)[N]) {
  return std::string(field, strnlen(field, N));
}

}  // namespace

MosaicOptions MosaicOptionsFromSettings(const Settings& record) {
  MosaicOptions options;
  options.tilesAcross = record.tilesAcross;
  options.tilesDown = record.tilesDown;
  options.autoSizeTilesDown = record.autoSizeTilesDown != 0;
  options.useList = record.useYourPictureList != 0;
  options.useLibrary = record.usePictureLibrary != 0;
  const int32_t count = PictureListCount(record);
  options.pictureList.reserve(static_cast<size_t>(count));
  for (int32_t i = 0; i < count; ++i) {
    options.pictureList.push_back(FieldText(record.pictureList[i].path));
  }
  return options;
}

RenderRequest PaintingRequest(const Settings& record, const std::string& tileIndexFile) {
  RenderRequest request;
  request.effect = static_cast<EffectKind>(record.effect);
  request.startPath = FieldText(record.startPicture);
  request.width = record.outputWidth;
  request.height = record.outputHeight;
  request.mosaic = MosaicOptionsFromSettings(record);
  request.mosaic.indexFile = tileIndexFile;
  return request;
}

// SPDX-FileCopyrightText: The Quillane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "painting/paint_driver.h"

#include <cstring>
#include <ctime>
#include <memory>
#include <string>

#include "app/settings.h"
#include "base/paint_context.h"
#include "base/paths.h"
#include "effects/effect_engine.h"
#include "mosaic/picture_mosaic.h"
#include "painting/owner_windows.h"
#include "painting/random.h"

namespace {

// The start picture must still be there: the user may have moved it since choosing it.
bool StartPictureOpens() {
  const std::string path(settings.startPicture,
                         strnlen(settings.startPicture, sizeof settings.startPicture));
  return !path.empty() && FileOpensForReading(path.c_str());
}

// A painting in the window in front, drawing from the program's generator.
PaintContext ProgramContext(FrontWindow* display) {
  PaintContext paint;
  paint.display = display;
  paint.status = mainWindowHandle;
  paint.owner = messageOwner;
  paint.random = ProgramRandom();
  return paint;
}

// Later paintings go on with the sequence where this one left it.
int Finish(const PaintContext& paint, int result) {
  ProgramRandom() = paint.random;
  return result;
}

}  // namespace

std::string programTileIndexFile;

MosaicOptions MosaicOptionsFromSettings() {
  MosaicOptions options;
  options.tilesAcross = settings.tilesAcross;
  options.tilesDown = settings.tilesDown;
  options.autoSizeTilesDown = settings.autoSizeTilesDown != 0;
  options.useList = settings.useYourPictureList != 0;
  options.useLibrary = settings.usePictureLibrary != 0;
  const int32_t count = PictureListCount();
  for (int32_t i = 0; i < count; ++i) {
    const char* entry = settings.pictureList[i].path;
    options.pictureList.emplace_back(entry, strnlen(entry, kPictureListEntrySize));
  }
  return options;
}

int PaintDriver(FrontWindow* frame, FrontWindow* dc, DibHandle* dibRef, BitmapInfoHeader* header,
                uint8_t* pixels) {
  if (!StartPictureOpens()) {
    ShowWarning("No 'Start Picture' specified.");
    return kPaintRefused;
  }
  // No picture to paint (one that did not decode): a failure, never a stop.
  if (header == nullptr) return kPaintFailed;
  if (pixels == nullptr) return kPaintFailed;

  // One seeding per run of the program: later paintings continue the same sequence.
  if (randomSeeded == 0) {
    SeedRandom(static_cast<uint32_t>(std::time(nullptr)));
    randomSeeded = 1;
  }
  if (FindEffect(settings.effect) == nullptr) return kPaintFinished;  // nothing to paint

  // The window's picture, already at the output size, is the start picture.
  auto start = std::make_shared<DibHandle>(std::move(*dibRef));
  RenderRequest request;
  request.effect = static_cast<EffectKind>(settings.effect);
  request.startPicture = start;
  request.mosaic = MosaicOptionsFromSettings();
  request.mosaic.indexFile = programTileIndexFile;
  PaintContext paint = ProgramContext(dc);
  RenderResult result = Render(request, paint, frame);
  ProgramRandom() = paint.random;
  // A refused painting leaves the start picture in the window.
  *dibRef = result.picture ? std::move(result.picture) : std::move(*start);
  return result.code;
}

int PaintPicture(FrontWindow* destDC, DibHandle* dibHandle, const BitmapInfoHeader*, const uint8_t*,
                 int left, int top, int right, int bottom, int style) {
  PaintContext paint = ProgramContext(destDC);
  return Finish(paint, PaintPicture(paint, dibHandle, Rect{left, top, right, bottom}, style));
}

int RunPictureMosaic(FrontWindow* destDC, DibHandle* dibRef, BitmapInfoHeader**, uint8_t**,
                     int left, int top, int right, int bottom, float tilesAcross, float tilesDown,
                     int, int autoSizeTilesDown) {
  MosaicOptions options = MosaicOptionsFromSettings();
  options.tilesAcross = static_cast<int32_t>(tilesAcross);
  options.tilesDown = static_cast<int32_t>(tilesDown);
  options.autoSizeTilesDown = autoSizeTilesDown != 0;
  PaintContext paint = ProgramContext(destDC);
  return Finish(paint, RunPictureMosaic(paint, dibRef, Rect{left, top, right, bottom}, options));
}

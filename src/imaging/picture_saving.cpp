// SPDX-FileCopyrightText: The Quillane developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Writing pictures to files. The picture is encoded in memory and then replaces the file as a
// whole (file_replacing.h), so that a failed write never leaves a broken picture.

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <string>

#include "imaging/file_replacing.h"
#include "imaging/imaging.h"
#include "imaging/magick_images.h"

namespace {

// ImageMagick's name of the format; empty when none is offered.
std::string MagickFormat(SaveFormat format) {
  switch (format) {
    case SaveFormat::kPng:
      return "PNG24";
    case SaveFormat::kJpeg:
      return "JPEG";
    case SaveFormat::kBmp:
      return "BMP3";
    case SaveFormat::kTiff:
      return "TIFF";
    case SaveFormat::kNone:
      break;
  }
  return std::string();
}

}  // namespace

SaveFormat SaveFormatForName(const std::string& path) {
  std::string extension = std::filesystem::path(path).extension().string();
  std::transform(extension.begin(), extension.end(), extension.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  if (extension == ".png") return SaveFormat::kPng;
  if (extension == ".jpg" || extension == ".jpeg") return SaveFormat::kJpeg;
  if (extension == ".bmp") return SaveFormat::kBmp;
  if (extension == ".tif" || extension == ".tiff") return SaveFormat::kTiff;
  return SaveFormat::kNone;
}

int ImgSaveFile(const char* path, const ImgBitmap& bitmap) {
  if (path == nullptr || *path == '\0' || !bitmap.hasImage || !bitmap.dib) return 0;
  const std::string target(path);
  const std::string format = MagickFormat(SaveFormatForName(target));
  if (format.empty()) return 0;
  try {
    imaging_internal::EnsureMagickReady();
    Magick::Image image = imaging_internal::ImageFromBitmap(bitmap);
    image.magick(format);
    image.type(Magick::TrueColorType);
    if (format == "JPEG") image.quality(92);
    if (format == "TIFF") image.compressType(Magick::LZWCompression);
    Magick::Blob blob;
    image.write(&blob);
    if (blob.length() == 0) return 0;
    return ReplaceFileWith(target, static_cast<const uint8_t*>(blob.data()), blob.length()) ? 1 : 0;
  } catch (const std::exception&) {
    return 0;
  }
}

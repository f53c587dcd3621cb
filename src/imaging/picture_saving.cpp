// SPDX-FileCopyrightText: The Quillane developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Writing pictures to files. The picture goes to a temporary file beside the target first and
// is renamed over it only when complete, so that a failed write never leaves a broken picture.

#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <string>

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
  std::string temporary = target + ".partial-" + std::to_string(::getpid());
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

    std::FILE* file = std::fopen(temporary.c_str(), "wb");
    if (file == nullptr) return 0;
    const bool written = std::fwrite(blob.data(), 1, blob.length(), file) == blob.length();
    const bool flushed = std::fflush(file) == 0 && ::fsync(fileno(file)) == 0;
    const bool closed = std::fclose(file) == 0;
    if (!written || !flushed || !closed || std::rename(temporary.c_str(), target.c_str()) != 0) {
      std::remove(temporary.c_str());
      return 0;
    }
    return 1;
  } catch (const std::exception&) {
    std::remove(temporary.c_str());
    return 0;
  }
}

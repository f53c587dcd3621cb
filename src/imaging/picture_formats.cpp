// SPDX-FileCopyrightText: The Quillane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "imaging/picture_formats.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <vector>

const PictureFormat kPictureFormats[17] = {
    {"PNG",
     {".png"},
     1,
     SaveFormat::kPng,
     "Portable Network Graphics Image (*.png)",
     "PNG Image",
     "png"},
    {"JPEG",
     {".jpg", ".jpeg", ".jpe"},
     2,
     SaveFormat::kJpeg,
     "JPEG Image (*.jpg)",
     "JPEG Image",
     "jpg"},
    {"BMP", {".bmp"}, 1, SaveFormat::kBmp, "Windows BMP Image (*.bmp)", "Windows BMP Image", "bmp"},
    {"TIFF",
     {".tif", ".tiff"},
     2,
     SaveFormat::kTiff,
     "TIFF Image (No LZW Decomp) (*.tif)",
     "TIFF Image",
     "tif"},
    {"Photoshop", {".psd"}, 0, SaveFormat::kNone, "Adobe Photoshop 3.0 Image (*.psd)"},
    {"PhotoCD", {".pcd"}, 0, SaveFormat::kNone, "Kodak PhotoCD Image (*.pcd)"},
    {"MacPaint", {".mac"}, 0, SaveFormat::kNone, "MacPaint Image (*.mac)"},
    {"PICT", {".pct", ".pict"}, 0, SaveFormat::kNone, "MacPict Image (*.pct)"},
    {"MSP", {".msp"}, 0, SaveFormat::kNone, "Microsoft Paint Image (*.msp)"},
    {"Sun Raster", {".ras"}, 0, SaveFormat::kNone, "Sun Raster Image (*.ras)"},
    {"Targa", {".tga"}, 0, SaveFormat::kNone, "Targa Image (*.tga)"},
    {"WMF", {".wmf"}, 0, SaveFormat::kNone, "Windows Metafile Image (*.wmf)"},
    {"PCX", {".pcx"}, 0, SaveFormat::kNone, "ZSoft PCX Image (*.pcx)"},
    {"GIF", {".gif"}, 0, SaveFormat::kNone},
    {"WebP", {".webp"}, 0, SaveFormat::kNone},
    {"JPEG 2000", {".jp2", ".j2k", ".jpf"}, 0, SaveFormat::kNone},
    {"PNM", {".pnm", ".ppm", ".pgm", ".pbm"}, 0, SaveFormat::kNone},
};

namespace {

std::string Lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

// "a, b or c".
std::string ListText(const std::vector<std::string>& items) {
  std::string text;
  for (size_t i = 0; i < items.size(); ++i) {
    if (i > 0) text += i + 1 == items.size() ? " or " : ", ";
    text += items[i];
  }
  return text;
}

int EndingIndex(const PictureFormat& format, const std::string& ending) {
  for (size_t i = 0; i < format.endings.size() && format.endings[i] != nullptr; ++i) {
    if (ending == format.endings[i]) return static_cast<int>(i);
  }
  return -1;
}

}  // namespace

const PictureFormat* FormatForName(const std::string& path) {
  const std::string ending = Lower(std::filesystem::path(path).extension().string());
  if (ending.empty()) return nullptr;
  for (const PictureFormat& format : kPictureFormats) {
    if (EndingIndex(format, ending) >= 0) return &format;
  }
  return nullptr;
}

SaveFormat SaveFormatForName(const std::string& path) {
  const PictureFormat* format = FormatForName(path);
  if (format == nullptr) return SaveFormat::kNone;
  const std::string ending = Lower(std::filesystem::path(path).extension().string());
  return EndingIndex(*format, ending) < format->writtenEndings ? format->writer : SaveFormat::kNone;
}

const PictureFormat* FormatForCliName(const std::string& name) {
  for (const PictureFormat& format : kPictureFormats) {
    if (format.cliName != nullptr && name == format.cliName) return &format;
  }
  return nullptr;
}

std::string FormatPatterns(const PictureFormat& format, char separator) {
  std::string patterns;
  for (const char* ending : format.endings) {
    if (ending == nullptr) break;
    std::string upper = ending;
    std::transform(upper.begin(), upper.end(), upper.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    for (const std::string& one : {std::string(ending), upper}) {
      if (!patterns.empty()) patterns += separator;
      patterns += "*" + one;
    }
  }
  return patterns;
}

std::string WrittenEndingsText() {
  std::vector<std::string> endings;
  for (const PictureFormat& format : kPictureFormats) {
    for (int i = 0; i < format.writtenEndings; ++i) endings.emplace_back(format.endings[i]);
  }
  return ListText(endings);
}

std::string CliFormatNamesText() {
  std::vector<std::string> names;
  for (const PictureFormat& format : kPictureFormats) {
    if (format.cliName != nullptr) names.emplace_back(format.cliName);
  }
  return ListText(names);
}

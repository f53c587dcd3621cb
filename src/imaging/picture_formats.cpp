// SPDX-FileCopyrightText: The Quillane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "imaging/picture_formats.h"

#include "base/language.h"

#include "imaging/msp_reader.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <filesystem>
#include <vector>

namespace {

bool Has(const uint8_t* data, size_t size, size_t at, const char* bytes, size_t count) {
  return size >= at + count && std::memcmp(data + at, bytes, count) == 0;
}

bool IsPng(const uint8_t* d, size_t n) {
  return Has(d, n, 0, "\x89PNG\r\n\x1A\n", 8);
}
bool IsJpeg(const uint8_t* d, size_t n) {
  return Has(d, n, 0, "\xFF\xD8\xFF", 3);
}
bool IsBmp(const uint8_t* d, size_t n) {
  return Has(d, n, 0, "BM", 2) && n >= 26;
}
// Classic TIFF and BigTIFF.
bool IsTiff(const uint8_t* d, size_t n) {
  return Has(d, n, 0, "II*\0", 4) || Has(d, n, 0, "MM\0*", 4) || Has(d, n, 0, "II+\0", 4) ||
         Has(d, n, 0, "MM\0+", 4);
}
bool IsPsd(const uint8_t* d, size_t n) {
  return Has(d, n, 0, "8BPS", 4);
}
bool IsSunRaster(const uint8_t* d, size_t n) {
  return Has(d, n, 0, "\x59\xA6\x6A\x95", 4);
}
bool IsWebp(const uint8_t* d, size_t n) {
  return Has(d, n, 0, "RIFF", 4) && Has(d, n, 8, "WEBP", 4);
}
// Placeable and plain metafiles, on disk and in memory.
bool IsWmf(const uint8_t* d, size_t n) {
  return Has(d, n, 0, "\xD7\xCD\xC6\x9A", 4) || Has(d, n, 0, "\x01\x00\x09\x00\x00\x03", 6) ||
         Has(d, n, 0, "\x02\x00\x09\x00\x00\x03", 6);
}
bool IsPcx(const uint8_t* d, size_t n) {
  return n >= 128 && d[0] == 0x0A && (d[1] == 0 || (d[1] >= 2 && d[1] <= 5)) && d[2] <= 1;
}
bool IsGif(const uint8_t* d, size_t n) {
  return Has(d, n, 0, "GIF87a", 6) || Has(d, n, 0, "GIF89a", 6);
}
bool IsJpeg2000(const uint8_t* d, size_t n) {
  return Has(d, n, 0, "\0\0\0\x0CjP  ", 8);
}
bool IsPnm(const uint8_t* d, size_t n) {
  return n >= 3 && d[0] == 'P' && d[1] >= '1' && d[1] <= '6' && std::isspace(d[2]);
}
// The identification sector of an image pack; its ending names it too.
bool IsPhotoCd(const uint8_t* d, size_t n) {
  return Has(d, n, 2048, "PCD_IPI", 7);
}
bool IsMsp(const uint8_t* d, size_t n) {
  return imaging_internal::LooksLikeMsp(d, n);
}

}  // namespace

// Signatures are tried in this order; Photo CD's sits 2 KB into the file, so the others come
// first.
const PictureFormat kPictureFormats[17] = {
    {"PNG",
     {".png"},
     IsPng,
     false,
     "PNG",
     FormatDecoder::kPng,
     1,
     SaveFormat::kPng,
     TrNoop("Portable Network Graphics Image (*.png)"),
     TrNoop("PNG Image"),
     "png"},
    {"JPEG",
     {".jpg", ".jpeg", ".jpe"},
     IsJpeg,
     false,
     "JPEG",
     FormatDecoder::kJpeg,
     2,
     SaveFormat::kJpeg,
     TrNoop("JPEG Image (*.jpg)"),
     TrNoop("JPEG Image"),
     "jpg"},
    {"BMP",
     {".bmp"},
     IsBmp,
     false,
     "BMP",
     FormatDecoder::kImageMagick,
     1,
     SaveFormat::kBmp,
     TrNoop("Windows BMP Image (*.bmp)"),
     TrNoop("Windows BMP Image"),
     "bmp"},
    {"TIFF",
     {".tif", ".tiff"},
     IsTiff,
     false,
     "TIFF",
     FormatDecoder::kTiff,
     2,
     SaveFormat::kTiff,
     TrNoop("TIFF Image (No LZW Decomp) (*.tif)"),
     TrNoop("TIFF Image"),
     "tif"},
    {"MSP",
     {".msp"},
     IsMsp,
     false,
     "MSP",
     FormatDecoder::kMsp,
     0,
     SaveFormat::kNone,
     TrNoop("Microsoft Paint Image (*.msp)")},
    {"Photoshop",
     {".psd"},
     IsPsd,
     false,
     "PSD",
     FormatDecoder::kImageMagick,
     0,
     SaveFormat::kNone,
     TrNoop("Adobe Photoshop 3.0 Image (*.psd)")},
    {"Sun Raster",
     {".ras"},
     IsSunRaster,
     false,
     "SUN",
     FormatDecoder::kImageMagick,
     0,
     SaveFormat::kNone,
     TrNoop("Sun Raster Image (*.ras)")},
    {"WMF",
     {".wmf"},
     IsWmf,
     false,
     "WMF",
     FormatDecoder::kImageMagick,
     0,
     SaveFormat::kNone,
     TrNoop("Windows Metafile Image (*.wmf)")},
    {"PCX",
     {".pcx"},
     IsPcx,
     false,
     "PCX",
     FormatDecoder::kImageMagick,
     0,
     SaveFormat::kNone,
     TrNoop("ZSoft PCX Image (*.pcx)")},
    {"GIF", {".gif"}, IsGif, false, "GIF", FormatDecoder::kImageMagick, 0, SaveFormat::kNone},
    {"WebP", {".webp"}, IsWebp, false, "WEBP", FormatDecoder::kImageMagick, 0, SaveFormat::kNone},
    {"JPEG 2000",
     {".jp2", ".j2k", ".jpf"},
     IsJpeg2000,
     false,
     "JP2",
     FormatDecoder::kImageMagick,
     0,
     SaveFormat::kNone},
    {"PNM",
     {".pnm", ".ppm", ".pgm", ".pbm"},
     IsPnm,
     false,
     "PNM",
     FormatDecoder::kImageMagick,
     0,
     SaveFormat::kNone},
    {"PhotoCD",
     {".pcd"},
     IsPhotoCd,
     true,
     "PCD",
     FormatDecoder::kImageMagick,
     0,
     SaveFormat::kNone,
     TrNoop("Kodak PhotoCD Image (*.pcd)")},
    {"MacPaint",
     {".mac", ".pntg"},
     nullptr,
     true,
     "MAC",
     FormatDecoder::kImageMagick,
     0,
     SaveFormat::kNone,
     TrNoop("MacPaint Image (*.mac)")},
    {"PICT",
     {".pct", ".pict"},
     nullptr,
     true,
     "PICT",
     FormatDecoder::kImageMagick,
     0,
     SaveFormat::kNone,
     TrNoop("MacPict Image (*.pct)")},
    {"Targa",
     {".tga", ".vda", ".icb", ".vst"},
     nullptr,
     true,
     "TGA",
     FormatDecoder::kImageMagick,
     0,
     SaveFormat::kNone,
     TrNoop("Targa Image (*.tga)")},
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

const PictureFormat* FormatOfFile(const uint8_t* data, size_t size, const std::string& path) {
  for (const PictureFormat& format : kPictureFormats) {
    if (format.signature != nullptr && format.signature(data, size)) return &format;
  }
  const std::string ending = Lower(std::filesystem::path(path).extension().string());
  for (const PictureFormat& format : kPictureFormats) {
    if (format.knownByEnding && EndingIndex(format, ending) >= 0) return &format;
  }
  return nullptr;
}

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

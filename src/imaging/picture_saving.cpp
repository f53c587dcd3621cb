// SPDX-FileCopyrightText: The Quillane developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Writing pictures to files. The picture replaces the file only when complete
// (file_replacing.h), so that a failed write never leaves a broken picture.
//
// The encoders read the rows straight from the 24-bit bitmap, one at a time: a poster-size
// picture is written without a second full-size copy of it in memory.

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include <tiffio.h>

#include "imaging/file_replacing.h"
#include "imaging/imaging.h"
#include "imaging/jpeg_codec.h"
#include "imaging/png_codec.h"

namespace {

void PutLittleEndian(uint8_t* at, uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) at[i] = static_cast<uint8_t>(value >> (8 * i));
}

// A bitmap file is the packed bitmap behind a 14-byte file header.
bool WriteBmp(std::FILE* file, const ImgBitmap& bitmap) {
  const uint64_t image =
      static_cast<uint64_t>(DibRowBytes(bitmap.width, 24)) * static_cast<uint64_t>(bitmap.height);
  const uint64_t total = 14 + kDibHeaderSize + image;
  if (total > UINT32_MAX) return false;
  uint8_t fileHeader[14] = {'B', 'M'};
  PutLittleEndian(fileHeader + 2, static_cast<uint32_t>(total), 4);
  PutLittleEndian(fileHeader + 10, 14 + kDibHeaderSize, 4);
  BitmapInfoHeader header{};
  header.biSize = kDibHeaderSize;
  header.biWidth = bitmap.width;
  header.biHeight = bitmap.height;
  header.biPlanes = 1;
  header.biBitCount = 24;
  header.biCompression = kBiRgb;
  header.biSizeImage = static_cast<uint32_t>(image);
  return std::fwrite(fileHeader, 1, sizeof fileHeader, file) == sizeof fileHeader &&
         std::fwrite(&header, 1, sizeof header, file) == sizeof header &&
         std::fwrite(bitmap.dib.Pixels(), 1, image, file) == image;
}

int IgnoreTiffMessage(TIFF*, void*, const char*, const char*, va_list) {
  return 1;
}

// LZW-compressed RGB, one strip of rows at a time.
bool WriteTiff(const std::string& path, const ImgBitmap& bitmap) {
  TIFFOpenOptions* options = TIFFOpenOptionsAlloc();
  if (options == nullptr) return false;
  TIFFOpenOptionsSetErrorHandlerExtR(options, IgnoreTiffMessage, nullptr);
  TIFFOpenOptionsSetWarningHandlerExtR(options, IgnoreTiffMessage, nullptr);
  TIFF* tiff = TIFFOpenExt(path.c_str(), "w", options);
  TIFFOpenOptionsFree(options);
  if (tiff == nullptr) return false;
  const uint32_t width = static_cast<uint32_t>(bitmap.width);
  bool ok = TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, width) == 1 &&
            TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, static_cast<uint32_t>(bitmap.height)) == 1 &&
            TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, 8) == 1 &&
            TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, 3) == 1 &&
            TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB) == 1 &&
            TIFFSetField(tiff, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG) == 1 &&
            TIFFSetField(tiff, TIFFTAG_ORIENTATION, ORIENTATION_TOPLEFT) == 1 &&
            TIFFSetField(tiff, TIFFTAG_COMPRESSION, COMPRESSION_LZW) == 1 &&
            TIFFSetField(tiff, TIFFTAG_ROWSPERSTRIP, TIFFDefaultStripSize(tiff, 0)) == 1;
  std::vector<uint8_t> row(static_cast<size_t>(width) * 3);
  for (int32_t y = 0; ok && y < bitmap.height; ++y) {
    const uint8_t* in = bitmap.Row(y);
    for (size_t x = 0; x < width; ++x) {
      row[3 * x] = in[3 * x + 2];
      row[3 * x + 1] = in[3 * x + 1];
      row[3 * x + 2] = in[3 * x];
    }
    ok = TIFFWriteScanline(tiff, row.data(), static_cast<uint32_t>(y), 0) == 1;
  }
  ok = ok && TIFFFlush(tiff) == 1 && ::fsync(TIFFFileno(tiff)) == 0;
  TIFFClose(tiff);
  return ok;
}

bool WriteWithStdio(const std::string& path, SaveFormat format, const ImgBitmap& bitmap) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return false;
  bool written = false;
  if (format == SaveFormat::kJpeg) written = imaging_internal::WriteJpeg(file, bitmap);
  if (format == SaveFormat::kPng) written = imaging_internal::WritePng(file, bitmap);
  if (format == SaveFormat::kBmp) written = WriteBmp(file, bitmap);
  const bool flushed = written && std::fflush(file) == 0 && ::fsync(fileno(file)) == 0;
  const bool closed = std::fclose(file) == 0;
  return written && flushed && closed;
}

}  // namespace

int ImgSaveFile(const char* path, const ImgBitmap& bitmap, std::string* problem) {
  if (path == nullptr || *path == '\0' || !bitmap.hasImage || !bitmap.dib) return 0;
  if (bitmap.width <= 0 || bitmap.height <= 0) return 0;
  const std::string target(path);
  const SaveFormat format = SaveFormatForName(target);
  if (format == SaveFormat::kNone) return 0;
  const bool written = ReplaceFileByWriting(
      target,
      [&](const char* partial) {
        return format == SaveFormat::kTiff ? WriteTiff(partial, bitmap)
                                           : WriteWithStdio(partial, format, bitmap);
      },
      problem);
  return written ? 1 : 0;
}

// SPDX-FileCopyrightText: The Quillane developers
// SPDX-License-Identifier: GPL-3.0-or-later

// ImageMagick reads 8-bit samples into 16 bits (times 257) and the program takes them back to 8
// bits, so for the kinds of file decoded here its pixels are libtiff's samples as they are.
// What can make them differ is left to it: other sample layouts, and the orientation, which it
// takes from the orientation field or from an Exif block.

#include "imaging/tiff_codec.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include <tiffio.h>

namespace imaging_internal {

namespace {

// The largest block libtiff may allocate at once (a strip's compressed data, say).
constexpr tmsize_t kMaxTiffAllocation = 256 * 1024 * 1024;

struct TiffSource {
  const uint8_t* data = nullptr;
  uint64_t size = 0;
  uint64_t at = 0;
  bool failed = false;  // libtiff reported an error
};

TiffSource& Source(thandle_t handle) {
  return *static_cast<TiffSource*>(handle);
}

tmsize_t ReadFromMemory(thandle_t handle, void* out, tmsize_t count) {
  TiffSource& s = Source(handle);
  if (count <= 0 || s.at >= s.size) return 0;
  const uint64_t n = std::min<uint64_t>(static_cast<uint64_t>(count), s.size - s.at);
  std::memcpy(out, s.data + s.at, n);
  s.at += n;
  return static_cast<tmsize_t>(n);
}

tmsize_t RefuseWriting(thandle_t, void*, tmsize_t) {
  return -1;
}

toff_t SeekInMemory(thandle_t handle, toff_t offset, int whence) {
  TiffSource& s = Source(handle);
  const uint64_t base = whence == SEEK_CUR ? s.at : whence == SEEK_END ? s.size : 0;
  if (offset > UINT64_MAX - base) return static_cast<toff_t>(-1);
  s.at = base + offset;
  return s.at;
}

int CloseNothing(thandle_t) {
  return 0;
}

toff_t SizeOfMemory(thandle_t handle) {
  return Source(handle).size;
}

int MapNothing(thandle_t, void**, toff_t*) {
  return 0;
}

void UnmapNothing(thandle_t, void*, toff_t) {}

int NoteError(TIFF*, void* source, const char*, const char*, va_list) {
  static_cast<TiffSource*>(source)->failed = true;
  return 1;
}

// Warnings concern fields libtiff has set aside, or nothing the pixels depend on.
int IgnoreWarning(TIFF*, void*, const char*, const char*, va_list) {
  return 1;
}

struct CloseTiff {
  void operator()(TIFF* tiff) const { TIFFClose(tiff); }
};

// True for the first picture of the kind decoded here.
bool DecodedHere(TIFF* tiff) {
  uint16_t bits = 0, samples = 0, photometric = 0, planar = 0, format = 0, orientation = 0,
           compression = 0, extraCount = 0;
  uint16_t* extra = nullptr;
  void* block = nullptr;
  uint32_t blockSize = 0;
  uint64_t exifDirectory = 0;
  if (TIFFIsTiled(tiff) || TIFFGetField(tiff, TIFFTAG_PHOTOMETRIC, &photometric) != 1 ||
      TIFFGetFieldDefaulted(tiff, TIFFTAG_BITSPERSAMPLE, &bits) != 1 ||
      TIFFGetFieldDefaulted(tiff, TIFFTAG_SAMPLESPERPIXEL, &samples) != 1 ||
      TIFFGetFieldDefaulted(tiff, TIFFTAG_PLANARCONFIG, &planar) != 1 ||
      TIFFGetFieldDefaulted(tiff, TIFFTAG_SAMPLEFORMAT, &format) != 1 ||
      TIFFGetFieldDefaulted(tiff, TIFFTAG_ORIENTATION, &orientation) != 1 ||
      TIFFGetFieldDefaulted(tiff, TIFFTAG_COMPRESSION, &compression) != 1 ||
      TIFFGetFieldDefaulted(tiff, TIFFTAG_EXTRASAMPLES, &extraCount, &extra) != 1) {
    return false;
  }
  const bool layout = (photometric == PHOTOMETRIC_RGB && samples == 3) ||
                      (photometric == PHOTOMETRIC_MINISBLACK && samples == 1);
  return layout && bits == 8 && format == SAMPLEFORMAT_UINT && planar == PLANARCONFIG_CONTIG &&
         extraCount == 0 && orientation == ORIENTATION_TOPLEFT &&
         TIFFIsCODECConfigured(compression) != 0 &&
         TIFFGetField(tiff, TIFFTAG_EXIFIFD, &exifDirectory) != 1 &&
         TIFFGetField(tiff, TIFFTAG_PHOTOSHOP, &blockSize, &block) != 1;
}

}  // namespace

DirectDecode DecodeTiff(const uint8_t* data, size_t size, ImgBitmap* bitmap) {
  TiffSource source;
  source.data = data;
  source.size = size;
  TIFFOpenOptions* options = TIFFOpenOptionsAlloc();
  if (options == nullptr) return DirectDecode::kNotHandled;
  TIFFOpenOptionsSetErrorHandlerExtR(options, NoteError, &source);
  TIFFOpenOptionsSetWarningHandlerExtR(options, IgnoreWarning, nullptr);
  TIFFOpenOptionsSetMaxSingleMemAlloc(options, kMaxTiffAllocation);
  // "m": read through the functions above, never from a mapping of the data.
  const std::unique_ptr<TIFF, CloseTiff> tiff(
      TIFFClientOpenExt("picture", "rm", &source, ReadFromMemory, RefuseWriting, SeekInMemory,
                        CloseNothing, SizeOfMemory, MapNothing, UnmapNothing, options));
  TIFFOpenOptionsFree(options);
  uint32_t width = 0, height = 0;
  if (!tiff || source.failed || TIFFGetField(tiff.get(), TIFFTAG_IMAGEWIDTH, &width) != 1 ||
      TIFFGetField(tiff.get(), TIFFTAG_IMAGELENGTH, &height) != 1 || width == 0 || height == 0) {
    return DirectDecode::kNotHandled;
  }
  if (!WithinProgramLimits(width, height)) return DirectDecode::kTooLarge;
  if (!DecodedHere(tiff.get())) return DirectDecode::kNotHandled;

  uint16_t samples = 1;
  TIFFGetFieldDefaulted(tiff.get(), TIFFTAG_SAMPLESPERPIXEL, &samples);
  if (TIFFScanlineSize64(tiff.get()) != static_cast<uint64_t>(width) * samples) {
    return DirectDecode::kNotHandled;
  }
  ImgBitmap picture;
  if (ImgCreate(&picture, 1, static_cast<int32_t>(width), static_cast<int32_t>(height), 24) != 1) {
    return DirectDecode::kNotHandled;
  }
  std::vector<uint8_t> row(static_cast<size_t>(width) * samples);
  for (uint32_t y = 0; y < height; ++y) {
    if (TIFFReadScanline(tiff.get(), row.data(), y, 0) != 1 || source.failed) {
      return DirectDecode::kNotHandled;
    }
    uint8_t* out = picture.Row(static_cast<int32_t>(y));
    const uint8_t* in = row.data();
    for (uint32_t x = 0; x < width; ++x, in += samples, out += 3) {
      out[0] = in[samples - 1];
      out[1] = in[samples / 2];
      out[2] = in[0];
    }
  }
  *bitmap = std::move(picture);
  return DirectDecode::kDecoded;
}

}  // namespace imaging_internal

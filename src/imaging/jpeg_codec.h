// SPDX-FileCopyrightText: The Quillane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

// Reading and writing JPEG files straight from and to the program's 24-bit bitmaps, row by
// row, without ImageMagick's 8-bytes-per-pixel image in between. Internal to the imaging
// library.

#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "imaging/direct_decoding.h"
#include "imaging/imaging.h"

namespace imaging_internal {

// Decodes the JPEG file in data at 1 / denominator of its size (1, 2, 4 or 8) the way
// ImageMagick's reader does, so that the pixels are the same. Pictures of YCbCr, RGB or grey
// samples that need no turning are decoded here; for anything else (CMYK, turned, ...) and for
// any data the decoder warns about, the bitmap is left alone and the result is kNotHandled: the
// caller reads the file with ImageMagick.
DirectDecode DecodeJpeg(const uint8_t* data, size_t size, int denominator, ImgBitmap* bitmap);

// The picture size a JPEG header declares. kDecoded with the size, kTooLarge for a size past
// what JPEG files can hold (still in *width and *height), kNotHandled for a header libjpeg
// cannot read.
DirectDecode ReadJpegSize(const uint8_t* data, size_t size, size_t* width, size_t* height);

// Writes the bitmap to the file as a JPEG of quality 92. False when libjpeg fails.
bool WriteJpeg(std::FILE* file, const ImgBitmap& bitmap);

}  // namespace imaging_internal

// SPDX-FileCopyrightText: The Quillane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

// Reading and writing PNG files straight from and to the program's 24-bit bitmaps, row by row,
// without ImageMagick's 8-bytes-per-pixel image in between. Internal to the imaging library.

#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "imaging/direct_decoding.h"
#include "imaging/imaging.h"

namespace imaging_internal {

// Decodes the PNG file in data to the pixels ImageMagick's reader gives after the program has
// laid transparent parts onto white: every colour type and bit depth, transparency chunks and
// interlacing. Files whose picture ImageMagick would turn or convert (orientation in a text
// chunk, grey samples declared as linear light), palette indexes past the palette's end and
// any data libpng reports an error for give kNotHandled and leave the bitmap alone; the caller
// reads those with ImageMagick. A header claiming more than the program's limits gives
// kTooLarge before anything is allocated.
DirectDecode DecodePng(const uint8_t* data, size_t size, ImgBitmap* bitmap);

// Writes the bitmap to the file as an 8-bit RGB PNG. False when libpng fails.
bool WritePng(std::FILE* file, const ImgBitmap& bitmap);

}  // namespace imaging_internal

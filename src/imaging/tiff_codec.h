// SPDX-FileCopyrightText: The Quillane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

// Reading TIFF files straight into the program's 24-bit bitmaps, row by row, without
// ImageMagick's 8-bytes-per-pixel image in between. Internal to the imaging library.

#include <cstddef>
#include <cstdint>

#include "imaging/direct_decoding.h"
#include "imaging/imaging.h"

namespace imaging_internal {

// Decodes the first picture of the TIFF file in data to the pixels ImageMagick's reader gives,
// when it is one of the common kind: 8-bit RGB or grey (black at zero) samples without extra
// channels, stored pixel after pixel in strips, top row first, in any compression libtiff
// reads. Anything else (tiles, 16 bits, alpha, palettes, CMYK, turned pictures, Exif or
// Photoshop blocks that may turn them) and any data libtiff reports an error for give
// kNotHandled and leave the bitmap alone; the caller reads those with ImageMagick. A picture
// larger than the program's limits gives kTooLarge before its bitmap is allocated.
DirectDecode DecodeTiff(const uint8_t* data, size_t size, ImgBitmap* bitmap);

}  // namespace imaging_internal

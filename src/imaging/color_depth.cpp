// SPDX-FileCopyrightText: The Quillane developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Colour depth changes. Pictures are always stored at 24 bits; a lower depth only limits the
// colours the pixels take.

#include <algorithm>
#include <vector>

#include "imaging/imaging.h"

namespace {

// Two-level picture by Floyd-Steinberg error diffusion on the luminance, so that the grey
// levels of the picture survive as the density of black dots. Integer arithmetic keeps the
// result the same on every machine.
void DiffuseToBlackAndWhite(ImgBitmap* bitmap) {
  const int32_t width = bitmap->width;
  // Errors in sixteenths for the current and the next row, with one spare entry on each side.
  std::vector<int32_t> current(static_cast<size_t>(width) + 2, 0);
  std::vector<int32_t> next(static_cast<size_t>(width) + 2, 0);
  for (int32_t y = 0; y < bitmap->height; ++y) {
    uint8_t* row = bitmap->Row(y);
    std::fill(next.begin(), next.end(), 0);
    for (int32_t x = 0; x < width; ++x) {
      uint8_t* p = row + static_cast<int64_t>(x) * 3;
      const int32_t luma =
          static_cast<int32_t>((114u * p[0] + 587u * p[1] + 299u * p[2] + 500u) / 1000u);
      const int32_t value = luma + current[x + 1] / 16;
      const int32_t level = value >= 128 ? 255 : 0;
      const int32_t error = value - level;
      current[x + 2] += error * 7;
      next[x] += error * 3;
      next[x + 1] += error * 5;
      next[x + 2] += error * 1;
      p[0] = p[1] = p[2] = static_cast<uint8_t>(level);
    }
    current.swap(next);
  }
}

}  // namespace

int ImgSetColorDepth(ImgBitmap* destination, ImgBitmap* source, int bitsPerPixel, int option, int,
                     int, int, int, int) {
  if (destination == nullptr || source == nullptr || !source->hasImage || !source->dib) return 0;
  if (bitsPerPixel != 24 && bitsPerPixel != 1) return 0;
  if (destination != source && !ImgCopy(destination, source)) return 0;
  if (bitsPerPixel == 1) DiffuseToBlackAndWhite(destination);
  return 1;
}

// SPDX-FileCopyrightText: The Quillane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

// Small helpers for the imaging tests: bitmaps made and read pixel by pixel.

#include <functional>

#include "imaging/imaging.h"
#include "support/media_makers.h"

inline TestColour PixelAt(const ImgBitmap& bitmap, int x, int y) {
  const uint8_t* p = bitmap.Row(y) + x * 3;
  return {p[2], p[1], p[0]};
}

inline void SetPixelAt(ImgBitmap& bitmap, int x, int y, TestColour c) {
  uint8_t* p = bitmap.Row(y) + x * 3;
  p[0] = c.blue;
  p[1] = c.green;
  p[2] = c.red;
}

// A bitmap of width x height whose pixel (x, y) is colour(x, y).
inline ImgBitmap MakePattern(int width, int height,
                             const std::function<TestColour(int, int)>& colour) {
  ImgBitmap bitmap;
  ImgFromDib(&bitmap, DibHandle::Create24(width, height));
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) SetPixelAt(bitmap, x, y, colour(x, y));
  }
  return bitmap;
}

inline ImgBitmap MakeFilled(int width, int height, TestColour colour) {
  return MakePattern(width, height, [&](int, int) { return colour; });
}

// A picture with smooth gradients and some detail, like a photograph in miniature.
inline ImgBitmap MakeGradient(int width, int height) {
  return MakePattern(width, height, [&](int x, int y) {
    return TestColour{static_cast<uint8_t>(x * 255 / (width > 1 ? width - 1 : 1)),
                      static_cast<uint8_t>(y * 255 / (height > 1 ? height - 1 : 1)),
                      static_cast<uint8_t>(((x / 4 + y / 4) % 2) * 200 + 20)};
  });
}

inline bool SamePixels(const ImgBitmap& a, const ImgBitmap& b) {
  if (a.width != b.width || a.height != b.height) return false;
  for (int y = 0; y < a.height; ++y) {
    for (int x = 0; x < a.width; ++x) {
      if (!(PixelAt(a, x, y) == PixelAt(b, x, y))) return false;
    }
  }
  return true;
}

// SPDX-FileCopyrightText: The Quillane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "support/painting_pictures.h"

#include <cmath>
#include <cstdlib>
#include <cstring>

#include "imaging/imaging.h"

namespace {

uint8_t* PixelAt(const DibHandle& dib, int x, int y) {
  const BitmapInfoHeader* h = dib.Header();
  const int64_t stride = DibRowBytes(h->biWidth, 24);
  const int height = std::abs(h->biHeight);
  const int row = h->biHeight > 0 ? height - 1 - y : y;
  return dib.Pixels() + row * stride + x * 3;
}

}  // namespace

DibHandle MakeSolidDib(int width, int height, uint8_t red, uint8_t green, uint8_t blue) {
  DibHandle dib = DibHandle::Create24(width, height);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      uint8_t* p = PixelAt(dib, x, y);
      p[0] = blue;
      p[1] = green;
      p[2] = red;
    }
  }
  return dib;
}

DibHandle MakePatternDib(int width, int height, int variant) {
  DibHandle dib = DibHandle::Create24(width, height);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const double fx = static_cast<double>(x) / width;
      const double fy = static_cast<double>(y) / height;
      const double wave = std::sin((fx * 3.0 + fy * 2.0 + variant) * 3.14159);
      uint8_t* p = PixelAt(dib, x, y);
      p[2] = static_cast<uint8_t>(40 + 200 * fx);                   // red grows to the right
      p[1] = static_cast<uint8_t>(128 + 100 * wave);                // green in waves
      p[0] = static_cast<uint8_t>((x / 8 + y / 8) % 2 ? 220 : 30);  // blue checks
    }
  }
  return dib;
}

ColorRef DibPixel(const DibHandle& dib, int x, int y) {
  const uint8_t* p = PixelAt(dib, x, y);
  return MakeColor(p[2], p[1], p[0]);
}

int DibWidth(const DibHandle& dib) {
  return dib ? dib.Header()->biWidth : 0;
}
int DibHeight(const DibHandle& dib) {
  return dib ? std::abs(dib.Header()->biHeight) : 0;
}

bool SamePixels(const DibHandle& a, const DibHandle& b) {
  if (!a || !b) return false;
  if (DibWidth(a) != DibWidth(b) || DibHeight(a) != DibHeight(b)) return false;
  for (int y = 0; y < DibHeight(a); ++y) {
    for (int x = 0; x < DibWidth(a); ++x) {
      if (DibPixel(a, x, y) != DibPixel(b, x, y)) return false;
    }
  }
  return true;
}

bool SaveDib(const DibHandle& dib, const std::string& path) {
  ImgBitmap bitmap;
  const size_t bytes = dib.Size();
  DibHandle copy = DibHandle::Allocate(bytes);
  if (!copy) return false;
  std::memcpy(copy.Lock(), dib.Lock(), bytes);
  if (ImgFromDib(&bitmap, std::move(copy)) != 1) return false;
  const bool saved = ImgSaveFile(path.c_str(), bitmap) == 1;
  ImgFree(&bitmap);
  return saved;
}

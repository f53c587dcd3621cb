// SPDX-FileCopyrightText: The Quillane developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Bitmap records: creation, hand-over to and from packed bitmaps, copies, grey levels, cropping.

#include <algorithm>
#include <cstring>

#include "imaging/imaging.h"

namespace {

// Takes a freshly made 24-bit DIB as the bitmap's image.
void Adopt(ImgBitmap* bitmap, DibHandle dib) {
  const BitmapInfoHeader* header = dib.Header();
  bitmap->width = header->biWidth;
  bitmap->height = header->biHeight;
  bitmap->dib = std::move(dib);
  bitmap->hasImage = 1;
}

bool HoldsValidImage(const ImgBitmap* bitmap) {
  return bitmap != nullptr && bitmap->hasImage && bitmap->dib && bitmap->width > 0 &&
         bitmap->height > 0;
}

}  // namespace

void ImgInitHandle(ImgBitmap* bitmap, int, int, int) {
  if (bitmap == nullptr) return;
  bitmap->dib.Free();
  bitmap->width = 0;
  bitmap->height = 0;
  bitmap->hasImage = 0;
}

void ImgFree(ImgBitmap* bitmap) {
  ImgInitHandle(bitmap);
}

DibHandle ImgToDib(ImgBitmap* bitmap) {
  if (!HoldsValidImage(bitmap)) return DibHandle();
  DibHandle dib = std::move(bitmap->dib);
  ImgInitHandle(bitmap);
  return dib;
}

int ImgFromDib(ImgBitmap* bitmap, DibHandle dib) {
  if (bitmap == nullptr || !dib || dib.Size() < kDibHeaderSize) return 0;
  const BitmapInfoHeader* header = dib.Header();
  // Only the program's own form can be taken over as it is; anything else is converted.
  const bool ownForm =
      header->biSize == kDibHeaderSize && header->biBitCount == 24 &&
      header->biCompression == kBiRgb && header->biWidth > 0 && header->biHeight > 0 &&
      header->biWidth <= kMaxBitmapSide && header->biHeight <= kMaxBitmapSide &&
      dib.Size() >= kDibHeaderSize + static_cast<size_t>(DibRowBytes(header->biWidth, 24)) *
                                         static_cast<size_t>(header->biHeight);
  if (ownForm) {
    Adopt(bitmap, std::move(dib));
    return 1;
  }
  const uint8_t* base = dib.Lock();
  if (header->biBitCount <= 8 && header->biClrUsed > 256) return 0;
  const size_t paletteBytes =
      header->biBitCount <= 8
          ? 4u * (header->biClrUsed != 0 ? header->biClrUsed : (1u << header->biBitCount))
          : 0;
  if (header->biSize < kDibHeaderSize || header->biSize > dib.Size()) return 0;
  if (header->biWidth <= 0 || header->biWidth > kMaxBitmapSide) return 0;
  const int64_t rows =
      header->biHeight < 0 ? -static_cast<int64_t>(header->biHeight) : header->biHeight;
  const uint64_t needed = static_cast<uint64_t>(header->biSize) + paletteBytes +
                          static_cast<uint64_t>(DibRowBytes(header->biWidth, header->biBitCount)) *
                              static_cast<uint64_t>(rows);
  if (header->biBitCount > 32 || needed > dib.Size()) return 0;
  ImgBitmap converted;
  if (!ImgFromDibBits(&converted, header, base + header->biSize + paletteBytes)) return 0;
  *bitmap = std::move(converted);
  return 1;
}

int ImgFromDibBits(ImgBitmap* bitmap, const BitmapInfoHeader* header, const uint8_t* pixels) {
  if (bitmap == nullptr || header == nullptr || pixels == nullptr) return 0;
  const int bits = header->biBitCount;
  if (bits != 1 && bits != 4 && bits != 8 && bits != 24 && bits != 32) return 0;
  if (header->biCompression != kBiRgb) return 0;
  const int32_t width = header->biWidth;
  if (header->biHeight == INT32_MIN) return 0;
  const bool topDown = header->biHeight < 0;
  const int32_t height = topDown ? -header->biHeight : header->biHeight;
  DibHandle dib = DibHandle::Create24(width, height);
  if (!dib) return 0;

  // A palette lies directly behind the header, as in a packed bitmap.
  const uint8_t* palette = nullptr;
  uint32_t paletteSize = 0;
  if (bits <= 8) {
    palette = reinterpret_cast<const uint8_t*>(header) + header->biSize;
    paletteSize = header->biClrUsed != 0 ? header->biClrUsed : (1u << bits);
    if (paletteSize > (1u << bits)) paletteSize = 1u << bits;
  }

  const int64_t sourceStride = DibRowBytes(width, bits);
  const int64_t stride = DibRowBytes(width, 24);
  uint8_t* out = dib.Pixels();
  for (int32_t y = 0; y < height; ++y) {
    // Destination rows are bottom-up; take the source row showing the same line of the picture.
    const int32_t sourceRow = topDown ? height - 1 - y : y;
    const uint8_t* in = pixels + sourceRow * sourceStride;
    uint8_t* row = out + y * stride;
    for (int32_t x = 0; x < width; ++x) {
      uint8_t* p = row + x * 3;
      if (bits == 24) {
        std::memcpy(p, in + x * 3, 3);
      } else if (bits == 32) {
        std::memcpy(p, in + x * 4, 3);
      } else {
        uint32_t index;
        if (bits == 8) {
          index = in[x];
        } else if (bits == 4) {
          index = (x & 1) ? (in[x >> 1] & 0x0F) : (in[x >> 1] >> 4);
        } else {
          index = (in[x >> 3] >> (7 - (x & 7))) & 1;
        }
        if (index < paletteSize) std::memcpy(p, palette + index * 4, 3);
      }
    }
  }
  Adopt(bitmap, std::move(dib));
  return 1;
}

int ImgCopy(ImgBitmap* destination, const ImgBitmap* source) {
  if (destination == nullptr || !HoldsValidImage(source)) return 0;
  if (destination == source) return 1;
  DibHandle copy = DibHandle::Create24(source->width, source->height);
  if (!copy || copy.Size() > source->dib.Size()) return 0;
  std::memcpy(copy.Lock(), source->dib.Lock(), copy.Size());
  Adopt(destination, std::move(copy));
  return 1;
}

int ImgGrayscale(ImgBitmap* bitmap, int) {
  if (!HoldsValidImage(bitmap)) return 0;
  return ImgGrayscaleRows(bitmap, 0, bitmap->height);
}

int ImgGrayscaleRows(ImgBitmap* bitmap, int32_t top, int32_t bottom) {
  if (!HoldsValidImage(bitmap)) return 0;
  top = std::max(top, 0);
  bottom = std::min(bottom, bitmap->height);
  // Weights that add up to exactly 1000, so that equal red, green and blue stay the same value.
  for (int32_t y = top; y < bottom; ++y) {
    uint8_t* p = bitmap->Row(y);
    for (int32_t x = 0; x < bitmap->width; ++x, p += 3) {
      const uint32_t luma = (114u * p[0] + 587u * p[1] + 299u * p[2] + 500u) / 1000u;
      p[0] = p[1] = p[2] = static_cast<uint8_t>(luma);
    }
  }
  return 1;
}

int ImgTrim(ImgBitmap* bitmap, int32_t left, int32_t top, int32_t width, int32_t height) {
  if (!HoldsValidImage(bitmap)) return 0;
  if (left < 0 || top < 0 || width <= 0 || height <= 0) return 0;
  if (static_cast<int64_t>(left) + width > bitmap->width ||
      static_cast<int64_t>(top) + height > bitmap->height) {
    return 0;
  }
  if (left == 0 && top == 0 && width == bitmap->width && height == bitmap->height) return 1;
  // The crop stays in the same block: a picture-sized copy would be needless at poster sizes.
  // Rows are stored bottom-up and every kept row moves to a lower or the same address, so
  // moving them from the bottom row up never overwrites a row still to be moved.
  const int64_t oldStride = bitmap->Stride();
  const int64_t newStride = DibRowBytes(width, 24);
  const int64_t bottomMargin = bitmap->height - top - height;
  uint8_t* pixels = bitmap->dib.Pixels();
  for (int64_t row = 0; row < height; ++row) {
    std::memmove(pixels + row * newStride, pixels + (row + bottomMargin) * oldStride + left * 3,
                 static_cast<size_t>(width) * 3);
    std::memset(pixels + row * newStride + static_cast<int64_t>(width) * 3, 0,
                static_cast<size_t>(newStride - static_cast<int64_t>(width) * 3));
  }
  BitmapInfoHeader* header = bitmap->dib.Header();
  header->biWidth = width;
  header->biHeight = height;
  header->biSizeImage = static_cast<uint32_t>(newStride * height);
  bitmap->width = width;
  bitmap->height = height;
  return 1;
}

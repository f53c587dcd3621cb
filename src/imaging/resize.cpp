// SPDX-FileCopyrightText: The Quillane developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Resizing with ImageMagick's resampling filters.

#include <algorithm>
#include <cstdint>

#include "imaging/imaging.h"
#include "imaging/magick_images.h"
#include "imaging/resource_limits.h"

using imaging_internal::BitmapFromImage;
using imaging_internal::EnsureMagickReady;
using imaging_internal::ImageFromBitmap;

namespace {

// ImageMagick keeps 8 bytes a pixel, and a resize holds the picture, the picture resized in one
// direction and the result at once; it chooses the order that makes the middle one smaller.
bool ResizeFitsImageMagick(int64_t fromWidth, int64_t fromHeight, int64_t toWidth,
                           int64_t toHeight) {
  const int64_t middle = std::min(toWidth * fromHeight, fromWidth * toHeight);
  const uint64_t bytes =
      8 * static_cast<uint64_t>(fromWidth * fromHeight + middle + toWidth * toHeight);
  return bytes < GetPictureLimits().pixelMemoryBytes;
}

// Halves both sides, each new pixel the mean of the (up to) 2 x 2 pixels it covers. Used to
// bring a large picture within ImageMagick's pixel memory before it shrinks it further.
bool HalvePicture(const ImgBitmap& from, ImgBitmap* to) {
  const ImgBitmap* bitmap = &from;
  const int32_t width = (bitmap->width + 1) / 2;
  const int32_t height = (bitmap->height + 1) / 2;
  ImgBitmap half;
  if (!ImgFromDib(&half, DibHandle::Create24(width, height))) return false;
  for (int32_t y = 0; y < height; ++y) {
    const uint8_t* rows[2] = {bitmap->Row(2 * y),
                              bitmap->Row(std::min(2 * y + 1, bitmap->height - 1))};
    uint8_t* out = half.Row(y);
    for (int32_t x = 0; x < width; ++x) {
      const int32_t x0 = 2 * x;
      const int32_t x1 = std::min(x0 + 1, bitmap->width - 1);
      for (int c = 0; c < 3; ++c) {
        const int sum =
            rows[0][3 * x0 + c] + rows[0][3 * x1 + c] + rows[1][3 * x0 + c] + rows[1][3 * x1 + c];
        out[3 * x + c] = static_cast<uint8_t>((sum + 2) / 4);
      }
    }
  }
  *to = std::move(half);
  return true;
}

}  // namespace

int ImgResize(ImgBitmap* bitmap, int32_t width, int32_t height, int) {
  if (bitmap == nullptr || !bitmap->hasImage || !bitmap->dib) return 0;
  if (!WithinPictureLimits(width, height)) return 0;
  // A large picture shrunk a lot is first halved here until ImageMagick can hold the resize in
  // its memory; pictures that fit go to ImageMagick as they are.
  // The caller's picture stays as it was if the resize fails.
  ImgBitmap halved;
  const ImgBitmap* source = bitmap;
  while (!ResizeFitsImageMagick(source->width, source->height, width, height) &&
         source->width >= 2 * width && source->height >= 2 * height) {
    if (!HalvePicture(*source, &halved)) return 0;
    source = &halved;
  }
  if (width == source->width && height == source->height) {
    if (source == &halved) *bitmap = std::move(halved);
    return 1;
  }
  try {
    EnsureMagickReady();
    Magick::Image image = ImageFromBitmap(*source);
    const bool shrinks = width <= source->width && height <= source->height;
    const bool enlarges = width >= source->width && height >= source->height;
    // Shrinking averages the area each new pixel covers, which keeps the mean colours the mosaic
    // matches on and is several times cheaper than Lanczos on its many small tiles. Enlarging
    // uses Catmull-Rom, the usual bicubic. A resize that shrinks one side and enlarges the other
    // takes Lanczos, which does both well.
    if (shrinks) {
      image.filterType(Magick::BoxFilter);
    } else if (enlarges) {
      image.filterType(Magick::CatromFilter);
    } else {
      image.filterType(Magick::LanczosFilter);
    }
    Magick::Geometry size(static_cast<size_t>(width), static_cast<size_t>(height));
    size.aspect(true);
    image.resize(size);
    if (static_cast<int32_t>(image.columns()) != width ||
        static_cast<int32_t>(image.rows()) != height) {
      return 0;
    }
    return BitmapFromImage(image, bitmap) ? 1 : 0;
  } catch (const std::exception&) {
    return 0;
  }
}

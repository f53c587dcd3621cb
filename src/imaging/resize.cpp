// SPDX-FileCopyrightText: The Quillane developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Resizing with ImageMagick's resampling filters.

#include "imaging/imaging.h"
#include "imaging/magick_images.h"
#include "imaging/resource_limits.h"

using imaging_internal::BitmapFromImage;
using imaging_internal::EnsureMagickReady;
using imaging_internal::ImageFromBitmap;

int ImgResize(ImgBitmap* bitmap, int32_t width, int32_t height, int) {
  if (bitmap == nullptr || !bitmap->hasImage || !bitmap->dib) return 0;
  if (!WithinPictureLimits(width, height)) return 0;
  if (width == bitmap->width && height == bitmap->height) return 1;
  try {
    EnsureMagickReady();
    Magick::Image image = ImageFromBitmap(*bitmap);
    const bool shrinks = width <= bitmap->width && height <= bitmap->height;
    const bool enlarges = width >= bitmap->width && height >= bitmap->height;
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

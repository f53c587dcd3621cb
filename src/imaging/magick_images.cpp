// SPDX-FileCopyrightText: The Quillane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "imaging/magick_images.h"

#include <algorithm>
#include <mutex>
#include <stdexcept>

#include "imaging/resource_limits.h"

namespace imaging_internal {

void EnsureMagickReady() {
  static std::once_flag once;
  std::call_once(once, [] {
    Magick::InitializeMagick(nullptr);
    ApplyMagickResourceLimits();
    // The list of delegate programs is built on first use without a lock on the reading side:
    // built here, before any painting, pictures may be read on several threads at once.
    MagickCore::ExceptionInfo* exception = MagickCore::AcquireExceptionInfo();
    MagickCore::GetDelegateInfo("*", "*", exception);
    MagickCore::DestroyExceptionInfo(exception);
  });
}

Magick::Image ImageFromBitmap(const ImgBitmap& bitmap) {
  // Past the limits ImageMagick cannot build the image, and Magick++ then aborts the process.
  if (!WithinPictureLimits(bitmap.width, bitmap.height)) {
    throw std::length_error("picture beyond the limits");
  }
  const size_t width = static_cast<size_t>(bitmap.width);
  const size_t height = static_cast<size_t>(bitmap.height);
  // Made blank and filled row by row: building the image from pixels in one step asserts
  // inside ImageMagick when its pixel memory is exhausted, where this reports the failure.
  Magick::Image image(Magick::Geometry(width, height), Magick::Color("black"));
  image.modifyImage();
  image.classType(Magick::DirectClass);
  for (int32_t y = 0; y < bitmap.height; ++y) {
    if (MagickCore::ImportImagePixels(image.image(), 0, y, width, 1, "BGR", MagickCore::CharPixel,
                                      bitmap.Row(y)) == MagickCore::MagickFalse) {
      throw std::runtime_error("cannot fill the picture");
    }
  }
  image.depth(8);
  return image;
}

bool BitmapFromImage(Magick::Image& image, ImgBitmap* bitmap) {
  const size_t width = image.columns();
  const size_t height = image.rows();
  if (!WithinPictureLimits(static_cast<int64_t>(width), static_cast<int64_t>(height))) {
    return false;
  }
  DibHandle dib = DibHandle::Create24(static_cast<int32_t>(width), static_cast<int32_t>(height));
  if (!dib) return false;
  ImgBitmap result;
  result.width = static_cast<int32_t>(width);
  result.height = static_cast<int32_t>(height);
  result.dib = std::move(dib);
  result.hasImage = 1;
  for (size_t y = 0; y < height; ++y) {
    image.write(0, static_cast<ssize_t>(y), width, 1, "BGR", Magick::CharPixel,
                result.Row(static_cast<int32_t>(y)));
  }
  *bitmap = std::move(result);
  return true;
}

}  // namespace imaging_internal

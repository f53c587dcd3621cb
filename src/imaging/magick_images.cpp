// SPDX-FileCopyrightText: The Quillane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "imaging/magick_images.h"

#include <algorithm>
#include <mutex>

namespace imaging_internal {

namespace {

void LowerLimit(MagickCore::ResourceType type, MagickCore::MagickSizeType limit) {
  // The system policy may already be stricter; a limit is only ever lowered here.
  if (MagickCore::GetMagickResourceLimit(type) > limit) {
    MagickCore::SetMagickResourceLimit(type, limit);
  }
}

}  // namespace

void EnsureMagickReady() {
  static std::once_flag once;
  std::call_once(once, [] {
    Magick::InitializeMagick(nullptr);
    constexpr MagickCore::MagickSizeType kMiB = 1024 * 1024;
    LowerLimit(MagickCore::WidthResource, kMaxPictureSide);
    LowerLimit(MagickCore::HeightResource, kMaxPictureSide);
    LowerLimit(MagickCore::AreaResource, kMaxPicturePixels);
    LowerLimit(MagickCore::MemoryResource, 1024 * kMiB);
    LowerLimit(MagickCore::MapResource, 2048 * kMiB);
    LowerLimit(MagickCore::DiskResource, 2048 * kMiB);
    // The pictures are small and the program works on one thread; worker threads would mostly
    // spin waiting for each other on a busy machine.
    MagickCore::SetMagickResourceLimit(MagickCore::ThreadResource, 1);
    // The list of delegate programs is built on first use without a lock on the reading side:
    // built here, before any painting, pictures may be read on several threads at once.
    MagickCore::ExceptionInfo* exception = MagickCore::AcquireExceptionInfo();
    MagickCore::GetDelegateInfo("*", "*", exception);
    MagickCore::DestroyExceptionInfo(exception);
  });
}

Magick::Image ImageFromBitmap(const ImgBitmap& bitmap) {
  const size_t width = static_cast<size_t>(bitmap.width);
  const size_t height = static_cast<size_t>(bitmap.height);
  std::vector<uint8_t> rows(width * height * 3);
  for (int32_t y = 0; y < bitmap.height; ++y) {
    std::copy_n(bitmap.Row(y), width * 3, rows.data() + static_cast<size_t>(y) * width * 3);
  }
  Magick::Image image(width, height, "BGR", Magick::CharPixel, rows.data());
  image.depth(8);
  return image;
}

bool BitmapFromImage(Magick::Image& image, ImgBitmap* bitmap) {
  const size_t width = image.columns();
  const size_t height = image.rows();
  if (width == 0 || height == 0 || width > static_cast<size_t>(kMaxPictureSide) ||
      height > static_cast<size_t>(kMaxPictureSide)) {
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

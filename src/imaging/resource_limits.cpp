// SPDX-FileCopyrightText: The Quillane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "imaging/resource_limits.h"

#include <Magick++.h>

#include <algorithm>

#include "base/language.h"
#include "imaging/dib.h"
#include "imaging/magick_images.h"

namespace {

constexpr MagickCore::MagickSizeType kMiB = 1024 * 1024;

// The most memory the program lets ImageMagick take for pixels. The system's policy may allow
// less (Debian's allows 256 MiB), and ImageMagick never goes above its policy.
constexpr MagickCore::MagickSizeType kPixelMemoryBudget = 1024 * kMiB;

// ImageMagick keeps 16 bits per channel: four channels of 2 bytes and, for palette and CMYK
// pictures, a 2-byte index. A picture fits when one such cache of it fits the memory limit.
constexpr uint64_t kCacheBytesPerPixel = 10;

void LowerLimit(MagickCore::ResourceType type, MagickCore::MagickSizeType limit) {
  if (MagickCore::GetMagickResourceLimit(type) > limit) {
    MagickCore::SetMagickResourceLimit(type, limit);
  }
}

int32_t SideLimit(MagickCore::ResourceType type) {
  const MagickCore::MagickSizeType limit = MagickCore::GetMagickResourceLimit(type);
  return static_cast<int32_t>(std::min<MagickCore::MagickSizeType>(limit, kMaxPictureSide));
}

// The limits as ImageMagick holds them now. Its area and memory limits are exclusive: an image
// of exactly the limit is refused.
PictureLimits ReadLimits() {
  PictureLimits limits;
  limits.maxWidth = SideLimit(MagickCore::WidthResource);
  limits.maxHeight = SideLimit(MagickCore::HeightResource);
  const uint64_t memory = MagickCore::GetMagickResourceLimit(MagickCore::MemoryResource);
  const uint64_t area = MagickCore::GetMagickResourceLimit(MagickCore::AreaResource);
  limits.pixelMemoryBytes = memory;
  const uint64_t byMemory = memory > 0 ? (memory - 1) / kCacheBytesPerPixel : 0;
  const uint64_t byArea = area > 0 ? area - 1 : 0;
  limits.maxPixels = static_cast<int64_t>(
      std::min<uint64_t>({byMemory, byArea, static_cast<uint64_t>(kMaxPicturePixels)}));
  return limits;
}

}  // namespace

const PictureLimits& GetPictureLimits() {
  imaging_internal::EnsureMagickReady();
  static const PictureLimits limits = ReadLimits();
  return limits;
}

bool WithinPictureLimits(int64_t width, int64_t height) {
  const PictureLimits& limits = GetPictureLimits();
  return width > 0 && height > 0 && width <= limits.maxWidth && height <= limits.maxHeight &&
         width * height <= limits.maxPixels;
}

std::string DescribePictureLimits() {
  const PictureLimits& limits = GetPictureLimits();
  return TrFormat(
      "at most %1 x %2 pixels and %3 pixels in all (JPEG, PNG and TIFF pictures: %4 pixels)",
      {std::to_string(limits.maxWidth), std::to_string(limits.maxHeight),
       std::to_string(limits.maxPixels), std::to_string(kMaxPicturePixels)});
}

namespace imaging_internal {

void ApplyMagickResourceLimits() {
  LowerLimit(MagickCore::WidthResource, kMaxPictureSide);
  LowerLimit(MagickCore::HeightResource, kMaxPictureSide);
  LowerLimit(MagickCore::MemoryResource, kPixelMemoryBudget);
  // No disk: a pixel cache that does not fit the memory limit fails ("cache resources
  // exhausted") instead of becoming a file of hundreds of megabytes in the temporary folder.
  // Memory-mapped caches are such files too.
  MagickCore::SetMagickResourceLimit(MagickCore::DiskResource, 0);
  LowerLimit(MagickCore::MapResource,
             MagickCore::GetMagickResourceLimit(MagickCore::MemoryResource));
  // Past the area ImageMagick would move the cache to disk; with the disk closed, the limit
  // makes it refuse such a picture at once.
  LowerLimit(MagickCore::AreaResource,
             static_cast<MagickCore::MagickSizeType>(ReadLimits().maxPixels) + 1);
  // The pictures are small and the program works on one thread; worker threads would mostly
  // spin waiting for each other on a busy machine.
  MagickCore::SetMagickResourceLimit(MagickCore::ThreadResource, 1);
}

}  // namespace imaging_internal

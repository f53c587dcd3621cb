// SPDX-FileCopyrightText: The Quillane developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Drawing a bitmap into a drawing context, scaled from a source to a destination rectangle.

#include <algorithm>
#include <cstring>
#include <vector>

#include "imaging/drawing_surface.h"
#include "imaging/imaging.h"

int ImgPaint(DrawingContext* context, const ImgBitmap& bitmap, const Rect& source,
             const Rect& sourceClip, const Rect& destination, const Rect& destinationClip,
             uint32_t rop) {
  if (context == nullptr || rop != SRCCOPY) return 0;
  if (!bitmap.hasImage || !bitmap.dib) return 0;
  ImgBitmap* target = context->Bitmap();
  if (target == nullptr || !target->hasImage || !target->dib) return 0;
  const int64_t sourceWidth = source.Width();
  const int64_t sourceHeight = source.Height();
  const int64_t destinationWidth = destination.Width();
  const int64_t destinationHeight = destination.Height();
  if (sourceWidth <= 0 || sourceHeight <= 0 || destinationWidth <= 0 || destinationHeight <= 0) {
    return 0;
  }

  // Pixels drawn: the destination rectangle within its clip, the context's clip and the surface.
  const Rect& clip = context->ClipRect();
  const int32_t left = std::max({destination.left, destinationClip.left, clip.left, 0});
  const int32_t top = std::max({destination.top, destinationClip.top, clip.top, 0});
  const int32_t right =
      std::min({destination.right, destinationClip.right, clip.right, target->width});
  const int32_t bottom =
      std::min({destination.bottom, destinationClip.bottom, clip.bottom, target->height});
  if (left >= right || top >= bottom) return 1;

  // Drawing a bitmap into itself reads from a copy, so that no pixel is read after it was written.
  std::vector<uint8_t> copy;
  const uint8_t* sourceBase = bitmap.dib.Pixels();
  if (target->dib.Pixels() == bitmap.dib.Pixels()) {
    copy.assign(bitmap.dib.Pixels(),
                bitmap.dib.Pixels() + DibRowBytes(bitmap.width, 24) * bitmap.height);
    sourceBase = copy.data();
  }
  const int64_t sourceStride = DibRowBytes(bitmap.width, 24);

  // Nearest neighbour, sampling each destination pixel at its centre.
  std::vector<int32_t> columns;
  columns.reserve(static_cast<size_t>(right - left));
  for (int32_t x = left; x < right; ++x) {
    columns.push_back(static_cast<int32_t>(
        source.left + ((2 * (x - destination.left) + 1) * sourceWidth) / (2 * destinationWidth)));
  }
  for (int32_t y = top; y < bottom; ++y) {
    const int64_t sy =
        source.top + ((2 * (y - destination.top) + 1) * sourceHeight) / (2 * destinationHeight);
    if (sy < 0 || sy >= bitmap.height || sy < sourceClip.top || sy >= sourceClip.bottom) continue;
    const uint8_t* in = sourceBase + (bitmap.height - 1 - sy) * sourceStride;
    uint8_t* out = target->Row(y);
    for (int32_t x = left; x < right; ++x) {
      const int32_t sx = columns[static_cast<size_t>(x - left)];
      if (sx < 0 || sx >= bitmap.width || sx < sourceClip.left || sx >= sourceClip.right) continue;
      std::memcpy(out + static_cast<int64_t>(x) * 3, in + static_cast<int64_t>(sx) * 3, 3);
    }
  }
  return 1;
}

// SPDX-FileCopyrightText: The Quillane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "gui/bitmap_image.h"

#include <algorithm>
#include <cstdlib>

QImage ImageFromDibBits(const BitmapInfoHeader* header, const uint8_t* pixels, const Rect& source) {
  if (header == nullptr || pixels == nullptr || header->biBitCount != 24) return QImage();
  const int32_t left = std::max(source.left, 0);
  const int32_t top = std::max(source.top, 0);
  const int32_t right = std::min(source.right, header->biWidth);
  const int32_t bottom = std::min(source.bottom, std::abs(header->biHeight));
  if (right <= left || bottom <= top) return QImage();
  QImage image(right - left, bottom - top, QImage::Format_RGB32);
  if (image.isNull()) return image;
  CopyDibBitsInto(header, pixels, Rect{left, top, right, bottom}, &image, QPoint(0, 0));
  return image;
}

void CopyDibBitsInto(const BitmapInfoHeader* header, const uint8_t* pixels, const Rect& source,
                     QImage* target, const QPoint& at) {
  if (header == nullptr || pixels == nullptr || header->biBitCount != 24 || target == nullptr ||
      target->format() != QImage::Format_RGB32) {
    return;
  }
  const int32_t width = header->biWidth;
  const int32_t height = std::abs(header->biHeight);
  const bool bottomUp = header->biHeight > 0;
  // Clipped to the picture and to the target, keeping source and target aligned.
  const int32_t left = std::max({source.left, 0, source.left - at.x()});
  const int32_t top = std::max({source.top, 0, source.top - at.y()});
  const int32_t right = std::min({source.right, width, source.left + target->width() - at.x()});
  const int32_t bottom = std::min({source.bottom, height, source.top + target->height() - at.y()});
  if (right <= left || bottom <= top) return;
  const int64_t stride = DibRowBytes(width, 24);
  for (int32_t y = top; y < bottom; ++y) {
    const int64_t stored = bottomUp ? height - 1 - y : y;
    const uint8_t* in = pixels + stored * stride + static_cast<int64_t>(left) * 3;
    auto* out = reinterpret_cast<QRgb*>(target->scanLine(at.y() + y - source.top)) + at.x() +
                (left - source.left);
    for (int32_t x = left; x < right; ++x, in += 3) *out++ = qRgb(in[2], in[1], in[0]);
  }
}

QImage ImageFromDib(const DibHandle& dib) {
  if (!dib) return QImage();
  const BitmapInfoHeader* header = dib.Header();
  return ImageFromDibBits(header, dib.Pixels(),
                          Rect{0, 0, header->biWidth, std::abs(header->biHeight)});
}

QImage ImageFromBitmap(const ImgBitmap& bitmap) {
  return ImageFromBitmap(bitmap, Rect{0, 0, bitmap.width, bitmap.height});
}

QImage ImageFromBitmap(const ImgBitmap& bitmap, const Rect& source) {
  if (!bitmap.hasImage || !bitmap.dib) return QImage();
  return ImageFromDibBits(bitmap.dib.Header(), bitmap.dib.Pixels(), source);
}

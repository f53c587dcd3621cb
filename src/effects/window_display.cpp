// SPDX-FileCopyrightText: The Quillane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include <string>

#include "base/front_window.h"
#include "effects/effect_engine.h"

void FitPictureRects(const Rect& area, const Rect& display, Rect* source, Rect* destination) {
  Rect src = area;
  const int32_t displayWidth = display.Width();
  const int32_t displayHeight = display.Height();
  if (src.Width() > displayWidth) {
    const int32_t cut = (src.Width() - displayWidth) / 2;
    src.left += cut;
    src.right -= cut;
  }
  if (src.Height() > displayHeight) {
    const int32_t cut = (src.Height() - displayHeight) / 2;
    src.top += cut;
    src.bottom -= cut;
  }
  // When the difference is odd the halves truncate: a cropped source stays one pixel wider
  // than the display, a centred one leaves the destination one wider; the display stretches
  // the one onto the other.
  const int32_t insetX = (displayWidth - src.Width()) / 2;
  const int32_t insetY = (displayHeight - src.Height()) / 2;
  Rect dst;
  dst.left = display.left + insetX;
  dst.right = display.right - insetX;
  dst.top = display.top + insetY;
  dst.bottom = display.bottom - insetY;
  *source = src;
  *destination = dst;
}

int ImgPaint(FrontWindow* context, const ImgBitmap& bitmap, const Rect& source, const Rect&,
             const Rect& destination, const Rect&, uint32_t) {
  if (context == nullptr || !bitmap.hasImage) return 0;
  context->ShowPicture(bitmap, source, destination, 0);
  return 1;
}

int ImgPaintEffect(FrontWindow* context, const ImgBitmap& bitmap, const Rect& source, const Rect&,
                   const Rect& destination, const Rect&, int, int, int, int stage, int, int, int,
                   int, int, uint32_t) {
  if (context == nullptr || !bitmap.hasImage || stage < 1 || stage > 5) return 0;
  context->ShowPicture(bitmap, source, destination, stage);
  return 1;
}

// SPDX-FileCopyrightText: The Quillane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "imaging/drawing_surface.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <new>

#include "imaging/imaging.h"

namespace {

// Sets the pixels x0..x1 (both included) of row y, within the clip rectangle.
inline void FillSpan(DrawingContext& dc, const Rect& clip, int y, int x0, int x1, ColorRef color) {
  if (y < clip.top || y >= clip.bottom) return;
  x0 = std::max(x0, clip.left);
  x1 = std::min(x1, clip.right - 1);
  for (int x = x0; x <= x1; ++x) dc.SetPixel(x, y, color);
}

// Geometry below works in doubled coordinates, so that pixel centres (2x, 2y) and the half-pixel
// positions that even pen widths and even box sizes need are all integers, and every inside test
// is exact integer arithmetic.

// Largest horizontal distance D (doubled units) from the centre of an ellipse with doubled
// semi-axes a and b at the doubled vertical distance dyFromCentre, or -1 when the row misses it.
int64_t EllipseHalfSpan(int64_t a, int64_t b, int64_t dyFromCentre) {
  if (a <= 0 || b <= 0) return -1;
  using Wide = __int128;
  const Wide a2 = static_cast<Wide>(a) * a;
  const Wide b2 = static_cast<Wide>(b) * b;
  const Wide limit = a2 * b2 - static_cast<Wide>(dyFromCentre) * dyFromCentre * a2;
  if (limit < 0) return -1;
  // D is the largest value with D^2 * b^2 <= limit; the square root only gives a first guess.
  int64_t d = static_cast<int64_t>(std::sqrt(static_cast<double>(limit) / static_cast<double>(b2)));
  while (d > 0 && static_cast<Wide>(d) * d * b2 > limit) --d;
  while (static_cast<Wide>(d + 1) * (d + 1) * b2 <= limit) ++d;
  return d;
}

// The pixel columns of one row of an ellipse: x with |2x - cx2| <= halfSpan. Returns false when
// the row holds no pixel.
bool SpanColumns(int64_t cx2, int64_t halfSpan, int* x0, int* x1) {
  if (halfSpan < 0) return false;
  // ceil((cx2 - halfSpan) / 2) and floor((cx2 + halfSpan) / 2) for any sign.
  const int64_t lo = cx2 - halfSpan;
  const int64_t hi = cx2 + halfSpan;
  const int64_t left = lo >= 0 ? (lo + 1) / 2 : -((-lo) / 2);
  const int64_t right = hi >= 0 ? hi / 2 : -((-hi + 1) / 2);
  if (left > right) return false;
  *x0 = static_cast<int>(left);
  *x1 = static_cast<int>(right);
  return true;
}

// Square of the distance (doubled units) from point p to the segment a-b, compared with r^2:
// true when the distance is below r.
inline bool WithinSegment(int64_t px, int64_t py, int64_t ax, int64_t ay, int64_t bx, int64_t by,
                          int64_t r) {
  using Wide = __int128;
  const int64_t dx = bx - ax;
  const int64_t dy = by - ay;
  const int64_t qx = px - ax;
  const int64_t qy = py - ay;
  const Wide len2 = static_cast<Wide>(dx) * dx + static_cast<Wide>(dy) * dy;
  const Wide proj = static_cast<Wide>(qx) * dx + static_cast<Wide>(qy) * dy;
  const Wide r2 = static_cast<Wide>(r) * r;
  if (proj <= 0) return static_cast<Wide>(qx) * qx + static_cast<Wide>(qy) * qy < r2;
  if (proj >= len2) {
    const int64_t ex = px - bx;
    const int64_t ey = py - by;
    return static_cast<Wide>(ex) * ex + static_cast<Wide>(ey) * ey < r2;
  }
  const Wide cross = static_cast<Wide>(qx) * dy - static_cast<Wide>(qy) * dx;
  return cross * cross < r2 * len2;
}

}  // namespace

DrawingContext::DrawingContext(ImgBitmap* bitmap) : bitmap_(bitmap) {
  if (bitmap == nullptr || !bitmap->hasImage || !bitmap->dib || bitmap->width <= 0 ||
      bitmap->height <= 0) {
    bitmap_ = bitmap;
    return;
  }
  width_ = bitmap->width;
  height_ = bitmap->height;
  const intptr_t stride = bitmap->Stride();
  const BitmapInfoHeader* header = bitmap->dib.Header();
  if (header->biHeight < 0) {
    top_ = bitmap->dib.Pixels();
    rowStep_ = stride;
  } else {
    top_ = bitmap->dib.Pixels() + static_cast<intptr_t>(height_ - 1) * stride;
    rowStep_ = -stride;
  }
  clip_ = Rect{0, 0, width_, height_};
}

Pen DrawingContext::SelectPen(const Pen& pen) {
  const Pen previous = pen_;
  pen_ = pen;
  return previous;
}

Brush DrawingContext::SelectBrush(const Brush& brush) {
  const Brush previous = brush_;
  brush_ = brush;
  return previous;
}

void DrawingContext::MoveToEx(int x, int y) {
  currentX_ = x;
  currentY_ = y;
}

void DrawingContext::LineTo(int x, int y) {
  const int x0 = currentX_;
  const int y0 = currentY_;
  currentX_ = x;
  currentY_ = y;
  if (x0 == x && y0 == y) return;
  const ColorRef color = pen_.color;
  // A line whose box, widened by the pen, misses the clip rectangle costs nothing.
  const int64_t reach = pen_.width > 1 ? pen_.width : 0;
  if (std::max<int64_t>(x0, x) + reach < clip_.left ||
      std::min<int64_t>(x0, x) - reach >= clip_.right ||
      std::max<int64_t>(y0, y) + reach < clip_.top ||
      std::min<int64_t>(y0, y) - reach >= clip_.bottom) {
    return;
  }

  if (pen_.width <= 1) {
    // Bresenham; the last point is left out so that joined lines do not set their joints twice.
    const int dx = std::abs(x - x0);
    const int dy = -std::abs(y - y0);
    const int sx = x0 < x ? 1 : -1;
    const int sy = y0 < y ? 1 : -1;
    int err = dx + dy;
    int px = x0;
    int py = y0;
    while (px != x || py != y) {
      SetPixel(px, py, color);
      const int e2 = 2 * err;
      if (e2 >= dy) {
        err += dy;
        px += sx;
      }
      if (e2 <= dx) {
        err += dx;
        py += sy;
      }
    }
    return;
  }

  // A wide pen covers every pixel whose centre lies closer than width / 2 to the segment, which
  // gives round ends. Even widths have their centre line between pixels (shifted by half a pixel
  // up and left), so that a horizontal line of width 2 covers exactly two rows.
  const int64_t r = pen_.width;  // width / 2 in doubled units
  const int64_t shift = (pen_.width % 2 == 0) ? 1 : 0;
  const int64_t ax = 2 * static_cast<int64_t>(x0) - shift;
  const int64_t ay = 2 * static_cast<int64_t>(y0) - shift;
  const int64_t bx = 2 * static_cast<int64_t>(x) - shift;
  const int64_t by = 2 * static_cast<int64_t>(y) - shift;

  const int64_t rowTop = (std::min(ay, by) - r) / 2 - 1;
  const int64_t rowBottom = (std::max(ay, by) + r) / 2 + 1;
  const int yFirst = static_cast<int>(std::max<int64_t>(rowTop, clip_.top));
  const int yLast = static_cast<int>(std::min<int64_t>(rowBottom, clip_.bottom - 1));
  for (int py = yFirst; py <= yLast; ++py) {
    const int64_t py2 = 2 * static_cast<int64_t>(py);
    // The covered pixels of a row form one interval (the shape is convex) around the point of
    // the row nearest to the segment; start next to that point and grow the interval both ways.
    double seed;
    if (ay == by) {
      seed = static_cast<double>(ax + bx) / 2.0;
    } else {
      const int64_t lowY = std::min(ay, by);
      const int64_t highY = std::max(ay, by);
      if (py2 <= lowY) {
        seed = static_cast<double>(ay == lowY ? ax : bx);
      } else if (py2 >= highY) {
        seed = static_cast<double>(ay == highY ? ax : bx);
      } else {
        seed = static_cast<double>(ax) + static_cast<double>(py2 - ay) *
                                             static_cast<double>(bx - ax) /
                                             static_cast<double>(by - ay);
      }
    }
    const int64_t base = static_cast<int64_t>(std::floor(seed / 2.0));
    int64_t start;
    if (WithinSegment(2 * base, py2, ax, ay, bx, by, r)) {
      start = base;
    } else if (WithinSegment(2 * (base + 1), py2, ax, ay, bx, by, r)) {
      start = base + 1;
    } else if (WithinSegment(2 * (base - 1), py2, ax, ay, bx, by, r)) {
      start = base - 1;
    } else {
      continue;
    }
    int64_t left = start;
    while (left - 1 >= clip_.left && WithinSegment(2 * (left - 1), py2, ax, ay, bx, by, r)) --left;
    int64_t right = start;
    while (right + 1 < clip_.right && WithinSegment(2 * (right + 1), py2, ax, ay, bx, by, r)) {
      ++right;
    }
    if (left < clip_.left) left = clip_.left;
    if (right >= clip_.right) right = clip_.right - 1;
    FillSpan(*this, clip_, py, static_cast<int>(left), static_cast<int>(right), color);
  }
}

void DrawingContext::Ellipse(int left, int top, int right, int bottom) {
  if (left > right) std::swap(left, right);
  if (top > bottom) std::swap(top, bottom);
  if (right - left <= 0 || bottom - top <= 0) return;

  // Doubled centre and semi-axes of the ellipse through the outer pixel centres of the box.
  const int64_t cx2 = static_cast<int64_t>(left) + right - 1;
  const int64_t cy2 = static_cast<int64_t>(top) + bottom - 1;
  const int64_t a = static_cast<int64_t>(right) - left;
  const int64_t b = static_cast<int64_t>(bottom) - top;
  // The pen straddles the edge: the outline reaches (width - 1) / 2 pixels beyond it and as far
  // inside, plus the one-pixel ring that a thin pen draws.
  const int64_t grow = std::max(pen_.width, 1) - 1;  // doubled (width - 1) / 2
  const int64_t outerA = a + grow;
  const int64_t outerB = b + grow;
  const int64_t innerA = a - grow;
  const int64_t innerB = b - grow;

  const int yFirst = static_cast<int>(std::max<int64_t>((cy2 - outerB) / 2 - 1, clip_.top));
  const int yLast = static_cast<int>(std::min<int64_t>((cy2 + outerB) / 2 + 1, clip_.bottom - 1));
  for (int y = yFirst; y <= yLast; ++y) {
    const int64_t dy2 = 2 * static_cast<int64_t>(y) - cy2;
    int ox0, ox1;
    if (!SpanColumns(cx2, EllipseHalfSpan(outerA, outerB, dy2), &ox0, &ox1)) continue;

    // Interior: pixels of the inner ellipse whose four neighbours also lie in it.
    int ix0 = 0, ix1 = -1;
    int c0, c1, u0, u1, d0, d1;
    if (SpanColumns(cx2, EllipseHalfSpan(innerA, innerB, dy2), &c0, &c1) &&
        SpanColumns(cx2, EllipseHalfSpan(innerA, innerB, dy2 - 2), &u0, &u1) &&
        SpanColumns(cx2, EllipseHalfSpan(innerA, innerB, dy2 + 2), &d0, &d1)) {
      ix0 = std::max({c0 + 1, u0, d0});
      ix1 = std::min({c1 - 1, u1, d1});
    }
    if (ix0 > ix1) {
      FillSpan(*this, clip_, y, ox0, ox1, pen_.color);
    } else {
      FillSpan(*this, clip_, y, ox0, ix0 - 1, pen_.color);
      FillSpan(*this, clip_, y, ix0, ix1, brush_.color);
      FillSpan(*this, clip_, y, ix1 + 1, ox1, pen_.color);
    }
  }
}

void DrawingContext::FillRect(const Rect& rect, ColorRef color) {
  const int y0 = std::max(rect.top, clip_.top);
  const int y1 = std::min(rect.bottom, clip_.bottom);
  for (int y = y0; y < y1; ++y) FillSpan(*this, clip_, y, rect.left, rect.right - 1, color);
}

void DrawingContext::SelectClipRect(const Rect& rect) {
  clip_.left = std::clamp(rect.left, 0, width_);
  clip_.top = std::clamp(rect.top, 0, height_);
  clip_.right = std::clamp(rect.right, clip_.left, width_);
  clip_.bottom = std::clamp(rect.bottom, clip_.top, height_);
}

int ImgCreate(ImgBitmap* bitmap, int one, int32_t width, int32_t height, int bitsPerPixel, int, int,
              int, int, int) {
  if (bitmap == nullptr) return 0;
  DibHandle dib = DibHandle::Create24(width, height);
  if (!dib) return 0;
  bitmap->dib = std::move(dib);
  bitmap->width = width;
  bitmap->height = height;
  bitmap->hasImage = 1;
  return 1;
}

DrawingContext* ImgCreateDC(ImgBitmap* bitmap) {
  if (bitmap == nullptr || !bitmap->hasImage || !bitmap->dib) return nullptr;
  return new (std::nothrow) DrawingContext(bitmap);
}

void ImgDeleteDC(DrawingContext* context) {
  delete context;
}

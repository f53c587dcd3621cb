// SPDX-FileCopyrightText: The Quillane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

// A small drawing surface over a 24-bit bitmap: what the effects and the mosaic draw with.
// Colours are values red + 256 x green + 65536 x blue. Everything is inline or allocation-free,
// since the effects draw millions of pixels through it.

#include <cstdint>

#include "base/color.h"
#include "base/rect.h"

struct ImgBitmap;

// A solid pen; a width of 1 or less draws one-pixel lines.
struct Pen {
  int width = 1;
  ColorRef color = 0;
};
// A solid brush.
struct Brush {
  ColorRef color = MakeColor(255, 255, 255);
};

class DrawingContext {
 public:
  explicit DrawingContext(ImgBitmap* bitmap);

  int Width() const { return width_; }
  int Height() const { return height_; }
  ImgBitmap* Bitmap() const { return bitmap_; }

  // The pixel's colour, or kInvalidColor outside the surface.
  ColorRef GetPixel(int x, int y) const {
    if (x < 0 || y < 0 || x >= width_ || y >= height_) return kInvalidColor;
    const uint8_t* p = top_ + static_cast<intptr_t>(y) * rowStep_ + x * 3;
    return MakeColor(p[2], p[1], p[0]);
  }
  // Sets a pixel inside the clip rectangle; pixels outside it are left alone.
  void SetPixel(int x, int y, ColorRef color) {
    if (x < clip_.left || y < clip_.top || x >= clip_.right || y >= clip_.bottom) return;
    uint8_t* p = top_ + static_cast<intptr_t>(y) * rowStep_ + x * 3;
    p[0] = static_cast<uint8_t>(ColorBlue(color));
    p[1] = static_cast<uint8_t>(ColorGreen(color));
    p[2] = static_cast<uint8_t>(ColorRed(color));
  }

  // Selecting returns the pen or brush that was selected before.
  Pen SelectPen(const Pen& pen);
  Brush SelectBrush(const Brush& brush);
  const Pen& CurrentPen() const { return pen_; }
  const Brush& CurrentBrush() const { return brush_; }

  // Sets the current position.
  void MoveToEx(int x, int y);
  // A line from the current position to (x, y) with the selected pen; the end point itself is
  // not drawn by one-pixel pens, and a line to the current position draws nothing. Wider pens
  // draw a solid line of about that width with round ends. The end becomes the current position.
  void LineTo(int x, int y);
  // The ellipse inscribed in the box (right and bottom excluded), filled with the brush and
  // outlined with the pen.
  void Ellipse(int left, int top, int right, int bottom);
  // Fills the rectangle (right and bottom excluded) with one colour.
  void FillRect(const Rect& rect, ColorRef color);
  // Restricts all drawing to the rectangle (and always to the surface).
  void SelectClipRect(const Rect& rect);
  const Rect& ClipRect() const { return clip_; }

 private:
  ImgBitmap* bitmap_;
  uint8_t* top_ = nullptr;  // first byte of the top row
  intptr_t rowStep_ = 0;    // bytes from one row to the next one down (negative: bottom-up)
  int width_ = 0;
  int height_ = 0;
  Rect clip_;
  Pen pen_;
  Brush brush_;
  int currentX_ = 0;
  int currentY_ = 0;
};

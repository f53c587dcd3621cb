// SPDX-FileCopyrightText: The Quillane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

// The decision made for every cell of a stroke painting: whether a stroke goes there, and with
// which direction, length, width and colour.

#include <cstdint>

#include "imaging/dib.h"

class DrawingContext;
class Random;

// The painterly engine's style numbers. The two pencils are numbered the other way round from
// the main window's effects (Colored Pencil is 3, Charcoal Pencil 2).
enum PaintStyle : int {
  kStyleVanGogh = 0,
  kStylePointillism = 1,
  kStyleCharcoalPencil = 2,
  kStyleColoredPencil = 3,
  kStyleBlackAndWhite = 4,
};

// The margin of black around the picture on the reference and the canvas.
constexpr int kCanvasMargin = 10;

// The per-style constants; the defaults are Van Gogh's.
struct StyleParameters {
  int cellSize = 2;    // side of a cell, and the step between cells and between sweep lines
  int baseLength = 3;  // base half-length of a stroke
  int baseWidth = 2;   // base pen width
  float widthSpread = 6.0f;
  float colorSpread = 25.0f;
  int bandWidth = 255;  // brightness range painted by one pass
};

StyleParameters StyleParametersFor(int style);

// What a stroke reads from and draws on. The reference and the colour copy are W2 x H2 packed
// 24-bit bitmaps (the picture framed by the margin); the colour copy is only read by Charcoal
// Pencil. The canvas is a drawing context on a bitmap of the same size.
struct StrokeTarget {
  const BitmapInfoHeader* referenceHeader = nullptr;
  const uint8_t* referencePixels = nullptr;
  const BitmapInfoHeader* colorCopyHeader = nullptr;
  const uint8_t* colorCopyPixels = nullptr;
  DrawingContext* canvas = nullptr;
  int canvasWidth = 0;   // W2
  int canvasHeight = 0;  // H2
};

// One cell: x0, y0 included, x1, y1 excluded (already clipped to the canvas), centre xc, yc.
// Always makes the cell's random draws (one, two or five of them), whatever it decides.
void PlaceStroke(int x0, int y0, int x1, int y1, int xc, int yc, int style,
                 const StyleParameters& parameters, int bandTop, int bandWidth,
                 const StrokeTarget& target, Random& random);

// The brightness (0 to 255) by which PlaceStroke decides whether the cell is in the band: the
// same sample, the same arithmetic. It depends on the reference picture (the colour copy for
// Charcoal Pencil) alone, never on the canvas or the random generator.
int CellBrightness(int x0, int y0, int x1, int y1, int style, const StrokeTarget& target);

// How far from its cell's centre a stroke reads or sets canvas pixels, at most, in either
// direction: half-length 7 plus half of the widest pen (Van Gogh; Pointillism's dot reaches
// less), or half-length 10 plus the pencil line's one-pixel fringe. Strokes whose centres lie
// more than twice this apart share no pixel, so they may be drawn in either order.
constexpr int kStrokeReach = 12;

// u for a draw r of the random generator: r times the single-precision value of 1/32767,
// multiplied out in double precision so that u stays just below 1 for r = 32767.
inline double RandomUnit(int r) {
  return static_cast<double>(r) * double{0.000030518509f};
}

// A cell's first draw leaves it out when trunc(3u) is 1, about one cell in three. A cell left
// out makes that one draw; a cell outside the band makes two; a cell with a stroke five.
inline bool CellLeftOut(int r) {
  return static_cast<int>(3.0 * RandomUnit(r)) == 1;
}

// SPDX-FileCopyrightText: The Quillane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

// Pixel routines shared by the stroke styles and the mosaic. Pixels are addressed top-down
// (row 0 is the top row) whatever the row order of the bitmap.

#include <cstdint>

#include "imaging/dib.h"
#include "imaging/drawing_surface.h"

// Colour of a pixel of a packed bitmap (1, 4, 8, 24 or 32 bits, no compression).
ColorRef ReadDibPixel(const BitmapInfoHeader* header, const uint8_t* pixels, int x, int y);

// Mean colour of the rectangle x0..x1, y0..y1 (right and bottom excluded); with `sparse`, every
// second pixel in both directions. An empty rectangle gives 0, 0, 0. Returns 0.
int AverageRegion(const BitmapInfoHeader* header, const uint8_t* pixels, int x0, int y0, int x1,
                  int y1, uint8_t* red, uint8_t* green, uint8_t* blue, int sparse);

// Anti-aliased pencil line from (x0, y0) to (x1, y1) that sets only pixels whose colour lies
// near the lightened colour of the reference picture there. The upper end is never drawn.
void DrawPencilLine(DrawingContext* surface, int red, int green, int blue, int x0, int y0, int x1,
                    int y1, const BitmapInfoHeader* referenceHeader,
                    const uint8_t* referencePixels);

// Offsets of a segment of `length` at `angle` degrees. Returns 0.
int PolarOffset(float* dx, float* dy, float angle, float length);

// Nearest integer, halves away from zero.
int RoundHalfAway(double value);

// SPDX-FileCopyrightText: The Quillane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The arithmetic of the output size boxes, shared by the main window and the renderer: a side
// as a percentage of the start picture's side, and back to pixels.

#include <cstdint>

// Truncation toward zero that saturates instead of overflowing; 0 for NaN.
int32_t TruncateToInt(double v);
// The boxes' rounding R(v): the larger of v and v + 0.5, both truncated.
int32_t RoundPixels(double v);

// A side of `pixels` as a single-precision percentage of `source`; 100 when source is 0.
float PercentOf(double pixels, int32_t source);
// The other side of a locked aspect ratio: R(percent x 0.01 x otherSource), with percent and
// 0.01 in single precision and the product in double precision.
int32_t LockedSide(float percent, int32_t otherSource);

struct OutputSize {
  int32_t width = 0;
  int32_t height = 0;
};
// The output size for a start picture of sourceWidth x sourceHeight. Both sides given: those.
// One given (the other 0 or less): the other follows as the locked boxes work it out, at least
// 1. Neither: the picture's own size.
OutputSize OutputSizeFor(int32_t sourceWidth, int32_t sourceHeight, int32_t width, int32_t height);

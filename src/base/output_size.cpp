// SPDX-FileCopyrightText: The Quillane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "base/output_size.h"

#include <algorithm>
#include <cmath>
#include <limits>

int32_t TruncateToInt(double v) {
  if (std::isnan(v)) return 0;
  if (v >= 2147483647.0) return std::numeric_limits<int32_t>::max();
  if (v <= -2147483648.0) return std::numeric_limits<int32_t>::min();
  return static_cast<int32_t>(v);
}

int32_t RoundPixels(double v) {
  return std::max(TruncateToInt(v), TruncateToInt(v + 0.5));
}

float PercentOf(double pixels, int32_t source) {
  return source == 0 ? 100.0f : static_cast<float>(pixels / source * 100);
}

int32_t LockedSide(float percent, int32_t otherSource) {
  return RoundPixels(static_cast<double>(percent) * static_cast<double>(0.01f) * otherSource);
}

OutputSize OutputSizeFor(int32_t sourceWidth, int32_t sourceHeight, int32_t width, int32_t height) {
  if (width > 0 && height > 0) return {width, height};
  if (width > 0)
    return {width, std::max(LockedSide(PercentOf(width, sourceWidth), sourceHeight), 1)};
  if (height > 0) {
    return {std::max(LockedSide(PercentOf(height, sourceHeight), sourceWidth), 1), height};
  }
  return {sourceWidth, sourceHeight};
}

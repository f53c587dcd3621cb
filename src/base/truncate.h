// SPDX-FileCopyrightText: The Quillane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <limits>

// Conversion to int32 by truncation toward zero, the program's rule for sizes and positions,
// saturating instead of overflowing; NaN gives 0.
inline int32_t TruncateToInt(double v) {
  if (v != v) return 0;
  if (v >= 2147483647.0) return std::numeric_limits<int32_t>::max();
  if (v <= -2147483648.0) return std::numeric_limits<int32_t>::min();
  return static_cast<int32_t>(v);
}

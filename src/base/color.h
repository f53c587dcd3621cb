// SPDX-FileCopyrightText: The Quillane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Colours as the drawing surface, the effects and the mosaic pass them: red + 256 x green +
// 65536 x blue.

#include <cstdint>

using ColorRef = uint32_t;
constexpr ColorRef kInvalidColor = 0xFFFFFFFF;  // GetPixel outside the surface

constexpr ColorRef MakeColor(uint32_t red, uint32_t green, uint32_t blue) {
  return red | (green << 8) | (blue << 16);
}
constexpr uint32_t ColorRed(ColorRef c) {
  return c & 0xFF;
}
constexpr uint32_t ColorGreen(ColorRef c) {
  return (c >> 8) & 0xFF;
}
constexpr uint32_t ColorBlue(ColorRef c) {
  return (c >> 16) & 0xFF;
}

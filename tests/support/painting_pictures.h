// SPDX-FileCopyrightText: The Quillane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

// Small pictures for the painting tests, made in memory.

#include <cstdint>
#include <string>

#include "imaging/dib.h"
#include "imaging/drawing_surface.h"

// A 24-bit bottom-up packed bitmap of one colour.
DibHandle MakeSolidDib(int width, int height, uint8_t red, uint8_t green, uint8_t blue);
// A picture with smooth colour changes and a few hard edges, different for every `variant`.
DibHandle MakePatternDib(int width, int height, int variant = 0);
// The colour of pixel (x, y), row 0 at the top.
ColorRef DibPixel(const DibHandle& dib, int x, int y);
int DibWidth(const DibHandle& dib);
int DibHeight(const DibHandle& dib);
// The pixel bytes of two pictures are the same (sizes included).
bool SamePixels(const DibHandle& a, const DibHandle& b);
// Writes the picture to a file (format by extension); true on success.
bool SaveDib(const DibHandle& dib, const std::string& path);

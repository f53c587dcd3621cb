// SPDX-FileCopyrightText: The Quillane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <cstdint>

#include "imaging/dib.h"

class FrontWindow;

// Painting results shared by the driver and the effects.
constexpr int kPaintFinished = 0;
constexpr int kPaintStopped = 1;  // stopped by the user, or failed without a message
constexpr int kPaintRefused = 2;  // refused, with a warning already shown

// Runs one painting of the start picture in Settings with the effect that Settings selects.
// `frame` gives the picture frame's client size; `dc` is where the effect shows its picture.
// dibRef holds the start picture (24-bit packed bitmap) and receives the result; header and
// pixels are that bitmap's locked header and rows.
int PaintDriver(FrontWindow* frame, FrontWindow* dc, DibHandle* dibRef, BitmapInfoHeader* header,
                uint8_t* pixels);

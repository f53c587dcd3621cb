// SPDX-FileCopyrightText: The Quillane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <cstdint>
#include <string>

#include "base/rect.h"
#include "imaging/dib.h"
#include "imaging/imaging.h"

class FrontWindow;
struct PaintContext;

// Repaints the start picture held in *dibHandle in one PaintStyle (0 Van Gogh, 1 Pointillism,
// 2 Charcoal Pencil, 3 Colored Pencil, 4 Black & White Photo), showing its progress in the
// display rectangle of the run's picture frame and drawing from the run's random generator. On
// return *dibHandle holds the result (after a stop: the canvas with its 10-pixel margin).
// kPaintFinished, kPaintStopped, or kPaintFailed after a warning that says why.
int PaintPicture(PaintContext& run, DibHandle* dibHandle, const Rect& display, int style);

// Source and destination rectangles that show `area` of a bitmap centred in `display` without
// scaling, cropped equally on both sides where it is larger.
void FitPictureRects(const Rect& area, const Rect& display, Rect* source, Rect* destination);

// Display module for the window in front: a plain copy of the source rectangle into the
// destination rectangle, and one stage (1 to 5) of the staged refresh.
int ImgPaint(FrontWindow* context, const ImgBitmap& bitmap, const Rect& source,
             const Rect& sourceClip, const Rect& destination, const Rect& destinationClip,
             uint32_t rop = SRCCOPY);
int ImgPaintEffect(FrontWindow* context, const ImgBitmap& bitmap, const Rect& source,
                   const Rect& sourceClip, const Rect& destination, const Rect& destinationClip,
                   int duration, int grain, int one, int stage, int stages, int, int, int delay,
                   int level, uint32_t rop = SRCCOPY);

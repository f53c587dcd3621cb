// SPDX-FileCopyrightText: The Quillane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <cstdint>

#include "base/rect.h"
#include "imaging/dib.h"

struct MosaicOptions;
struct PaintContext;

// The "Picture Mosaic" effect: rebuilds the start picture in *dibRef (a 24-bit packed bitmap)
// from the tile sources that the options name, showing it grow in the display rectangle of the
// run's picture frame. 0 completed, 1 stopped or out of memory, 2 refused with a warning.
// *dibRef receives the mosaic (or keeps the start picture when refused).
int RunPictureMosaic(PaintContext& paint, DibHandle* dibRef, const Rect& display,
                     const MosaicOptions& options);

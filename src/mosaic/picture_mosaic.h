// SPDX-FileCopyrightText: The Quillane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <cstdint>

#include "imaging/dib.h"
#include "mosaic/tile_limits.h"
#include "mosaic/tile_report.h"

class FrontWindow;

// The "Picture Mosaic" effect: rebuilds the start picture in *dibRef from the tile sources of
// the picture list and the picture library. 0 completed, 1 stopped or out of memory, 2 refused
// with a warning. *dibRef receives the mosaic (or keeps the start picture when refused).
int RunPictureMosaic(FrontWindow* destDC, DibHandle* dibRef, BitmapInfoHeader** headerRef,
                     uint8_t** pixelsRef, int left, int top, int right, int bottom,
                     float tilesAcross, float tilesDown, int constant, int autoSizeTilesDown);

// Limits on repeats for the next mosaic runs, and where to leave the final tile assignment
// (null: nowhere). Neither changes the plain mosaic.
struct MosaicVariety {
  TileLimits limits;
  TileAssignment* assignment = nullptr;
};
extern MosaicVariety mosaicVariety;

// SPDX-FileCopyrightText: The Quillane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <cstdint>

#include "imaging/dib.h"

class FrontWindow;

// The "Picture Mosaic" effect: rebuilds the start picture in *dibRef from the tile sources of
// the picture list and the picture library. 0 completed, 1 stopped or out of memory, 2 refused
// with a warning. *dibRef receives the mosaic (or keeps the start picture when refused).
int RunPictureMosaic(FrontWindow* destDC, DibHandle* dibRef, BitmapInfoHeader** headerRef,
                     uint8_t** pixelsRef, int left, int top, int right, int bottom,
                     float tilesAcross, float tilesDown, int constant, int autoSizeTilesDown);

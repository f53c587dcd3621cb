// SPDX-FileCopyrightText: The Quillane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

// The desktop program's entry points into the painting: they take what a painting depends on
// from the Settings record, the window in front (messageOwner, mainWindowHandle) and the
// program's random generator, and run the painting of render.h.

#include <cstdint>
#include <string>

#include "imaging/dib.h"
#include "mosaic/mosaic_options.h"
#include "painting/render.h"

class FrontWindow;

// Runs one painting of the start picture in Settings with the effect that Settings selects.
// `frame` gives the picture frame's client size; `dc` is where the effect shows its picture.
// dibRef holds the start picture (24-bit packed bitmap) and receives the result; header and
// pixels are that bitmap's locked header and rows.
int PaintDriver(FrontWindow* frame, FrontWindow* dc, DibHandle* dibRef, BitmapInfoHeader* header,
                uint8_t* pixels);

// The painterly engine in destDC with the program's generator; header and pixels are not read
// (the picture comes from *dibHandle).
int PaintPicture(FrontWindow* destDC, DibHandle* dibHandle, const BitmapInfoHeader* header,
                 const uint8_t* pixels, int left, int top, int right, int bottom, int style);

// The picture mosaic in destDC, with the tile sources that Settings names. The tile numbers
// are the Settings record's integers; `constant` is always 1 and not read. headerRef and
// pixelsRef must describe *dibRef.
int RunPictureMosaic(FrontWindow* destDC, DibHandle* dibRef, BitmapInfoHeader** headerRef,
                     uint8_t** pixelsRef, int left, int top, int right, int bottom,
                     float tilesAcross, float tilesDown, int constant, int autoSizeTilesDown);

// The mosaic's tile sources as Settings holds them: the picture list, the two check boxes and
// the stock library folder; the grid from Settings too.
MosaicOptions MosaicOptionsFromSettings();

// The picture index that mosaics painted by PaintDriver use; empty for none. The desktop program
// sets it to the one in the user's cache folder.
extern std::string programTileIndexFile;

// SPDX-FileCopyrightText: The Quillane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

// The desktop program's entry points into the painting, as thin wrappers over Render: they take
// what a painting depends on from the program's own state and pass it on in a RenderRequest.
//
// The program-wide state, all of it in this layer or the windows', and why it is program-wide:
// - `settings` (app/settings.h): the user's choices; one record per run, loaded at start-up and
//   saved at Exit, byte for byte the settings file. Read once per painting by PaintingRequest.
// - `messageOwner`, `mainWindowHandle` (app/owner_windows.h): the window in front, which owns
//   the warning boxes; set by the windows as they open and close, read only by ShowWarning,
//   PollStop, ShowPaintStatus and the file dialogs.
// - the program's random generator and `randomSeeded` (app/program_random.h): later paintings
//   of one run continue the sequence of the earlier ones.
// The windows keep a few choices for the rest of the run, each in its own file: the folder of the
// last successful Save (gui/output_window.cpp) and the print choices (gui/picture_printing.cpp),
// since each painting has an output window of its own; and whether the splash shows at opening
// (gui/main_window.cpp), which tests that open many windows turn off.
// Nothing below this layer reads any of them: a painting gets everything in its request and its
// PaintContext.

#include <cstdint>
#include <string>

#include "imaging/dib.h"
#include "mosaic/mosaic_options.h"
#include "painting/render.h"

class FrontWindow;

// What the driver settles before a painting of the program, in its order; PaintDriver and the
// desktop program's painting session both start this way. The start picture must still open
// (refused, with the warning to show), a prepared start picture must be there (failed), the
// program's generator is seeded on the run's first painting, and an effect outside the table
// paints nothing (finished).
struct PaintingStart {
  int result = -1;      // the painting's result when it does not go on; -1 when it does
  std::string warning;  // shown before the painting ends with `result`
  uint32_t seed = 0;    // the generator's state the painting starts from
};
PaintingStart BeginProgramPainting(const RenderRequest& request, bool havePicture);

// Runs one painting of the start picture in Settings with the effect that Settings selects.
// `frame` gives the picture frame's client size; `display` is where the effect shows its
// picture. dibRef holds the start picture (24-bit packed bitmap) and receives the result;
// header and pixels are that bitmap's locked header and rows. Mosaics use the picture index in
// the user's cache folder.
int PaintDriver(FrontWindow* frame, FrontWindow* display, DibHandle* dibRef,
                BitmapInfoHeader* header, uint8_t* pixels);

// The painterly engine in destDC with the program's generator; header and pixels are not
// read (the picture comes from *dibHandle).
int PaintPicture(FrontWindow* destDC, DibHandle* dibHandle, const BitmapInfoHeader* header,
                 const uint8_t* pixels, int left, int top, int right, int bottom, int style);

// The picture mosaic in destDC, with the tile sources that Settings names. The tile numbers
// are the Settings record's integers; `constant` is always 1 and not read. headerRef and
// pixelsRef must describe *dibRef.
int RunPictureMosaic(FrontWindow* destDC, DibHandle* dibRef, BitmapInfoHeader** headerRef,
                     uint8_t** pixelsRef, int left, int top, int right, int bottom,
                     float tilesAcross, float tilesDown, int constant, int autoSizeTilesDown);

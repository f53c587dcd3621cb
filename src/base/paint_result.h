// SPDX-FileCopyrightText: The Quillane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// How a painting ends, as the effects, the renderer and the program pass it on. The values are
// the small integer codes the painting functions return, so they stay plain ints on the way.
enum PaintResult : int {
  kPaintFinished = 0,
  kPaintStopped = 1,  // stopped by the user
  kPaintRefused = 2,  // refused, with a warning already shown
  kPaintFailed = 3,   // could not go on (memory, say), with a warning already shown
};

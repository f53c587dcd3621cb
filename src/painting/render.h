// SPDX-FileCopyrightText: The Quillane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// One painting as a value: everything it depends on goes in with the request, everything it
// makes comes out with the result. Nothing is read from or left in program-wide state, so
// paintings may run side by side on different threads, each with its own window.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "base/paint_result.h"
#include "base/rect.h"
#include "imaging/dib.h"
#include "mosaic/mosaic_options.h"
#include "painting/effect_table.h"

class FrontWindow;
struct PaintContext;

struct RenderRequest {
  EffectKind effect = VanGogh;
  // The start picture: a picture in memory (read, never changed; the painting works on a copy)
  // or, when there is none, the picture file at startPath.
  std::shared_ptr<const DibHandle> startPicture;
  std::string startPath;
  // Output size in pixels: both given, or one (the other 0) to keep the picture's proportions
  // as the locked size boxes do, or neither for the picture's own size.
  int32_t width = 0;
  int32_t height = 0;
  std::optional<uint32_t> seed;  // none: the calendar time
  // Threads the stroke styles paint on; 0: every processor the run may use. The picture is the
  // same with any number.
  int threads = 0;
  MosaicOptions mosaic;
};

struct RenderResult {
  // The painted picture, also after a stop (what was painted so far); empty when the painting
  // was refused or failed before it began.
  DibHandle picture;
  // The output size the start picture was prepared at. A stroke painting stopped half-way hands
  // back its canvas with a margin around it (see SavePaintedPicture).
  int32_t width = 0;
  int32_t height = 0;
  int code = kPaintStopped;  // kPaintFinished, kPaintStopped, kPaintRefused or kPaintFailed
  std::string reason;        // why it was refused or failed; empty otherwise
  uint32_t randomState = 0;  // the random generator's state after the painting
};

// Prepares the start picture and paints it in `window`: progress goes to its status field,
// pictures to its picture frame, warnings to its warning box, and its Stop button is polled.
// Refusals (a start picture that is no picture, mosaic settings that cannot be painted) come
// back with code kPaintRefused and their reason; a painting that cannot go on (out of memory)
// with kPaintFailed, its reason, and no picture.
RenderResult Render(const RenderRequest& request, FrontWindow& window);
// The same with the windows and the random generator of `paint` (request.seed is not read; the
// generator is left where the painting leaves it); paint.threads becomes request.threads. `frame`
// gives the picture frame's client size; the picture is shown in it less a border of 2 pixels.
RenderResult Render(const RenderRequest& request, PaintContext& paint, FrontWindow* frame);

// The painting of a start picture already prepared by PrepareStartPicture for this request
// (24 bits at the output size), which the painting takes and works on in place: the request's
// start picture and size are not read. Unlike Render, a refused painting hands the start picture
// back unchanged in the result.
RenderResult RenderPrepared(const RenderRequest& request, DibHandle start, PaintContext& paint,
                            FrontWindow* frame);

// The painting itself, on a start picture already prepared (24 bits at the output size) and in
// place: *picture receives the result. `display` is the rectangle of the picture frame in which
// the picture is shown. An effect outside 0 to 5 paints nothing and gives kPaintFinished.
int PaintPrepared(PaintContext& paint, int32_t effect, DibHandle* picture, const Rect& display,
                  const MosaicOptions& mosaic);

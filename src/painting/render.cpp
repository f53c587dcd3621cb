// SPDX-FileCopyrightText: The Quillane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "painting/render.h"

#include <algorithm>
#include <cstdlib>
#include <ctime>

#include "base/front_window.h"
#include "base/paint_context.h"
#include "effects/effect_engine.h"
#include "mosaic/picture_mosaic.h"
#include "painting/start_picture.h"

int PaintPrepared(PaintContext& paint, int32_t effect, DibHandle* picture, const Rect& display,
                  const MosaicOptions& mosaic) {
  const EffectEntry* entry = FindEffect(effect);
  if (entry == nullptr) return kPaintFinished;
  if (entry->paintStyle == kNoPaintStyle) return RunPictureMosaic(paint, picture, display, mosaic);
  return PaintPicture(paint, picture, display, entry->paintStyle);
}

RenderResult Render(const RenderRequest& request, FrontWindow& window) {
  const uint32_t seed = request.seed ? *request.seed : static_cast<uint32_t>(std::time(nullptr));
  PaintContext paint = PaintContext::For(&window, seed);
  return Render(request, paint, &window);
}

RenderResult Render(const RenderRequest& request, PaintContext& paint, FrontWindow* frame) {
  if (FindEffect(request.effect) == nullptr) return RenderPrepared(request, {}, paint, frame);
  PreparedPicture start =
      request.startPicture ? PrepareStartPicture(*request.startPicture, request.width,
                                                 request.height, request.effect, request.threads)
                           : PrepareStartPicture(request.startPath, request.width, request.height,
                                                 request.effect, request.threads);
  if (!start.picture) {
    RenderResult result;
    result.randomState = paint.random.State();
    result.code = start.code;
    result.reason = std::move(start.reason);
    std::replace(result.reason.begin(), result.reason.end(), '|', ' ');
    return result;
  }
  RenderResult result = RenderPrepared(request, std::move(start.picture), paint, frame);
  if (result.code == kPaintRefused) result.picture.Free();
  return result;
}

RenderResult RenderPrepared(const RenderRequest& request, DibHandle start, PaintContext& paint,
                            FrontWindow* frame) {
  RenderResult result;
  paint.threads = request.threads;
  result.randomState = paint.random.State();
  if (FindEffect(request.effect) == nullptr) {
    result.code = kPaintRefused;
    result.reason = "unknown effect " + std::to_string(static_cast<int>(request.effect));
    return result;
  }
  if (!start) {
    result.reason = "no start picture";
    return result;
  }

  int clientWidth = 0;
  int clientHeight = 0;
  if (frame != nullptr) frame->FrameClientSize(&clientWidth, &clientHeight);
  const Rect display{2, 2, clientWidth - 2, clientHeight - 2};

  result.width = start.Header()->biWidth;
  result.height = std::abs(start.Header()->biHeight);
  result.picture = std::move(start);
  result.code = PaintPrepared(paint, request.effect, &result.picture, display, request.mosaic);
  result.randomState = paint.random.State();
  if (result.code == kPaintRefused || result.code == kPaintFailed) result.reason = paint.refusal;
  // A failed painting hands back nothing.
  if (result.code == kPaintFailed) result.picture.Free();
  return result;
}

// SPDX-FileCopyrightText: The Quillane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "painting/render.h"

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
  RenderResult result;
  paint.threads = request.threads;
  result.randomState = paint.random.State();
  if (FindEffect(request.effect) == nullptr) {
    result.code = kPaintRefused;
    result.reason = "unknown effect " + std::to_string(static_cast<int>(request.effect));
    return result;
  }

  PreparedPicture start =
      request.startPicture
          ? PrepareStartPicture(*request.startPicture, request.width, request.height,
                                request.effect)
          : PrepareStartPicture(request.startPath, request.width, request.height, request.effect);
  if (!start.picture) {
    result.code = start.code;
    result.reason = std::move(start.reason);
    return result;
  }

  int clientWidth = 0;
  int clientHeight = 0;
  if (frame != nullptr) frame->FrameClientSize(&clientWidth, &clientHeight);
  const Rect display{2, 2, clientWidth - 2, clientHeight - 2};

  result.width = start.picture.Header()->biWidth;
  result.height = std::abs(start.picture.Header()->biHeight);
  result.picture = std::move(start.picture);
  result.code = PaintPrepared(paint, request.effect, &result.picture, display, request.mosaic);
  result.randomState = paint.random.State();
  if (result.code == kPaintRefused) {
    result.reason = paint.refusal;
    result.picture.Free();
  }
  return result;
}

// SPDX-FileCopyrightText: The Quillane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/paint_driver.h"

#include <memory>
#include <string>

#include "app/owner_windows.h"
#include "app/painting_request.h"
#include "app/program_random.h"
#include "app/settings.h"
#include "base/language.h"
#include "base/paint_context.h"
#include "base/paths.h"
#include "effects/effect_engine.h"
#include "mosaic/picture_mosaic.h"
#include "mosaic/tile_index.h"

namespace {

// A painting in the window in front, drawing from the program's generator.
PaintContext ProgramContext(FrontWindow* display) {
  PaintContext paint;
  paint.display = display;
  paint.status = mainWindowHandle;
  paint.owner = messageOwner;
  paint.random = ProgramRandom();
  return paint;
}

// Later paintings go on with the sequence where this one left it.
int Finish(const PaintContext& paint, int result) {
  ContinueRandom(paint.random.State());
  return result;
}

}  // namespace

PaintingStart BeginProgramPainting(const RenderRequest& request, bool havePicture) {
  PaintingStart start;
  // The start picture must still be there: the user may have moved it since choosing it.
  if (request.startPath.empty() || !FileOpensForReading(request.startPath.c_str())) {
    start.result = kPaintRefused;
    start.warning = Tr("No 'Start Picture' specified.");
    return start;
  }
  // No picture to paint (one that did not decode): a failure, never a stop.
  if (!havePicture) {
    start.result = kPaintFailed;
    return start;
  }
  start.seed = NextPaintingSeed();
  if (FindEffect(request.effect) == nullptr) start.result = kPaintFinished;  // nothing to paint
  return start;
}

int PaintDriver(FrontWindow* frame, FrontWindow* display, DibHandle* dibRef,
                BitmapInfoHeader* header, uint8_t* pixels) {
  RenderRequest request = PaintingRequest(settings, DefaultTileIndexPath());
  const PaintingStart start = BeginProgramPainting(request, header != nullptr && pixels != nullptr);
  if (!start.warning.empty()) ShowWarning(start.warning.c_str());
  if (start.result >= 0) return start.result;
  PaintContext paint = ProgramContext(display);

  // The window's picture, already at the output size, is the start picture.
  auto picture = std::make_shared<DibHandle>(std::move(*dibRef));
  request.startPicture = picture;
  request.width = request.height = 0;
  RenderResult result = Render(request, paint, frame);
  Finish(paint, result.code);
  // A refused painting leaves the start picture in the window.
  *dibRef = result.picture ? std::move(result.picture) : std::move(*picture);
  return result.code;
}

int PaintPicture(FrontWindow* destDC, DibHandle* dibHandle, const BitmapInfoHeader*, const uint8_t*,
                 int left, int top, int right, int bottom, int style) {
  PaintContext paint = ProgramContext(destDC);
  return Finish(paint, PaintPicture(paint, dibHandle, Rect{left, top, right, bottom}, style));
}

int RunPictureMosaic(FrontWindow* destDC, DibHandle* dibRef, BitmapInfoHeader**, uint8_t**,
                     int left, int top, int right, int bottom, float tilesAcross, float tilesDown,
                     int, int autoSizeTilesDown) {
  MosaicOptions options = MosaicOptionsFromSettings(settings);
  options.tilesAcross = static_cast<int32_t>(tilesAcross);
  options.tilesDown = static_cast<int32_t>(tilesDown);
  options.autoSizeTilesDown = autoSizeTilesDown != 0;
  PaintContext paint = ProgramContext(destDC);
  return Finish(paint, RunPictureMosaic(paint, dibRef, Rect{left, top, right, bottom}, options));
}

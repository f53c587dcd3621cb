// SPDX-FileCopyrightText: The Quillane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "effects/effect_engine.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "base/paint_context.h"
#include "effects/stroke_placement.h"
#include "imaging/drawing_surface.h"

namespace {

// Status texts; the trailing blanks belong to them (they wipe the end of a longer line).
const char kPaintingText[] = "正在绘画...      ";
const char kPercentFormat[] = "正在绘画 %.0f%c...      ";
const char kFinishedText[] = "绘画已经完成。           ";
const char kCancelledText[] = "绘画已被取消。          ";

constexpr ColorRef kBlack = MakeColor(0, 0, 0);
constexpr ColorRef kWhite = MakeColor(255, 255, 255);

// What one painting holds, released the same way on every return.
struct PaintingRun {
  PaintingRun(PaintContext& context, DibHandle* callerPicture)
      : paint(context), reference(callerPicture) {}

  PaintContext& paint;
  DibHandle* reference = nullptr;  // the caller's DibHandle variable
  ImgBitmap work;                  // the start picture, then the canvas
  DrawingContext* canvasDC = nullptr;
  DibHandle colorCopy;

  // Whatever the working bitmap holds becomes the caller's picture; a stop also tells the user
  // that the painting did not finish.
  int Finish(int result) {
    if (canvasDC != nullptr) {
      ImgDeleteDC(canvasDC);
      canvasDC = nullptr;
    }
    colorCopy.Free();
    if (work.hasImage) {
      reference->Free();
      *reference = ImgToDib(&work);
    }
    if (result == kPaintStopped) paint.ShowStatus(kCancelledText);
    return result;
  }

  // A painting that cannot go on is no stop: the user is told why, not that it was cancelled.
  int Fail(int64_t width, int64_t height) {
    char text[128];
    std::snprintf(text, sizeof text,
                  "There is not enough memory to paint a picture of %lld x %lld pixels.",
                  static_cast<long long>(width), static_cast<long long>(height));
    return Finish(paint.Fail(text));
  }
  // The same for the caller's start picture, before the working bitmap holds it.
  int FailOnStart() {
    const BitmapInfoHeader* header = *reference ? reference->Header() : nullptr;
    return header != nullptr ? Fail(header->biWidth, std::abs(int64_t{header->biHeight}))
                             : Finish(paint.Fail("There is no start picture to paint."));
  }
};

void ShowWhole(FrontWindow* destDC, const ImgBitmap& bitmap, const Rect& area,
               const Rect& display) {
  Rect source;
  Rect destination;
  FitPictureRects(area, display, &source, &destination);
  ImgPaint(destDC, bitmap, source, source, destination, destination, SRCCOPY);
}

// The staged repaint of the canvas inside its margin, shown a few times per pass.
void RefreshCanvas(FrontWindow* destDC, const ImgBitmap& canvas, const Rect& display) {
  const Rect area{kCanvasMargin, kCanvasMargin, canvas.width - kCanvasMargin,
                  canvas.height - kCanvasMargin};
  Rect source;
  Rect destination;
  FitPictureRects(area, display, &source, &destination);
  for (int stage = 1; stage <= 5; ++stage) {
    ImgPaintEffect(destDC, canvas, source, source, destination, destination, 1000, 75, 1, stage, 5,
                   0, 0, 10, 255, SRCCOPY);
  }
}

int PaintBlackAndWhite(PaintingRun& run, const Rect& display) {
  FrontWindow* destDC = run.paint.display;
  if (ImgFromDib(&run.work, std::move(*run.reference)) != 1) return run.FailOnStart();
  ImgGrayscale(&run.work, 8);
  ImgSetColorDepth(&run.work, &run.work, 24, 0);
  ShowWhole(destDC, run.work, Rect{0, 0, run.work.width, run.work.height}, display);
  run.paint.ShowStatus(kFinishedText);
  return run.Finish(0);
}

int PaintStrokes(PaintingRun& run, const Rect& display, int style) {
  FrontWindow* destDC = run.paint.display;
  Random& random = run.paint.random;
  // The start picture, framed by a black margin, becomes the reference picture.
  if (ImgFromDib(&run.work, std::move(*run.reference)) != 1) return run.FailOnStart();
  const int32_t width = run.work.width;
  const int32_t height = run.work.height;
  // Every picture within the program's limits has room for its frame.
  static_assert(kCanvasMargin <= kMaxFrameMargin);
  ImgBitmap canvas;
  if (ImgCreate(&canvas, 1, width + 2 * kCanvasMargin, height + 2 * kCanvasMargin, 24, 1, 0, 0, 0,
                0) != 1) {
    return run.Fail(width, height);
  }
  DrawingContext* frameDC = ImgCreateDC(&canvas);
  if (frameDC == nullptr) {
    ImgFree(&canvas);
    return run.Fail(width, height);
  }
  frameDC->FillRect(Rect{0, 0, canvas.width, canvas.height}, kBlack);
  const Rect whole{0, 0, width, height};
  const Rect framed{kCanvasMargin, kCanvasMargin, width + kCanvasMargin, height + kCanvasMargin};
  ImgPaint(frameDC, run.work, whole, whole, framed, framed, SRCCOPY);
  ImgDeleteDC(frameDC);
  ImgFree(&run.work);
  run.work = std::move(canvas);
  *run.reference = ImgToDib(&run.work);

  const bool pencil = style == kStyleCharcoalPencil || style == kStyleColoredPencil;
  if (pencil) {
    // The colour copy keeps the colours; Charcoal Pencil reads its strokes from a reference
    // reduced to black and white.
    ImgFromDib(&run.work, std::move(*run.reference));
    ImgBitmap second;
    if (ImgCopy(&second, &run.work) != 1) return run.Fail(width, height);
    run.colorCopy = ImgToDib(&second);
    if (style == kStyleCharcoalPencil) {
      ImgGrayscale(&run.work, 8);
      ImgSetColorDepth(&run.work, &run.work, 1, kColorDepthDither);
      ImgSetColorDepth(&run.work, &run.work, 24, 0);
    }
    *run.reference = ImgToDib(&run.work);
  }

  run.paint.ShowStatus(kPaintingText);

  // The canvas is a copy of the reference; strokes never touch the reference itself.
  const BitmapInfoHeader* referenceHeader = run.reference->Header();
  const uint8_t* referencePixels = run.reference->Pixels();
  ImgInitHandle(&run.work, 0, 0, 0);
  if (referenceHeader == nullptr) return run.Fail(width, height);
  const int canvasWidth = referenceHeader->biWidth;
  const int canvasHeight = std::abs(referenceHeader->biHeight);
  if (ImgFromDibBits(&run.work, referenceHeader, referencePixels) != 1) {
    return run.Fail(width, height);
  }

  ShowWhole(
      destDC, run.work,
      Rect{kCanvasMargin, kCanvasMargin, canvasWidth - kCanvasMargin, canvasHeight - kCanvasMargin},
      display);

  run.canvasDC = ImgCreateDC(&run.work);
  if (run.canvasDC == nullptr) return run.Fail(width, height);
  if (pencil) run.canvasDC->FillRect(Rect{0, 0, canvasWidth, canvasHeight}, kWhite);

  const StyleParameters parameters = StyleParametersFor(style);
  const int cell = parameters.cellSize;
  StrokeTarget target;
  target.referenceHeader = referenceHeader;
  target.referencePixels = referencePixels;
  target.colorCopyHeader = run.colorCopy ? run.colorCopy.Header() : nullptr;
  target.colorCopyPixels = run.colorCopy ? run.colorCopy.Pixels() : nullptr;
  target.canvas = run.canvasDC;
  target.canvasWidth = canvasWidth;
  target.canvasHeight = canvasHeight;

  int bandTop = 255;
  float progressBase = 0.0f;
  const float bandFraction = parameters.bandWidth * 0.003921569f;
  std::string status;
  status.reserve(64);
  char line[64];

  do {
    // Each pass picks its sweep afresh: rows or columns, forwards or backwards, even odds.
    const bool rowSweep = static_cast<int>(2.0 * RandomUnit(random.Draw())) == 0;
    const bool forward = random.Draw() >= 16384;
    const int lineCount = rowSweep ? canvasHeight : canvasWidth;
    const int step = forward ? cell : -cell;
    int position = forward ? 0 : lineCount - 1;
    float lineCounter = 0.0f;
    float refreshCounter = 0.0f;
    while (lineCounter < lineCount) {
      const float percent = (lineCounter / lineCount * bandFraction + progressBase) * 100.0f;
      std::snprintf(line, sizeof line, kPercentFormat, static_cast<double>(percent), '%');
      status.assign(line);
      run.paint.ShowStatus(status);

      if (rowSweep) {
        const int y = position;
        const int y1 = std::min(y + cell, canvasHeight);
        for (int x = 0; x < canvasWidth; x += cell) {
          if (const int stop = run.paint.PollStop()) return run.Finish(stop);
          PlaceStroke(x, y, std::min(x + cell, canvasWidth), y1, x + cell / 2, y + cell / 2, style,
                      parameters, bandTop, parameters.bandWidth, target, random);
        }
      } else {
        const int x = position;
        const int x1 = std::min(x + cell, canvasWidth);
        for (int y = 0; y < canvasHeight; y += cell) {
          if (const int stop = run.paint.PollStop()) return run.Finish(stop);
          PlaceStroke(x, y, x1, std::min(y + cell, canvasHeight), x + cell / 2, y + cell / 2, style,
                      parameters, bandTop, parameters.bandWidth, target, random);
        }
      }
      position += step;

      if (refreshCounter > 0.2 * lineCount) {
        refreshCounter = 0.0f;
        RefreshCanvas(destDC, run.work, display);
      }
      refreshCounter += cell;
      lineCounter += cell;
    }
    progressBase += bandFraction;
    bandTop -= parameters.bandWidth;
  } while (bandTop > 0);

  // The drawing context points into the canvas's pixels: let it go before the crop moves them.
  ImgDeleteDC(run.canvasDC);
  run.canvasDC = nullptr;
  // Nothing reads the reference or the colour copy any more; at poster sizes their memory is
  // better given back before the picture is cropped and written.
  run.colorCopy.Free();
  run.reference->Free();
  ImgTrim(&run.work, kCanvasMargin, kCanvasMargin, canvasWidth - 2 * kCanvasMargin,
          canvasHeight - 2 * kCanvasMargin);
  ShowWhole(destDC, run.work, Rect{0, 0, run.work.width, run.work.height}, display);
  run.paint.ShowStatus(kFinishedText);
  return run.Finish(0);
}

}  // namespace

int PaintPicture(PaintContext& paint, DibHandle* dibHandle, const Rect& display, int style) {
  if (dibHandle == nullptr) return paint.Fail("There is no start picture to paint.");
  PaintingRun run{paint, dibHandle};
  if (style == kStyleBlackAndWhite) return PaintBlackAndWhite(run, display);
  if (style < kStyleVanGogh || style > kStyleColoredPencil) {
    return run.Finish(paint.Fail("There is no painting style " + std::to_string(style) + "."));
  }
  return PaintStrokes(run, display, style);
}

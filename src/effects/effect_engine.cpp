// SPDX-FileCopyrightText: The Quillane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "effects/effect_engine.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "base/language.h"
#include "base/paint_context.h"
#include "base/processors.h"
#include "effects/parallel_sweep.h"
#include "effects/stroke_placement.h"
#include "imaging/drawing_surface.h"

namespace {

// Status texts; the trailing blanks belong to them (they wipe the end of a longer line).
const char kPaintingText[] = TrNoop("正在绘画...      ");
const char kPercentFormat[] = TrNoop("正在绘画 %.0f%c...      ");
const char kFinishedText[] = TrNoop("绘画已经完成。           ");
const char kCancelledText[] = TrNoop("绘画已被取消。          ");

constexpr ColorRef kBlack = MakeColor(0, 0, 0);
constexpr ColorRef kWhite = MakeColor(255, 255, 255);

// What one painting holds, released the same way on every return.
struct PaintingRun {
  PaintingRun(PaintContext& context, DibHandle* callerPicture)
      : paint(context), reference(callerPicture) {}

  PaintContext& paint;
  DibHandle* reference = nullptr;  // the caller's DibHandle variable
  int threads = ThreadsOrAll(paint.threads);
  ImgBitmap work;  // the start picture, then the canvas
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
    if (result == kPaintStopped) paint.ShowStatus(Tr(kCancelledText));
    return result;
  }

  // A painting that cannot go on is no stop: the user is told why, not that it was cancelled.
  int Fail(int64_t width, int64_t height) {
    char text[128];
    std::snprintf(text, sizeof text,
                  Tr("There is not enough memory to paint a picture of %lld x %lld pixels."),
                  static_cast<long long>(width), static_cast<long long>(height));
    return Finish(paint.Fail(text));
  }
  // The same for the caller's start picture, before the working bitmap holds it.
  int FailOnStart() {
    const BitmapInfoHeader* header = *reference ? reference->Header() : nullptr;
    return header != nullptr ? Fail(header->biWidth, std::abs(int64_t{header->biHeight}))
                             : Finish(paint.Fail(Tr("There is no start picture to paint.")));
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

// The grey levels of the working bitmap, in bands of rows side by side.
void GreyLevels(PaintingRun& run) {
  InRowBands(run.threads, run.work.height,
             [&](int top, int bottom) { ImgGrayscaleRows(&run.work, top, bottom); });
}

// Fills the bitmap with one colour and copies the `source` area of `picture` into `destination`
// (the same size), in bands of rows side by side.
void FillAndCopy(int threads, ImgBitmap* bitmap, ColorRef color, const ImgBitmap* picture,
                 const Rect& source, const Rect& destination) {
  InRowBands(threads, bitmap->height, [&](int top, int bottom) {
    DrawingContext band(bitmap);
    band.SelectClipRect(Rect{0, top, bitmap->width, bottom});
    band.FillRect(Rect{0, 0, bitmap->width, bitmap->height}, color);
    if (picture != nullptr) ImgPaint(&band, *picture, source, source, destination, destination);
  });
}

// A copy of a packed bitmap into `copy`, in bands of rows side by side when it is in the
// program's own form (24 bits, bottom-up, as the engine's pictures are). 1 on success.
int CopyBitmap(int threads, const BitmapInfoHeader* header, const uint8_t* pixels,
               ImgBitmap* copy) {
  if (header->biBitCount != 24 || header->biCompression != kBiRgb || header->biHeight <= 0) {
    return ImgFromDibBits(copy, header, pixels);
  }
  if (ImgCreate(copy, 1, header->biWidth, header->biHeight, 24) != 1) return 0;
  const size_t stride = static_cast<size_t>(copy->Stride());
  uint8_t* out = copy->dib.Pixels();
  InRowBands(threads, copy->height, [&](int top, int bottom) {
    std::memcpy(out + top * stride, pixels + top * stride, (bottom - top) * stride);
  });
  return 1;
}

int PaintBlackAndWhite(PaintingRun& run, const Rect& display) {
  FrontWindow* destDC = run.paint.display;
  if (ImgFromDib(&run.work, std::move(*run.reference)) != 1) return run.FailOnStart();
  const Rect whole{0, 0, run.work.width, run.work.height};
  run.paint.RecordProgress(run.work, whole, 0, 1);
  GreyLevels(run);
  ImgSetColorDepth(&run.work, &run.work, 24, 0);
  ShowWhole(destDC, run.work, whole, display);
  run.paint.RecordProgress(run.work, whole, 1, 1);
  run.paint.ShowStatus(Tr(kFinishedText));
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
  const Rect whole{0, 0, width, height};
  const Rect framed{kCanvasMargin, kCanvasMargin, width + kCanvasMargin, height + kCanvasMargin};
  FillAndCopy(run.threads, &canvas, kBlack, &run.work, whole, framed);
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
    if (CopyBitmap(run.threads, run.work.dib.Header(), run.work.dib.Pixels(), &second) != 1) {
      return run.Fail(width, height);
    }
    run.colorCopy = ImgToDib(&second);
    if (style == kStyleCharcoalPencil) {
      GreyLevels(run);
      ImgDiffuseToBlackAndWhite(&run.work, run.threads);
      ImgSetColorDepth(&run.work, &run.work, 24, 0);
    }
    *run.reference = ImgToDib(&run.work);
  }

  run.paint.ShowStatus(Tr(kPaintingText));

  // The canvas is a copy of the reference; strokes never touch the reference itself.
  const BitmapInfoHeader* referenceHeader = run.reference->Header();
  const uint8_t* referencePixels = run.reference->Pixels();
  ImgInitHandle(&run.work, 0, 0, 0);
  if (referenceHeader == nullptr) return run.Fail(width, height);
  const int canvasWidth = referenceHeader->biWidth;
  const int canvasHeight = std::abs(referenceHeader->biHeight);
  if (CopyBitmap(run.threads, referenceHeader, referencePixels, &run.work) != 1) {
    return run.Fail(width, height);
  }

  const Rect inside{kCanvasMargin, kCanvasMargin, canvasWidth - kCanvasMargin,
                    canvasHeight - kCanvasMargin};
  ShowWhole(destDC, run.work, inside, display);
  run.paint.RecordProgress(run.work, inside, 0, 1);

  run.canvasDC = ImgCreateDC(&run.work);
  if (run.canvasDC == nullptr) return run.Fail(width, height);
  if (pencil) FillAndCopy(run.threads, &run.work, kWhite, nullptr, Rect{}, Rect{});

  const StyleParameters parameters = StyleParametersFor(style);
  const int cell = parameters.cellSize;
  SweepPass pass;
  pass.style = style;
  pass.parameters = parameters;
  pass.target.referenceHeader = referenceHeader;
  pass.target.referencePixels = referencePixels;
  pass.target.colorCopyHeader = run.colorCopy ? run.colorCopy.Header() : nullptr;
  pass.target.colorCopyPixels = run.colorCopy ? run.colorCopy.Pixels() : nullptr;
  pass.target.canvasWidth = canvasWidth;
  pass.target.canvasHeight = canvasHeight;
  StrokeTarget target = pass.target;
  target.canvas = run.canvasDC;
  const int threads = run.threads;

  int bandTop = 255;
  float progressBase = 0.0f;
  const float bandFraction = parameters.bandWidth * 0.003921569f;
  std::string status;
  status.reserve(64);
  char text[64];
  std::vector<float> lineCounters;
  // The brightness of the cells of each of the four sweeps, kept for the passes after.
  std::vector<uint8_t> measured[4];
  // A time-lapse counts the painting's progress in sweep lines, each pass an equal share.
  const int64_t passes = (255 + parameters.bandWidth - 1) / parameters.bandWidth;
  int64_t passIndex = 0;

  do {
    // Each pass picks its sweep afresh: rows or columns, forwards or backwards, even odds.
    const bool rowSweep = static_cast<int>(2.0 * RandomUnit(random.Draw())) == 0;
    const bool forward = random.Draw() >= 16384;
    const int lineCount = rowSweep ? canvasHeight : canvasWidth;
    const int step = forward ? cell : -cell;
    pass.bandTop = bandTop;
    pass.rowSweep = rowSweep;

    // The lines of the pass, and after which of them the canvas is shown again.
    pass.positions.clear();
    lineCounters.clear();
    std::vector<size_t> stretchEnds;
    int position = forward ? 0 : lineCount - 1;
    float lineCounter = 0.0f;
    float refreshCounter = 0.0f;
    while (lineCounter < lineCount) {
      pass.positions.push_back(position);
      lineCounters.push_back(lineCounter);
      position += step;
      if (refreshCounter > 0.2 * lineCount) {
        refreshCounter = 0.0f;
        stretchEnds.push_back(pass.positions.size());
      }
      refreshCounter += cell;
      lineCounter += cell;
    }
    const bool endsWithRefresh =
        !stretchEnds.empty() && stretchEnds.back() == pass.positions.size();
    if (!endsWithRefresh) stretchEnds.push_back(pass.positions.size());
    // While a time-lapse is recorded, the lines after which a frame is due end stretches too:
    // all threads finish the lines before them, so a frame shows the canvas of the one-thread
    // sweep at that line, whatever the number of threads.
    const int64_t lines = static_cast<int64_t>(pass.positions.size());
    const int64_t passDone = passIndex * lines;
    const int64_t allLines = passes * lines;
    std::vector<size_t> ends = stretchEnds;
    if (run.paint.frames != nullptr) {
      for (int64_t k = 1; k < lines; ++k) {
        const FrameRecorder& frames = *run.paint.frames;
        if (frames.FramesThrough(passDone + k, allLines) >
            frames.FramesThrough(passDone + k - 1, allLines)) {
          ends.push_back(static_cast<size_t>(k));
        }
      }
    }
    // The first lines of a pass are planned before any thread can paint; the rest of the first
    // stretch is planned by one thread while the others paint those. Painting a line takes
    // many times as long as planning it, so a sixteenth of the stretch keeps them busy.
    std::sort(ends.begin(), ends.end());
    ends.erase(std::unique(ends.begin(), ends.end()), ends.end());
    if (const size_t head = ends[0] / 16; head > 0) ends.insert(ends.begin(), head);

    auto startLine = [&](int line) {
      const float percent =
          (lineCounters[static_cast<size_t>(line)] / lineCount * bandFraction + progressBase) *
          100.0f;
      std::snprintf(text, sizeof text, Tr(kPercentFormat), static_cast<double>(percent), '%');
      status.assign(text);
      run.paint.ShowStatus(status);
    };
    int passThreads = SweepThreads(pass, threads);
    std::vector<uint8_t>& sweepMeasured = measured[(rowSweep ? 2 : 0) + (forward ? 1 : 0)];
    if (passThreads > 1) {
      pass.brightness = std::move(sweepMeasured);
      if (pass.brightness.empty() && !MeasureSweep(&pass, passThreads)) passThreads = 1;
    }
    SweepPlan plan;
    if (passThreads > 1) {
      plan = PlanSweep(pass, 0, static_cast<int>(ends[0]), random.State(), passThreads, run.paint);
    }
    size_t first = 0;
    for (size_t stretch = 0; stretch < ends.size(); ++stretch) {
      const size_t end = ends[stretch];
      // The refreshes stay where they are: every thread finishes its part of the lines before
      // the canvas is shown, and none starts on the lines after.
      int stop = kSweepNotStarted;
      if (passThreads > 1 && !plan.complete) {
        if (const int pressed = run.paint.PollStop()) return run.Finish(pressed);
        passThreads = 1;  // no memory for a plan: the rest of the pass is painted in order
      }
      if (passThreads > 1) {
        SweepPlan next;
        auto planNext = [&] {
          if (stretch + 1 < ends.size()) {
            next = PlanSweep(pass, static_cast<int>(end), static_cast<int>(ends[stretch + 1]),
                             plan.endState, passThreads, run.paint);
          }
        };
        stop = PaintSweep(pass, plan, &run.work, run.paint, startLine, planNext);
        if (stop == kSweepNotStarted) {
          passThreads = 1;
        } else {
          random.Seed(plan.endState);
          plan = std::move(next);
        }
      }
      if (stop == kSweepNotStarted) {
        stop = 0;
        const int cells = pass.CellsPerLine();
        for (size_t line = first; line < end && stop == 0; ++line) {
          startLine(static_cast<int>(line));
          for (int index = 0; index < cells; ++index) {
            if ((stop = run.paint.PollStop()) != 0) break;
            pass.PaintCell(pass.positions[line], index, target, random);
          }
        }
      }
      if (stop != 0) return run.Finish(stop);
      const bool refresh = std::binary_search(stretchEnds.begin(), stretchEnds.end(), end) &&
                           (end < pass.positions.size() || endsWithRefresh);
      if (refresh) RefreshCanvas(destDC, run.work, display);
      run.paint.RecordProgress(run.work, inside, passDone + static_cast<int64_t>(end), allLines);
      first = end;
    }
    sweepMeasured = std::move(pass.brightness);
    progressBase += bandFraction;
    bandTop -= parameters.bandWidth;
    ++passIndex;
  } while (bandTop > 0);
  for (std::vector<uint8_t>& kept : measured) std::vector<uint8_t>().swap(kept);

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
  run.paint.ShowStatus(Tr(kFinishedText));
  return run.Finish(0);
}

}  // namespace

int PaintPicture(PaintContext& paint, DibHandle* dibHandle, const Rect& display, int style) {
  if (dibHandle == nullptr) return paint.Fail(Tr("There is no start picture to paint."));
  PaintingRun run{paint, dibHandle};
  if (style == kStyleBlackAndWhite) return PaintBlackAndWhite(run, display);
  if (style < kStyleVanGogh || style > kStyleColoredPencil) {
    return run.Finish(paint.Fail("There is no painting style " + std::to_string(style) + "."));
  }
  return PaintStrokes(run, display, style);
}

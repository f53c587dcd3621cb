// SPDX-FileCopyrightText: The Quillane developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Repaint of the output window's frame with a 6400 x 4800 picture fitted into it, at 8 % to
// 19 %: the scaled draw straight from the canvas (smoothed, as the window drew it before it kept
// reduced copies), and the draw from the reduced copies when they are up to date, after a part
// of the canvas changed, and after the whole canvas changed (a refresh of the painting).

#include <benchmark/benchmark.h>

#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <cstdlib>
#include <limits>

#include "gui/reduced_view.h"

namespace {

constexpr int kWidth = 6400;
constexpr int kHeight = 4800;

const QImage& Canvas() {
  static const QImage canvas = [] {
    QImage image(kWidth, kHeight, QImage::Format_RGB32);
    uint32_t state = 12345;
    for (int y = 0; y < kHeight; ++y) {
      auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
      for (int x = 0; x < kWidth; ++x) {
        state = state * 1103515245u + 12345u;
        row[x] = qRgb((x / 25) % 256, (y / 19) % 256, (state >> 16) & 0xff);
      }
    }
    return image;
  }();
  return canvas;
}

// The frame at the benchmark's percentage, and the picture's place in it.
struct Frame {
  QImage image;
  QRectF target;
  explicit Frame(int percent)
      : image(kWidth * percent / 100 + 4, kHeight * percent / 100 + 4, QImage::Format_RGB32),
        target(2, 2, kWidth * percent / 100, kHeight * percent / 100) {}
};

const QRectF kWhole(0, 0, kWidth, kHeight);

void BM_FittedViewDirect(benchmark::State& state) {
  Frame frame(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    QPainter painter(&frame.image);
    painter.setRenderHint(QPainter::SmoothPixmapTransform, true);
    painter.drawImage(frame.target, Canvas(), kWhole);
  }
}

// `changed` is the side of the square of the canvas that changes before each repaint; 0 for
// none, kWidth for all of it. While the painting runs, a repaint reads at most `budget` canvas
// pixels of the changes.
void FittedViewReduced(benchmark::State& state, int changed,
                       qint64 budget = std::numeric_limits<qint64>::max()) {
  Frame frame(static_cast<int>(state.range(0)));
  ReducedView view;
  {
    QPainter painter(&frame.image);
    view.Draw(&painter, Canvas(), frame.target, kWhole);
  }
  int step = 0;
  for (auto _ : state) {
    if (changed > 0) {
      step = (step + 97) % (kHeight - std::min(changed, kHeight) + 1);
      view.Invalidate(QRect(step, step, changed, changed));
    }
    QPainter painter(&frame.image);
    view.Draw(&painter, Canvas(), frame.target, kWhole, budget);
  }
}

void BM_FittedViewReducedUnchanged(benchmark::State& state) {
  FittedViewReduced(state, 0);
}
void BM_FittedViewReducedAfterStrokes(benchmark::State& state) {
  FittedViewReduced(state, 256);
}
void BM_FittedViewReducedAfterRefresh(benchmark::State& state) {
  FittedViewReduced(state, kWidth);
}
void BM_FittedViewReducedDuringRefreshes(benchmark::State& state) {
  FittedViewReduced(state, kWidth, ReducedView::kPixelsPerFrame);
}

#define FITTED_VIEW(name) BENCHMARK(name)->Arg(8)->Arg(12)->Arg(19)->Unit(benchmark::kMillisecond)
FITTED_VIEW(BM_FittedViewDirect);
FITTED_VIEW(BM_FittedViewReducedUnchanged);
FITTED_VIEW(BM_FittedViewReducedAfterStrokes);
FITTED_VIEW(BM_FittedViewReducedAfterRefresh);
FITTED_VIEW(BM_FittedViewReducedDuringRefreshes);

}  // namespace

int main(int argc, char** argv) {
  if (std::getenv("QT_QPA_PLATFORM") == nullptr) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  QGuiApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}

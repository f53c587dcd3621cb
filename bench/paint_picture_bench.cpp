// SPDX-FileCopyrightText: The Quillane developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The painterly engine alone (no decoding or encoding), for every style on pictures of the
// benchmark sizes, on one thread and on every usable processor (threads 0). Wall time counts:
// the threads' processor times add up to more.

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstring>

#include "base/paint_context.h"
#include "effects/effect_engine.h"

namespace {

class QuietWindow : public FrontWindow {
 public:
  void ShowWarningBox(const std::string&) override {}
};

// A picture with gradients, waves and edges, so that every brightness band gets strokes.
DibHandle MakePhotoLike(int width, int height) {
  DibHandle dib = DibHandle::Create24(width, height);
  const int64_t stride = DibRowBytes(width, 24);
  for (int y = 0; y < height; ++y) {
    uint8_t* row = dib.Pixels() + static_cast<int64_t>(height - 1 - y) * stride;
    for (int x = 0; x < width; ++x) {
      const double fx = static_cast<double>(x) / width;
      const double fy = static_cast<double>(y) / height;
      row[x * 3 + 0] = static_cast<uint8_t>(127 + 120 * std::sin(fx * 17 + fy * 5));
      row[x * 3 + 1] = static_cast<uint8_t>(255 * fy);
      row[x * 3 + 2] = static_cast<uint8_t>(((x / 64 + y / 48) % 2) ? 230 * fx : 40);
    }
  }
  return dib;
}

void BM_PaintPicture(benchmark::State& state) {
  const int style = static_cast<int>(state.range(0));
  const int width = static_cast<int>(state.range(1));
  const int height = static_cast<int>(state.range(2));
  const int threads = static_cast<int>(state.range(3));
  const DibHandle source = MakePhotoLike(width, height);
  QuietWindow window;
  for (auto _ : state) {
    state.PauseTiming();
    DibHandle dib = DibHandle::Allocate(source.Size());
    std::memcpy(dib.Lock(), source.Lock(), source.Size());
    PaintContext paint = PaintContext::For(&window, 1);
    paint.threads = threads;
    state.ResumeTiming();
    const int result = PaintPicture(paint, &dib, Rect{2, 2, width + 2, height + 2}, style);
    benchmark::DoNotOptimize(result);
  }
}

void Sizes(benchmark::internal::Benchmark* b) {
  for (int style = 0; style <= 4; ++style) {
    for (int threads : {1, 0}) {
      b->Args({style, 1024, 768, threads});
      b->Args({style, 4000, 3000, threads});
    }
  }
  b->ArgNames({"style", "w", "h", "threads"})
      ->Unit(benchmark::kMillisecond)
      ->MeasureProcessCPUTime()
      ->UseRealTime();
}

BENCHMARK(BM_PaintPicture)->Apply(Sizes);

}  // namespace

BENCHMARK_MAIN();

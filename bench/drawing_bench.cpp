// SPDX-FileCopyrightText: The Quillane developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Cost of the strokes the painting styles draw: pen lines, dots, pencil lines and cell sampling,
// on a canvas of a typical output size.

#include <benchmark/benchmark.h>

#include "effects/pixel_primitives.h"
#include "imaging/drawing_surface.h"
#include "imaging/imaging.h"

namespace {

constexpr int kWidth = 1044;
constexpr int kHeight = 788;

struct Canvas {
  ImgBitmap bitmap;
  DrawingContext* dc = nullptr;
  Canvas() {
    ImgCreate(&bitmap, 1, kWidth, kHeight, 24);
    dc = ImgCreateDC(&bitmap);
    dc->FillRect(Rect{0, 0, kWidth, kHeight}, MakeColor(255, 255, 255));
  }
  ~Canvas() { ImgDeleteDC(dc); }
};

// Cheap repeatable positions spread over the canvas.
struct Walk {
  uint32_t state = 12345;
  int Next(int range) {
    state = state * 1103515245u + 12345u;
    return static_cast<int>((state >> 8) % static_cast<uint32_t>(range));
  }
};

void BM_PenStroke(benchmark::State& state) {
  Canvas canvas;
  Walk walk;
  canvas.dc->SelectPen(Pen{static_cast<int>(state.range(0)), MakeColor(90, 40, 10)});
  for (auto _ : state) {
    const int x = 20 + walk.Next(kWidth - 40);
    const int y = 20 + walk.Next(kHeight - 40);
    canvas.dc->MoveToEx(x, y);
    canvas.dc->LineTo(x + walk.Next(15) - 7, y + walk.Next(15) - 7);
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_PenStroke)->Arg(1)->Arg(3)->Arg(5);

void BM_Dot(benchmark::State& state) {
  Canvas canvas;
  Walk walk;
  canvas.dc->SelectPen(Pen{static_cast<int>(state.range(0)), MakeColor(10, 90, 40)});
  canvas.dc->SelectBrush(Brush{MakeColor(10, 90, 40)});
  for (auto _ : state) {
    const int x = 20 + walk.Next(kWidth - 40);
    const int y = 20 + walk.Next(kHeight - 40);
    canvas.dc->Ellipse(x, y, x + 5, y + 5);
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_Dot)->Arg(1)->Arg(5);

void BM_PencilLine(benchmark::State& state) {
  Canvas canvas;
  Canvas reference;
  reference.dc->FillRect(Rect{0, 0, kWidth, kHeight}, MakeColor(120, 120, 120));
  const BitmapInfoHeader* header = reference.bitmap.dib.Header();
  const uint8_t* pixels = reference.bitmap.dib.Pixels();
  Walk walk;
  for (auto _ : state) {
    const int x = 20 + walk.Next(kWidth - 40);
    const int y = 20 + walk.Next(kHeight - 40);
    DrawPencilLine(canvas.dc, 180, 180, 180, x, y, x + walk.Next(21) - 10, y + walk.Next(21) - 10,
                   header, pixels);
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_PencilLine);

void BM_AverageCell(benchmark::State& state) {
  Canvas canvas;
  const BitmapInfoHeader* header = canvas.bitmap.dib.Header();
  const uint8_t* pixels = canvas.bitmap.dib.Pixels();
  const int side = static_cast<int>(state.range(0));
  Walk walk;
  uint8_t r, g, b;
  for (auto _ : state) {
    const int x = walk.Next(kWidth - side);
    const int y = walk.Next(kHeight - side);
    AverageRegion(header, pixels, x, y, x + side, y + side, &r, &g, &b, 1);
    benchmark::DoNotOptimize(r);
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_AverageCell)->Arg(2)->Arg(4)->Arg(32);

}  // namespace

BENCHMARK_MAIN();

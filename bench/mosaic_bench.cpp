// SPDX-FileCopyrightText: The Quillane developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Cost of whole mosaic runs against a library of 360 pictures of 320 x 240, with the tile
// sources loaded ahead on a second thread and, for comparison, on the matching thread.
//
// The library is QUILLANE_MOSAIC_LIBRARY when set, else a folder of made-up pictures that is
// generated once under the temporary folder.

#include <benchmark/benchmark.h>
#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "base/paint_context.h"
#include "imaging/drawing_surface.h"
#include "imaging/imaging.h"
#include "mosaic/mosaic_internals.h"
#include "mosaic/mosaic_options.h"
#include "mosaic/picture_mosaic.h"

namespace {

class QuietWindow : public FrontWindow {
 public:
  void ShowWarningBox(const std::string&) override {}
};

uint32_t Mix(uint32_t x) {
  x ^= x >> 16;
  x *= 0x7feb352dU;
  x ^= x >> 15;
  x *= 0x846ca68bU;
  return x ^ (x >> 16);
}

// A picture of soft bands and a few discs in colours picked by `seed`.
void MakePicture(ImgBitmap* bitmap, int width, int height, uint32_t seed) {
  ImgCreate(bitmap, 1, width, height, 24);
  DrawingContext* dc = ImgCreateDC(bitmap);
  const uint32_t base = Mix(seed);
  for (int band = 0; band < 8; ++band) {
    const uint32_t c = Mix(base + band);
    dc->FillRect(Rect{0, band * height / 8, width, (band + 1) * height / 8},
                 MakeColor(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF));
  }
  for (int disc = 0; disc < 6; ++disc) {
    const uint32_t c = Mix(base ^ (disc * 7919));
    const int x = static_cast<int>(c % width), y = static_cast<int>((c >> 12) % height);
    const int r = 10 + static_cast<int>((c >> 20) % (height / 3));
    dc->SelectBrush(Brush{MakeColor((c >> 3) & 0xFF, (c >> 11) & 0xFF, (c >> 19) & 0xFF)});
    dc->SelectPen(Pen{1, MakeColor(0, 0, 0)});
    dc->Ellipse(x - r, y - r, x + r, y + r);
  }
  ImgDeleteDC(dc);
}

std::string Library() {
  if (const char* given = std::getenv("QUILLANE_MOSAIC_LIBRARY")) return given;
  const std::string folder = "/tmp/quillane-mosaic-bench-library";
  mkdir(folder.c_str(), 0755);
  for (int i = 0; i < 360; ++i) {
    char name[64];
    std::snprintf(name, sizeof name, "/picture %03d.jpg", i);
    const std::string path = folder + name;
    struct stat info;
    if (stat(path.c_str(), &info) == 0) continue;
    ImgBitmap picture;
    MakePicture(&picture, 320, 240, static_cast<uint32_t>(i));
    ImgSaveFile(path.c_str(), picture);
  }
  return folder;
}

void BM_MosaicRun(benchmark::State& state) {
  const int width = static_cast<int>(state.range(0));
  const int height = static_cast<int>(state.range(1));
  MosaicOptions options;
  options.tilesAcross = static_cast<int32_t>(state.range(2));
  options.lookahead = static_cast<int>(state.range(3));
  options.libraryFolder = Library() + "/";
  options.useList = false;
  options.useLibrary = true;

  QuietWindow window;
  ImgBitmap start;
  MakePicture(&start, width, height, 4242);
  for (auto _ : state) {
    state.PauseTiming();
    ImgBitmap copy;
    ImgCopy(&copy, &start);
    DibHandle dib = ImgToDib(&copy);
    PaintContext paint = PaintContext::For(&window, 1);
    state.ResumeTiming();
    const int result = RunPictureMosaic(paint, &dib, Rect{0, 0, width, height}, options);
    if (result != 0) state.SkipWithError("the mosaic did not complete");
  }
}
BENCHMARK(BM_MosaicRun)
    ->ArgNames({"width", "height", "across", "lookahead"})
    ->Args({1024, 768, 32, 8})
    ->Args({1024, 768, 32, 0})
    ->Args({4000, 3000, 125, 8})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(3);

}  // namespace

BENCHMARK_MAIN();

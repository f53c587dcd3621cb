// SPDX-FileCopyrightText: The Quillane developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Time to load the stock picture library as the mosaic does: every picture, with and without the
// size hint that lets large JPEGs decode at a reduced scale, and then resized to cover one tile.
// Run from the build's bin folder, beside which the library is copied.

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "imaging/imaging.h"

namespace {

std::filesystem::path ExecutableFolder() {
  std::error_code error;
  const auto self = std::filesystem::read_symlink("/proc/self/exe", error);
  return error ? std::filesystem::current_path() : self.parent_path();
}

const std::vector<std::string>& LibraryPictures() {
  static const std::vector<std::string> pictures = [] {
    std::vector<std::string> found;
    std::error_code error;
    for (const auto& entry :
         std::filesystem::directory_iterator(ExecutableFolder() / "Picture Library", error)) {
      if (entry.path().extension() == ".jpg") found.push_back(entry.path().string());
    }
    std::sort(found.begin(), found.end());
    return found;
  }();
  return pictures;
}

// The mosaic's tiles at its default 1024 x 768 output and 24 tiles across: about 43 x 32.
constexpr int32_t kTileWidth = 43;
constexpr int32_t kTileHeight = 32;

void LoadLibrary(benchmark::State& state, int32_t hintWidth, int32_t hintHeight, bool resize) {
  const auto& pictures = LibraryPictures();
  if (pictures.empty()) {
    state.SkipWithError("no Picture Library beside the benchmark");
    return;
  }
  int64_t pixels = 0;
  for (auto _ : state) {
    for (const std::string& path : pictures) {
      ImgBitmap bitmap;
      if (!ImgLoadFile(path.c_str(), &bitmap, 0, 1, 0, hintWidth, hintHeight)) {
        state.SkipWithError(("cannot load " + path).c_str());
        return;
      }
      pixels += static_cast<int64_t>(bitmap.width) * bitmap.height;
      if (resize) {
        // Cover the tile, keeping the proportions, as the mosaic does.
        const float r = std::max(static_cast<float>(kTileWidth) / bitmap.width,
                                 static_cast<float>(kTileHeight + 1) / bitmap.height);
        ImgResize(&bitmap, static_cast<int32_t>(bitmap.width * r),
                  static_cast<int32_t>(bitmap.height * r), 2);
      }
      benchmark::DoNotOptimize(bitmap.dib.Lock());
    }
  }
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(pictures.size()));
  state.counters["pictures"] = static_cast<double>(pictures.size());
  state.counters["decoded_px_per_picture"] =
      static_cast<double>(pixels) / static_cast<double>(state.iterations() * pictures.size());
}

void BM_LoadLibrary(benchmark::State& state) {
  LoadLibrary(state, 0, 0, false);
}
void BM_LoadLibraryWithHint(benchmark::State& state) {
  LoadLibrary(state, 64, 48, false);
}
void BM_LoadAndFitLibrary(benchmark::State& state) {
  LoadLibrary(state, 0, 0, true);
}
void BM_LoadAndFitLibraryWithHint(benchmark::State& state) {
  LoadLibrary(state, kTileWidth, kTileHeight, true);
}

// The 1024 x 768 example picture, whose decode the hint shortens most.
void BM_LoadExamplePicture(benchmark::State& state) {
  const std::string path = (ExecutableFolder() / "Example Picture.jpg").string();
  const int32_t hint = static_cast<int32_t>(state.range(0));
  for (auto _ : state) {
    ImgBitmap bitmap;
    if (!ImgLoadFile(path.c_str(), &bitmap, 0, 1, 0, hint, hint * 3 / 4)) {
      state.SkipWithError("cannot load the example picture");
      return;
    }
    benchmark::DoNotOptimize(bitmap.dib.Lock());
  }
}

}  // namespace

BENCHMARK(BM_LoadLibrary)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadLibraryWithHint)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadAndFitLibrary)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadAndFitLibraryWithHint)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadExamplePicture)->Arg(0)->Arg(64)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();

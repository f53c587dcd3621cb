// SPDX-FileCopyrightText: The Quillane developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Colour depth changes. Pictures are always stored at 24 bits; a lower depth only limits the
// colours the pixels take.

#include <algorithm>
#include <atomic>
#include <exception>
#include <memory>
#include <thread>
#include <vector>

#include "imaging/imaging.h"

namespace {

// Two-level picture by Floyd-Steinberg error diffusion on the luminance, so that the grey
// levels of the picture survive as the density of black dots. Integer arithmetic keeps the
// result the same on every machine.
//
// A pixel takes error from its left neighbour and from the three pixels above it (up-left,
// up, up-right). The sums are of integers, so they come out the same in any order: row y can
// be worked on while row y - 1 is, as long as it stays two pixels behind. The threads take the
// rows in order, one at a time, so at most `threads` rows are under way at once, and row y
// - threads is finished by the time row y is taken. The errors each row hands down live in a
// ring of threads + 1 buffers: the one row y fills is that which row y - threads read.
class Diffusion {
 public:
  Diffusion(ImgBitmap* bitmap, int threads)
      : bitmap_(bitmap),
        width_(bitmap->width),
        slots_(static_cast<size_t>(threads) + 1),
        progress_(std::make_unique<Progress[]>(slots_)),
        fromAbove_(slots_ * (static_cast<size_t>(width_) + 2), 0) {}

  void Rows() {
    // Taking a row also orders this thread after the one that finished the row whose buffer
    // this row reuses.
    for (int32_t y; (y = nextRow_.fetch_add(1, std::memory_order_acq_rel)) < bitmap_->height;) {
      Row(y);
    }
  }

 private:
  // How far a row has come: its number in the high half, pixels done in the low half, so that
  // a slot's later row always compares greater.
  struct alignas(64) Progress {
    std::atomic<int64_t> mark{-1};
  };
  static int64_t Mark(int64_t row, int64_t done) { return (row << 32) | done; }
  // Pixels handed on at a time: the row below waits for whole chunks.
  static constexpr int32_t kChunk = 64;

  int32_t* Errors(int64_t row) {
    return &fromAbove_[static_cast<size_t>(row % static_cast<int64_t>(slots_)) *
                       (static_cast<size_t>(width_) + 2)];
  }

  void WaitFor(int64_t row, int32_t done) const {
    const Progress& above = progress_[static_cast<size_t>(row % static_cast<int64_t>(slots_))];
    for (int spins = 0; above.mark.load(std::memory_order_acquire) < Mark(row, done); ++spins) {
      if (spins > 64) std::this_thread::yield();
    }
  }

  void Row(int32_t y) {
    uint8_t* row = bitmap_->Row(y);
    const int32_t* in = Errors(y);  // one spare entry on each side
    int32_t* out = Errors(y + 1);
    std::fill(out, out + width_ + 2, 0);
    Progress& mine = progress_[static_cast<size_t>(y % static_cast<int64_t>(slots_))];
    int32_t fromLeft = 0;
    for (int32_t x0 = 0; x0 < width_; x0 += kChunk) {
      const int32_t x1 = std::min(width_, x0 + kChunk);
      if (y > 0) WaitFor(y - 1, std::min(width_, x1 + 1));
      for (int32_t x = x0; x < x1; ++x) {
        uint8_t* p = row + static_cast<int64_t>(x) * 3;
        const int32_t luma =
            static_cast<int32_t>((114u * p[0] + 587u * p[1] + 299u * p[2] + 500u) / 1000u);
        const int32_t value = luma + (in[x + 1] + fromLeft) / 16;
        const int32_t level = value >= 128 ? 255 : 0;
        const int32_t error = value - level;
        fromLeft = error * 7;
        out[x] += error * 3;
        out[x + 1] += error * 5;
        out[x + 2] += error * 1;
        p[0] = p[1] = p[2] = static_cast<uint8_t>(level);
      }
      mine.mark.store(Mark(y, x1), std::memory_order_release);
    }
  }

  ImgBitmap* bitmap_;
  int32_t width_;
  size_t slots_;
  std::atomic<int32_t> nextRow_{0};
  std::unique_ptr<Progress[]> progress_;
  std::vector<int32_t> fromAbove_;
};

}  // namespace

void ImgDiffuseToBlackAndWhite(ImgBitmap* bitmap, int threads) {
  if (bitmap == nullptr || !bitmap->hasImage || bitmap->width <= 0) return;
  threads = std::clamp(threads, 1, std::max(1, bitmap->height / 16));
  Diffusion diffusion(bitmap, threads);
  std::vector<std::thread> helpers;
  try {
    for (int t = 1; t < threads; ++t) helpers.emplace_back([&diffusion] { diffusion.Rows(); });
  } catch (const std::exception&) {
    // The threads that did start share the rows.
  }
  diffusion.Rows();
  for (std::thread& helper : helpers) helper.join();
}

int ImgSetColorDepth(ImgBitmap* destination, ImgBitmap* source, int bitsPerPixel, int option, int,
                     int, int, int, int) {
  if (destination == nullptr || source == nullptr || !source->hasImage || !source->dib) return 0;
  // Two conversions exist: to 24 bits plainly, and to black and white by error diffusion.
  const bool toColour = bitsPerPixel == 24 && option == 0;
  const bool toBlackAndWhite = bitsPerPixel == 1 && option == kColorDepthDither;
  if (!toColour && !toBlackAndWhite) return 0;
  if (destination != source && !ImgCopy(destination, source)) return 0;
  if (bitsPerPixel == 1) ImgDiffuseToBlackAndWhite(destination, 1);
  return 1;
}

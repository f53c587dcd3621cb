// SPDX-FileCopyrightText: The Quillane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <vector>

#include "base/paint_context.h"
#include "effects/effect_engine.h"
#include "effects/stroke_placement.h"
#include "imaging/drawing_surface.h"
#include "imaging/imaging.h"
#include "support/fake_window.h"
#include "support/painting_pictures.h"

namespace {

struct Painted {
  int result;
  DibHandle picture;
  FakeWindow window;
  uint32_t randomState;
};

void PaintOn(int threads, int style, int width, int height, uint32_t seed, int stopAtStatus,
             Painted* out) {
  out->window.KeepPixels(true);
  out->window.StopAtStatus(stopAtStatus);
  out->picture = MakePatternDib(width, height, static_cast<int>(seed % 3));
  PaintContext paint = PaintContext::For(&out->window, seed);
  paint.threads = threads;
  out->result = PaintPicture(paint, &out->picture, Rect{2, 2, 130, 90}, style);
  out->randomState = paint.random.State();
}

// Lines of 64 pixels of canvas or less are one block and painted in order; wider ones are
// shared by as many threads as they have blocks. Odd sizes start backward sweeps on odd lines.
struct Case {
  int style;
  int width;
  int height;
  uint32_t seed;
};
const Case kCases[] = {
    {kStyleVanGogh, 12, 9, 1},          {kStyleVanGogh, 13, 45, 2},
    {kStyleVanGogh, 161, 97, 3},        {kStylePointillism, 12, 40, 4},
    {kStylePointillism, 47, 13, 5},     {kStylePointillism, 151, 120, 6},
    {kStyleColoredPencil, 30, 11, 7},   {kStyleColoredPencil, 213, 77, 8},
    {kStyleCharcoalPencil, 45, 33, 9},  {kStyleCharcoalPencil, 140, 141, 10},
    {kStyleColoredPencil, 77, 213, 11}, {kStyleVanGogh, 301, 36, 12},
};

TEST(ParallelSweep, EveryThreadCountPaintsAndShowsWhatOneThreadDoes) {
  for (const Case& c : kCases) {
    Painted alone;
    PaintOn(1, c.style, c.width, c.height, c.seed, 0, &alone);
    ASSERT_EQ(alone.result, 0);
    for (int threads : {2, 3, 8}) {
      SCOPED_TRACE(testing::Message() << "style " << c.style << " " << c.width << "x" << c.height
                                      << " threads " << threads);
      Painted together;
      PaintOn(threads, c.style, c.width, c.height, c.seed, 0, &together);
      EXPECT_EQ(together.result, 0);
      EXPECT_TRUE(SamePixels(together.picture, alone.picture));
      EXPECT_EQ(together.randomState, alone.randomState);
      EXPECT_EQ(together.window.statuses, alone.window.statuses);
      // The staged refreshes show the canvas exactly as the sweep in order leaves it.
      ASSERT_EQ(together.window.pictures.size(), alone.window.pictures.size());
      for (size_t i = 0; i < alone.window.pictures.size(); ++i) {
        EXPECT_EQ(together.window.pictures[i].stage, alone.window.pictures[i].stage);
        EXPECT_EQ(together.window.pictures[i].pixels, alone.window.pictures[i].pixels) << i;
      }
    }
  }
}

TEST(ParallelSweep, StopEndsEveryThreadAndHandsBackTheFramedCanvas) {
  for (int style : {kStyleVanGogh, kStylePointillism, kStyleColoredPencil}) {
    Painted stopped;
    PaintOn(8, style, 200, 150, 3, 40, &stopped);
    EXPECT_EQ(stopped.result, 1);
    EXPECT_EQ(DibWidth(stopped.picture), 220);
    EXPECT_EQ(DibHeight(stopped.picture), 170);
    EXPECT_EQ(stopped.window.statuses.back(), "绘画已被取消。          ");
    EXPECT_EQ(stopped.window.statuses.size(), 41u);
  }
}

// Threads paint strokes at once wherever their centres lie more than twice the reach apart.
TEST(ParallelSweep, StrokesStayWithinTheirReach) {
  const DibHandle reference = MakePatternDib(64, 64, 2);
  for (int style : {kStyleVanGogh, kStylePointillism, kStyleColoredPencil, kStyleCharcoalPencil}) {
    ImgBitmap canvas;
    ASSERT_EQ(ImgFromDib(&canvas, MakePatternDib(64, 64, 1)), 1);
    DrawingContext dc(&canvas);
    StrokeTarget target{reference.Header(),
                        reference.Pixels(),
                        reference.Header(),
                        reference.Pixels(),
                        &dc,
                        64,
                        64};
    Random random(static_cast<uint32_t>(style));
    uint8_t* const block = canvas.dib.Lock();
    for (int stroke = 0; stroke < 3000; ++stroke) {
      const std::vector<uint8_t> before(block, block + canvas.dib.Size());
      PlaceStroke(31, 31, 33, 33, 32, 32, style, StyleParametersFor(style), 256, 257, target,
                  random);
      for (int y = 0; y < 64; ++y) {
        for (int x = 0; x < 64; ++x) {
          if (std::abs(x - 32) <= kStrokeReach && std::abs(y - 32) <= kStrokeReach) continue;
          const size_t at = static_cast<size_t>(canvas.Row(y) - block) + x * 3;
          ASSERT_TRUE(std::equal(block + at, block + at + 3, before.begin() + at))
              << "style " << style << " stroke " << stroke << " at " << x << "," << y;
        }
      }
    }
  }
}

}  // namespace

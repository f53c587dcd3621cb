// SPDX-FileCopyrightText: The Quillane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "effects/stroke_placement.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <vector>

#include "imaging/drawing_surface.h"
#include "imaging/imaging.h"
#include "app/program_random.h"
#include "support/painting_pictures.h"

namespace {

TEST(StyleParameters, FollowTheStyleTable) {
  const StyleParameters vanGogh = StyleParametersFor(kStyleVanGogh);
  EXPECT_EQ(vanGogh.cellSize, 2);
  EXPECT_EQ(vanGogh.baseLength, 3);
  EXPECT_EQ(vanGogh.baseWidth, 2);
  EXPECT_EQ(vanGogh.widthSpread, 6.0f);
  EXPECT_EQ(vanGogh.colorSpread, 25.0f);
  EXPECT_EQ(vanGogh.bandWidth, 255);

  const StyleParameters dots = StyleParametersFor(kStylePointillism);
  EXPECT_EQ(dots.cellSize, 4);
  EXPECT_EQ(dots.baseLength, 3);
  EXPECT_EQ(dots.baseWidth, 2);
  EXPECT_EQ(dots.widthSpread, 6.0f);
  EXPECT_EQ(dots.colorSpread, 50.0f);
  EXPECT_EQ(dots.bandWidth, 32);

  for (int pencil : {kStyleCharcoalPencil, kStyleColoredPencil}) {
    const StyleParameters p = StyleParametersFor(pencil);
    EXPECT_EQ(p.cellSize, 2);
    EXPECT_EQ(p.baseLength, 6);
    EXPECT_EQ(p.baseWidth, 1);
    EXPECT_EQ(p.widthSpread, 2.0f);
    EXPECT_EQ(p.colorSpread, 25.0f);
    EXPECT_EQ(p.bandWidth, 255);
  }
}

TEST(RandomUnit, StaysJustBelowOne) {
  EXPECT_EQ(RandomUnit(0), 0.0);
  EXPECT_LT(RandomUnit(32767), 1.0);
  EXPECT_NEAR(RandomUnit(32767), 0.9999999991, 1e-10);
  // The largest draw paints a cell (trunc(3u) = 2) and rounds up to the full spread when the
  // product is stored in single precision.
  EXPECT_EQ(static_cast<int>(3.0 * RandomUnit(32767)), 2);
  EXPECT_EQ(static_cast<float>(RandomUnit(32767) * 6.0), 6.0f);
  EXPECT_EQ(static_cast<int>(10.0 * RandomUnit(32767) - 5.0), 4);
  EXPECT_EQ(static_cast<int>(10.0 * RandomUnit(0) - 5.0), -5);
  EXPECT_EQ(static_cast<int>(10.0 * RandomUnit(1) - 5.0), -4);
}

// A framed picture (reference), its colour copy and a canvas, as the engine prepares them.
class StrokeBench {
 public:
  StrokeBench(int width, int height, uint8_t grey)
      : reference_(MakeSolidDib(width + 20, height + 20, 0, 0, 0)) {
    for (int y = 10; y < height + 10; ++y) {
      for (int x = 10; x < width + 10; ++x) SetReferencePixel(x, y, MakeColor(grey, grey, grey));
    }
    ResetCanvas();
  }
  ~StrokeBench() {
    if (dc_ != nullptr) ImgDeleteDC(dc_);
    if (canvas_.hasImage) ImgFree(&canvas_);
  }

  void SetReferencePixel(int x, int y, ColorRef c) {
    const BitmapInfoHeader* h = reference_.Header();
    uint8_t* p = reference_.Pixels() + (h->biHeight - 1 - y) * DibRowBytes(h->biWidth, 24) + x * 3;
    p[0] = ColorBlue(c);
    p[1] = ColorGreen(c);
    p[2] = ColorRed(c);
  }

  // The canvas starts as a copy of the reference.
  void ResetCanvas() {
    if (dc_ != nullptr) ImgDeleteDC(dc_);
    if (canvas_.hasImage) ImgFree(&canvas_);
    ImgInitHandle(&canvas_, 0, 0, 0);
    ASSERT_EQ(ImgFromDibBits(&canvas_, reference_.Header(), reference_.Pixels()), 1);
    dc_ = ImgCreateDC(&canvas_);
    ASSERT_NE(dc_, nullptr);
  }

  StrokeTarget Target() const {
    StrokeTarget t;
    t.referenceHeader = reference_.Header();
    t.referencePixels = reference_.Pixels();
    t.colorCopyHeader = reference_.Header();
    t.colorCopyPixels = reference_.Pixels();
    t.canvas = dc_;
    t.canvasWidth = DibWidth(reference_);
    t.canvasHeight = DibHeight(reference_);
    return t;
  }

  bool CanvasEqualsReference() const {
    for (int y = 0; y < canvas_.height; ++y) {
      for (int x = 0; x < canvas_.width; ++x) {
        if (dc_->GetPixel(x, y) != DibPixel(reference_, x, y)) return false;
      }
    }
    return true;
  }

 private:
  DibHandle reference_;
  ImgBitmap canvas_;
  DrawingContext* dc_ = nullptr;
};

// How many draws one PlaceStroke call took from the generator.
int DrawsTaken(uint32_t seed, const std::function<void()>& call) {
  SeedRandom(seed);
  std::vector<int> sequence;
  for (int i = 0; i < 12; ++i) sequence.push_back(DrawRandom());
  SeedRandom(seed);
  call();
  const int next = DrawRandom();
  for (int i = 0; i < 12; ++i) {
    if (sequence[i] == next) return i;
  }
  return -1;
}

TEST(PlaceStroke, StrokeReachingIntoTheMarginIsDroppedWholeButTakesAllFiveDraws) {
  // A cell centred on the first drawable pixel: any stroke with an extent has one end in the
  // margin. Pens up to 5 pixels wide would have painted inside the picture had it been clipped.
  StrokeBench bench(40, 30, 100);
  const StyleParameters p = StyleParametersFor(kStyleVanGogh);
  int fullDecisions = 0;
  for (uint32_t seed = 1; seed <= 400; ++seed) {
    SeedRandom(seed);
    const bool skipped = static_cast<int>(3.0 * RandomUnit(DrawRandom())) == 1;
    const int draws = DrawsTaken(seed, [&] {
      PlaceStroke(10, 10, 12, 12, 10, 10, kStyleVanGogh, p, 255, 255, bench.Target(),
                  ProgramRandom());
    });
    EXPECT_EQ(draws, skipped ? 1 : 5) << "seed " << seed;
    if (!skipped) ++fullDecisions;
  }
  EXPECT_GT(fullDecisions, 200);
  EXPECT_TRUE(bench.CanvasEqualsReference());
}

TEST(PlaceStroke, CellsInsideThePicturePaintSomeStrokes) {
  // The same strokes one pixel further in are not all dropped: the test above can fail.
  StrokeBench bench(40, 30, 100);
  const StyleParameters p = StyleParametersFor(kStyleVanGogh);
  for (uint32_t seed = 1; seed <= 50; ++seed) {
    SeedRandom(seed);
    PlaceStroke(28, 24, 30, 26, 29, 25, kStyleVanGogh, p, 255, 255, bench.Target(),
                ProgramRandom());
  }
  EXPECT_FALSE(bench.CanvasEqualsReference());
}

TEST(PlaceStroke, CellOutsideTheBandTakesTwoDrawsAndDrawsNothing) {
  StrokeBench bench(40, 30, 100);  // brightness 100
  const StyleParameters p = StyleParametersFor(kStylePointillism);
  for (uint32_t seed = 1; seed <= 100; ++seed) {
    SeedRandom(seed);
    const bool skipped = static_cast<int>(3.0 * RandomUnit(DrawRandom())) == 1;
    // Band [127, 159): 100 is below it; band [100, 132) would hold it.
    const int draws = DrawsTaken(seed, [&] {
      PlaceStroke(24, 20, 28, 24, 26, 22, kStylePointillism, p, 159, 32, bench.Target(),
                  ProgramRandom());
    });
    EXPECT_EQ(draws, skipped ? 1 : 2) << "seed " << seed;
    const int inBand = DrawsTaken(seed, [&] {
      PlaceStroke(24, 20, 28, 24, 26, 22, kStylePointillism, p, 101, 32, bench.Target(),
                  ProgramRandom());
    });
    EXPECT_EQ(inBand, skipped ? 1 : 5) << "seed " << seed;
  }
}

TEST(PlaceStroke, BrightnessOf255IsNeverPainted) {
  StrokeBench bench(40, 30, 255);
  for (int style : {kStyleVanGogh, kStylePointillism, kStyleColoredPencil, kStyleCharcoalPencil}) {
    const StyleParameters p = StyleParametersFor(style);
    for (uint32_t seed = 1; seed <= 200; ++seed) {
      SeedRandom(seed);
      // A band reaching above 255 would otherwise take it.
      PlaceStroke(24, 20, 24 + p.cellSize, 20 + p.cellSize, 24 + p.cellSize / 2,
                  20 + p.cellSize / 2, style, p, 255, 255, bench.Target(), ProgramRandom());
    }
    EXPECT_TRUE(bench.CanvasEqualsReference()) << "style " << style;
  }
}

TEST(PlaceStroke, DotsAreFiveByFiveAroundTheStrokeMiddle) {
  StrokeBench bench(40, 30, 100);
  const StyleParameters p = StyleParametersFor(kStylePointillism);
  // Strokes are symmetric about the cell centre, so every dot box lies at (xc-3, yc-3) to
  // (xc+3, yc+3) whatever the stroke's length; a pen outline adds at most 2 pixels. Dots at
  // the stroke's ends would reach up to 7 pixels further out.
  for (uint32_t seed = 1; seed <= 200; ++seed) {
    SeedRandom(seed);
    PlaceStroke(24, 20, 28, 24, 26, 22, kStylePointillism, p, 255, 255, bench.Target(),
                ProgramRandom());
  }
  StrokeBench untouched(40, 30, 100);
  const StrokeTarget painted = bench.Target();
  const StrokeTarget plain = untouched.Target();
  bool anyChange = false;
  for (int y = 0; y < painted.canvasHeight; ++y) {
    for (int x = 0; x < painted.canvasWidth; ++x) {
      if (painted.canvas->GetPixel(x, y) == plain.canvas->GetPixel(x, y)) continue;
      anyChange = true;
      EXPECT_GE(x, 26 - 5);
      EXPECT_LE(x, 26 + 5);
      EXPECT_GE(y, 22 - 5);
      EXPECT_LE(y, 22 + 5);
    }
  }
  EXPECT_TRUE(anyChange);
}

}  // namespace

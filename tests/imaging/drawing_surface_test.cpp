// SPDX-FileCopyrightText: The Quillane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "imaging/drawing_surface.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <utility>

#include "imaging/imaging.h"

namespace {

constexpr ColorRef kWhite = MakeColor(255, 255, 255);
constexpr ColorRef kRed = MakeColor(255, 0, 0);
constexpr ColorRef kBlue = MakeColor(0, 0, 255);

// A white canvas with its drawing context.
class Canvas {
 public:
  Canvas(int width, int height) {
    EXPECT_EQ(ImgCreate(&bitmap_, 1, width, height, 24), 1);
    dc_ = ImgCreateDC(&bitmap_);
    EXPECT_NE(dc_, nullptr);
    dc_->FillRect(Rect{0, 0, width, height}, kWhite);
  }
  ~Canvas() { ImgDeleteDC(dc_); }
  DrawingContext& dc() { return *dc_; }
  ImgBitmap& bitmap() { return bitmap_; }

  std::set<std::pair<int, int>> PixelsOf(ColorRef color) const {
    std::set<std::pair<int, int>> found;
    for (int y = 0; y < dc_->Height(); ++y)
      for (int x = 0; x < dc_->Width(); ++x)
        if (dc_->GetPixel(x, y) == color) found.insert({x, y});
    return found;
  }
  std::set<std::pair<int, int>> Painted() const {
    std::set<std::pair<int, int>> found;
    for (int y = 0; y < dc_->Height(); ++y)
      for (int x = 0; x < dc_->Width(); ++x)
        if (dc_->GetPixel(x, y) != kWhite) found.insert({x, y});
    return found;
  }

 private:
  ImgBitmap bitmap_;
  DrawingContext* dc_ = nullptr;
};

using Points = std::set<std::pair<int, int>>;

}  // namespace

TEST(DrawingSurfaceCreate, RefusesBadSizesAndEmptyBitmaps) {
  ImgBitmap bitmap;
  EXPECT_EQ(ImgCreate(&bitmap, 1, 0, 10, 24), 0);
  EXPECT_EQ(ImgCreate(&bitmap, 1, 10, -1, 24), 0);
  EXPECT_EQ(bitmap.hasImage, 0);
  EXPECT_EQ(ImgCreateDC(&bitmap), nullptr);
  EXPECT_EQ(ImgCreateDC(nullptr), nullptr);

  ASSERT_EQ(ImgCreate(&bitmap, 1, 7, 3, 24), 1);
  EXPECT_EQ(bitmap.width, 7);
  EXPECT_EQ(bitmap.height, 3);
  EXPECT_EQ(bitmap.hasImage, 1);
  DrawingContext* dc = ImgCreateDC(&bitmap);
  ASSERT_NE(dc, nullptr);
  EXPECT_EQ(dc->Width(), 7);
  EXPECT_EQ(dc->Height(), 3);
  EXPECT_EQ(dc->GetPixel(6, 2), MakeColor(0, 0, 0));  // a new image is black
  ImgDeleteDC(dc);
}

TEST(DrawingSurfacePixels, ColourOrderAndRowOrderMatchThePackedBitmap) {
  Canvas canvas(5, 4);
  canvas.dc().SetPixel(1, 0, MakeColor(10, 20, 30));
  // Row 0 is the top row, stored last in a bottom-up bitmap, blue first.
  const uint8_t* pixels = canvas.bitmap().dib.Pixels();
  const int stride = canvas.bitmap().Stride();
  EXPECT_EQ(stride, 16);
  const uint8_t* p = pixels + 3 * stride + 1 * 3;
  EXPECT_EQ(p[0], 30);
  EXPECT_EQ(p[1], 20);
  EXPECT_EQ(p[2], 10);
  EXPECT_EQ(canvas.dc().GetPixel(1, 0), MakeColor(10, 20, 30));
  EXPECT_EQ(ColorRed(canvas.dc().GetPixel(1, 0)), 10u);
  EXPECT_EQ(ColorBlue(canvas.dc().GetPixel(1, 0)), 30u);

  EXPECT_EQ(canvas.dc().GetPixel(-1, 0), kInvalidColor);
  EXPECT_EQ(canvas.dc().GetPixel(5, 0), kInvalidColor);
  EXPECT_EQ(canvas.dc().GetPixel(0, 4), kInvalidColor);
  canvas.dc().SetPixel(5, 0, kRed);  // outside: ignored, must not write past the row
  canvas.dc().SetPixel(0, -1, kRed);
  EXPECT_EQ(canvas.Painted(), (Points{{1, 0}}));
}

TEST(DrawingSurfaceLines, ThinLinesLeaveOutTheEndPoint) {
  Canvas canvas(12, 12);
  DrawingContext& dc = canvas.dc();
  EXPECT_EQ(dc.CurrentPen().width, 1);
  EXPECT_EQ(dc.CurrentPen().color, MakeColor(0, 0, 0));
  dc.SelectPen(Pen{1, kRed});
  dc.MoveToEx(2, 5);
  dc.LineTo(6, 5);
  EXPECT_EQ(canvas.PixelsOf(kRed), (Points{{2, 5}, {3, 5}, {4, 5}, {5, 5}}));

  Canvas reversed(12, 12);
  reversed.dc().SelectPen(Pen{0, kRed});
  reversed.dc().MoveToEx(6, 5);
  reversed.dc().LineTo(2, 5);
  EXPECT_EQ(reversed.PixelsOf(kRed), (Points{{6, 5}, {5, 5}, {4, 5}, {3, 5}}));

  Canvas diagonal(12, 12);
  diagonal.dc().SelectPen(Pen{-1, kRed});
  diagonal.dc().MoveToEx(1, 1);
  diagonal.dc().LineTo(4, 4);
  EXPECT_EQ(diagonal.PixelsOf(kRed), (Points{{1, 1}, {2, 2}, {3, 3}}));

  Canvas steep(12, 12);
  steep.dc().SelectPen(Pen{1, kRed});
  steep.dc().MoveToEx(3, 1);
  steep.dc().LineTo(5, 9);
  const Points steepPixels = steep.PixelsOf(kRed);
  EXPECT_EQ(steepPixels.size(), 8u);  // one pixel per row, rows 1 to 8
  EXPECT_TRUE(steepPixels.count({3, 1}));
  EXPECT_FALSE(steepPixels.count({5, 9}));
  for (const auto& [x, y] : steepPixels) {
    EXPECT_GE(x, 3);
    EXPECT_LE(x, 5);
  }
}

TEST(DrawingSurfaceLines, LineToCurrentPositionDrawsNothingAndMovesOn) {
  Canvas canvas(10, 10);
  DrawingContext& dc = canvas.dc();
  dc.MoveToEx(4, 4);
  dc.LineTo(4, 4);
  EXPECT_TRUE(canvas.Painted().empty());
  dc.SelectPen(Pen{5, kRed});
  dc.LineTo(4, 4);
  EXPECT_TRUE(canvas.Painted().empty());

  // The end of one line is the start of the next: a joined polyline.
  dc.SelectPen(Pen{1, kRed});
  dc.LineTo(6, 4);
  dc.LineTo(6, 6);
  EXPECT_EQ(canvas.PixelsOf(kRed), (Points{{4, 4}, {5, 4}, {6, 4}, {6, 5}}));
}

TEST(DrawingSurfaceLines, WidePensCoverAboutTheirWidthWithRoundEnds) {
  for (int width = 2; width <= 6; ++width) {
    Canvas canvas(40, 40);
    canvas.dc().SelectPen(Pen{width, kRed});
    canvas.dc().MoveToEx(10, 20);
    canvas.dc().LineTo(30, 20);
    // Across the middle of the line, exactly `width` rows are covered, in one run.
    int covered = 0, first = -1, last = -1;
    for (int y = 0; y < 40; ++y) {
      if (canvas.dc().GetPixel(20, y) == kRed) {
        ++covered;
        if (first < 0) first = y;
        last = y;
      }
    }
    EXPECT_EQ(covered, width) << "width " << width;
    EXPECT_EQ(last - first + 1, width);
    EXPECT_LE(first, 20);
    EXPECT_GE(last, 19);
    // Round ends reach beyond the end points, but no further than half the width.
    EXPECT_EQ(canvas.dc().GetPixel(30 + width / 2 + 1, 20), kWhite);
    EXPECT_EQ(canvas.dc().GetPixel(10 - width / 2 - 1, 20), kWhite);
    if (width >= 3) {
      EXPECT_EQ(canvas.dc().GetPixel(31, 20), kRed);
      EXPECT_EQ(canvas.dc().GetPixel(9, 20), kRed);
      // Round, not square: the corners of the end are left out.
      if (width >= 4) {
        EXPECT_EQ(canvas.dc().GetPixel(30 + width / 2, 20 + width / 2), kWhite);
      }
    }
  }

  // A diagonal line of width 4 covers about 4 pixels measured across it.
  Canvas diagonal(40, 40);
  diagonal.dc().SelectPen(Pen{4, kBlue});
  diagonal.dc().MoveToEx(5, 5);
  diagonal.dc().LineTo(35, 35);
  int across = 0;
  for (int y = 0; y < 40; ++y)
    if (diagonal.dc().GetPixel(20, y) == kBlue) ++across;
  // Width 4 along a 45-degree line covers 4 x sqrt(2) pixels of a column.
  EXPECT_GE(across, 5);
  EXPECT_LE(across, 6);
}

TEST(DrawingSurfaceEllipse, FiveByFiveBoxGivesTheTwentyOnePixelDisc) {
  Canvas canvas(9, 9);
  DrawingContext& dc = canvas.dc();
  EXPECT_EQ(dc.CurrentBrush().color, kWhite);
  dc.SelectPen(Pen{1, kRed});
  dc.SelectBrush(Brush{kBlue});
  dc.Ellipse(2, 2, 7, 7);
  Points disc;
  for (int y = 2; y < 7; ++y)
    for (int x = 2; x < 7; ++x)
      if (!((x == 2 || x == 6) && (y == 2 || y == 6))) disc.insert({x, y});
  EXPECT_EQ(canvas.Painted(), disc);
  Points inside;
  for (int y = 3; y < 6; ++y)
    for (int x = 3; x < 6; ++x) inside.insert({x, y});
  EXPECT_EQ(canvas.PixelsOf(kBlue), inside);
  EXPECT_EQ(canvas.PixelsOf(kRed).size(), 12u);
}

TEST(DrawingSurfaceEllipse, EvenAndLargeBoxesStayInsideAndSymmetric) {
  Canvas even(8, 8);
  even.dc().SelectPen(Pen{1, kRed});
  even.dc().SelectBrush(Brush{kBlue});
  even.dc().Ellipse(2, 2, 6, 6);
  Points rounded;
  for (int y = 2; y < 6; ++y)
    for (int x = 2; x < 6; ++x)
      if (!((x == 2 || x == 5) && (y == 2 || y == 5))) rounded.insert({x, y});
  EXPECT_EQ(even.Painted(), rounded);

  // A 41 x 21 box: area about pi x 20.5 x 10.5, touching the box's four sides and no more.
  Canvas large(60, 40);
  large.dc().SelectPen(Pen{1, kRed});
  large.dc().SelectBrush(Brush{kBlue});
  large.dc().Ellipse(45, 5, 4, 26);  // the box given with its corners exchanged
  const Points painted = large.Painted();
  EXPECT_NEAR(static_cast<double>(painted.size()), 3.14159 * 20.5 * 10.5, 25.0);
  int minX = 99, maxX = -99, minY = 99, maxY = -99;
  for (const auto& [x, y] : painted) {
    minX = std::min(minX, x);
    maxX = std::max(maxX, x);
    minY = std::min(minY, y);
    maxY = std::max(maxY, y);
    EXPECT_TRUE(painted.count({48 - x, y}));
    EXPECT_TRUE(painted.count({x, 30 - y}));
  }
  EXPECT_EQ(minX, 4);
  EXPECT_EQ(maxX, 44);
  EXPECT_EQ(minY, 5);
  EXPECT_EQ(maxY, 25);
}

TEST(DrawingSurfaceEllipse, WiderPenMakesABiggerDot) {
  Canvas thin(20, 20);
  thin.dc().SelectPen(Pen{1, kRed});
  thin.dc().SelectBrush(Brush{kRed});
  thin.dc().Ellipse(8, 8, 13, 13);
  Canvas wide(20, 20);
  wide.dc().SelectPen(Pen{3, kRed});
  wide.dc().SelectBrush(Brush{kRed});
  wide.dc().Ellipse(8, 8, 13, 13);
  const Points small = thin.Painted();
  const Points big = wide.Painted();
  EXPECT_GT(big.size(), small.size());
  for (const auto& p : small) EXPECT_TRUE(big.count(p));
  // The outline straddles the edge: one pixel beyond the box on each side, none further.
  EXPECT_EQ(wide.dc().GetPixel(7, 10), kRed);
  EXPECT_EQ(wide.dc().GetPixel(13, 10), kRed);
  EXPECT_EQ(wide.dc().GetPixel(6, 10), kWhite);
  EXPECT_EQ(wide.dc().GetPixel(14, 10), kWhite);
  // Symmetric about the box centre.
  for (const auto& [x, y] : big) EXPECT_TRUE(big.count({20 - x, y})) << x << "," << y;
  for (const auto& [x, y] : big) EXPECT_TRUE(big.count({x, 20 - y})) << x << "," << y;

  Canvas empty(10, 10);
  empty.dc().Ellipse(3, 3, 3, 8);
  EXPECT_TRUE(empty.Painted().empty());
}

TEST(DrawingSurfaceClip, EveryOperationStaysInsideTheClipRectangle) {
  Canvas canvas(20, 20);
  DrawingContext& dc = canvas.dc();
  EXPECT_EQ(dc.ClipRect(), (Rect{0, 0, 20, 20}));
  dc.SelectClipRect(Rect{5, 5, 10, 10});
  EXPECT_EQ(dc.ClipRect(), (Rect{5, 5, 10, 10}));
  dc.SelectPen(Pen{1, kRed});
  dc.MoveToEx(0, 7);
  dc.LineTo(19, 7);
  dc.SelectPen(Pen{4, kRed});
  dc.MoveToEx(7, 0);
  dc.LineTo(7, 19);
  dc.SelectBrush(Brush{kRed});
  dc.Ellipse(2, 2, 18, 18);
  dc.FillRect(Rect{0, 0, 6, 6}, kRed);
  dc.SetPixel(4, 4, kRed);
  dc.SetPixel(10, 9, kRed);
  const Points painted = canvas.Painted();
  EXPECT_FALSE(painted.empty());
  for (const auto& [x, y] : painted) {
    EXPECT_GE(x, 5);
    EXPECT_LT(x, 10);
    EXPECT_GE(y, 5);
    EXPECT_LT(y, 10);
  }
  EXPECT_EQ(dc.GetPixel(5, 5), kRed);  // FillRect's corner inside the clip

  // A clip rectangle beyond the surface is cut to the surface.
  dc.SelectClipRect(Rect{-5, 15, 50, 50});
  EXPECT_EQ(dc.ClipRect(), (Rect{0, 15, 20, 20}));
  dc.FillRect(Rect{-100, -100, 100, 100}, kBlue);
  EXPECT_EQ(canvas.PixelsOf(kBlue).size(), 100u);
}

TEST(DrawingSurfaceClip, LinesFromFarOutside) {
  Canvas canvas(10, 10);
  DrawingContext& dc = canvas.dc();
  dc.SelectPen(Pen{1, kRed});
  dc.MoveToEx(-100000, 2);
  dc.LineTo(100000, 2);
  EXPECT_EQ(canvas.PixelsOf(kRed).size(), 10u);
  dc.SelectPen(Pen{3, kBlue});
  dc.MoveToEx(6, -50000);
  dc.LineTo(6, 50000);
  EXPECT_EQ(canvas.PixelsOf(kBlue).size(), 30u);
  // Wholly outside: nothing drawn, and the position still moves on.
  dc.MoveToEx(-50, -50);
  dc.LineTo(-20, 100);
  dc.SelectPen(Pen{1, kBlue});
  dc.LineTo(-20, 101);
  EXPECT_EQ(canvas.PixelsOf(kBlue).size(), 30u);
  EXPECT_EQ(canvas.PixelsOf(kRed).size(), 7u);
}

TEST(DrawingSurfaceFill, FillRectExcludesRightAndBottom) {
  Canvas canvas(10, 10);
  canvas.dc().FillRect(Rect{2, 3, 5, 4}, kBlue);
  EXPECT_EQ(canvas.PixelsOf(kBlue), (Points{{2, 3}, {3, 3}, {4, 3}}));
  canvas.dc().FillRect(Rect{6, 6, 6, 9}, kRed);
  canvas.dc().FillRect(Rect{8, 8, 7, 7}, kRed);
  EXPECT_TRUE(canvas.PixelsOf(kRed).empty());
}

// SPDX-FileCopyrightText: The Quillane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include <gtest/gtest.h>

#include "imaging/drawing_surface.h"
#include "imaging/imaging.h"
#include "imaging/test_bitmaps.h"

namespace {

constexpr TestColour kBackground{10, 20, 30};

struct Canvas {
  ImgBitmap bitmap;
  DrawingContext* context = nullptr;
  Canvas(int width, int height) {
    bitmap = MakeFilled(width, height, kBackground);
    context = ImgCreateDC(&bitmap);
  }
  ~Canvas() { ImgDeleteDC(context); }
};

Rect R(int left, int top, int right, int bottom) {
  return Rect{left, top, right, bottom};
}

}  // namespace

TEST(Paint, SameSizeCopiesThePixelsToTheDestination) {
  Canvas canvas(30, 20);
  ASSERT_NE(canvas.context, nullptr);
  const ImgBitmap picture = MakeGradient(10, 8);
  const Rect source = R(0, 0, 10, 8), destination = R(5, 4, 15, 12);
  ASSERT_EQ(ImgPaint(canvas.context, picture, source, source, destination, destination, SRCCOPY),
            1);
  for (int y = 0; y < 20; ++y) {
    for (int x = 0; x < 30; ++x) {
      const bool inside = x >= 5 && x < 15 && y >= 4 && y < 12;
      ASSERT_EQ(PixelAt(canvas.bitmap, x, y), inside ? PixelAt(picture, x - 5, y - 4) : kBackground)
          << x << "," << y;
    }
  }
}

TEST(Paint, ScalesThePartOfTheSourceIntoTheDestination) {
  Canvas canvas(40, 40);
  const ImgBitmap picture =
      MakePattern(20, 20, [](int x, int y) { return QuarterColour(x >= 10, y >= 10); });
  // The bottom right 10 x 10 quarter (white) and its neighbours, doubled.
  const Rect source = R(5, 5, 15, 15), destination = R(0, 0, 20, 20);
  ASSERT_EQ(ImgPaint(canvas.context, picture, source, source, destination, destination), 1);
  EXPECT_EQ(PixelAt(canvas.bitmap, 0, 0), QuarterColour(false, false));
  EXPECT_EQ(PixelAt(canvas.bitmap, 9, 9), QuarterColour(false, false));
  EXPECT_EQ(PixelAt(canvas.bitmap, 10, 9), QuarterColour(true, false));
  EXPECT_EQ(PixelAt(canvas.bitmap, 19, 19), QuarterColour(true, true));
  EXPECT_EQ(PixelAt(canvas.bitmap, 20, 20), kBackground);

  // Shrinking: a 20 x 20 picture into 5 x 5 keeps the quarters where they were.
  ASSERT_EQ(ImgPaint(canvas.context, picture, R(0, 0, 20, 20), R(0, 0, 20, 20), R(30, 30, 35, 35),
                     R(30, 30, 35, 35)),
            1);
  EXPECT_EQ(PixelAt(canvas.bitmap, 30, 30), QuarterColour(false, false));
  EXPECT_EQ(PixelAt(canvas.bitmap, 34, 30), QuarterColour(true, false));
  EXPECT_EQ(PixelAt(canvas.bitmap, 34, 34), QuarterColour(true, true));
}

TEST(Paint, OneExtraPixelStretchesTheSourceToFit) {
  // A destination one pixel wider than its source, as when centring leaves an odd difference.
  Canvas canvas(12, 3);
  const ImgBitmap picture = MakePattern(10, 1, [](int x, int) {
    return TestColour{static_cast<uint8_t>(x * 20), 0, 0};
  });
  ASSERT_EQ(ImgPaint(canvas.context, picture, R(0, 0, 10, 1), R(0, 0, 10, 1), R(0, 0, 11, 1),
                     R(0, 0, 11, 1)),
            1);
  EXPECT_EQ(PixelAt(canvas.bitmap, 0, 0).red, 0);
  EXPECT_EQ(PixelAt(canvas.bitmap, 10, 0).red, 180);
  EXPECT_EQ(PixelAt(canvas.bitmap, 11, 0), kBackground);
}

TEST(Paint, RespectsTheClipAndTheSurfaceBounds) {
  Canvas canvas(20, 20);
  canvas.context->SelectClipRect(R(0, 0, 10, 20));
  const ImgBitmap picture = MakeFilled(30, 30, {200, 100, 50});
  // The destination runs off every edge of the surface.
  ASSERT_EQ(ImgPaint(canvas.context, picture, R(0, 0, 30, 30), R(0, 0, 30, 30), R(-5, -5, 25, 25),
                     R(-5, -5, 25, 25)),
            1);
  EXPECT_EQ(PixelAt(canvas.bitmap, 0, 0), (TestColour{200, 100, 50}));
  EXPECT_EQ(PixelAt(canvas.bitmap, 9, 19), (TestColour{200, 100, 50}));
  EXPECT_EQ(PixelAt(canvas.bitmap, 10, 0), kBackground);
  EXPECT_EQ(PixelAt(canvas.bitmap, 19, 19), kBackground);
}

TEST(Paint, DrawingABitmapIntoItselfReadsTheOriginalPixels) {
  ImgBitmap bitmap = MakePattern(8, 1, [](int x, int) {
    return TestColour{static_cast<uint8_t>(x), 0, 0};
  });
  DrawingContext* context = ImgCreateDC(&bitmap);
  ASSERT_EQ(ImgPaint(context, bitmap, R(0, 0, 4, 1), R(0, 0, 4, 1), R(1, 0, 5, 1), R(1, 0, 5, 1)),
            1);
  ImgDeleteDC(context);
  const int expected[8] = {0, 0, 1, 2, 3, 5, 6, 7};
  for (int x = 0; x < 8; ++x) EXPECT_EQ(PixelAt(bitmap, x, 0).red, expected[x]) << x;
}

TEST(Paint, RefusesEmptyRectanglesAndPictures) {
  Canvas canvas(10, 10);
  const ImgBitmap picture = MakeFilled(4, 4, {1, 1, 1});
  EXPECT_EQ(
      ImgPaint(canvas.context, picture, R(0, 0, 0, 4), R(0, 0, 0, 4), R(0, 0, 4, 4), R(0, 0, 4, 4)),
      0);
  ImgBitmap empty;
  EXPECT_EQ(
      ImgPaint(canvas.context, empty, R(0, 0, 4, 4), R(0, 0, 4, 4), R(0, 0, 4, 4), R(0, 0, 4, 4)),
      0);
  EXPECT_EQ(ImgPaint(nullptr, picture, R(0, 0, 4, 4), R(0, 0, 4, 4), R(0, 0, 4, 4), R(0, 0, 4, 4)),
            0);
  EXPECT_EQ(PixelAt(canvas.bitmap, 0, 0), kBackground);
}

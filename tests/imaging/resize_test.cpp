// SPDX-FileCopyrightText: The Quillane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include <gtest/gtest.h>

#include "imaging/imaging.h"
#include "imaging/test_bitmaps.h"

TEST(Resize, SameSizeLeavesEveryPixelUnchanged) {
  ImgBitmap bitmap = MakeGradient(33, 17);
  const uint8_t* block = bitmap.dib.Lock();
  ASSERT_EQ(ImgResize(&bitmap, 33, 17, 2), 1);
  EXPECT_TRUE(SamePixels(bitmap, MakeGradient(33, 17)));
  EXPECT_EQ(bitmap.dib.Lock(), block);
}

TEST(Resize, ShrinkingAndEnlargingKeepSolidColoursAndLayout) {
  ImgBitmap bitmap =
      MakePattern(64, 48, [](int x, int y) { return QuarterColour(x >= 32, y >= 24); });
  ASSERT_EQ(ImgResize(&bitmap, 16, 12, 2), 1);
  ASSERT_EQ(bitmap.width, 16);
  ASSERT_EQ(bitmap.height, 12);
  EXPECT_LE(ColourDistance(PixelAt(bitmap, 2, 2), QuarterColour(false, false)), 2);
  EXPECT_LE(ColourDistance(PixelAt(bitmap, 13, 2), QuarterColour(true, false)), 2);
  EXPECT_LE(ColourDistance(PixelAt(bitmap, 2, 9), QuarterColour(false, true)), 2);
  EXPECT_LE(ColourDistance(PixelAt(bitmap, 13, 9), QuarterColour(true, true)), 2);

  ASSERT_EQ(ImgResize(&bitmap, 50, 70, 2), 1);
  ASSERT_EQ(bitmap.width, 50);
  ASSERT_EQ(bitmap.height, 70);
  EXPECT_LE(ColourDistance(PixelAt(bitmap, 3, 3), QuarterColour(false, false)), 2);
  EXPECT_LE(ColourDistance(PixelAt(bitmap, 46, 66), QuarterColour(true, true)), 2);
}

TEST(Resize, ShrinkingAveragesFineDetail) {
  // One-pixel black and white stripes must turn grey, not into a pattern of the stripes.
  ImgBitmap bitmap = MakePattern(100, 10, [](int x, int) {
    return x % 2 ? TestColour{255, 255, 255} : TestColour{0, 0, 0};
  });
  ASSERT_EQ(ImgResize(&bitmap, 10, 1, 2), 1);
  for (int x = 1; x < 9; ++x) EXPECT_NEAR(PixelAt(bitmap, x, 0).green, 128, 12) << x;
}

TEST(Resize, DownToOnePixelAndBadSizesLeaveTheBitmapAlone) {
  ImgBitmap bitmap = MakeFilled(7, 5, {10, 200, 30});
  ASSERT_EQ(ImgResize(&bitmap, 1, 1, 2), 1);
  EXPECT_LE(ColourDistance(PixelAt(bitmap, 0, 0), {10, 200, 30}), 1);

  ImgBitmap other = MakeGradient(8, 8);
  EXPECT_EQ(ImgResize(&other, 0, 5, 2), 0);
  EXPECT_EQ(ImgResize(&other, 5, -1, 2), 0);
  EXPECT_EQ(ImgResize(&other, 100000, 100000, 2), 0);
  EXPECT_TRUE(SamePixels(other, MakeGradient(8, 8)));
  ImgBitmap empty;
  EXPECT_EQ(ImgResize(&empty, 4, 4, 2), 0);
}

// SPDX-FileCopyrightText: The Quillane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <utility>

#include "imaging/imaging.h"
#include "imaging/magick_images.h"
#include "imaging/resample.h"
#include "imaging/resource_limits.h"
#include "imaging/test_bitmaps.h"

TEST(Resize, SameSizeLeavesEveryPixelUnchanged) {
  // The second is wider than ImageMagick builds an image: kept at its size, it needs none.
  const int32_t wide = GetPictureLimits().maxWidth + 1;
  for (const auto& [width, height] : {std::pair{33, 17}, std::pair{wide, 2}}) {
    ImgBitmap bitmap = MakeGradient(width, height);
    const uint8_t* block = bitmap.dib.Lock();
    ASSERT_EQ(ImgResize(&bitmap, width, height, 2), 1) << width;
    EXPECT_TRUE(SamePixels(bitmap, MakeGradient(width, height)));
    EXPECT_EQ(bitmap.dib.Lock(), block);
  }
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

TEST(Resize, StripwiseResizeGivesThePixelsOfTheWholeResize) {
  // Large resizes run strip by strip; any strip size must give exactly the whole resize's
  // pixels, whichever direction the library filters first and whichever filter it uses.
  const struct {
    int fromWidth, fromHeight, width, height;
  } cases[] = {
      {64, 48, 500, 375},    // enlarging alike: columns first
      {64, 48, 501, 375},    // enlarging more across: rows first
      {300, 200, 61, 47},    // shrinking, more across: columns first
      {300, 200, 180, 121},  // shrinking, more down: rows first
      {90, 30, 40, 120},     // narrower and taller: Lanczos, columns first
      {31, 97, 97, 31},      // wider and lower: rows first
  };
  for (const auto& c : cases) {
    for (int64_t stripPixels : {1, 900}) {
      SCOPED_TRACE(testing::Message() << c.fromWidth << "x" << c.fromHeight << " to " << c.width
                                      << "x" << c.height << ", strips of " << stripPixels);
      const auto noise = [](int x, int y) {
        const uint32_t h = (static_cast<uint32_t>(x) * 73856093u) ^ (y * 19349663u);
        return TestColour{static_cast<uint8_t>(h >> 3), static_cast<uint8_t>(x * 5 + y),
                          static_cast<uint8_t>(h >> 11)};
      };
      ImgBitmap whole = MakePattern(c.fromWidth, c.fromHeight, noise);
      ASSERT_EQ(ImgResize(&whole, c.width, c.height, 2), 1);
      for (int threads : {1, 3}) {
        ImgBitmap strips = MakePattern(c.fromWidth, c.fromHeight, noise);
        ASSERT_EQ(
            imaging_internal::ResizeInStrips(&strips, c.width, c.height, stripPixels, threads), 1);
        EXPECT_TRUE(SamePixels(strips, whole)) << threads << " threads";
      }
    }
  }
}

TEST(Resize, SidesBeyondImageMagickLookLikeItsResize) {
  // Past ImageMagick's sides the program resizes by itself with the same filters: on sizes both
  // can make, the two agree within a level (the renderer tests paint the long sides).
  const struct {
    int fromWidth, fromHeight, width, height;
  } cases[] = {
      {64, 48, 500, 375},   // Catmull-Rom, columns first
      {64, 48, 501, 120},   // Catmull-Rom, rows first
      {300, 200, 180, 21},  // box, rows first
      {90, 30, 40, 120},    // Lanczos
  };
  const auto smooth = [](int x, int y) {
    return TestColour{static_cast<uint8_t>(128 + 100 * std::sin(x * 0.2)),
                      static_cast<uint8_t>((x * 3 + y * 2) % 256),
                      static_cast<uint8_t>(128 + 100 * std::cos(y * 0.15))};
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message()
                 << c.fromWidth << "x" << c.fromHeight << " to " << c.width << "x" << c.height);
    ImgBitmap magick = MakePattern(c.fromWidth, c.fromHeight, smooth);
    ImgBitmap own = MakePattern(c.fromWidth, c.fromHeight, smooth);
    ASSERT_EQ(ImgResize(&magick, c.width, c.height, 2), 1);
    ASSERT_EQ(imaging_internal::ResampleWithoutMagick(
                  &own, c.width, c.height,
                  imaging_internal::FilterForSizes(c.fromWidth, c.fromHeight, c.width, c.height)),
              1);
    int worst = 0;
    for (int y = 0; y < c.height; ++y) {
      for (int x = 0; x < c.width; ++x) {
        worst = std::max(worst, ColourDistance(PixelAt(own, x, y), PixelAt(magick, x, y)));
      }
    }
    EXPECT_LE(worst, 1);
  }
}

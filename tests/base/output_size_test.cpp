// SPDX-FileCopyrightText: The Quillane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "base/output_size.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

TEST(OutputSize, RoundingRule) {
  EXPECT_EQ(RoundPixels(299.99999), 300);
  EXPECT_EQ(RoundPixels(2.5), 3);
  EXPECT_EQ(RoundPixels(2.49), 2);
  EXPECT_EQ(RoundPixels(-2.5), -2);
  EXPECT_EQ(RoundPixels(-0.7), 0);
  EXPECT_EQ(RoundPixels(std::nan("")), 0);
  EXPECT_EQ(RoundPixels(1e300), std::numeric_limits<int32_t>::max());
}

TEST(OutputSize, OneSideGivenFollowsTheLockedBoxes) {
  struct Case {
    int32_t sourceWidth, sourceHeight, width, height, expectWidth, expectHeight;
  };
  const Case cases[] = {
      {800, 600, 400, 0, 400, 300},    // 50.0 %
      {800, 600, 0, 200, 267, 200},    // 33.333332 % of 800 is 266.67
      {640, 480, 333, 0, 333, 250},    // 52.03125 % of 480 is 249.75
      {800, 600, 300, 100, 300, 100},  // both given: taken as they are
      {800, 600, 0, 0, 800, 600},      // neither: the picture's own size
      {4000, 10, 1, 0, 1, 1},          // never below one pixel
      {0, 600, 50, 0, 50, 600},        // no source width: 100 %
  };
  for (const Case& c : cases) {
    const OutputSize size = OutputSizeFor(c.sourceWidth, c.sourceHeight, c.width, c.height);
    EXPECT_EQ(size.width, c.expectWidth) << c.sourceWidth << " x " << c.sourceHeight;
    EXPECT_EQ(size.height, c.expectHeight) << c.sourceWidth << " x " << c.sourceHeight;
  }
  // The percentage is single precision, its product with the other side is not.
  EXPECT_FLOAT_EQ(PercentOf(400, 800), 50.0f);
  EXPECT_EQ(LockedSide(PercentOf(1, 3), 300000), 100000);
}

}  // namespace

// SPDX-FileCopyrightText: The Quillane developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Where a picture goes on paper: orientation, size, pages, and that the pages cover it.
#include <gtest/gtest.h>

#include "gui/print_layout.h"

namespace {

// An A4 sheet's printable area with 10 mm margins.
const QSizeF kPage(190, 277);

PrintOptions Options(PrintFit fit, double widthMm = 0, int columns = 1, int rows = 1) {
  PrintOptions o;
  o.fit = fit;
  o.widthMm = widthMm;
  o.columns = columns;
  o.rows = rows;
  o.overlapMm = 10;
  o.cutMarks = true;
  return o;
}

TEST(PrintLayoutTest, PlansOrientationSizeAndPagesThatCoverThePicture) {
  const struct {
    const char* name;
    QSize picture;
    PrintOptions options;
    bool landscape;
    int columns, rows, pages;
    QSizeF printed;
  } cases[] = {
      {"wide, fitted", {4000, 3000}, Options(PrintFit::kPage), true, 1, 1, 1, {253.33, 190}},
      {"tall, fitted", {3000, 4000}, Options(PrintFit::kPage), false, 1, 1, 1, {190, 253.33}},
      {"square, fitted", {1000, 1000}, Options(PrintFit::kPage), false, 1, 1, 1, {190, 190}},
      // 3 x 2 landscape sheets: 3 * 277 - 2 overlaps - 2 margins wide, 2 * 190 - 1 - 2 high.
      {"poster 3 x 2",
       {6000, 4000},
       Options(PrintFit::kPoster, 0, 3, 2),
       true,
       3,
       2,
       6,
       {540, 360}},
      // Only the middle row of pages carries the strip.
      {"poster of a strip",
       {6000, 300},
       Options(PrintFit::kPoster, 0, 2, 3),
       true,
       2,
       3,
       2,
       {534, 26.7}},
      {"width on one page", {2000, 1000}, Options(PrintFit::kWidth, 100), true, 1, 1, 1, {100, 50}},
      // Upright: 3 x 1 pages; turned: 2 x 2.
      {"width across pages",
       {2000, 1000},
       Options(PrintFit::kWidth, 500),
       false,
       3,
       1,
       3,
       {500, 250}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const PrintPlan plan = PlanPrint(c.picture, kPage, c.options);
    EXPECT_EQ(plan.landscape, c.landscape);
    EXPECT_EQ(plan.columns, c.columns);
    EXPECT_EQ(plan.rows, c.rows);
    ASSERT_EQ(static_cast<int>(plan.pages.size()), c.pages);
    EXPECT_NEAR(plan.printed.width(), c.printed.width(), 0.1);
    EXPECT_NEAR(plan.printed.height(), c.printed.height(), 0.1);
    EXPECT_NEAR(plan.dpi, c.picture.width() / (plan.printed.width() / 25.4), 1e-6);
    const QSizeF page = plan.landscape ? kPage.transposed() : kPage;
    const QRectF sheet = QRectF(QPointF(), page).adjusted(-1e-6, -1e-6, 1e-6, 1e-6);
    const double scale = plan.printed.width() / c.picture.width();
    for (const PrintedPage& p : plan.pages) {
      EXPECT_TRUE(sheet.contains(p.target));
      EXPECT_NEAR(p.target.width(), p.source.width() * scale, 1e-6);
      EXPECT_NEAR(p.target.height(), p.source.height() * scale, 1e-6);
      EXPECT_EQ(p.marks.empty(), c.options.fit == PrintFit::kPage);
      for (const QLineF& mark : p.marks) {
        EXPECT_TRUE(sheet.contains(mark.p1()) && sheet.contains(mark.p2()));
      }
    }
    // Every pixel is on some page, and neighbouring pages share the overlap.
    for (int y = 0; y < c.picture.height(); y += c.picture.height() / 7) {
      for (int x = 0; x < c.picture.width(); x += c.picture.width() / 9) {
        int on = 0;
        for (const PrintedPage& p : plan.pages) on += p.source.contains(QPointF(x + 0.5, y + 0.5));
        EXPECT_GE(on, 1) << x << "," << y;
      }
    }
  }
}

TEST(PrintLayoutTest, CutMarksMeetInTheMiddleOfTheOverlap) {
  const PrintPlan plan = PlanPrint({6000, 4000}, kPage, Options(PrintFit::kPoster, 0, 3, 2));
  ASSERT_EQ(plan.pages.size(), 6u);
  // Page 0 is trimmed on its right at the middle of the strip it shares with page 1: 5 mm in
  // from its edge, where page 1's left trim lies 5 mm in from its own.
  const double right = 277 - 5;
  auto hasVertical = [](const PrintedPage& p, double x) {
    for (const QLineF& m : p.marks) {
      if (m.x1() == m.x2() && std::abs(m.x1() - x) < 1e-6) return true;
    }
    return false;
  };
  EXPECT_TRUE(hasVertical(plan.pages[0], right));
  EXPECT_TRUE(hasVertical(plan.pages[1], 5));
  // The outer trim follows the picture's own edge.
  EXPECT_TRUE(hasVertical(plan.pages[0], plan.pages[0].target.left()));
}

}  // namespace

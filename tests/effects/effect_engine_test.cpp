// SPDX-FileCopyrightText: The Quillane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "effects/effect_engine.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "base/paint_context.h"
#include "effects/stroke_placement.h"
#include "support/fake_window.h"
#include "support/painting_pictures.h"

namespace {

const std::string kPainting = "正在绘画...      ";
const std::string kFinished = "绘画已经完成。           ";
const std::string kCancelled = "绘画已被取消。          ";

// Paints `dib` in place with the generator seeded to `seed`; the display is (2, 2, 398, 298).
int Paint(int style, uint32_t seed, DibHandle* dib, FakeWindow* window) {
  PaintContext paint = PaintContext::For(window, seed);
  return PaintPicture(paint, dib, Rect{2, 2, 398, 298}, style);
}

int TrailingBlanks(const std::string& s) {
  int n = 0;
  for (auto it = s.rbegin(); it != s.rend() && *it == ' '; ++it) ++n;
  return n;
}

const int kStrokeStyles[] = {kStyleVanGogh, kStylePointillism, kStyleCharcoalPencil,
                             kStyleColoredPencil};

TEST(PaintPicture, SameSeedGivesTheSamePictureAndAnotherSeedAnother) {
  for (int style : kStrokeStyles) {
    FakeWindow w1;
    FakeWindow w2;
    FakeWindow w3;
    DibHandle a = MakePatternDib(48, 36);
    DibHandle b = MakePatternDib(48, 36);
    DibHandle c = MakePatternDib(48, 36);
    ASSERT_EQ(Paint(style, 11, &a, &w1), 0);
    ASSERT_EQ(Paint(style, 11, &b, &w2), 0);
    ASSERT_EQ(Paint(style, 12, &c, &w3), 0);
    EXPECT_EQ(DibWidth(a), 48);
    EXPECT_EQ(DibHeight(a), 36);
    EXPECT_TRUE(SamePixels(a, b)) << "style " << style;
    EXPECT_FALSE(SamePixels(a, c)) << "style " << style;
    EXPECT_FALSE(SamePixels(a, MakePatternDib(48, 36))) << "style " << style;
  }
}

TEST(PaintPicture, WhitePictureComesBackUnchangedFromVanGoghAndThePencils) {
  // Even and odd sizes: backward sweeps then start on odd or even lines inside the margin.
  for (int style : {kStyleVanGogh, kStyleColoredPencil, kStyleCharcoalPencil}) {
    for (auto [w, h] : {std::pair{30, 24}, std::pair{31, 23}}) {
      for (uint32_t seed : {1u, 2u, 3u, 99u}) {
        FakeWindow window;
        DibHandle dib = MakeSolidDib(w, h, 255, 255, 255);
        ASSERT_EQ(Paint(style, seed, &dib, &window), 0);
        EXPECT_TRUE(SamePixels(dib, MakeSolidDib(w, h, 255, 255, 255)))
            << "style " << style << " size " << w << "x" << h << " seed " << seed;
      }
    }
  }
}

TEST(PaintPicture, BlackAndWhiteLeavesGreyAloneAndRemovesColour) {
  FakeWindow window;
  DibHandle grey = MakeSolidDib(30, 20, 128, 128, 128);
  ASSERT_EQ(Paint(kStyleBlackAndWhite, 5, &grey, &window), 0);
  EXPECT_TRUE(SamePixels(grey, MakeSolidDib(30, 20, 128, 128, 128)));
  // No painting status, no Stop poll: only the completion text.
  ASSERT_EQ(window.statuses.size(), 1u);
  EXPECT_EQ(window.statuses[0], kFinished);

  FakeWindow stopped;
  stopped.RequestStop();
  DibHandle colour = MakePatternDib(30, 20);
  ASSERT_EQ(Paint(kStyleBlackAndWhite, 5, &colour, &stopped), 0);
  ASSERT_EQ(DibWidth(colour), 30);
  ASSERT_EQ(DibHeight(colour), 20);
  for (int y = 0; y < 20; ++y) {
    for (int x = 0; x < 30; ++x) {
      const ColorRef c = DibPixel(colour, x, y);
      ASSERT_EQ(ColorRed(c), ColorGreen(c));
      ASSERT_EQ(ColorGreen(c), ColorBlue(c));
    }
  }
}

TEST(PaintPicture, StatusTextsKeepTheirTrailingBlanks) {
  EXPECT_EQ(TrailingBlanks(kPainting), 6);
  EXPECT_EQ(TrailingBlanks(kFinished), 11);
  EXPECT_EQ(TrailingBlanks(kCancelled), 10);

  FakeWindow window;
  DibHandle dib = MakePatternDib(20, 16);
  ASSERT_EQ(Paint(kStyleVanGogh, 3, &dib, &window), 0);
  const std::vector<std::string>& s = window.statuses;
  ASSERT_GE(s.size(), 3u);
  EXPECT_EQ(s.front(), kPainting);
  EXPECT_EQ(s[1], "正在绘画 0%...      ");
  EXPECT_EQ(s.back(), kFinished);
  // One percentage line per sweep line: 40 x 36 canvas, rows or columns two pixels apart.
  const size_t lines = s.size() - 2;
  EXPECT_TRUE(lines == 20 || lines == 18) << lines;
  // The last line of the only pass starts below 100 percent.
  EXPECT_EQ(s[s.size() - 2], lines == 20 ? "正在绘画 95%...      " : "正在绘画 94%...      ");
}

TEST(PaintPicture, PointillismPaintsEightBandsBrightestFirst) {
  FakeWindow window;
  DibHandle dib = MakePatternDib(20, 16);
  ASSERT_EQ(Paint(kStylePointillism, 8, &dib, &window), 0);
  // Every pass starts at the progress of the passes before it: 0, 12.5, 25.1, ... percent.
  std::vector<std::string> passStarts;
  for (const std::string& s : window.statuses) {
    if (s.rfind("正在绘画 ", 0) == 0 && s.find("%") != std::string::npos) {
      passStarts.push_back(s);
    }
  }
  // 4-pixel cells on a 40 x 36 canvas: 10 or 9 lines per pass.
  EXPECT_GE(passStarts.size(), 8u * 9);
  EXPECT_LE(passStarts.size(), 8u * 10);
  EXPECT_EQ(window.statuses.back(), kFinished);
  int passes = 0;
  for (const std::string& s : window.statuses) {
    static const char* const kPassStart[] = {"0", "13", "25", "38", "50", "63", "75", "88"};
    for (const char* p : kPassStart) {
      if (s == std::string("正在绘画 ") + p + "%...      ") ++passes;
    }
  }
  EXPECT_EQ(passes, 8);
}

TEST(PaintPicture, ShowsTheStartPictureThenStagedRefreshesThenTheResult) {
  FakeWindow window;
  DibHandle dib = MakePatternDib(20, 16);
  ASSERT_EQ(Paint(kStyleColoredPencil, 21, &dib, &window), 0);
  const std::vector<ShownPicture>& p = window.pictures;
  ASSERT_GE(p.size(), 7u);
  // The framed start picture inside its margin, centred in the display (2, 2, 398, 298).
  EXPECT_EQ(p.front().stage, 0);
  EXPECT_EQ(p.front().bitmapWidth, 40);
  EXPECT_EQ(p.front().source, (Rect{10, 10, 30, 26}));
  EXPECT_EQ(p.front().destination, (Rect{190, 142, 210, 158}));
  // Refreshes come as complete runs of the five stages.
  size_t i = 1;
  int refreshes = 0;
  while (i + 1 < p.size()) {
    for (int stage = 1; stage <= 5; ++stage, ++i) {
      ASSERT_LT(i + 1, p.size());
      EXPECT_EQ(p[i].stage, stage);
      EXPECT_EQ(p[i].source, (Rect{10, 10, 30, 26}));
    }
    ++refreshes;
  }
  EXPECT_GE(refreshes, 3);
  EXPECT_LE(refreshes, 5);
  // The cropped result, whole.
  EXPECT_EQ(p.back().stage, 0);
  EXPECT_EQ(p.back().bitmapWidth, 20);
  EXPECT_EQ(p.back().source, (Rect{0, 0, 20, 16}));
  EXPECT_EQ(p.back().destination, (Rect{190, 142, 210, 158}));
}

TEST(PaintPicture, PencilsShowTheStartPictureFirstAndCharcoalItsTwoLevelForm) {
  const DibHandle start = MakePatternDib(24, 18);
  auto isStart = [&](const ShownPicture& shown) {
    for (int y = 0; y < 18; ++y) {
      for (int x = 0; x < 24; ++x) {
        if (shown.pixels[y * 24 + x] != DibPixel(start, x, y)) return false;
      }
    }
    return true;
  };

  FakeWindow colored;
  colored.KeepPixels(true);
  DibHandle a = MakePatternDib(24, 18);
  ASSERT_EQ(Paint(kStyleColoredPencil, 6, &a, &colored), 0);
  ASSERT_GE(colored.pictures.size(), 2u);
  EXPECT_TRUE(isStart(colored.pictures[0]));
  // By the first refresh the canvas is paper: white, with light pencil strokes.
  int whitePixels = 0;
  for (ColorRef c : colored.pictures[1].pixels) whitePixels += c == MakeColor(255, 255, 255);
  EXPECT_GT(whitePixels, 24 * 18 / 4);

  FakeWindow charcoal;
  charcoal.KeepPixels(true);
  DibHandle b = MakePatternDib(24, 18);
  ASSERT_EQ(Paint(kStyleCharcoalPencil, 6, &b, &charcoal), 0);
  ASSERT_FALSE(charcoal.pictures.empty());
  int black = 0;
  int white = 0;
  for (ColorRef c : charcoal.pictures[0].pixels) {
    ASSERT_TRUE(c == 0 || c == MakeColor(255, 255, 255)) << std::hex << c;
    (c == 0 ? black : white)++;
  }
  EXPECT_GT(black, 0);
  EXPECT_GT(white, 0);
}

TEST(PaintPicture, StopAtTheFirstCellHandsBackTheFramedCanvas) {
  // Status 1 is the painting text, status 2 the first sweep line: Stop is pressed just before
  // its first cell.
  FakeWindow window;
  window.StopAtStatus(2);
  DibHandle dib = MakePatternDib(24, 18);
  EXPECT_EQ(Paint(kStyleVanGogh, 4, &dib, &window), 1);
  EXPECT_EQ(window.statuses.back(), kCancelled);
  ASSERT_EQ(DibWidth(dib), 44);
  ASSERT_EQ(DibHeight(dib), 38);
  const DibHandle start = MakePatternDib(24, 18);
  for (int y = 0; y < 38; ++y) {
    for (int x = 0; x < 44; ++x) {
      const bool inside = x >= 10 && x < 34 && y >= 10 && y < 28;
      const ColorRef expected = inside ? DibPixel(start, x - 10, y - 10) : 0;
      ASSERT_EQ(DibPixel(dib, x, y), expected) << x << "," << y;
    }
  }

  // The pencils paint on white paper, margin included.
  FakeWindow pencilWindow;
  pencilWindow.StopAtStatus(2);
  DibHandle paper = MakePatternDib(24, 18);
  EXPECT_EQ(Paint(kStyleColoredPencil, 4, &paper, &pencilWindow), 1);
  EXPECT_TRUE(SamePixels(paper, MakeSolidDib(44, 38, 255, 255, 255)));
}

TEST(PaintPicture, StopLaterKeepsTheStrokesSoFarAndTheBlackMargin) {
  FakeWindow window;
  window.StopAtStatus(12);
  DibHandle dib = MakePatternDib(24, 18);
  EXPECT_EQ(Paint(kStyleVanGogh, 4, &dib, &window), 1);
  ASSERT_EQ(DibWidth(dib), 44);
  ASSERT_EQ(DibHeight(dib), 38);
  // Strokes end at least 10 pixels from the edge; even the widest pen stays off the outer ring.
  for (int y = 0; y < 38; ++y) {
    for (int x = 0; x < 44; ++x) {
      if (x < 6 || x >= 38 || y < 6 || y >= 32) {
        ASSERT_EQ(DibPixel(dib, x, y), 0u);
      }
    }
  }
  bool painted = false;
  const DibHandle start = MakePatternDib(24, 18);
  for (int y = 10; y < 28; ++y) {
    for (int x = 10; x < 34; ++x) {
      if (DibPixel(dib, x, y) != DibPixel(start, x - 10, y - 10)) painted = true;
    }
  }
  EXPECT_TRUE(painted);
  EXPECT_EQ(window.statuses.back(), kCancelled);
}

TEST(PaintPicture, PicturesAtTheLimitsGetTheirFramedCanvas) {
  // The widest picture and one of almost 100 megapixels: with the margin the canvas is beyond
  // the picture limits, and still the painting starts on it. Stop comes at the first cell.
  const struct {
    int style, width, height;
  } cases[] = {{kStyleVanGogh, kMaxPictureSide - 5, 2},
               {kStyleCharcoalPencil, 3, kMaxPictureSide},
               {kStylePointillism, 10000, 9999},
               {kStyleColoredPencil, 10000, 9999}};
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.style << ": " << c.width << " x " << c.height);
    FakeWindow window;
    window.KeepPixels(false);
    window.StopAtStatus(2);
    DibHandle dib = MakeSolidDib(c.width, c.height, 1, 2, 3);
    EXPECT_EQ(Paint(c.style, 4, &dib, &window), kPaintStopped);
    EXPECT_EQ(DibWidth(dib), c.width + 20);
    EXPECT_EQ(DibHeight(dib), c.height + 20);
    EXPECT_EQ(window.statuses.back(), kCancelled);
  }
}

TEST(PaintPicture, AFailureIsToldAndNeverTakenForAStop) {
  FakeWindow window;
  DibHandle none;
  EXPECT_EQ(Paint(kStyleVanGogh, 4, &none, &window), kPaintFailed);
  EXPECT_EQ(window.warnings, std::vector<std::string>{"There is no start picture to paint."});
  EXPECT_TRUE(window.statuses.empty());
}

TEST(FitPictureRects, CentresSmallPicturesAndCropsLargeOnesEqually) {
  const Rect display{2, 2, 102, 82};  // 100 x 80
  Rect source;
  Rect destination;
  FitPictureRects(Rect{0, 0, 50, 40}, display, &source, &destination);
  EXPECT_EQ(source, (Rect{0, 0, 50, 40}));
  EXPECT_EQ(destination, (Rect{27, 22, 77, 62}));

  FitPictureRects(Rect{0, 0, 120, 100}, display, &source, &destination);
  EXPECT_EQ(source, (Rect{10, 10, 110, 90}));
  EXPECT_EQ(destination, display);

  // Odd differences: a cropped source stays one wider, a centred destination is one wider.
  FitPictureRects(Rect{0, 0, 101, 79}, display, &source, &destination);
  EXPECT_EQ(source, (Rect{0, 0, 101, 79}));
  EXPECT_EQ(destination, display);

  FitPictureRects(Rect{10, 10, 113, 87}, display, &source, &destination);
  EXPECT_EQ(source, (Rect{11, 10, 112, 87}));
  EXPECT_EQ(destination, (Rect{2, 3, 102, 81}));
}

}  // namespace

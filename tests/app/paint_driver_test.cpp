// SPDX-FileCopyrightText: The Quillane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/paint_driver.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <ctime>

#include "app/settings.h"
#include "app/program_random.h"
#include "support/fake_window.h"
#include "support/painting_pictures.h"
#include "support/test_support.h"

namespace {

class PaintDriverTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::memset(&settings, 0, sizeof settings);
    startFile_ = scratch_.File("start.jpg");
    std::FILE* f = std::fopen(startFile_.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::fputs("only opened, never read", f);
    std::fclose(f);
    SetStartPicture(startFile_);
    randomSeeded = 0;
  }
  void TearDown() override { randomSeeded = 0; }

  void SetStartPicture(const std::string& path) {
    std::snprintf(settings.startPicture, sizeof settings.startPicture, "%s", path.c_str());
  }

  int Run(DibHandle* dib) {
    return PaintDriver(&window_, &window_, dib, dib->Header(), dib->Pixels());
  }

  ScratchFolder scratch_;
  std::string startFile_;
  FakeWindow window_{400, 300};
  FrontWindowScope scope_{&window_};
};

TEST_F(PaintDriverTest, MissingStartPictureIsRefusedWithAWarningBeforeAnythingElse) {
  for (const std::string& path : {std::string(), scratch_.File("gone.jpg")}) {
    SetStartPicture(path);
    settings.effect = 1;
    DibHandle dib = MakeSolidDib(8, 6, 10, 20, 30);
    EXPECT_EQ(Run(&dib), 2) << path;
    ASSERT_EQ(window_.warnings.size(), 1u);
    EXPECT_EQ(window_.warnings[0], "No 'Start Picture' specified.");
    window_.warnings.clear();
    EXPECT_TRUE(window_.statuses.empty());
    EXPECT_EQ(randomSeeded, 0);
    EXPECT_TRUE(SamePixels(dib, MakeSolidDib(8, 6, 10, 20, 30)));
  }
}

TEST_F(PaintDriverTest, MissingHeaderOrPixelsFailsSilentlyWithoutSeeding) {
  // No picture to paint is a failure, not a stop: the window closes at the first OK.
  settings.effect = 1;
  DibHandle dib = MakeSolidDib(8, 6, 10, 20, 30);
  EXPECT_EQ(PaintDriver(&window_, &window_, &dib, nullptr, dib.Pixels()), kPaintFailed);
  EXPECT_EQ(PaintDriver(&window_, &window_, &dib, dib.Header(), nullptr), kPaintFailed);
  EXPECT_TRUE(window_.warnings.empty());
  EXPECT_TRUE(window_.statuses.empty());
  EXPECT_EQ(randomSeeded, 0);
}

TEST_F(PaintDriverTest, UnknownEffectPaintsNothingAndFinishes) {
  for (int effect : {6, -1}) {
    settings.effect = effect;
    DibHandle dib = MakeSolidDib(8, 6, 10, 20, 30);
    EXPECT_EQ(Run(&dib), 0);
    EXPECT_TRUE(SamePixels(dib, MakeSolidDib(8, 6, 10, 20, 30)));
    EXPECT_TRUE(window_.statuses.empty());
    EXPECT_TRUE(window_.pictures.empty());
  }
}

TEST_F(PaintDriverTest, SeedsOnceWithTheCalendarTime) {
  settings.effect = 6;
  DibHandle dib = MakeSolidDib(4, 4, 0, 0, 0);
  const std::time_t before = std::time(nullptr);
  ASSERT_EQ(Run(&dib), 0);
  const std::time_t after = std::time(nullptr);
  EXPECT_EQ(randomSeeded, 1);
  const int drawn = DrawRandom();
  bool matchesTime = false;
  for (std::time_t t = before; t <= after; ++t) {
    SeedRandom(static_cast<uint32_t>(t));
    if (DrawRandom() == drawn) matchesTime = true;
  }
  EXPECT_TRUE(matchesTime);

  // A second painting goes on with the sequence as it stands.
  SeedRandom(777);
  ASSERT_EQ(Run(&dib), 0);
  SeedRandom(777);
  const int expected = DrawRandom();
  SeedRandom(777);
  ASSERT_EQ(Run(&dib), 0);
  EXPECT_EQ(DrawRandom(), expected);
}

TEST_F(PaintDriverTest, ShowsThePictureInTheFrameInsetByTwo) {
  settings.effect = 5;  // Black & White Photo shows the whole picture once
  DibHandle dib = MakePatternDib(100, 80);
  ASSERT_EQ(Run(&dib), 0);
  ASSERT_EQ(window_.pictures.size(), 1u);
  // Display (2, 2, 398, 298): a 100 x 80 picture is centred in it.
  EXPECT_EQ(window_.pictures[0].destination, (Rect{150, 110, 250, 190}));
  EXPECT_EQ(window_.pictures[0].source, (Rect{0, 0, 100, 80}));
}

TEST_F(PaintDriverTest, MosaicGetsTheTileCountsAndItsResultIsReturned) {
  settings.effect = 0;
  settings.useYourPictureList = 0;
  settings.usePictureLibrary = 1;
  settings.autoSizeTilesDown = 1;
  // Either count at zero is refused by the mosaic, whichever argument carries it.
  for (auto [across, down] : {std::pair{0, 5}, std::pair{5, 0}}) {
    settings.tilesAcross = across;
    settings.tilesDown = down;
    DibHandle dib = MakeSolidDib(8, 6, 10, 20, 30);
    EXPECT_EQ(Run(&dib), 2);
    ASSERT_EQ(window_.warnings.size(), 1u);
    EXPECT_EQ(window_.warnings[0], "Tile number must be greater then zero.");
    window_.warnings.clear();
  }
}

TEST_F(PaintDriverTest, EachEffectRunsItsPaintStyle) {
  // Colored Pencil is engine style 3 and Charcoal Pencil style 2, not the reverse.
  const int styleOf[6] = {-1, 0, 1, 3, 2, 4};
  for (int effect = 1; effect <= 5; ++effect) {
    settings.effect = effect;
    randomSeeded = 1;
    SeedRandom(4242);
    DibHandle viaDriver = MakePatternDib(40, 30, 1);
    ASSERT_EQ(Run(&viaDriver), 0) << effect;

    FakeWindow direct(400, 300);
    FrontWindowScope scope(&direct);
    SeedRandom(4242);
    DibHandle viaEngine = MakePatternDib(40, 30, 1);
    ASSERT_EQ(PaintPicture(&direct, &viaEngine, viaEngine.Header(), viaEngine.Pixels(), 2, 2, 398,
                           298, styleOf[effect]),
              0);
    EXPECT_TRUE(SamePixels(viaDriver, viaEngine)) << "effect " << effect;
  }
}

}  // namespace

// SPDX-FileCopyrightText: The Quillane developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Whole mosaic runs on small pictures: checks, matching, tinting, stopping and the result.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "mosaic/mosaic_internals.h"
#include "support/mosaic_makers.h"
#include "support/test_support.h"

namespace {

// 64 x 48 with 4 tiles across and auto-sized rows: 4 x 4 tiles of 16 x 12, each quarter of the
// picture a block of 2 x 2 tiles of one colour.
constexpr ColorRef kQ1 = MakeColor(200, 100, 150);
constexpr ColorRef kQ2 = MakeColor(90, 180, 60);
constexpr ColorRef kQ3 = MakeColor(30, 60, 200);
constexpr ColorRef kQ4 = MakeColor(140, 140, 140);
const TestPicture kStart = QuarteredPicture(64, 48, kQ1, kQ2, kQ3, kQ4);

// A tile-sized source (so that the cover resize keeps its pixels) whose signature mean is 77
// in every channel: patches of 40, 40, 66, 120 and 120 across.
const TestPicture kSplitTile =
    SplitPicture(16, 12, MakeColor(40, 40, 40), MakeColor(120, 120, 120));

uint8_t Clamp(int v) {
  return static_cast<uint8_t>(std::clamp(v, 0, 255));
}
ColorRef Shifted(ColorRef c, int by, ColorRef toward) {
  return MakeColor(Clamp(ColorRed(c) + ColorRed(toward) - by),
                   Clamp(ColorGreen(c) + ColorGreen(toward) - by),
                   Clamp(ColorBlue(c) + ColorBlue(toward) - by));
}

class MosaicRunTest : public ::testing::Test {
 protected:
  std::string Picture(const std::string& name, const TestPicture& picture) {
    const std::string path = folder_.File(name);
    EXPECT_TRUE(WriteBmpFile(path, picture));
    return path;
  }

  ScratchFolder folder_;
  MosaicSources sources_;
};

TEST_F(MosaicRunTest, OneTileSourceFillsEveryTileTintedToItsMean) {
  sources_.UseList({Picture("split.bmp", kSplitTile)});
  const MosaicOutcome out = RunMosaicOn(sources_, kStart, 4, 15, 1);
  EXPECT_EQ(out.result, 0);
  EXPECT_EQ(out.statuses, (std::vector<std::string>{"Scanning Image...", "Matching image 1 of 1...",
                                                    "Mosaic completed."}));
  EXPECT_TRUE(out.warnings.empty());
  EXPECT_EQ(out.picturesShown, 2);  // the start picture, then after the tile source
  // Unscaled and centred in the display rectangle (2, 2, 164, 148).
  ASSERT_EQ(out.shown.size(), 2u);
  EXPECT_EQ(out.shown[1].source, (Rect{0, 0, 64, 48}));
  EXPECT_EQ(out.shown[1].destination, (Rect{51, 51, 115, 99}));
  ASSERT_EQ(out.picture.width, 64);
  ASSERT_EQ(out.picture.height, 48);
  // Each tile shows the split picture moved from its mean 77 to the tile's colour.
  for (int top = 0; top < 48; top += 12) {
    for (int left = 0; left < 64; left += 16) {
      const ColorRef tileColor = kStart.At(left, top);
      const int y = top + 5;
      EXPECT_EQ(out.picture.At(left + 2, y), Shifted(MakeColor(40, 40, 40), 77, tileColor))
          << left << "," << top;
      EXPECT_EQ(out.picture.At(left + 13, y), Shifted(MakeColor(120, 120, 120), 77, tileColor))
          << left << "," << top;
    }
  }
}

TEST_F(MosaicRunTest, WithoutTileSourcesThePictureStaysAsItWas) {
  sources_.UseLibrary(folder_.Path());  // an empty folder
  MosaicOutcome out = RunMosaicOn(sources_, kStart, 4, 15, 1);
  EXPECT_EQ(out.result, 0);
  EXPECT_EQ(out.statuses, (std::vector<std::string>{"Scanning Image...", "Mosaic completed."}));
  EXPECT_EQ(out.picture, kStart);

  sources_.UseLibrary(folder_.File("no such folder"));
  out = RunMosaicOn(sources_, kStart, 4, 15, 1);
  EXPECT_EQ(out.result, 0);
  EXPECT_EQ(out.picture, kStart);
}

TEST_F(MosaicRunTest, ASecondSourceWithTheSameSignatureLeavesTheFirstInPlace) {
  // The second picture has the pixels of every signature patch of the first in reverse order:
  // the same means, other pixels.
  const TestPicture first = NoisyPicture(16, 12, 7);
  TestPicture second = first;
  const int xs[] = {0, 3, 6, 9, 12, 16};
  const int ys[] = {0, 2, 4, 7, 9, 12};
  for (int py = 0; py < 5; ++py) {
    for (int px = 0; px < 5; ++px) {
      std::vector<ColorRef> patch;
      for (int y = ys[py]; y < ys[py + 1]; ++y) {
        for (int x = xs[px]; x < xs[px + 1]; ++x) patch.push_back(first.At(x, y));
      }
      std::reverse(patch.begin(), patch.end());
      size_t i = 0;
      for (int y = ys[py]; y < ys[py + 1]; ++y) {
        for (int x = xs[px]; x < xs[px + 1]; ++x) second.Set(x, y, patch[i++]);
      }
    }
  }
  ASSERT_NE(first, second);
  const std::string a = Picture("a.bmp", first);
  const std::string b = Picture("b.bmp", second);

  sources_.UseList({a});
  const MosaicOutcome onlyFirst = RunMosaicOn(sources_, kStart, 4, 15, 1);
  sources_.UseList({b});
  const MosaicOutcome onlySecond = RunMosaicOn(sources_, kStart, 4, 15, 1);
  sources_.UseList({a, b});
  const MosaicOutcome both = RunMosaicOn(sources_, kStart, 4, 15, 1);
  EXPECT_EQ(both.result, 0);
  EXPECT_NE(onlyFirst.picture, onlySecond.picture);
  EXPECT_EQ(both.picture, onlyFirst.picture);
}

TEST_F(MosaicRunTest, ATilePictureOfBlackPatchesLeavesItsTilesOpenToTheNext) {
  const TestPicture dark(64, 48, MakeColor(10, 10, 10));
  const std::string split = Picture("split.bmp", kSplitTile);

  // Near black: placed, and closer to the dark picture than the split picture, which loses.
  sources_.UseList({Picture("near.bmp", TestPicture(16, 12, MakeColor(1, 1, 1))), split});
  const MosaicOutcome near = RunMosaicOn(sources_, dark, 4, 15, 1);
  EXPECT_EQ(near.picture, dark);

  // Black: placed as well, but its tiles count as empty, so the split picture wins them all.
  sources_.UseList({Picture("black.bmp", TestPicture(16, 12, 0)), split});
  const MosaicOutcome black = RunMosaicOn(sources_, dark, 4, 15, 1);
  EXPECT_EQ(black.result, 0);
  EXPECT_EQ(black.picture.At(2, 5), MakeColor(0, 0, 0));
  EXPECT_EQ(black.picture.At(13, 5), MakeColor(53, 53, 53));
}

TEST_F(MosaicRunTest, TilesOfOnePixelTakeEveryTileSourceUnshifted) {
  const TestPicture start = QuarteredPicture(8, 6, kQ1, kQ2, kQ3, kQ4);
  sources_.UseList({Picture("red.bmp", TestPicture(4, 4, MakeColor(255, 0, 0))),
                    Picture("blue.bmp", TestPicture(4, 4, MakeColor(0, 0, 255)))});
  // Tiles of 1 x 2: the last tile source covers the picture.
  MosaicOutcome out = RunMosaicOn(sources_, start, 8, 3, 0);
  EXPECT_EQ(out.result, 0);
  EXPECT_EQ(out.picture, TestPicture(8, 6, MakeColor(0, 0, 255)));

  // Tiles of 1 x 1: each tile picture is 2 x 2, centred half a pixel above its tile, so the
  // last row of tiles leaves the picture's bottom row as it was.
  out = RunMosaicOn(sources_, start, 8, 15, 1);
  EXPECT_EQ(out.result, 0);
  TestPicture expected(8, 6, MakeColor(0, 0, 255));
  for (int x = 0; x < 8; ++x) expected.Set(x, 5, start.At(x, 5));
  EXPECT_EQ(out.picture, expected);
}

TEST_F(MosaicRunTest, NegativeTilesAcrossBehaveAsPositive) {
  sources_.UseList({Picture("noisy.bmp", NoisyPicture(20, 15, 3))});
  const MosaicOutcome positive = RunMosaicOn(sources_, kStart, 4, 15, 1);
  const MosaicOutcome negative = RunMosaicOn(sources_, kStart, -4, 15, 1);
  EXPECT_EQ(negative.result, 0);
  EXPECT_EQ(negative.picture, positive.picture);
}

TEST_F(MosaicRunTest, AWidePictureWithOneTileAcrossGetsOneRow) {
  const TestPicture wide(40, 4, MakeColor(100, 100, 100));
  sources_.UseList({Picture("split.bmp", SplitPicture(40, 4, 0, MakeColor(200, 200, 200)))});
  const MosaicOutcome out = RunMosaicOn(sources_, wide, 1, 15, 1);
  EXPECT_EQ(out.result, 0);
  EXPECT_EQ(out.statuses.back(), "Mosaic completed.");
  EXPECT_NE(out.picture, wide);
}

TEST_F(MosaicRunTest, RefusedSettingsWarnAndKeepTheStartPicture) {
  struct Case {
    bool list;
    bool library;
    float across, down;
    int autoRows;
    const char* warning;
  };
  const std::string library = folder_.Path();
  const Case cases[] = {
      {true, false, 4, 4, 1, "No picture or avi files specified in 'Your Picture List'."},
      // The list check comes first, even with a tile number of 0.
      {true, false, 0, 4, 1, "No picture or avi files specified in 'Your Picture List'."},
      {false, true, 0, 4, 0, "Tile number must be greater then zero."},
      {false, true, 4, 0, 1, "Tile number must be greater then zero."},
      {false, false, 4, 4, 1, "You must select either the Picture Library, Picture List or both."},
  };
  for (const Case& c : cases) {
    if (c.list) {
      sources_.UseList({});
    } else {
      sources_.NoList();
    }
    sources_.UseLibrary(c.library ? library : "");
    const MosaicOutcome out = RunMosaicOn(sources_, kStart, c.across, c.down, c.autoRows);
    EXPECT_EQ(out.result, 2) << c.warning;
    EXPECT_EQ(out.warnings, std::vector<std::string>{c.warning});
    EXPECT_EQ(out.statuses, std::vector<std::string>{"Mosaic canceled."});
    EXPECT_EQ(out.picturesShown, 0);
    EXPECT_EQ(out.picture, kStart);
  }
}

TEST_F(MosaicRunTest, AnEmptyListWithTheLibraryOnTakesTheLibraryAlone) {
  Picture("split.bmp", kSplitTile);
  sources_.UseList({});
  sources_.UseLibrary(folder_.Path());
  const MosaicOutcome out = RunMosaicOn(sources_, kStart, 4, 15, 1);
  EXPECT_EQ(out.result, 0);
  EXPECT_TRUE(out.warnings.empty());
  EXPECT_EQ(out.statuses,
            (std::vector<std::string>{"Scanning Image...", "Matching library 1 of 1...",
                                      "Mosaic completed."}));
}

TEST_F(MosaicRunTest, StopBeforeTheFirstTileKeepsTheStartPicture) {
  sources_.UseList({Picture("split.bmp", kSplitTile)});
  const MosaicOutcome out =
      RunMosaicOn(sources_, kStart, 4, 15, 1, [](FakeWindow& w) { w.StopAtStatus(1); });
  EXPECT_EQ(out.result, 1);
  EXPECT_EQ(out.statuses, (std::vector<std::string>{"Scanning Image...", "Mosaic canceled."}));
  EXPECT_EQ(out.picture, kStart);
}

TEST_F(MosaicRunTest, StopDuringTheSecondSourceKeepsTheMosaicOfTheFirst) {
  const std::string split = Picture("split.bmp", kSplitTile);
  sources_.UseList({split});
  const MosaicOutcome first = RunMosaicOn(sources_, kStart, 4, 15, 1);

  sources_.UseList({split, Picture("noisy.bmp", NoisyPicture(16, 12, 11))});
  // Stop is pressed as "Matching image 1 of 2..." is written.
  const MosaicOutcome out = RunMosaicOn(sources_, kStart, 4, 15, 1, [](FakeWindow& w) {
    w.StopAtStatus(2);
    w.KeepPixels(true);
  });
  EXPECT_EQ(out.result, 1);
  EXPECT_EQ(out.statuses, (std::vector<std::string>{"Scanning Image...", "Matching image 1 of 2...",
                                                    "Mosaic canceled."}));
  EXPECT_EQ(out.picture, first.picture);
  // On screen: the start picture, then the mosaic after the first tile source.
  ASSERT_EQ(out.shown.size(), 2u);
  std::vector<ColorRef> firstPixels;
  for (int y = 0; y < 48; ++y) {
    for (int x = 0; x < 64; ++x) firstPixels.push_back(first.picture.At(x, y));
  }
  EXPECT_EQ(out.shown[1].pixels, firstPixels);
}

TEST_F(MosaicRunTest, LoadingAheadOnOtherThreadsGivesTheSameMosaic) {
  std::vector<std::string> paths;
  for (int i = 0; i < 12; ++i) {
    paths.push_back(Picture("p" + std::to_string(i) + ".bmp", NoisyPicture(24, 18, 100 + i)));
  }
  sources_.UseList(paths);
  const TestPicture start = NoisyPicture(96, 72, 5);
  sources_.options.lookahead = 0;
  const MosaicOutcome inline_ = RunMosaicOn(sources_, start, 6, 15, 1);
  sources_.options.lookahead = 4;
  for (int decoders : {0, 1, 3}) {
    SCOPED_TRACE(decoders);
    sources_.options.decoders = decoders;
    const MosaicOutcome ahead = RunMosaicOn(sources_, start, 6, 15, 1);
    EXPECT_EQ(ahead.result, 0);
    EXPECT_EQ(ahead.statuses, inline_.statuses);
    EXPECT_EQ(ahead.picture, inline_.picture);
    EXPECT_NE(ahead.picture, start);
  }
}

}  // namespace

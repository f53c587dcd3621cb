// SPDX-FileCopyrightText: The Quillane developers
// SPDX-License-Identifier: GPL-3.0-or-later

// quillane-cli --effect mosaic with limits on repeats and a tile report: the report keeps the
// limits and names, for every tile, the picture that the mosaic shows there.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "imaging/imaging.h"
#include "support/cli_runner.h"
#include "support/mosaic_makers.h"
#include "support/test_support.h"

namespace {

struct ReportLine {
  int column, row, left, top, width, height;
  std::string source;
};

// The report's tile lines; the paths of these tests hold no commas.
std::vector<ReportLine> ReadReport(const std::string& path) {
  std::vector<ReportLine> lines;
  std::ifstream file(path);
  std::string text;
  std::getline(file, text);
  EXPECT_EQ(text, "column,row,left,top,width,height,source,frame");
  while (std::getline(file, text)) {
    ReportLine l;
    int end = 0;
    std::sscanf(text.c_str(), "%d,%d,%d,%d,%d,%d,%n", &l.column, &l.row, &l.left, &l.top, &l.width,
                &l.height, &end);
    l.source = text.substr(end, text.rfind(',') - end);
    lines.push_back(l);
  }
  return lines;
}

TestPicture Decode(const std::string& path) {
  ImgBitmap bitmap;
  if (ImgLoadFile(path.c_str(), &bitmap, 0, 1, 0) != 1) return {};
  ImgSetColorDepth(&bitmap, &bitmap, 24, 0);
  return PictureFromDib(ImgToDib(&bitmap));
}

// The column of the tile, from its left edge, that is brightest on average.
int BrightestColumn(const TestPicture& p, const ReportLine& tile) {
  int best = 0, bestSum = -1;
  for (int x = 0; x < tile.width; ++x) {
    int sum = 0;
    for (int y = 0; y < tile.height; ++y) {
      const ColorRef c = p.At(tile.left + x, tile.top + y);
      sum += ColorRed(c) + ColorGreen(c) + ColorBlue(c);
    }
    if (sum > bestSum) best = x, bestSum = sum;
  }
  return best;
}

struct VarietyCase {
  const char* name;
  int tilesAcross, tilesDown, pictures;
  std::vector<std::string> limits;
  int maxUses, minDistance;  // what the report must keep to (0: no check)
  bool stop;                 // press Ctrl-C after the first picture
};

TEST(MosaicVariety, TheReportKeepsTheLimitsAndNamesWhatEachTileShows) {
  const VarietyCase cases[] = {
      {"one use each", 4, 3, 12, {"--max-uses", "1"}, 1, 0, false},
      {"three tiles apart", 8, 6, 6, {"--min-distance", "3"}, 0, 3, false},
      {"both, stopped", 4, 3, 12, {"--max-uses=1", "--min-distance=2"}, 1, 2, true},
      {"no limits", 8, 6, 6, {}, 0, 0, false},
  };
  for (const VarietyCase& c : cases) {
    SCOPED_TRACE(c.name);
    ScratchFolder scratch;
    // A start picture of mid tones, so that tinting does not wash out the stripes.
    TestPicture start(160, 120);
    for (int y = 0; y < 120; ++y) {
      for (int x = 0; x < 160; ++x) start.Set(x, y, MakeColor(60 + x * 3 / 4, 70 + y, 150 - x / 2));
    }
    const std::string input = scratch.File("start.bmp"), output = scratch.File("out.png");
    const std::string report = scratch.File("tiles.csv"), library = scratch.File("library");
    ASSERT_TRUE(WriteBmpFile(input, start));
    std::filesystem::create_directory(library);
    // Tile-sized pictures, each with a bright stripe two pixels wide at its own place.
    const int side = 160 / c.tilesAcross;
    std::map<std::string, int> stripeOf;
    for (int i = 0; i < c.pictures; ++i) {
      const ColorRef ground = MakeColor(40 + 9 * i, 80 + 5 * i, 140 - 8 * i);
      TestPicture tile(side, side, ground);
      const int stripe = 2 + 3 * i;
      tile.Fill(
          stripe, 0, stripe + 2, side,
          MakeColor(ColorRed(ground) + 110, ColorGreen(ground) + 110, ColorBlue(ground) + 110));
      const std::string path = library + "/tile-" + std::to_string(10 + i) + ".bmp";
      ASSERT_TRUE(WriteBmpFile(path, tile));
      stripeOf[path] = stripe;
    }

    std::vector<std::string> args = {"--effect=mosaic",
                                     "--no-list",
                                     "--library=" + library,
                                     "--no-auto-tiles-down",
                                     "--tiles-across=" + std::to_string(c.tilesAcross),
                                     "--tiles-down=" + std::to_string(c.tilesDown),
                                     "--tile-report=" + report};
    args.insert(args.end(), c.limits.begin(), c.limits.end());
    args.insert(args.end(), {input, output});
    const CliRun run = c.stop ? RunCliInterrupted(args, "Matching library 1 of") : RunCli(args);
    // A stop may come too late for so small a mosaic; the report must hold either way.
    EXPECT_TRUE(run.exitStatus == 0 || (c.stop && run.exitStatus == 1)) << run.err;

    const TestPicture mosaic = Decode(output);
    const std::vector<ReportLine> tiles = ReadReport(report);
    ASSERT_EQ(tiles.size(), static_cast<size_t>(c.tilesAcross * c.tilesDown));
    std::map<std::string, std::vector<ReportLine>> uses;
    for (const ReportLine& tile : tiles) {
      EXPECT_EQ(tile.left, tile.column * side);
      EXPECT_EQ(tile.width, side);
      if (tile.source.empty()) {
        // The start picture, but for the pixel row and column that a neighbour may cover.
        for (int y = 1; y < tile.height; ++y) {
          for (int x = 1; x < tile.width; ++x) {
            ASSERT_EQ(mosaic.At(tile.left + x, tile.top + y),
                      start.At(tile.left + x, tile.top + y));
          }
        }
        continue;
      }
      ASSERT_TRUE(stripeOf.count(tile.source)) << tile.source;
      // The picture is drawn one pixel wider than the tile: the stripe moves by that share.
      const double expected = stripeOf[tile.source] * (side + 1.0) / side;
      EXPECT_NEAR(BrightestColumn(mosaic, tile), expected, 1.5)
          << tile.source << " at " << tile.column << "," << tile.row;
      uses[tile.source].push_back(tile);
    }
    if (run.exitStatus == 0 && c.pictures >= c.tilesAcross * c.tilesDown) {
      EXPECT_EQ(uses.size(), tiles.size()) << "every tile holds a picture of its own";
    }
    for (const auto& [source, held] : uses) {
      EXPECT_LE(held.size(), static_cast<size_t>(c.maxUses > 0 ? c.maxUses : 99)) << source;
      for (size_t a = 0; a < held.size(); ++a) {
        for (size_t b = a + 1; b < held.size(); ++b) {
          const int apart = std::max(std::abs(held[a].column - held[b].column),
                                     std::abs(held[a].row - held[b].row));
          EXPECT_GE(apart, c.minDistance) << source;
        }
      }
    }
    if (c.limits.empty()) {
      // Without limits a picture fills many tiles, and the report changes nothing.
      EXPECT_GT(tiles.size(), uses.size());
      const std::string plain = scratch.File("plain.png");
      args.erase(args.end() - 3);  // --tile-report
      args.back() = plain;
      ASSERT_EQ(RunCli(args).exitStatus, 0);
      EXPECT_EQ(Decode(plain), mosaic);
    }
  }
}

}  // namespace

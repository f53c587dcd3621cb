// SPDX-FileCopyrightText: The Quillane developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Which wins a tile source keeps under the limits on repeats, and the tile report's file.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

#include "mosaic/tile_limits.h"
#include "mosaic/tile_report.h"
#include "support/test_support.h"

namespace {

std::vector<int64_t> Tiles(const std::vector<TileWin>& wins) {
  std::vector<int64_t> tiles;
  for (const TileWin& w : wins) tiles.push_back(w.tile);
  return tiles;
}

struct TakeCase {
  const char* name;
  TileLimits limits;
  std::vector<TileWin> wins;  // on a 6 x 4 grid, all empty before
  std::vector<int64_t> taken;
};

TEST(TileLimits, ASourceTakesItsBestWinsWithinTheLimits) {
  // Listed in tile-walk order. On the 6-column grid tile 3 is column 3 of row 0, tiles 7, 8
  // and 10 columns 1, 2 and 4 of row 1, tile 20 column 2 of row 3.
  const std::vector<TileWin> mixed = {
      {3, true, -4.0f}, {7, false, 9.0f}, {8, false, 5.0f}, {10, false, 1.0f}, {20, true, -30.0f}};
  const TakeCase cases[] = {
      {"no limits: every win", {}, mixed, {3, 7, 8, 10, 20}},
      {"distance 1 is no limit", {0, 1}, mixed, {3, 7, 8, 10, 20}},
      {"empty tiles first, the closest first", {2, 0}, mixed, {3, 20}},
      {"then the largest improvement", {3, 0}, mixed, {3, 7, 20}},
      {"neighbours of a held tile are skipped", {0, 2}, mixed, {3, 7, 20}},
      {"distance 3 skips tiles two apart", {0, 3}, mixed, {3, 20}},
      {"both limits", {2, 3}, {{7, false, 9.0f}, {8, false, 5.0f}, {10, false, 1.0f}}, {7, 10}},
      {"equal wins go in tile order", {1, 0}, {{4, false, 2.0f}, {9, false, 2.0f}}, {4}},
  };
  for (const TakeCase& c : cases) {
    TileHolders holders(6, 4, c.limits);
    std::vector<TileWin> wins = c.wins;
    holders.Take(0, &wins);
    EXPECT_EQ(Tiles(wins), c.taken) << c.name;
    for (const int64_t t : c.taken) EXPECT_EQ(holders.Holder(t), 0) << c.name;
    EXPECT_EQ(holders.Uses(0), static_cast<int64_t>(c.taken.size())) << c.name;
  }
}

TEST(TileLimits, ATileTakenByAnotherSourceFreesItsUse) {
  TileHolders holders(4, 1, {2, 0});
  std::vector<TileWin> first = {{0, true, 0}, {1, true, 0}, {2, true, 0}};
  holders.Take(0, &first);
  EXPECT_EQ(Tiles(first), (std::vector<int64_t>{0, 1}));
  std::vector<TileWin> second = {{1, false, 3}};
  holders.Take(1, &second);
  EXPECT_EQ(holders.Holder(1), 1);
  EXPECT_EQ(holders.Uses(0), 1);
  // The same picture offered again may use the freed tile; a tile it holds is only redrawn.
  std::vector<TileWin> again = {{0, true, 0}, {3, true, 0}, {2, true, 0}};
  holders.Take(0, &again);
  EXPECT_EQ(Tiles(again), (std::vector<int64_t>{0, 2}));
  EXPECT_EQ(holders.Uses(0), 2);
}

TEST(TileReport, OneQuotedLinePerTileWrittenWhole) {
  ScratchFolder folder;
  const TileAssignment tiles = {{0, 0, 0, 0, 42, 32, "/pics/a.jpg", -1},
                                {1, 0, 42, 0, 43, 32, "/pics/clip, \"best\".avi", 15},
                                {0, 1, 0, 32, 42, 31, "", -1}};
  const std::string path = folder.File("tiles.csv");
  std::ofstream(path) << "an older report\n";
  std::string problem;
  ASSERT_TRUE(WriteTileReport(path, tiles, &problem)) << problem;
  std::stringstream text;
  text << std::ifstream(path).rdbuf();
  EXPECT_EQ(text.str(),
            "column,row,left,top,width,height,source,frame\n"
            "0,0,0,0,42,32,/pics/a.jpg,\n"
            "1,0,42,0,43,32,\"/pics/clip, \"\"best\"\".avi\",15\n"
            "0,1,0,32,42,31,,\n");

  EXPECT_FALSE(WriteTileReport(folder.File("missing/tiles.csv"), tiles, &problem));
  EXPECT_NE(problem.find("missing/tiles.csv"), std::string::npos);
  // Neither write leaves a temporary file behind.
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.Path()), {}), 1);
}

}  // namespace

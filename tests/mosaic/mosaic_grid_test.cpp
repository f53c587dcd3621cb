// SPDX-FileCopyrightText: The Quillane developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The mosaic's tile grid, the cover resize of tile pictures and where a tile picture is drawn.

#include <gtest/gtest.h>

#include "mosaic/mosaic_internals.h"

namespace {

TEST(MosaicGridTest, WorkedExampleOf640By480With15Across) {
  const MosaicGrid g = MakeMosaicGrid(640, 480, 15, 15, 1);
  EXPECT_EQ(g.tileWidth, 42.6666679f);
  EXPECT_EQ(g.tileHeight, 32.0f);
  EXPECT_EQ(g.patchWidth, 8.53333378f);
  EXPECT_EQ(g.patchHeight, 6.4000001f);

  // A 640 x 480 tile source scales to a height of just over 32, below 33, so it is fitted to
  // the tile's height instead.
  int32_t w = 0, h = 0;
  CoverSize(640, 480, g, &w, &h);
  EXPECT_EQ(w, 42);
  EXPECT_EQ(h, 32);

  // The tile at (42.666668, 32): drawn 43 wide and 33 high, a row above the tile, and clipped
  // to the tile enlarged by one pixel.
  const TilePlacement at = PlaceTilePicture(g, 42, 32, 42, 32, 640, 480);
  EXPECT_EQ(at.x0, 42);
  EXPECT_EQ(at.y0, 31);
  EXPECT_EQ(at.w, 43);
  EXPECT_EQ(at.h, 33);
  EXPECT_EQ(at.clip, (Rect{42, 32, 85, 65}));
}

TEST(MosaicGridTest, RowsFollowTheTilesDownOrThePictureProportions) {
  EXPECT_EQ(MakeMosaicGrid(640, 480, 15, 10, 0).tileHeight, 48.0f);
  // Auto-sized rows ignore tilesDown: 480 / 640 x 20 x 4/3 = 20 rows.
  EXPECT_EQ(MakeMosaicGrid(640, 480, 20, 3, 1).tileHeight, 24.0f);
  // 300 / 1000 x 10 x 4/3 = 4 rows, so tiles of 100 x 75.
  const MosaicGrid g = MakeMosaicGrid(1000, 300, 10, 1, 1);
  EXPECT_EQ(g.tileWidth, 100.0f);
  EXPECT_EQ(g.tileHeight, 75.0f);
  // 72 / 320 x 15 x 4/3 is exactly 4.5 only when the whole product is formed in double
  // precision: 5 rows.
  EXPECT_EQ(MakeMosaicGrid(320, 72, 15, 1, 1).tileHeight, 72.0f / 5.0f);
}

TEST(MosaicGridTest, NegativeTileNumbersCountAsPositive) {
  const MosaicGrid a = MakeMosaicGrid(640, 480, -15, -7, 0);
  const MosaicGrid b = MakeMosaicGrid(640, 480, 15, 7, 0);
  EXPECT_EQ(a.tileWidth, b.tileWidth);
  EXPECT_EQ(a.tileHeight, b.tileHeight);
}

TEST(MosaicGridTest, AVeryWidePictureWithFewTilesAcrossStillHasOneRow) {
  // 100 / 400 x 1 x 4/3 rounds to no row at all.
  const MosaicGrid g = MakeMosaicGrid(400, 100, 1, 15, 1);
  EXPECT_EQ(g.tileWidth, 400.0f);
  EXPECT_EQ(g.tileHeight, 100.0f);
  EXPECT_EQ(g.patchHeight, 20.0f);
}

TEST(MosaicGridTest, TilesAndPatchesAreAtLeastOnePixel) {
  const MosaicGrid g = MakeMosaicGrid(8, 6, 20, 15, 1);
  EXPECT_EQ(g.tileWidth, 1.0f);
  EXPECT_EQ(g.tileHeight, 1.0f);
  EXPECT_EQ(g.patchWidth, 1.0f);
  EXPECT_EQ(g.patchHeight, 1.0f);
  const MosaicGrid small = MakeMosaicGrid(30, 30, 10, 10, 0);
  EXPECT_EQ(small.tileWidth, 3.0f);
  EXPECT_EQ(small.patchWidth, 1.0f);
}

TEST(MosaicGridTest, CoverResizeKeepsProportionsAndCoversTheTile) {
  const MosaicGrid g = MakeMosaicGrid(640, 480, 20, 20, 1);  // tiles of 32 x 24
  int32_t w = 0, h = 0;
  CoverSize(320, 480, g, &w, &h);  // tall: as wide as the tile
  EXPECT_EQ(w, 32);
  EXPECT_EQ(h, 48);
  CoverSize(960, 240, g, &w, &h);  // wide: as high as the tile
  EXPECT_EQ(w, 96);
  EXPECT_EQ(h, 24);
  CoverSize(8, 6, g, &w, &h);  // small pictures are enlarged
  EXPECT_EQ(w, 32);
  EXPECT_EQ(h, 24);
}

TEST(MosaicGridTest, WidePictureIsCentredAcrossTheTile) {
  const MosaicGrid g = MakeMosaicGrid(640, 480, 15, 15, 1);
  // 80 x 32 fitted to a height of 33 is 82.5 wide: 19.9 pixels hang over on each side.
  const TilePlacement at = PlaceTilePicture(g, 42, 32, 80, 32, 640, 480);
  EXPECT_EQ(at.x0, 22);
  EXPECT_EQ(at.y0, 32);
  EXPECT_EQ(at.w, 82);
  EXPECT_EQ(at.h, 33);
  EXPECT_EQ(at.clip, (Rect{42, 32, 85, 65}));
}

TEST(MosaicGridTest, ClipStopsAtThePictureEdge) {
  const MosaicGrid g = MakeMosaicGrid(640, 480, 15, 15, 1);
  const TilePlacement at = PlaceTilePicture(g, 597, 448, 42, 32, 640, 480);
  EXPECT_EQ(at.clip, (Rect{597, 448, 640, 480}));
}

}  // namespace

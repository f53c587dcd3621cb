// SPDX-FileCopyrightText: The Quillane developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The mosaic's matching against a plain model of the rule: every tile keeps the colours of the
// picture placed in it, both distances are summed patch by patch, and the stored colours of the
// source signature carry over from one tile source to the next. The real run keeps distances
// instead of colours and compares four tiles at a time; the pictures must come out the same.

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "effects/pixel_primitives.h"
#include "imaging/imaging.h"
#include "mosaic/mosaic_internals.h"
#include "support/mosaic_makers.h"
#include "support/test_support.h"

namespace {

struct Patch {
  int left, top, right, bottom;
};
struct Tile {
  int left, top;
  std::vector<Patch> patches;
};

std::vector<Tile> TileWalk(float W, float H, const MosaicGrid& g) {
  std::vector<Tile> tiles;
  for (float y = 0; y + 1 < H; y += g.tileHeight) {
    for (float x = 0; x + 1 < W; x += g.tileWidth) {
      Tile t{static_cast<int>(x), static_cast<int>(y), {}};
      for (float py = y; py + 1 < y + g.tileHeight; py += g.patchHeight) {
        for (float px = x; px + 1 < x + g.tileWidth; px += g.patchWidth) {
          Patch p{static_cast<int>(px), static_cast<int>(py), static_cast<int>(px + g.patchWidth),
                  static_cast<int>(py + g.patchHeight)};
          if (p.right > W) p.right = static_cast<int>(W);
          if (p.bottom > H) p.bottom = static_cast<int>(H);
          t.patches.push_back(p);
        }
      }
      tiles.push_back(t);
    }
  }
  return tiles;
}

float Distance(ColorRef a, ColorRef b) {
  const float dr = static_cast<float>(ColorRed(a)) - static_cast<float>(ColorRed(b));
  const float dg = static_cast<float>(ColorGreen(a)) - static_cast<float>(ColorGreen(b));
  const float db = static_cast<float>(ColorBlue(a)) - static_cast<float>(ColorBlue(b));
  return std::sqrt(dr * dr + dg * dg + db * db);
}

ColorRef Mean(const std::vector<ColorRef>& colors, size_t from, size_t n) {
  if (n == 0) return 0;
  float r = 0, g = 0, b = 0;
  for (size_t j = 0; j < n; ++j) {
    r += ColorRed(colors[from + j]);
    g += ColorGreen(colors[from + j]);
    b += ColorBlue(colors[from + j]);
  }
  const float count = static_cast<float>(n);
  return MakeColor(static_cast<uint32_t>(r / count), static_cast<uint32_t>(g / count),
                   static_cast<uint32_t>(b / count));
}

TestPicture ModelMosaic(const TestPicture& start, float across, float down, int autoRows,
                        const std::vector<TestPicture>& sources) {
  const float W = static_cast<float>(start.width), H = static_cast<float>(start.height);
  const MosaicGrid g = MakeMosaicGrid(W, H, across, down, autoRows);
  const std::vector<Tile> tiles = TileWalk(W, H, g);

  DibHandle startDib = PictureToDib(start);
  std::vector<ColorRef> target, placed;
  for (const Tile& t : tiles) {
    for (const Patch& p : t.patches) {
      uint8_t r, gr, b;
      AverageRegion(startDib.Header(), startDib.Pixels(), p.left, p.top, p.right, p.bottom, &r, &gr,
                    &b, 0);
      target.push_back(MakeColor(r, gr, b));
    }
  }
  placed.assign(target.size(), 0);
  std::vector<ColorRef> sourceColors(26, 0);

  ImgBitmap working;
  ImgFromDib(&working, std::move(startDib));
  DrawingContext* dc = ImgCreateDC(&working);
  for (const TestPicture& picture : sources) {
    ImgBitmap bitmap;
    ImgFromDib(&bitmap, PictureToDib(picture));
    PreparedTile tile;
    PrepareTilePicture(&bitmap, g.tileWidth, g.tileHeight, &tile);
    for (int j = 0; j < tile.patchCount; ++j) sourceColors[j] = tile.colors[j];
    const BitmapInfoHeader* header = tile.block.Header();
    size_t k = 0;
    for (const Tile& t : tiles) {
      const size_t n = t.patches.size();
      float dPlaced = 0, dSource = 0;
      size_t empty = 0;
      for (size_t j = 0; j < n; ++j) {
        dPlaced += Distance(target[k + j], placed[k + j]);
        dSource += Distance(target[k + j], sourceColors[j]);
        if (placed[k + j] == 0) ++empty;
      }
      if (dSource < dPlaced || empty == n) {
        for (size_t j = 0; j < n; ++j) placed[k + j] = sourceColors[j];
        const TilePlacement at =
            PlaceTilePicture(g, t.left, t.top, static_cast<float>(header->biWidth),
                             static_cast<float>(header->biHeight), start.width, start.height);
        DrawShiftedTile(dc, header, tile.block.Pixels(), at.x0, at.y0, at.w, at.h, at.clip.left,
                        at.clip.top, at.clip.right, at.clip.bottom, Mean(sourceColors, 0, n),
                        Mean(target, k, n), 1);
      }
      k += n;
    }
  }
  ImgDeleteDC(dc);
  return PictureFromDib(ImgToDib(&working));
}

TestPicture Noise(int w, int h, uint32_t seed, int levels) {
  TestPicture p(w, h);
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      seed = seed * 1103515245u + 12345u;
      // Coarse levels leave whole patches black now and then.
      const uint32_t v = seed >> 8;
      p.Set(x, y,
            MakeColor((v % levels) * 255 / (levels - 1), ((v >> 6) % levels) * 255 / (levels - 1),
                      ((v >> 12) % levels) * 255 / (levels - 1)));
    }
  }
  return p;
}

TEST(MosaicMatchingTest, RunsMatchThePlainModelOfTheRule) {
  struct Case {
    int width, height;
    float across, down;
    int autoRows;
  };
  const Case cases[] = {
      {64, 48, 4, 15, 1},   // tiles of 16 x 12, 25 patches each
      {97, 61, 7, 5, 0},    // uneven tiles and a last row and column cut by the picture
      {50, 37, 13, 9, 0},   // tiles under 5 pixels: fewer patches than the tile pictures
      {59, 80, 10, 10, 0},  // tiles of 5.9 x 8: tile pictures 5 wide have 20 patches, not 25
      {45, 30, 21, 15, 1},  // tiles of about 2 pixels: one or no patch
      {120, 20, 3, 15, 1},  // a wide picture: one row
  };
  ScratchFolder folder;
  std::vector<TestPicture> sources = {
      Noise(30, 20, 1, 256),
      Noise(16, 40, 2, 256),
      TestPicture(12, 9, 0),
      Noise(25, 25, 3, 2),
      Noise(7, 3, 4, 3),
      Noise(40, 30, 5, 256),
      SplitPicture(20, 15, 0, MakeColor(250, 240, 10)),
      Noise(33, 18, 6, 4),
  };
  std::vector<std::string> paths;
  for (size_t i = 0; i < sources.size(); ++i) {
    paths.push_back(folder.File("source " + std::to_string(i) + ".bmp"));
    ASSERT_TRUE(WriteBmpFile(paths.back(), sources[i]));
  }
  MosaicSources tileSources;
  tileSources.UseList(paths);
  for (const Case& c : cases) {
    const TestPicture start = Noise(c.width, c.height, 77, 256);
    const MosaicOutcome out = RunMosaicOn(tileSources, start, c.across, c.down, c.autoRows);
    ASSERT_EQ(out.result, 0);
    EXPECT_EQ(out.picture, ModelMosaic(start, c.across, c.down, c.autoRows, sources))
        << c.width << " x " << c.height << ", " << c.across << " across";
  }
}

}  // namespace

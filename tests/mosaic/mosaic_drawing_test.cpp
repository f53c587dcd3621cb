// SPDX-FileCopyrightText: The Quillane developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Drawing tile pictures scaled and tinted into the mosaic.

#include <gtest/gtest.h>

#include <algorithm>

#include "effects/pixel_primitives.h"
#include "imaging/drawing_surface.h"
#include "imaging/imaging.h"
#include "mosaic/mosaic_internals.h"
#include "support/mosaic_makers.h"

namespace {

constexpr ColorRef kMarker = MakeColor(1, 2, 3);

// A surface of w x h filled with the marker colour.
struct Surface {
  ImgBitmap bitmap;
  DrawingContext* dc = nullptr;

  Surface(int w, int h) {
    bitmap.width = w;
    bitmap.height = h;
    bitmap.hasImage = 1;
    bitmap.dib = PictureToDib(TestPicture(w, h, kMarker));
    dc = new DrawingContext(&bitmap);
  }
  ~Surface() { delete dc; }
  ColorRef At(int x, int y) const { return dc->GetPixel(x, y); }
};

TEST(DrawShiftedTileTest, EnlargesAndShiftsEachChannelWithClamping) {
  TestPicture tile(2, 2);
  tile.Set(0, 0, MakeColor(10, 20, 30));
  tile.Set(1, 0, MakeColor(250, 0, 100));
  tile.Set(0, 1, MakeColor(0, 250, 0));
  tile.Set(1, 1, MakeColor(255, 255, 255));
  DibHandle dib = PictureToDib(tile);
  Surface s(4, 4);
  // Shift: red +50, green -30, blue 0.
  DrawShiftedTile(s.dc, dib.Header(), dib.Pixels(), 0, 0, 4, 4, 0, 0, 4, 4,
                  MakeColor(100, 100, 100), MakeColor(150, 70, 100), 1);
  EXPECT_EQ(s.At(0, 0), MakeColor(60, 0, 30));
  EXPECT_EQ(s.At(1, 1), MakeColor(60, 0, 30));
  EXPECT_EQ(s.At(2, 0), MakeColor(255, 0, 100));
  EXPECT_EQ(s.At(3, 1), MakeColor(255, 0, 100));
  EXPECT_EQ(s.At(0, 2), MakeColor(50, 220, 0));
  EXPECT_EQ(s.At(3, 3), MakeColor(255, 225, 255));
}

TEST(DrawShiftedTileTest, SetsOnlyPixelsInsideTheClipRectangle) {
  DibHandle dib = PictureToDib(TestPicture(2, 2, MakeColor(9, 9, 9)));
  Surface s(4, 4);
  DrawShiftedTile(s.dc, dib.Header(), dib.Pixels(), 0, 0, 4, 4, 1, 1, 3, 3, 0, 0, 1);
  for (int y = 0; y < 4; ++y) {
    for (int x = 0; x < 4; ++x) {
      const bool inside = x >= 1 && x < 3 && y >= 1 && y < 3;
      EXPECT_EQ(s.At(x, y), inside ? MakeColor(9, 9, 9) : kMarker) << x << "," << y;
    }
  }
}

TEST(DrawShiftedTileTest, PlacesThePictureAtItsOriginEvenPartlyOutside) {
  TestPicture tile = SplitPicture(4, 4, MakeColor(0, 0, 0), MakeColor(200, 200, 200));
  DibHandle dib = PictureToDib(tile);
  Surface s(4, 4);
  // Drawn from x = -2: only its right half lands on the surface.
  DrawShiftedTile(s.dc, dib.Header(), dib.Pixels(), -2, 1, 4, 4, 0, 0, 4, 4, 0, 0, 1);
  EXPECT_EQ(s.At(0, 0), kMarker);
  EXPECT_EQ(s.At(0, 1), MakeColor(200, 200, 200));
  EXPECT_EQ(s.At(1, 3), MakeColor(200, 200, 200));
  EXPECT_EQ(s.At(2, 1), kMarker);
}

TEST(DrawShiftedTileTest, ShrinkingAveragesEachBlockWithTruncation) {
  TestPicture tile(4, 2);
  tile.Set(0, 0, MakeColor(0, 0, 0));
  tile.Set(1, 0, MakeColor(1, 10, 255));
  tile.Set(0, 1, MakeColor(0, 10, 255));
  tile.Set(1, 1, MakeColor(0, 10, 255));
  tile.Fill(2, 0, 4, 2, MakeColor(100, 100, 100));
  DibHandle dib = PictureToDib(tile);
  Surface s(2, 1);
  DrawShiftedTile(s.dc, dib.Header(), dib.Pixels(), 0, 0, 2, 1, 0, 0, 2, 1, 0, 0, 1);
  EXPECT_EQ(s.At(0, 0), MakeColor(0, 7, 191));
  EXPECT_EQ(s.At(1, 0), MakeColor(100, 100, 100));
}

TEST(DrawShiftedTileTest, CoarseSamplingSkipsPixelsOfAStronglyShrunkPicture) {
  // White only where a sampling step of 8 lands; black elsewhere.
  TestPicture tile(16, 16, 0);
  for (int y : {0, 8}) {
    for (int x : {0, 8}) tile.Set(x, y, MakeColor(255, 255, 255));
  }
  DibHandle dib = PictureToDib(tile);
  Surface coarse(1, 1), fine(1, 1);
  DrawShiftedTile(coarse.dc, dib.Header(), dib.Pixels(), 0, 0, 1, 1, 0, 0, 1, 1, 0, 0, 1);
  DrawShiftedTile(fine.dc, dib.Header(), dib.Pixels(), 0, 0, 1, 1, 0, 0, 1, 1, 0, 0, 0);
  EXPECT_EQ(coarse.At(0, 0), MakeColor(255, 255, 255));
  EXPECT_EQ(fine.At(0, 0), MakeColor(3, 3, 3));  // 4 x 255 / 256
}

TEST(DrawShiftedTileTest, AnEmptyDestinationDrawsNothing) {
  DibHandle dib = PictureToDib(TestPicture(2, 2, MakeColor(9, 9, 9)));
  Surface s(2, 2);
  DrawShiftedTile(s.dc, dib.Header(), dib.Pixels(), 0, 0, 0, 2, 0, 0, 2, 2, 0, 0, 1);
  DrawShiftedTile(s.dc, dib.Header(), dib.Pixels(), 0, 0, 2, 0, 0, 0, 2, 2, 0, 0, 1);
  DrawShiftedTile(s.dc, dib.Header(), dib.Pixels(), 0, 0, -3, 2, 0, 0, 2, 2, 0, 0, 1);
  EXPECT_EQ(s.At(0, 0), kMarker);
  EXPECT_EQ(s.At(1, 1), kMarker);
}

// The drawing as plainly described: every destination pixel sampled through ReadDibPixel and
// set through SetPixel, so that the tables and straight copies of the real one are checked.
void PlainShiftedTile(DrawingContext* dc, const BitmapInfoHeader* header, const uint8_t* pixels,
                      int x0, int y0, int w, int h, Rect clip, ColorRef from, ColorRef to,
                      int coarse) {
  if (w <= 0 || h <= 0) return;
  const int dr = static_cast<int>(ColorRed(to)) - static_cast<int>(ColorRed(from));
  const int dg = static_cast<int>(ColorGreen(to)) - static_cast<int>(ColorGreen(from));
  const int db = static_cast<int>(ColorBlue(to)) - static_cast<int>(ColorBlue(from));
  const float sw = static_cast<float>(header->biWidth), sh = static_cast<float>(header->biHeight);
  const float xScale = sw / w, yScale = sh / h;
  auto step = [&](float scale) {
    return coarse == 0 ? 1.0f : scale > 8 ? 8.0f : scale > 4 ? 4.0f : scale > 2 ? 2.0f : 1.0f;
  };
  const float xStep = step(xScale), yStep = step(yScale);
  int yd = y0;
  for (float sy = 0; sy < sh; sy += yScale, ++yd) {
    int xd = x0;
    for (float sx = 0; sx < sw; sx += xScale, ++xd) {
      int r = 0, g = 0, b = 0, n = 0;
      for (float yy = sy; yy < std::min(sy + yScale, sh); yy += yStep) {
        for (float xx = sx; xx < std::min(sx + xScale, sw); xx += xStep) {
          const ColorRef c =
              ReadDibPixel(header, pixels, static_cast<int>(xx), static_cast<int>(yy));
          r += ColorRed(c);
          g += ColorGreen(c);
          b += ColorBlue(c);
          ++n;
        }
      }
      if (n > 0) r /= n, g /= n, b /= n;
      if (xd >= clip.left && xd < clip.right && yd >= clip.top && yd < clip.bottom) {
        dc->SetPixel(xd, yd,
                     MakeColor(std::clamp(r + dr, 0, 255), std::clamp(g + dg, 0, 255),
                               std::clamp(b + db, 0, 255)));
      }
    }
  }
}

TEST(DrawShiftedTileTest, MatchesThePlainPixelByPixelDrawing) {
  uint32_t seed = 99;
  auto next = [&](int range) {
    seed = seed * 1103515245u + 12345u;
    return static_cast<int>((seed >> 8) % static_cast<uint32_t>(range));
  };
  for (int round = 0; round < 300; ++round) {
    TestPicture tile(1 + next(40), 1 + next(40));
    for (int y = 0; y < tile.height; ++y) {
      for (int x = 0; x < tile.width; ++x) {
        tile.Set(x, y, MakeColor(next(256), next(256), next(256)));
      }
    }
    DibHandle dib = PictureToDib(tile);
    const int x0 = next(20) - 10, y0 = next(20) - 10, w = 1 + next(60), h = 1 + next(60);
    const Rect clip{next(30) - 5, next(30) - 5, next(50), next(50)};
    const ColorRef from = MakeColor(next(256), next(256), next(256));
    const ColorRef to = MakeColor(next(256), next(256), next(256));
    const int coarse = next(2);
    Surface fast(48, 40), plain(48, 40);
    DrawShiftedTile(fast.dc, dib.Header(), dib.Pixels(), x0, y0, w, h, clip.left, clip.top,
                    clip.right, clip.bottom, from, to, coarse);
    PlainShiftedTile(plain.dc, dib.Header(), dib.Pixels(), x0, y0, w, h, clip, from, to, coarse);
    ASSERT_EQ(PictureFromDib(fast.bitmap.dib), PictureFromDib(plain.bitmap.dib))
        << "round " << round << ": " << tile.width << "x" << tile.height << " drawn " << w << "x"
        << h << " at " << x0 << "," << y0 << " coarse " << coarse;
  }
}

}  // namespace

// Drawing tile pictures scaled and tinted into the mosaic.

#include <gtest/gtest.h>

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

}  // namespace

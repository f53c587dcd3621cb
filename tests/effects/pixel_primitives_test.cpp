// SPDX-FileCopyrightText: The Quillane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "effects/pixel_primitives.h"

#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <utility>
#include <vector>

#include "imaging/imaging.h"

namespace {

// A packed bitmap built by hand: header, palette, rows (addressed top-down by the test).
class PackedBitmap {
 public:
  PackedBitmap(int width, int height, int bits, bool topDown, std::vector<uint32_t> palette = {},
               uint32_t clrUsed = 0)
      : width_(width), height_(height), bits_(bits), topDown_(topDown) {
    rowBytes_ = static_cast<int>(DibRowBytes(width, bits));
    paletteBytes_ = static_cast<int>(palette.size()) * 4;
    block_.assign(kDibHeaderSize + paletteBytes_ + rowBytes_ * height, 0);
    BitmapInfoHeader header{};
    header.biSize = kDibHeaderSize;
    header.biWidth = width;
    header.biHeight = topDown ? -height : height;
    header.biPlanes = 1;
    header.biBitCount = static_cast<uint16_t>(bits);
    header.biClrUsed = clrUsed;
    std::memcpy(block_.data(), &header, sizeof header);
    for (size_t i = 0; i < palette.size(); ++i) {
      // Palette entries are blue, green, red, reserved; given here as colour values.
      uint8_t* e = block_.data() + kDibHeaderSize + i * 4;
      e[0] = static_cast<uint8_t>(ColorBlue(palette[i]));
      e[1] = static_cast<uint8_t>(ColorGreen(palette[i]));
      e[2] = static_cast<uint8_t>(ColorRed(palette[i]));
    }
  }

  const BitmapInfoHeader* Header() const {
    return reinterpret_cast<const BitmapInfoHeader*>(block_.data());
  }
  const uint8_t* Pixels() const { return block_.data() + kDibHeaderSize + paletteBytes_; }
  uint8_t* Row(int y) {
    const int stored = topDown_ ? y : height_ - 1 - y;
    return block_.data() + kDibHeaderSize + paletteBytes_ + stored * rowBytes_;
  }
  void Set24(int x, int y, ColorRef c) {
    uint8_t* p = Row(y) + x * (bits_ / 8);
    p[0] = static_cast<uint8_t>(ColorBlue(c));
    p[1] = static_cast<uint8_t>(ColorGreen(c));
    p[2] = static_cast<uint8_t>(ColorRed(c));
    if (bits_ == 32) p[3] = 0xAB;  // the fourth byte must be ignored
  }
  void Fill24(ColorRef c) {
    for (int y = 0; y < height_; ++y)
      for (int x = 0; x < width_; ++x) Set24(x, y, c);
  }

 private:
  int width_, height_, bits_;
  bool topDown_;
  int rowBytes_ = 0;
  int paletteBytes_ = 0;
  std::vector<uint8_t> block_;
};

constexpr ColorRef kWhite = MakeColor(255, 255, 255);

// A white canvas with its drawing context, like the pencil styles' paper.
class Paper {
 public:
  Paper(int width, int height) {
    EXPECT_EQ(ImgCreate(&bitmap_, 1, width, height, 24), 1);
    dc_ = ImgCreateDC(&bitmap_);
    dc_->FillRect(Rect{0, 0, width, height}, kWhite);
  }
  ~Paper() { ImgDeleteDC(dc_); }
  DrawingContext* dc() { return dc_; }
  // Every pixel that is no longer white, with its colour.
  std::map<std::pair<int, int>, ColorRef> Marks() const {
    std::map<std::pair<int, int>, ColorRef> marks;
    for (int y = 0; y < dc_->Height(); ++y)
      for (int x = 0; x < dc_->Width(); ++x)
        if (dc_->GetPixel(x, y) != kWhite) marks[{x, y}] = dc_->GetPixel(x, y);
    return marks;
  }

 private:
  ImgBitmap bitmap_;
  DrawingContext* dc_ = nullptr;
};

using Marks = std::map<std::pair<int, int>, ColorRef>;

ColorRef Grey(int v) {
  return MakeColor(v, v, v);
}

}  // namespace

TEST(ReadDibPixel, TrueColourInBothRowOrders) {
  for (bool topDown : {false, true}) {
    for (int bits : {24, 32}) {
      PackedBitmap bmp(3, 2, bits, topDown);
      bmp.Set24(0, 0, MakeColor(1, 2, 3));
      bmp.Set24(2, 1, MakeColor(200, 100, 50));
      EXPECT_EQ(ReadDibPixel(bmp.Header(), bmp.Pixels(), 0, 0), MakeColor(1, 2, 3));
      EXPECT_EQ(ReadDibPixel(bmp.Header(), bmp.Pixels(), 2, 1), MakeColor(200, 100, 50));
      EXPECT_EQ(ReadDibPixel(bmp.Header(), bmp.Pixels(), 1, 0), 0u);
    }
  }
}

TEST(ReadDibPixel, PalettedBitmapsReadTheirIndexes) {
  const std::vector<uint32_t> palette = {MakeColor(0, 0, 0), MakeColor(10, 20, 30),
                                         MakeColor(40, 50, 60)};
  for (bool topDown : {false, true}) {
    PackedBitmap eight(5, 2, 8, topDown, palette, 3);
    eight.Row(1)[4] = 2;
    eight.Row(0)[1] = 1;
    EXPECT_EQ(ReadDibPixel(eight.Header(), eight.Pixels(), 4, 1), MakeColor(40, 50, 60));
    EXPECT_EQ(ReadDibPixel(eight.Header(), eight.Pixels(), 1, 0), MakeColor(10, 20, 30));
    EXPECT_EQ(ReadDibPixel(eight.Header(), eight.Pixels(), 0, 0), 0u);

    // 4 bits: the high half is the even pixel.
    std::vector<uint32_t> sixteen(16, 0);
    sixteen[1] = MakeColor(1, 1, 1);
    sixteen[2] = MakeColor(2, 2, 2);
    sixteen[15] = MakeColor(15, 16, 17);
    PackedBitmap four(5, 2, 4, topDown, sixteen);
    four.Row(1)[1] = 0x12;  // pixels 2 and 3
    four.Row(0)[2] = 0xF0;  // pixel 4
    EXPECT_EQ(ReadDibPixel(four.Header(), four.Pixels(), 2, 1), MakeColor(1, 1, 1));
    EXPECT_EQ(ReadDibPixel(four.Header(), four.Pixels(), 3, 1), MakeColor(2, 2, 2));
    EXPECT_EQ(ReadDibPixel(four.Header(), four.Pixels(), 4, 0), MakeColor(15, 16, 17));

    // 1 bit: bit 7 is the leftmost pixel; no colour count means 2 entries.
    PackedBitmap one(10, 2, 1, topDown, {MakeColor(0, 0, 0), MakeColor(255, 255, 255)});
    one.Row(0)[0] = 0x80;
    one.Row(1)[1] = 0x40;  // pixel 9
    EXPECT_EQ(ReadDibPixel(one.Header(), one.Pixels(), 0, 0), kWhite);
    EXPECT_EQ(ReadDibPixel(one.Header(), one.Pixels(), 1, 0), 0u);
    EXPECT_EQ(ReadDibPixel(one.Header(), one.Pixels(), 9, 1), kWhite);
    EXPECT_EQ(ReadDibPixel(one.Header(), one.Pixels(), 8, 1), 0u);
    EXPECT_EQ(ReadDibPixel(one.Header(), one.Pixels(), 9, 0), 0u);
  }
}

TEST(AverageRegion, FullAndSparseMeansTruncate) {
  PackedBitmap bmp(4, 4, 24, false);
  // Red channel = 10 x (x + 4 y); green constant; blue 1 only on odd columns.
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 4; ++x) bmp.Set24(x, y, MakeColor(10 * (x + 4 * y), 7, x % 2));
  uint8_t r, g, b;
  EXPECT_EQ(AverageRegion(bmp.Header(), bmp.Pixels(), 0, 0, 4, 4, &r, &g, &b, 0), 0);
  EXPECT_EQ(r, 75);  // mean of 0..150 step 10
  EXPECT_EQ(g, 7);
  EXPECT_EQ(b, 0);  // 8 / 16 truncates to 0
  // Sparse: pixels (0,0), (2,0), (0,2), (2,2): red 0, 20, 80, 100.
  EXPECT_EQ(AverageRegion(bmp.Header(), bmp.Pixels(), 0, 0, 4, 4, &r, &g, &b, 1), 0);
  EXPECT_EQ(r, 50);
  EXPECT_EQ(b, 0);
  // A 2 x 2 sparse rectangle samples its top-left pixel alone.
  AverageRegion(bmp.Header(), bmp.Pixels(), 1, 2, 3, 4, &r, &g, &b, 1);
  EXPECT_EQ(r, 90);
  EXPECT_EQ(b, 1);
  // A 3 x 1 sparse rectangle: pixels 1 and 3 of row 1: red 50 and 70.
  AverageRegion(bmp.Header(), bmp.Pixels(), 1, 1, 4, 2, &r, &g, &b, 1);
  EXPECT_EQ(r, 60);
  EXPECT_EQ(b, 1);
  // Full, odd count: row 0, columns 0..2: red 0, 10, 20 and blue 0, 1, 0.
  AverageRegion(bmp.Header(), bmp.Pixels(), 0, 0, 3, 1, &r, &g, &b, 0);
  EXPECT_EQ(r, 10);
  EXPECT_EQ(b, 0);
}

TEST(AverageRegion, EmptyRectangleGivesBlack) {
  PackedBitmap bmp(4, 4, 24, false);
  bmp.Fill24(MakeColor(9, 9, 9));
  uint8_t r = 1, g = 1, b = 1;
  AverageRegion(bmp.Header(), bmp.Pixels(), 2, 0, 2, 4, &r, &g, &b, 0);
  EXPECT_EQ(r + g + b, 0);
  r = g = b = 1;
  AverageRegion(bmp.Header(), bmp.Pixels(), 0, 3, 4, 1, &r, &g, &b, 1);
  EXPECT_EQ(r + g + b, 0);
}

TEST(AverageRegion, OtherDepthsAgreeWithTheDirectPath) {
  // The same picture as 24, 32 and 8 bits, bottom-up and top-down, gives the same means.
  const std::vector<uint32_t> palette = {MakeColor(3, 200, 17), MakeColor(250, 1, 99)};
  PackedBitmap eight(5, 3, 8, true, palette, 2);
  PackedBitmap direct(5, 3, 24, false);
  PackedBitmap wide(5, 3, 32, true);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 5; ++x) {
      const int index = (x * y + x) % 2;
      eight.Row(y)[x] = static_cast<uint8_t>(index);
      direct.Set24(x, y, palette[index]);
      wide.Set24(x, y, palette[index]);
    }
  for (int sparse : {0, 1}) {
    uint8_t r1, g1, b1, r2, g2, b2, r3, g3, b3;
    AverageRegion(eight.Header(), eight.Pixels(), 0, 0, 5, 3, &r1, &g1, &b1, sparse);
    AverageRegion(direct.Header(), direct.Pixels(), 0, 0, 5, 3, &r2, &g2, &b2, sparse);
    AverageRegion(wide.Header(), wide.Pixels(), 0, 0, 5, 3, &r3, &g3, &b3, sparse);
    EXPECT_EQ(MakeColor(r1, g1, b1), MakeColor(r2, g2, b2));
    EXPECT_EQ(MakeColor(r3, g3, b3), MakeColor(r2, g2, b2));
  }
}

TEST(DrawPencilLine, DegenerateAndNeighbourLines) {
  PackedBitmap reference(20, 20, 24, false);  // black: accepts channels 64..190
  const ColorRef ink = Grey(100);

  Paper same(20, 20);
  DrawPencilLine(same.dc(), 100, 100, 100, 5, 5, 5, 5, reference.Header(), reference.Pixels());
  EXPECT_TRUE(same.Marks().empty());

  // Neighbours: only the end point (the lower one, or the second one given when level).
  const std::vector<std::pair<std::pair<int, int>, std::pair<int, int>>> pairs = {
      {{5, 5}, {6, 5}}, {{6, 5}, {5, 5}}, {{5, 5}, {5, 6}}, {{5, 6}, {5, 5}},
      {{5, 5}, {6, 6}}, {{6, 6}, {5, 5}}, {{5, 5}, {4, 6}}};
  for (const auto& [a, b] : pairs) {
    Paper paper(20, 20);
    DrawPencilLine(paper.dc(), 100, 100, 100, a.first, a.second, b.first, b.second,
                   reference.Header(), reference.Pixels());
    std::pair<int, int> expected = a.second > b.second ? a : b;
    if (a.second == b.second) expected = b;
    EXPECT_EQ(paper.Marks(), (Marks{{expected, ink}}))
        << a.first << "," << a.second << " to " << b.first << "," << b.second;
  }
}

TEST(DrawPencilLine, ReferenceToleranceBounds) {
  struct Case {
    int reference, channel;
    bool set;
  };
  // White reference: target 255, only channels above 191. Black: target 127, 64 to 190.
  const Case cases[] = {{255, 192, true}, {255, 191, false}, {255, 255, true}, {0, 64, true},
                        {0, 63, false},   {0, 190, true},    {0, 191, false},  {0, 127, true}};
  for (const Case& c : cases) {
    PackedBitmap reference(4, 4, 24, true);
    reference.Fill24(Grey(c.reference));
    Paper paper(4, 4);
    DrawPencilLine(paper.dc(), c.channel, c.channel, c.channel, 0, 1, 1, 1, reference.Header(),
                   reference.Pixels());
    EXPECT_EQ(paper.dc()->GetPixel(1, 1) == Grey(c.channel), c.set)
        << "reference " << c.reference << " channel " << c.channel;
  }
  // Each channel is tested on its own: one channel out of range refuses the pixel.
  PackedBitmap reference(4, 4, 24, false);
  Paper paper(4, 4);
  DrawPencilLine(paper.dc(), 100, 191, 100, 0, 1, 1, 1, reference.Header(), reference.Pixels());
  EXPECT_TRUE(paper.Marks().empty());
}

TEST(DrawPencilLine, HandComputedSteepLine) {
  // From (10,10) to (12,15) in ink 100 on white paper: adj = 26214, weights k = 102, 204, 51,
  // 153; blends 100 a + 255 (1 - a) give 161, 192, 223, 130, ...; the black reference keeps
  // only 64..190.
  PackedBitmap reference(30, 30, 24, false);
  const Marks expected = {{{10, 11}, Grey(161)},
                          {{11, 12}, Grey(130)},
                          {{11, 13}, Grey(130)},
                          {{12, 14}, Grey(161)},
                          {{12, 15}, Grey(100)}};
  for (bool reversed : {false, true}) {
    Paper paper(30, 30);
    if (reversed) {
      DrawPencilLine(paper.dc(), 100, 100, 100, 12, 15, 10, 10, reference.Header(),
                     reference.Pixels());
    } else {
      DrawPencilLine(paper.dc(), 100, 100, 100, 10, 10, 12, 15, reference.Header(),
                     reference.Pixels());
    }
    EXPECT_EQ(paper.Marks(), expected) << (reversed ? "reversed" : "forward");
  }
}

TEST(DrawPencilLine, HandComputedShallowLineInBothDirections) {
  PackedBitmap reference(30, 30, 24, true);
  const Marks rightward = {{{11, 10}, Grey(161)},
                           {{12, 11}, Grey(130)},
                           {{13, 11}, Grey(130)},
                           {{14, 12}, Grey(161)},
                           {{15, 12}, Grey(100)}};
  Paper right(30, 30);
  DrawPencilLine(right.dc(), 100, 100, 100, 10, 10, 15, 12, reference.Header(), reference.Pixels());
  EXPECT_EQ(right.Marks(), rightward);

  // Running leftward mirrors the line about x = 12.5.
  Marks leftward;
  for (const auto& [p, c] : rightward) leftward[{25 - p.first, p.second}] = c;
  Paper left(30, 30);
  DrawPencilLine(left.dc(), 100, 100, 100, 15, 10, 10, 12, reference.Header(), reference.Pixels());
  EXPECT_EQ(left.Marks(), leftward);
}

TEST(DrawPencilLine, UpperEndNeverDrawnAndOrderDoesNotMatter) {
  PackedBitmap reference(40, 40, 24, false);
  reference.Fill24(Grey(100));  // target 177: accepts 114..240
  const int lines[][4] = {{5, 5, 30, 9},   {5, 5, 9, 30},  {30, 5, 5, 9},   {20, 3, 20, 25},
                          {3, 20, 25, 20}, {4, 4, 24, 24}, {30, 30, 10, 22}};
  for (const auto& l : lines) {
    Paper forward(40, 40), backward(40, 40);
    DrawPencilLine(forward.dc(), 150, 150, 150, l[0], l[1], l[2], l[3], reference.Header(),
                   reference.Pixels());
    DrawPencilLine(backward.dc(), 150, 150, 150, l[2], l[3], l[0], l[1], reference.Header(),
                   reference.Pixels());
    const Marks marks = forward.Marks();
    EXPECT_FALSE(marks.empty());
    if (l[1] == l[3]) {
      // Level lines leave out the first point given, so the two orders differ only at the ends.
      EXPECT_FALSE(marks.count({l[0], l[1]}));
      EXPECT_TRUE(marks.count({l[2], l[3]}));
      EXPECT_FALSE(backward.Marks().count({l[2], l[3]}));
      EXPECT_TRUE(backward.Marks().count({l[0], l[1]}));
      continue;
    }
    EXPECT_EQ(marks, backward.Marks());
    const std::pair<int, int> upper = l[1] < l[3] ? std::pair{l[0], l[1]} : std::pair{l[2], l[3]};
    EXPECT_FALSE(marks.count(upper));
    for (const auto& [p, c] : marks) EXPECT_GE(p.second, upper.second);
  }
}

TEST(PolarOffset, SinglePrecisionOffsets) {
  float dx = -1, dy = -1;
  EXPECT_EQ(PolarOffset(&dx, &dy, 0.0f, 7.0f), 0);
  EXPECT_EQ(dx, 7.0f);
  EXPECT_EQ(dy, 0.0f);
  PolarOffset(&dx, &dy, 90.0f, 1.0f);
  // 90 degrees in single precision lies just above pi / 2.
  EXPECT_EQ(dy, 1.0f);
  EXPECT_LT(dx, 0.0f);
  EXPECT_NEAR(dx, -4.3711390e-08f, 1e-14f);
  PolarOffset(&dx, &dy, 180.0f, 3.0f);
  EXPECT_EQ(dx, -3.0f);
  PolarOffset(&dx, &dy, 60.0f, 2.0f);
  EXPECT_FLOAT_EQ(dx, 1.0f);
  EXPECT_FLOAT_EQ(dy, 1.7320508f);
  PolarOffset(&dx, &dy, -45.0f, 10.0f);
  EXPECT_FLOAT_EQ(dx, 7.0710678f);
  EXPECT_FLOAT_EQ(dy, -7.0710678f);
}

TEST(RoundHalfAway, HalvesGoAwayFromZero) {
  EXPECT_EQ(RoundHalfAway(2.5), 3);
  EXPECT_EQ(RoundHalfAway(-2.5), -3);
  EXPECT_EQ(RoundHalfAway(0.0), 0);
  EXPECT_EQ(RoundHalfAway(2.4999), 2);
  EXPECT_EQ(RoundHalfAway(-2.4999), -2);
  EXPECT_EQ(RoundHalfAway(-0.4), 0);
  EXPECT_EQ(RoundHalfAway(0.5), 1);
  EXPECT_EQ(RoundHalfAway(7.0), 7);
}

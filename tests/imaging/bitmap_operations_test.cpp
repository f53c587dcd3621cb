// SPDX-FileCopyrightText: The Quillane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include <gtest/gtest.h>

#include <cstring>
#include <utility>
#include <vector>

#include "imaging/imaging.h"
#include "imaging/test_bitmaps.h"

namespace {

// A packed bitmap with palette, built byte by byte as another program would hand it over.
struct PackedDib {
  std::vector<uint8_t> bytes;
  const BitmapInfoHeader* Header() const {
    return reinterpret_cast<const BitmapInfoHeader*>(bytes.data());
  }
  const uint8_t* Pixels() const {
    const BitmapInfoHeader* h = Header();
    const uint32_t colours =
        h->biBitCount <= 8 ? (h->biClrUsed ? h->biClrUsed : 1u << h->biBitCount) : 0;
    return bytes.data() + h->biSize + colours * 4;
  }
};

// The four palette colours used by the palette tests (blue, green, red, reserved order).
const TestColour kPalette[4] = {{0, 0, 0}, {255, 0, 0}, {0, 128, 255}, {250, 250, 10}};

// A width x height picture whose pixel (x, y) has palette index (x + 2y) % 4 (% 2 for 1 bit).
PackedDib MakePaletteDib(int bits, int width, int height, bool topDown) {
  const uint32_t colours = bits == 1 ? 2 : 4;
  const int64_t stride = DibRowBytes(width, bits);
  PackedDib dib;
  dib.bytes.assign(40 + colours * 4 + stride * height, 0);
  BitmapInfoHeader h{};
  h.biSize = 40;
  h.biWidth = width;
  h.biHeight = topDown ? -height : height;
  h.biPlanes = 1;
  h.biBitCount = static_cast<uint16_t>(bits);
  h.biCompression = kBiRgb;
  h.biClrUsed = colours;
  std::memcpy(dib.bytes.data(), &h, 40);
  for (uint32_t i = 0; i < colours; ++i) {
    uint8_t* entry = dib.bytes.data() + 40 + i * 4;
    entry[0] = kPalette[i].blue;
    entry[1] = kPalette[i].green;
    entry[2] = kPalette[i].red;
  }
  uint8_t* pixels = dib.bytes.data() + 40 + colours * 4;
  for (int y = 0; y < height; ++y) {
    uint8_t* row = pixels + (topDown ? y : height - 1 - y) * stride;
    for (int x = 0; x < width; ++x) {
      const uint32_t index = (x + 2 * y) % colours;
      if (bits == 8) {
        row[x] = static_cast<uint8_t>(index);
      } else if (bits == 4) {
        row[x / 2] |= static_cast<uint8_t>(x % 2 ? index : index << 4);
      } else {
        row[x / 8] |= static_cast<uint8_t>(index << (7 - x % 8));
      }
    }
  }
  return dib;
}

PackedDib MakeTrueColourDib(int bits, int width, int height, bool topDown) {
  const int64_t stride = DibRowBytes(width, bits);
  PackedDib dib;
  dib.bytes.assign(40 + stride * height, 0);
  BitmapInfoHeader h{};
  h.biSize = 40;
  h.biWidth = width;
  h.biHeight = topDown ? -height : height;
  h.biPlanes = 1;
  h.biBitCount = static_cast<uint16_t>(bits);
  std::memcpy(dib.bytes.data(), &h, 40);
  for (int y = 0; y < height; ++y) {
    uint8_t* row = dib.bytes.data() + 40 + (topDown ? y : height - 1 - y) * stride;
    for (int x = 0; x < width; ++x) {
      uint8_t* p = row + x * (bits / 8);
      p[0] = static_cast<uint8_t>(x * 10);       // blue
      p[1] = static_cast<uint8_t>(y * 20);       // green
      p[2] = static_cast<uint8_t>(100 + x + y);  // red
      if (bits == 32) p[3] = 0x7F;
    }
  }
  return dib;
}

}  // namespace

TEST(BitmapRecord, InitialisedRecordIsEmptyAndFreeEmptiesIt) {
  ImgBitmap bitmap = MakeFilled(4, 3, {1, 2, 3});
  ASSERT_EQ(bitmap.hasImage, 1);
  ImgFree(&bitmap);
  EXPECT_EQ(bitmap.hasImage, 0);
  EXPECT_FALSE(bitmap.dib);
  ImgBitmap fresh = MakeFilled(2, 2, {});
  ImgInitHandle(&fresh, 0, 0, 0);
  EXPECT_EQ(fresh.hasImage, 0);
  EXPECT_EQ(fresh.width, 0);
  EXPECT_EQ(fresh.height, 0);
}

TEST(BitmapRecord, ToDibAndFromDibHandOverTheSameBlock) {
  ImgBitmap bitmap = MakeGradient(7, 5);
  const uint8_t* block = bitmap.dib.Lock();
  DibHandle dib = ImgToDib(&bitmap);
  EXPECT_EQ(bitmap.hasImage, 0);
  EXPECT_FALSE(bitmap.dib);
  ASSERT_TRUE(dib);
  EXPECT_EQ(dib.Lock(), block);
  EXPECT_EQ(dib.Header()->biWidth, 7);
  EXPECT_EQ(dib.Header()->biHeight, 5);
  EXPECT_EQ(dib.Header()->biBitCount, 24);

  ImgBitmap back;
  ASSERT_EQ(ImgFromDib(&back, std::move(dib)), 1);
  EXPECT_FALSE(dib);
  EXPECT_EQ(back.dib.Lock(), block);
  EXPECT_EQ(back.width, 7);
  EXPECT_EQ(back.height, 5);
  EXPECT_TRUE(SamePixels(back, MakeGradient(7, 5)));

  // A record without an image gives an empty handle; an empty handle is refused.
  EXPECT_FALSE(ImgToDib(&bitmap));
  EXPECT_EQ(ImgFromDib(&bitmap, DibHandle()), 0);
}

TEST(BitmapRecord, FromDibBitsReadsPaletteBitmapsInBothRowOrders) {
  for (int bits : {1, 4, 8}) {
    for (bool topDown : {false, true}) {
      SCOPED_TRACE(testing::Message() << bits << " bits, top-down " << topDown);
      const int width = 13, height = 6;  // odd width: rows end inside a byte and are padded
      PackedDib dib = MakePaletteDib(bits, width, height, topDown);
      ImgBitmap bitmap;
      ASSERT_EQ(ImgFromDibBits(&bitmap, dib.Header(), dib.Pixels()), 1);
      ASSERT_EQ(bitmap.width, width);
      ASSERT_EQ(bitmap.height, height);
      const int colours = bits == 1 ? 2 : 4;
      for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
          ASSERT_EQ(PixelAt(bitmap, x, y), kPalette[(x + 2 * y) % colours]) << x << "," << y;
        }
      }
    }
  }
}

TEST(BitmapRecord, FromDibBitsReadsTrueColourInBothRowOrders) {
  for (int bits : {24, 32}) {
    for (bool topDown : {false, true}) {
      SCOPED_TRACE(testing::Message() << bits << " bits, top-down " << topDown);
      PackedDib dib = MakeTrueColourDib(bits, 5, 4, topDown);
      ImgBitmap bitmap;
      ASSERT_EQ(ImgFromDibBits(&bitmap, dib.Header(), dib.Pixels()), 1);
      for (int y = 0; y < 4; ++y) {
        for (int x = 0; x < 5; ++x) {
          const TestColour expected{static_cast<uint8_t>(100 + x + y), static_cast<uint8_t>(y * 20),
                                    static_cast<uint8_t>(x * 10)};
          ASSERT_EQ(PixelAt(bitmap, x, y), expected) << x << "," << y;
        }
      }
    }
  }
}

TEST(BitmapRecord, FromDibBitsRefusesWhatItCannotRead) {
  PackedDib dib = MakeTrueColourDib(24, 5, 4, false);
  BitmapInfoHeader header = *dib.Header();
  ImgBitmap bitmap;
  header.biBitCount = 16;
  EXPECT_EQ(ImgFromDibBits(&bitmap, &header, dib.Pixels()), 0);
  header = *dib.Header();
  header.biCompression = 1;  // run-length encoded
  EXPECT_EQ(ImgFromDibBits(&bitmap, &header, dib.Pixels()), 0);
  header = *dib.Header();
  header.biWidth = 0;
  EXPECT_EQ(ImgFromDibBits(&bitmap, &header, dib.Pixels()), 0);
  header = *dib.Header();
  header.biWidth = 100000;
  header.biHeight = 100000;
  EXPECT_EQ(ImgFromDibBits(&bitmap, &header, dib.Pixels()), 0);
  EXPECT_EQ(ImgFromDibBits(&bitmap, nullptr, dib.Pixels()), 0);
  EXPECT_EQ(bitmap.hasImage, 0);
}

TEST(BitmapRecord, FromDibConvertsAPackedPaletteBitmapAndRefusesShortBlocks) {
  PackedDib packed = MakePaletteDib(8, 6, 3, false);
  DibHandle dib = DibHandle::Allocate(packed.bytes.size());
  std::memcpy(dib.Lock(), packed.bytes.data(), packed.bytes.size());
  ImgBitmap bitmap;
  ASSERT_EQ(ImgFromDib(&bitmap, std::move(dib)), 1);
  EXPECT_EQ(PixelAt(bitmap, 1, 0), kPalette[1]);
  EXPECT_EQ(PixelAt(bitmap, 0, 1), kPalette[2]);

  DibHandle shortBlock = DibHandle::Allocate(packed.bytes.size() - 10);
  std::memcpy(shortBlock.Lock(), packed.bytes.data(), packed.bytes.size() - 10);
  ImgBitmap other;
  EXPECT_EQ(ImgFromDib(&other, std::move(shortBlock)), 0);
  EXPECT_EQ(other.hasImage, 0);
}

TEST(BitmapRecord, CopyIsIndependentOfItsSource) {
  ImgBitmap source = MakeGradient(9, 4);
  ImgBitmap destination = MakeFilled(2, 2, {9, 9, 9});
  ASSERT_EQ(ImgCopy(&destination, &source), 1);
  EXPECT_TRUE(SamePixels(destination, source));
  EXPECT_NE(destination.dib.Lock(), source.dib.Lock());
  SetPixelAt(source, 0, 0, {1, 1, 1});
  EXPECT_FALSE(PixelAt(destination, 0, 0) == PixelAt(source, 0, 0));

  ImgBitmap empty;
  EXPECT_EQ(ImgCopy(&destination, &empty), 0);
}

TEST(Grayscale, GreyPicturesStayExactlyAsTheyAre) {
  ImgBitmap grey = MakePattern(256, 2, [](int x, int) {
    const auto v = static_cast<uint8_t>(x);
    return TestColour{v, v, v};
  });
  ImgBitmap original;
  ASSERT_EQ(ImgCopy(&original, &grey), 1);
  ASSERT_EQ(ImgGrayscale(&grey, 8), 1);
  EXPECT_TRUE(SamePixels(grey, original));
}

TEST(Grayscale, ColoursBecomeTheirLuminance) {
  ImgBitmap bitmap = MakePattern(3, 1, [](int x, int) {
    const TestColour colours[3] = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}};
    return colours[x];
  });
  ASSERT_EQ(ImgGrayscale(&bitmap, 8), 1);
  // Green looks brightest and blue darkest.
  EXPECT_EQ(PixelAt(bitmap, 0, 0), (TestColour{76, 76, 76}));
  EXPECT_EQ(PixelAt(bitmap, 1, 0), (TestColour{150, 150, 150}));
  EXPECT_EQ(PixelAt(bitmap, 2, 0), (TestColour{29, 29, 29}));
}

TEST(Trim, CropsInPlaceAndRefusesRectanglesOutsideThePicture) {
  ImgBitmap bitmap = MakeGradient(20, 10);
  ImgBitmap original;
  ASSERT_EQ(ImgCopy(&original, &bitmap), 1);
  ASSERT_EQ(ImgTrim(&bitmap, 3, 2, 11, 5), 1);
  ASSERT_EQ(bitmap.width, 11);
  ASSERT_EQ(bitmap.height, 5);
  for (int y = 0; y < 5; ++y) {
    for (int x = 0; x < 11; ++x) ASSERT_EQ(PixelAt(bitmap, x, y), PixelAt(original, x + 3, y + 2));
  }
  EXPECT_EQ(ImgTrim(&bitmap, 0, 0, 12, 5), 0);
  EXPECT_EQ(ImgTrim(&bitmap, -1, 0, 5, 5), 0);
  EXPECT_EQ(ImgTrim(&bitmap, 0, 0, 0, 5), 0);
  EXPECT_EQ(bitmap.width, 11);
  EXPECT_EQ(bitmap.height, 5);
}

TEST(ColorDepth, TwentyFourBitsLeavesThePictureAlone) {
  ImgBitmap bitmap = MakeGradient(10, 10);
  ASSERT_EQ(ImgSetColorDepth(&bitmap, &bitmap, 24, 0, 0, 0, 0, 0, 0), 1);
  EXPECT_TRUE(SamePixels(bitmap, MakeGradient(10, 10)));
}

TEST(ColorDepth, OneBitLeavesOnlyBlackAndWhiteWithTheGreyLevelsAsDensity) {
  for (int level : {0, 40, 128, 200, 255}) {
    SCOPED_TRACE(level);
    const auto v = static_cast<uint8_t>(level);
    ImgBitmap bitmap = MakeFilled(64, 64, {v, v, v});
    ASSERT_EQ(ImgSetColorDepth(&bitmap, &bitmap, 1, kColorDepthDither, 0, 0, 0, 0, 0), 1);
    ASSERT_EQ(bitmap.width, 64);
    int white = 0;
    for (int y = 0; y < 64; ++y) {
      for (int x = 0; x < 64; ++x) {
        const TestColour c = PixelAt(bitmap, x, y);
        ASSERT_TRUE(c == (TestColour{0, 0, 0}) || c == (TestColour{255, 255, 255}));
        white += c.red == 255;
      }
    }
    EXPECT_NEAR(white / 4096.0, level / 255.0, 0.02);
  }
}

TEST(ColorDepth, OneBitIsTheSameOnEveryRunAndAnyNumberOfThreads) {
  // Rows longer than the part handed down at a time, and pictures with fewer rows than threads.
  for (const auto& [width, height] : {std::pair{40, 30}, {131, 67}, {3, 200}, {200, 3}}) {
    ImgBitmap first = MakeGradient(width, height);
    ASSERT_EQ(ImgSetColorDepth(&first, &first, 1, kColorDepthDither), 1);
    for (int threads : {1, 2, 3, 8}) {
      SCOPED_TRACE(testing::Message() << width << " x " << height << ", " << threads);
      ImgBitmap second = MakeGradient(width, height);
      ImgDiffuseToBlackAndWhite(&second, threads);
      EXPECT_TRUE(SamePixels(first, second));
    }
  }
}

TEST(ColorDepth, OtherDepthsAndEmptyRecordsFail) {
  ImgBitmap bitmap = MakeGradient(4, 4);
  EXPECT_EQ(ImgSetColorDepth(&bitmap, &bitmap, 7, 0), 0);
  // Only error diffusion makes black and white, and 24 bits take no option.
  EXPECT_EQ(ImgSetColorDepth(&bitmap, &bitmap, 1, 0), 0);
  EXPECT_EQ(ImgSetColorDepth(&bitmap, &bitmap, 24, kColorDepthDither), 0);
  ImgBitmap empty;
  EXPECT_EQ(ImgSetColorDepth(&empty, &empty, 24, 0), 0);
}

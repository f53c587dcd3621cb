// SPDX-FileCopyrightText: The Quillane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include <Magick++.h>

#include "imaging/imaging.h"
#include "imaging/test_bitmaps.h"
#include "support/test_support.h"

namespace {

// Reads a file back with ImageMagick directly, independent of the program's loader.
ImgBitmap ReadBack(const std::string& path, std::string* format) {
  Magick::Image image(path);
  *format = image.magick();
  ImgBitmap bitmap;
  ImgFromDib(&bitmap, DibHandle::Create24(static_cast<int>(image.columns()),
                                          static_cast<int>(image.rows())));
  for (int y = 0; y < bitmap.height; ++y) {
    image.write(0, y, image.columns(), 1, "BGR", Magick::CharPixel, bitmap.Row(y));
  }
  return bitmap;
}

}  // namespace

TEST(PictureSaving, ExtensionPicksTheFormatAndThePixelsSurvive) {
  ScratchFolder folder;
  const ImgBitmap picture = MakeGradient(24, 16);
  const struct {
    const char* name;
    const char* format;
    bool lossless;
  } cases[] = {{"a.png", "PNG", true},   {"a.bmp", "BMP", true},   {"a.tif", "TIFF", true},
               {"a.TIFF", "TIFF", true}, {"a.jpg", "JPEG", false}, {"a.jpeg", "JPEG", false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string path = folder.File(c.name);
    ASSERT_EQ(ImgSaveFile(path.c_str(), picture), 1);
    std::string format;
    ImgBitmap back = ReadBack(path, &format);
    EXPECT_EQ(format.rfind(c.format, 0), 0u) << format;
    ASSERT_EQ(back.width, 24);
    ASSERT_EQ(back.height, 16);
    if (c.lossless) {
      EXPECT_TRUE(SamePixels(back, picture));
    } else {
      EXPECT_LE(ColourDistance(PixelAt(back, 20, 2), PixelAt(picture, 20, 2)), 40);
    }
  }
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.Path()),
                          std::filesystem::directory_iterator()),
            6);
}

TEST(PictureSaving, BitmapFilesHoldTwentyFourBitsPerPixel) {
  ScratchFolder folder;
  const std::string path = folder.File("grey.bmp");
  // A grey picture could be stored with a palette; the program's files are always 24-bit.
  ASSERT_EQ(ImgSaveFile(path.c_str(), MakeFilled(6, 6, {128, 128, 128})), 1);
  std::ifstream in(path, std::ios::binary);
  char header[30] = {};
  in.read(header, sizeof header);
  EXPECT_EQ(header[0], 'B');
  EXPECT_EQ(header[1], 'M');
  EXPECT_EQ(static_cast<uint8_t>(header[28]), 24);
}

TEST(PictureSaving, FailuresLeaveNoFileBehind) {
  ScratchFolder folder;
  const ImgBitmap picture = MakeGradient(8, 8);
  EXPECT_EQ(ImgSaveFile(folder.File("picture.xyz").c_str(), picture), 0);
  EXPECT_EQ(ImgSaveFile(folder.File("missing/picture.png").c_str(), picture), 0);
  ImgBitmap empty;
  EXPECT_EQ(ImgSaveFile(folder.File("empty.png").c_str(), empty), 0);
  EXPECT_TRUE(std::filesystem::is_empty(folder.Path()));
}

TEST(PictureSaving, ReplacesAnExistingFileWhole) {
  ScratchFolder folder;
  const std::string path = folder.File("picture.png");
  ASSERT_EQ(ImgSaveFile(path.c_str(), MakeFilled(50, 50, {1, 2, 3})), 1);
  ASSERT_EQ(ImgSaveFile(path.c_str(), MakeFilled(5, 4, {200, 100, 0})), 1);
  std::string format;
  ImgBitmap back = ReadBack(path, &format);
  EXPECT_EQ(back.width, 5);
  EXPECT_EQ(PixelAt(back, 4, 3), (TestColour{200, 100, 0}));
}

TEST(PictureSaving, FormatFollowsTheEndingOfTheName) {
  const std::pair<const char*, SaveFormat> cases[] = {
      {"a.png", SaveFormat::kPng},      {"dir.x/A.JPG", SaveFormat::kJpeg},
      {"a.jpeg", SaveFormat::kJpeg},    {"a.Bmp", SaveFormat::kBmp},
      {"a.tif", SaveFormat::kTiff},     {"a.TIFF", SaveFormat::kTiff},
      {"a.gif", SaveFormat::kNone},     {"png", SaveFormat::kNone},
      {"dir.png/a", SaveFormat::kNone}, {"a.png.txt", SaveFormat::kNone},
  };
  for (const auto& [name, format] : cases) EXPECT_EQ(SaveFormatForName(name), format) << name;
}

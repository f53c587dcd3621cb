// SPDX-FileCopyrightText: The Quillane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <set>

#include "imaging/imaging.h"
#include "imaging/test_bitmaps.h"

namespace fs = std::filesystem;

namespace {

const fs::path kBin = QUILLANE_BIN_DIR;

}  // namespace

TEST(StockPictures, ExamplePictureIsBesideTheExecutables) {
  ImgBitmap bitmap;
  ASSERT_EQ(ImgLoadFile((kBin / "Example Picture.jpg").c_str(), &bitmap, 0, 1, 0), 1);
  EXPECT_EQ(bitmap.width, 1024);
  EXPECT_EQ(bitmap.height, 768);
}

TEST(StockPictures, LibraryHoldsSmallVariedPhotographsAndVideos) {
  const fs::path library = kBin / "Picture Library";
  ASSERT_TRUE(fs::is_directory(library));
  int pictures = 0, videos = 0;
  uintmax_t bytes = 0;
  std::set<int> hues;
  for (const auto& entry : fs::directory_iterator(library)) {
    const std::string path = entry.path().string();
    bytes += entry.file_size();
    SCOPED_TRACE(path);
    VidHandle video;
    if (VidOpen(path.c_str(), &video, 1) == 1) {
      ASSERT_NE(video.usableVideo, 0);
      EXPECT_GE(video.frameCount, 30);
      ImgBitmap frame;
      // The mosaic takes every fifteenth frame.
      for (int i = 0; i < video.frameCount; i += 15) ASSERT_EQ(VidReadFrame(&video, &frame, i), 1);
      VidClose(&video);
      ++videos;
      continue;
    }
    ImgBitmap bitmap;
    ASSERT_EQ(ImgLoadFile(path.c_str(), &bitmap, 0, 1, 0), 1);
    const int longSide = std::max(bitmap.width, bitmap.height);
    const int shortSide = std::min(bitmap.width, bitmap.height);
    EXPECT_GE(longSide, 160);
    EXPECT_LE(longSide, 320);
    EXPECT_GE(shortSide, 120);
    EXPECT_LE(shortSide, 240);
    // The mean colour's dominant channel and brightness, a rough measure of variety.
    ASSERT_EQ(ImgResize(&bitmap, 1, 1, 2), 1);
    const TestColour mean = PixelAt(bitmap, 0, 0);
    const int brightest = std::max({mean.red, mean.green, mean.blue});
    const int channel = brightest == mean.red ? 0 : brightest == mean.green ? 1 : 2;
    hues.insert(channel * 4 + brightest / 64);
    ++pictures;
  }
  EXPECT_GE(pictures, 120);
  EXPECT_GE(videos, 1);
  EXPECT_LT(bytes, 5u * 1024 * 1024);
  EXPECT_GE(hues.size(), 6u);
}

// SPDX-FileCopyrightText: The Quillane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>

#include "imaging/imaging.h"
#include "imaging/test_bitmaps.h"
#include "support/test_support.h"

namespace {

TestColour CentreColour(const ImgBitmap& bitmap) {
  return PixelAt(bitmap, bitmap.width / 2, bitmap.height / 2);
}

// Reads the frames of `indexes` in order and checks that each shows its own colour.
void ExpectFrameColours(VidHandle* video, std::initializer_list<int> indexes, int tolerance) {
  for (int index : indexes) {
    SCOPED_TRACE(index);
    ImgBitmap frame;
    ASSERT_EQ(VidReadFrame(video, &frame, index), 1);
    EXPECT_EQ(frame.width, 32);
    EXPECT_EQ(frame.height, 24);
    EXPECT_LE(ColourDistance(CentreColour(frame), TestFrameColour(index)), tolerance);
    EXPECT_LE(ColourDistance(PixelAt(frame, 0, 0), TestFrameColour(index)), tolerance);
  }
}

}  // namespace

TEST(Video, MotionJpegFramesReadForwardWithTheirColours) {
  ScratchFolder folder;
  const std::string path = folder.File("colours.avi");
  ASSERT_TRUE(MakeTestAvi(path, 40, 32, 24));
  VidHandle video;
  VidInitHandle(&video);
  ASSERT_EQ(VidOpen(path.c_str(), &video, 1), 1);
  EXPECT_NE(video.usableVideo, 0);
  EXPECT_EQ(video.frameCount, 40);
  EXPECT_EQ(video.width, 32);
  EXPECT_EQ(video.height, 24);
  // The mosaic's walk: frames 0, 15, 30, and then the last one.
  ExpectFrameColours(&video, {0, 15, 30, 39}, 6);
  ImgBitmap frame;
  EXPECT_EQ(VidReadFrame(&video, &frame, 40), 0);
  EXPECT_EQ(VidReadFrame(&video, &frame, 1000), 0);
  EXPECT_EQ(frame.hasImage, 0);
  VidClose(&video);
  EXPECT_EQ(video.usableVideo, 0);
  EXPECT_EQ(VidReadFrame(&video, &frame, 0), 0);
}

TEST(Video, RawFramesKeepTheirColoursExactlyFrameAfterFrame) {
  ScratchFolder folder;
  const std::string path = folder.File("raw.avi");
  ASSERT_TRUE(MakeTestAvi(path, 16, 32, 24, {}, TestVideoCodec::kRaw));
  VidHandle video;
  ASSERT_EQ(VidOpen(path.c_str(), &video, 1), 1);
  EXPECT_EQ(video.frameCount, 16);
  for (int i = 0; i < 16; ++i) {
    ImgBitmap frame;
    ASSERT_EQ(VidReadFrame(&video, &frame, i), 1) << i;
    EXPECT_EQ(PixelAt(frame, 31, 23), TestFrameColour(i)) << i;
    EXPECT_EQ(PixelAt(frame, 0, 0), TestFrameColour(i)) << i;
  }
  ImgBitmap frame;
  EXPECT_EQ(VidReadFrame(&video, &frame, 16), 0);
  VidClose(&video);
}

TEST(Video, InterFrameCodingAndGoingBackToAnEarlierFrame) {
  ScratchFolder folder;
  const std::string path = folder.File("mpeg4.avi");
  ASSERT_TRUE(MakeTestAvi(path, 40, 32, 24, {}, TestVideoCodec::kMpeg4));
  VidHandle video;
  ASSERT_EQ(VidOpen(path.c_str(), &video, 1), 1);
  EXPECT_EQ(video.frameCount, 40);
  ExpectFrameColours(&video, {0, 7, 15, 16, 30, 39}, 24);
  // Reading an earlier frame again starts over rather than failing.
  ExpectFrameColours(&video, {3, 20}, 24);
  VidClose(&video);
}

TEST(Video, FrameCountFromDurationWhenTheContainerHasNone) {
  ScratchFolder folder;
  const std::string avi = folder.File("source.avi");
  const std::string mkv = folder.File("copy.mkv");
  ASSERT_TRUE(MakeTestAvi(avi, 15, 32, 24));
  ASSERT_EQ(std::system(("ffmpeg -nostdin -loglevel error -y -i '" + avi + "' -c copy '" + mkv +
                         "' >/dev/null 2>&1")
                            .c_str()),
            0);
  VidHandle video;
  ASSERT_EQ(VidOpen(mkv.c_str(), &video, 1), 1);
  EXPECT_EQ(video.frameCount, 15);
  ExpectFrameColours(&video, {0, 14}, 6);
}

TEST(Video, AnUndecodableFrameFailsAndTheOthersStillRead) {
  ScratchFolder folder;
  const std::string path = folder.File("damaged.avi");
  ASSERT_TRUE(MakeTestAvi(path, 40, 32, 24, {}, TestVideoCodec::kMotionJpeg, 30));
  VidHandle video;
  ASSERT_EQ(VidOpen(path.c_str(), &video, 1), 1);
  EXPECT_EQ(video.frameCount, 40);
  ExpectFrameColours(&video, {0, 15}, 6);
  ImgBitmap frame;
  EXPECT_EQ(VidReadFrame(&video, &frame, 30), 0);
  ExpectFrameColours(&video, {31, 39}, 6);
}

TEST(Video, FilesWithoutUsableVideo) {
  ScratchFolder folder;
  const std::string sound = folder.File("sound.avi");
  ASSERT_TRUE(MakeSoundOnlyAvi(sound));
  VidHandle video;
  ASSERT_EQ(VidOpen(sound.c_str(), &video, 1), 1);
  EXPECT_EQ(video.usableVideo, 0);
  ImgBitmap frame;
  EXPECT_EQ(VidReadFrame(&video, &frame, 0), 0);
  VidClose(&video);

  // Pictures are not videos, even though FFmpeg could open them as one-frame streams.
  const std::string picture = folder.File("picture.jpg");
  ASSERT_TRUE(MakeTestPicture(picture, 16, 16, {1, 2, 3}));
  EXPECT_EQ(VidOpen(picture.c_str(), &video, 1), 0);
  const std::string png = folder.File("picture.avi");
  ASSERT_TRUE(MakeTestPicture(folder.File("p.png"), 16, 16, {1, 2, 3}));
  std::filesystem::rename(folder.File("p.png"), png);
  EXPECT_EQ(VidOpen(png.c_str(), &video, 1), 0);

  EXPECT_EQ(VidOpen(folder.File("missing.avi").c_str(), &video, 1), 0);
  EXPECT_EQ(VidOpen(folder.Path().c_str(), &video, 1), 0);
  std::ofstream(folder.File("empty.avi")).close();
  EXPECT_EQ(VidOpen(folder.File("empty.avi").c_str(), &video, 1), 0);
}

TEST(Video, AVideoStreamWithoutADecoderIsNotUsable) {
  ScratchFolder folder;
  const std::string path = folder.File("unknown.avi");
  ASSERT_TRUE(MakeTestAvi(path, 16, 32, 24));
  // Rename the codec in the stream headers to one no decoder knows.
  std::ifstream in(path, std::ios::binary);
  std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  in.close();
  int renamed = 0;
  for (size_t at = bytes.find("MJPG"); at != std::string::npos; at = bytes.find("MJPG", at)) {
    bytes.replace(at, 4, "QZQZ");
    ++renamed;
  }
  ASSERT_GT(renamed, 0);
  std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
  VidHandle video;
  ASSERT_EQ(VidOpen(path.c_str(), &video, 1), 1);
  EXPECT_EQ(video.usableVideo, 0);
  ImgBitmap frame;
  EXPECT_EQ(VidReadFrame(&video, &frame, 0), 0);
  VidClose(&video);
}

TEST(Video, TruncatedAndGarbageFilesNeverCrash) {
  ScratchFolder folder;
  const std::string path = folder.File("whole.avi");
  ASSERT_TRUE(MakeTestAvi(path, 40, 32, 24));
  const auto size = std::filesystem::file_size(path);

  for (double fraction : {0.02, 0.3, 0.6, 0.9}) {
    SCOPED_TRACE(fraction);
    const std::string cut = folder.File("cut.avi");
    std::filesystem::copy_file(path, cut, std::filesystem::copy_options::overwrite_existing);
    std::filesystem::resize_file(cut, static_cast<uintmax_t>(size * fraction));
    VidHandle video;
    if (VidOpen(cut.c_str(), &video, 1) == 1 && video.usableVideo) {
      int read = 0;
      ImgBitmap frame;
      for (int i = 0; i < video.frameCount + 5; ++i) read += VidReadFrame(&video, &frame, i);
      EXPECT_LT(read, 40);
      EXPECT_EQ(VidReadFrame(&video, &frame, 39), 0);
    }
    VidClose(&video);
  }

  std::mt19937 random(7);
  std::vector<char> garbage(20000);
  for (char& c : garbage) c = static_cast<char>(random());
  {
    std::ofstream out(folder.File("garbage.avi"), std::ios::binary);
    out.write(garbage.data(), static_cast<std::streamsize>(garbage.size()));
  }
  VidHandle video;
  if (VidOpen(folder.File("garbage.avi").c_str(), &video, 1) == 1) {
    ImgBitmap frame;
    EXPECT_EQ(VidReadFrame(&video, &frame, 0), 0);
  }
  // A real header followed by garbage.
  {
    std::ifstream in(path, std::ios::binary);
    std::vector<char> head(600);
    in.read(head.data(), 600);
    std::ofstream out(folder.File("header.avi"), std::ios::binary);
    out.write(head.data(), 600);
    out.write(garbage.data(), static_cast<std::streamsize>(garbage.size()));
  }
  VidHandle other;
  if (VidOpen(folder.File("header.avi").c_str(), &other, 1) == 1 && other.usableVideo) {
    ImgBitmap frame;
    for (int i = 0; i < other.frameCount + 2; ++i) VidReadFrame(&other, &frame, i);
  }
}

TEST(Video, HandlesMoveAndReopen) {
  ScratchFolder folder;
  const std::string first = folder.File("first.avi");
  const std::string second = folder.File("second.avi");
  ASSERT_TRUE(MakeTestAvi(first, 16, 32, 24));
  ASSERT_TRUE(MakeTestAvi(second, 15, 32, 24, {{200, 10, 10}}));
  VidHandle video;
  ASSERT_EQ(VidOpen(first.c_str(), &video, 1), 1);
  VidHandle moved = std::move(video);
  ExpectFrameColours(&moved, {0, 15}, 6);
  // Opening again on the same handle replaces the first video.
  ASSERT_EQ(VidOpen(second.c_str(), &moved, 1), 1);
  EXPECT_EQ(moved.frameCount, 15);
  ImgBitmap frame;
  ASSERT_EQ(VidReadFrame(&moved, &frame, 14), 1);
  EXPECT_LE(ColourDistance(CentreColour(frame), {200, 10, 10}), 6);
}

// SPDX-FileCopyrightText: The Quillane developers
// SPDX-License-Identifier: GPL-3.0-or-later

// quillane-cli --effect mosaic: tile sources from the command line, progress lines, refusals.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "imaging/imaging.h"
#include "support/cli_runner.h"
#include "support/media_makers.h"
#include "support/mosaic_makers.h"
#include "support/test_support.h"

namespace {

// A gradient, so that no tile is of one colour and every mosaic differs from it.
TestPicture Gradient() {
  TestPicture p(64, 48);
  for (int y = 0; y < 48; ++y) {
    for (int x = 0; x < 64; ++x) p.Set(x, y, MakeColor(x * 4, y * 5, 255 - x * 2));
  }
  return p;
}
const TestPicture kStart = Gradient();

bool Has(const std::string& text, const std::string& line) {
  return text.find(line + "\n") != std::string::npos;
}

class MosaicCli : public ::testing::Test {
 protected:
  void SetUp() override {
    start_ = scratch_.File("start.bmp");
    output_ = scratch_.File("mosaic.bmp");
    ASSERT_TRUE(WriteBmpFile(
        start_, QuarteredPicture(64, 48, MakeColor(200, 30, 30), MakeColor(30, 200, 30),
                                 MakeColor(30, 30, 200), MakeColor(220, 220, 220))));
  }

  ScratchFolder scratch_;
  std::string start_;
  std::string output_;
};

TEST_F(MosaicCli, PicturesAndVideosOfTheListMakeTheMosaic) {
  const std::string tile = scratch_.File("tile.bmp");
  const std::string clip = scratch_.File("clip.avi");
  ASSERT_TRUE(
      WriteBmpFile(tile, SplitPicture(16, 12, MakeColor(20, 20, 20), MakeColor(230, 230, 230))));
  ASSERT_TRUE(MakeTestAvi(clip, 16, 32, 24));
  const CliRun run = RunCli({"--effect", "mosaic", "--tiles-across", "4", "--no-library",
                             "--picture", tile, "--picture", clip, start_, output_});
  EXPECT_EQ(run.exitStatus, 0) << run.err;
  EXPECT_TRUE(Has(run.err, "Scanning Image..."));
  EXPECT_TRUE(Has(run.err, "Matching image 1 of 2..."));
  EXPECT_TRUE(Has(run.err, "Matching image 2 of 2, frame 0 of 16..."));
  EXPECT_TRUE(Has(run.err, "Matching image 2 of 2, frame 15 of 16..."));
  EXPECT_TRUE(Has(run.err, "Mosaic completed."));

  ImgBitmap result;
  ASSERT_EQ(ImgLoadFile(output_.c_str(), &result, 0, 1, 0), 1);
  ImgSetColorDepth(&result, &result, 24, 0);
  const TestPicture mosaic = PictureFromDib(ImgToDib(&result));
  EXPECT_EQ(mosaic.width, 64);
  EXPECT_EQ(mosaic.height, 48);
  EXPECT_NE(mosaic, kStart);
}

TEST_F(MosaicCli, TheLibraryFolderComesFromTheCommandLine) {
  const std::string library = scratch_.File("library");
  std::filesystem::create_directory(library);
  ASSERT_TRUE(WriteBmpFile(library + "/one.bmp", TestPicture(20, 15, MakeColor(90, 90, 9))));
  ASSERT_TRUE(WriteBmpFile(library + "/two.bmp", TestPicture(20, 15, MakeColor(9, 90, 90))));
  const CliRun run =
      RunCli({"--effect", "mosaic", "--tiles-across", "-8", "--no-auto-tiles-down", "--tiles-down",
              "3", "--no-list", "--library", library, start_, output_});
  EXPECT_EQ(run.exitStatus, 0) << run.err;
  EXPECT_TRUE(Has(run.err, "Matching library 1 of 2..."));
  EXPECT_TRUE(Has(run.err, "Matching library 2 of 2..."));
  EXPECT_TRUE(std::filesystem::exists(output_));
}

TEST_F(MosaicCli, RefusedSettingsExitWith2AndWriteNothing) {
  struct Case {
    std::vector<std::string> options;
    const char* warning;
  };
  const std::string library = scratch_.Path();
  const Case cases[] = {
      {{"--no-library"}, "No picture or avi files specified in 'Your Picture List'."},
      {{"--tiles-across", "0", "--library", library}, "Tile number must be greater then zero."},
      {{"--no-list", "--no-library"},
       "You must select either the Picture Library, Picture List or both."},
  };
  for (const Case& c : cases) {
    std::vector<std::string> arguments = {"--effect", "mosaic"};
    arguments.insert(arguments.end(), c.options.begin(), c.options.end());
    arguments.push_back(start_);
    arguments.push_back(output_);
    const CliRun run = RunCli(arguments);
    EXPECT_EQ(run.exitStatus, 2) << c.warning << "\n" << run.err;
    EXPECT_TRUE(Has(run.err, c.warning)) << run.err;
    EXPECT_TRUE(Has(run.err, "Mosaic canceled.")) << run.err;
    EXPECT_FALSE(Has(run.err, "Scanning Image...")) << run.err;
    EXPECT_FALSE(std::filesystem::exists(output_));
  }
}

}  // namespace

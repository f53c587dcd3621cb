// SPDX-FileCopyrightText: The Quillane developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Output sizes from nothing to far beyond what memory holds: the renderer paints, refuses or
// fails with a documented status, inside the memory limit, and what it writes is what it says.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "support/guarded_cli.h"
#include "imaging/imaging.h"
#include "support/sample_files.h"
#include "support/test_support.h"

namespace {

const bool kMemoryLimited = (LimitOwnMemory(), true);

struct Written {
  bool loads = false;
  int width = 0;
  int height = 0;
};

Written ReadBack(const std::string& path) {
  Written w;
  if (!std::filesystem::exists(path)) return w;
  ImgBitmap bitmap;
  ImgInitHandle(&bitmap, 0, 0, 0);
  w.loads = ImgLoadFile(path.c_str(), &bitmap, 0, 1, 0) == 1;
  if (w.loads) {
    w.width = bitmap.width;
    w.height = bitmap.height;
    ImgFree(&bitmap);
  }
  return w;
}

class OutputSize : public ::testing::Test {
 protected:
  void SetUp() override {
    input_ = dir_.File("in.png");
    ASSERT_TRUE(samples::WriteBytes(input_, samples::EncodedPicture("PNG", 40, 30)));
  }

  GuardedRun Paint(const std::string& effect, const std::vector<std::string>& size,
                   const std::string& output) {
    std::filesystem::remove(output);
    std::vector<std::string> args = {"--quiet", "--seed", "11", "--effect", effect};
    args.insert(args.end(), size.begin(), size.end());
    if (effect == "mosaic") args.insert(args.end(), {"--no-library", "--picture", input_});
    args.insert(args.end(), {input_, output});
    return RunGuardedCli(args);
  }

  ScratchFolder dir_;
  std::string input_;
};

const char* const kEffects[] = {"van-gogh",        "pointillism",     "colored-pencil",
                                "charcoal-pencil", "black-and-white", "mosaic"};

// Zero and negative sizes are usage errors: refused with a message, nothing painted or written.
TEST_F(OutputSize, ZeroAndNegativeSizesAreUsageErrors) {
  const std::vector<std::vector<std::string>> sizes = {{"--width", "0"},
                                                       {"--height", "0"},
                                                       {"--width", "0", "--height", "0"},
                                                       {"--width", "-5"},
                                                       {"--height", "-1"},
                                                       {"--width", "-40", "--height", "-30"},
                                                       {"--width", "-2147483648", "--height", "10"},
                                                       {"--width", "99999999999999999999"}};
  for (const char* effect : {"van-gogh", "black-and-white", "mosaic"}) {
    for (const auto& size : sizes) {
      SCOPED_TRACE(std::string(effect) + " " + size[0] + " " + size[1]);
      const std::string out = dir_.File("out.png");
      const GuardedRun run = Paint(effect, size, out);
      ASSERT_TRUE(EndedCleanly(run));
      EXPECT_EQ(run.status, 64) << run.Describe();
      EXPECT_FALSE(run.err.empty());
      EXPECT_FALSE(std::filesystem::exists(out));
    }
  }
}

TEST_F(OutputSize, OnePixelOutputInEveryStyle) {
  for (const char* effect : kEffects) {
    SCOPED_TRACE(effect);
    const std::string out = dir_.File(std::string(effect) + ".png");
    const GuardedRun run = Paint(effect, {"--width", "1", "--height", "1"}, out);
    ASSERT_TRUE(EndedCleanly(run));
    EXPECT_EQ(run.status, 0) << run.Describe();
    const Written w = ReadBack(out);
    EXPECT_TRUE(w.loads);
    EXPECT_EQ(w.width, 1);
    EXPECT_EQ(w.height, 1);
  }
}

// What the size check lets through is painted in every style, whatever the side (the stroke
// styles' canvas adds a margin, ImageMagick builds no side above 16000 here); what it refuses is
// refused before anything is painted, naming the limit.
TEST_F(OutputSize, SizesAtTheLimitsArePaintedOrRefusedNamingTheLimit) {
  const struct {
    const char* effect;
    std::vector<std::string> size;
    int status;
    int width, height;
  } cases[] = {
      {"van-gogh", {"--width", "65535", "--height", "12"}, 0, 65535, 12},
      {"pointillism", {"--width", "12", "--height", "65535"}, 0, 12, 65535},
      {"colored-pencil", {"--width", "65535", "--height", "12"}, 0, 65535, 12},
      {"charcoal-pencil", {"--width", "12", "--height", "65535"}, 0, 12, 65535},
      {"black-and-white", {"--width", "20000", "--height", "5000"}, 0, 20000, 5000},
      {"van-gogh", {"--width", "12000"}, 2, 0, 0},
      {"black-and-white", {"--height", "8661"}, 2, 0, 0},
      {"mosaic", {"--width", "10001", "--height", "10000"}, 2, 0, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.effect) + " " + c.size[1]);
    const std::string out = dir_.File("edge.tif");
    const GuardedRun run = Paint(c.effect, c.size, out);
    ASSERT_TRUE(EndedCleanly(run));
    EXPECT_EQ(run.status, c.status) << run.Describe() << run.err;
    const Written w = ReadBack(out);
    EXPECT_EQ(w.width, c.width);
    EXPECT_EQ(w.height, c.height);
    if (c.status == 2) {
      EXPECT_NE(run.err.find("at most 100,000,000 pixels in all"), std::string::npos) << run.err;
    }
  }
}

// 20000 x 20000 is 400 megapixels, 1.2 GB for one 24-bit copy: beyond what the program agrees
// to hold. It must fail, write nothing, and not be killed on the way.
TEST_F(OutputSize, GiantOutputFailsWithinTheMemoryLimit) {
  for (const char* effect : {"van-gogh", "charcoal-pencil", "black-and-white", "mosaic"}) {
    SCOPED_TRACE(effect);
    const std::string out = dir_.File("giant.png");
    const GuardedRun run = Paint(effect, {"--width", "20000", "--height", "20000"}, out);
    ASSERT_TRUE(EndedCleanly(run));
    EXPECT_NE(run.status, 0) << "400 megapixels painted within 2 GB?";
    EXPECT_FALSE(std::filesystem::exists(out)) << "a failed painting wrote a picture";
  }
}

// A disk that fills up while the picture is written: the write fails, the renderer says so with
// status 1, and neither the picture nor a part of it is left behind.
TEST_F(OutputSize, OutputThatDoesNotFitOnTheDiskLeavesNothing) {
  const std::string big = dir_.File("big.png");
  ASSERT_TRUE(samples::WriteBytes(big, samples::EncodedPicture("PNG", 300, 200)));
  const std::string out = dir_.File("painted.bmp");
  const GuardedRun run =
      RunGuardedCli({"--quiet", "--effect", "black-and-white", big, out}, 120, 4096);
  ASSERT_TRUE(EndedCleanly(run));
  EXPECT_EQ(run.status, 1) << run.Describe();
  EXPECT_FALSE(run.err.empty());
  for (const auto& entry : std::filesystem::directory_iterator(dir_.Path())) {
    EXPECT_TRUE(entry.path() == big || entry.path() == input_) << "left behind: " << entry.path();
  }
}

}  // namespace

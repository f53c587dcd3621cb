// SPDX-FileCopyrightText: The Quillane developers
// SPDX-License-Identifier: GPL-3.0-or-later

// quillane-cli and the picture index: where it is kept, --index and --no-index, and two
// renderers sharing one index.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <future>
#include <string>
#include <vector>

#include "support/cli_runner.h"
#include "support/media_makers.h"
#include "support/mosaic_makers.h"
#include "support/test_support.h"

namespace {

namespace fs = std::filesystem;

std::string Bytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

class TileIndexCli : public ::testing::Test {
 protected:
  void SetUp() override {
    library_ = scratch_.File("library");
    fs::create_directory(library_);
    for (int i = 0; i < 12; ++i) {
      ASSERT_TRUE(WriteBmpFile(library_ + "/p" + std::to_string(i) + ".bmp",
                               NoisyPicture(40, 30, 300 + i)));
    }
    ASSERT_TRUE(MakeTestAvi(library_ + "/clip.avi", 20, 32, 24));
    start_ = scratch_.File("start.bmp");
    ASSERT_TRUE(WriteBmpFile(start_, NoisyPicture(160, 120, 9)));
  }
  // A mosaic written to `output` with the extra options; its exit status and standard error.
  CliRun Mosaic(const std::string& output, std::vector<std::string> extra) {
    std::vector<std::string> args{"--quiet", "--effect",  "mosaic",    "--tiles-across",
                                  "10",      "--no-list", "--library", library_};
    args.insert(args.end(), extra.begin(), extra.end());
    args.push_back(start_);
    args.push_back(output);
    return RunCli(args);
  }

  ScratchFolder scratch_;
  std::string library_;
  std::string start_;
};

TEST_F(TileIndexCli, TwoRunsAtOnceOnOneIndexBothMakeTheMosaic) {
  const std::string expected = scratch_.File("expected.bmp");
  const CliRun plain = Mosaic(expected, {"--no-index"});
  ASSERT_EQ(plain.exitStatus, 0) << plain.err;
  EXPECT_EQ(plain.err, "");

  const std::string index = scratch_.File("shared.sqlite");
  for (int round = 0; round < 2; ++round) {  // cold, then warm
    std::vector<std::future<CliRun>> runs;
    for (int i = 0; i < 2; ++i) {
      const std::string output = scratch_.File("out" + std::to_string(i) + ".bmp");
      runs.push_back(std::async(std::launch::async, [this, output, index] {
        return Mosaic(output, {"--index", index});
      }));
    }
    for (int i = 0; i < 2; ++i) {
      const CliRun run = runs[i].get();
      EXPECT_EQ(run.exitStatus, 0) << run.err;
      EXPECT_EQ(run.err, "");  // nothing to say about the index
      EXPECT_EQ(Bytes(scratch_.File("out" + std::to_string(i) + ".bmp")), Bytes(expected));
    }
  }
}

TEST_F(TileIndexCli, TheDefaultIndexLivesInTheCacheFolder) {
  const std::string cache = scratch_.File("cache");
  const char* saved = std::getenv("XDG_CACHE_HOME");
  const std::string savedCache = saved ? saved : "";
  setenv("XDG_CACHE_HOME", cache.c_str(), 1);
  const std::string index = cache + "/quillane/tile-index.sqlite";
  const CliRun run = Mosaic(scratch_.File("a.bmp"), {});
  EXPECT_EQ(run.exitStatus, 0) << run.err;
  EXPECT_TRUE(fs::exists(index));
  if (saved) {
    setenv("XDG_CACHE_HOME", savedCache.c_str(), 1);
  } else {
    unsetenv("XDG_CACHE_HOME");
  }

  const std::string named = scratch_.File("named.sqlite");
  EXPECT_EQ(Mosaic(scratch_.File("b.bmp"), {"--no-index", "--index", named}).exitStatus, 0);
  EXPECT_TRUE(fs::exists(named));
  EXPECT_EQ(Mosaic(scratch_.File("c.bmp"), {"--index", named + "2", "--no-index"}).exitStatus, 0);
  EXPECT_FALSE(fs::exists(named + "2"));

  // An index that cannot be used is named once on standard error, and the mosaic is made.
  const std::string folder = scratch_.File("a file") + "/index.sqlite";
  std::ofstream(scratch_.File("a file")) << "not a folder";
  const CliRun blocked = Mosaic(scratch_.File("d.bmp"), {"--index", folder});
  EXPECT_EQ(blocked.exitStatus, 0);
  EXPECT_EQ(blocked.err.find("quillane-cli: The picture index " + folder + " is not used: "), 0u)
      << blocked.err;
  EXPECT_EQ(std::count(blocked.err.begin(), blocked.err.end(), '\n'), 1);
  EXPECT_EQ(Bytes(scratch_.File("d.bmp")), Bytes(scratch_.File("a.bmp")));
}

}  // namespace

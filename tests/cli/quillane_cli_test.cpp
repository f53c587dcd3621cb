// SPDX-FileCopyrightText: The Quillane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <sstream>
#include <string>

#include "imaging/imaging.h"
#include "support/cli_runner.h"
#include "support/reference_pictures.h"
#include "support/test_support.h"

namespace {

const std::string kDataDir = std::string(QUILLANE_TEST_DATA_DIR) + "/painting";
const std::string kInput = kDataDir + "/input.png";  // 64 x 48
constexpr const char* kSeed = "20261207";

bool FileExists(const std::string& path) {
  return std::filesystem::exists(path);
}

int Width(const DibHandle& d) {
  return d ? d.Header()->biWidth : 0;
}
int Height(const DibHandle& d) {
  return d ? std::abs(d.Header()->biHeight) : 0;
}

// Count of pixel channels that differ; -1 when the sizes differ.
long DifferingChannels(const DibHandle& a, const DibHandle& b) {
  if (!a || !b || Width(a) != Width(b) || Height(a) != Height(b)) return -1;
  const int64_t stride = DibRowBytes(Width(a), 24);
  long n = 0;
  for (int y = 0; y < Height(a); ++y) {
    for (int x = 0; x < Width(a) * 3; ++x) {
      if (a.Pixels()[y * stride + x] != b.Pixels()[y * stride + x]) ++n;
    }
  }
  return n;
}

class QuillaneCli : public ::testing::Test {
 protected:
  ScratchFolder scratch_;
};

// Reference pictures made by this renderer at a fixed seed; PNG is lossless, so the painting
// must match them exactly.
TEST_F(QuillaneCli, PaintsEveryStyleExactlyAsTheReferencePictures) {
  for (const char* effect :
       {"van-gogh", "pointillism", "colored-pencil", "charcoal-pencil", "black-and-white"}) {
    const std::string out = scratch_.File(std::string(effect) + ".png");
    const CliRun run = RunCli({"--quiet", "--seed", kSeed, "--effect", effect, kInput, out});
    ASSERT_EQ(run.exitStatus, 0) << effect << ": " << run.err;
    EXPECT_TRUE(run.err.empty()) << run.err;
    EXPECT_TRUE(MatchesReference(out, kDataDir + "/" + effect + ".png", effect));
  }
}

TEST_F(QuillaneCli, SameSeedGivesTheSameFileAndAnotherSeedAnotherPicture) {
  const std::string a = scratch_.File("a.png");
  const std::string b = scratch_.File("b.png");
  const std::string c = scratch_.File("c.png");
  ASSERT_EQ(RunCli({"--quiet", "--seed", "5", kInput, a}).exitStatus, 0);
  ASSERT_EQ(RunCli({"--quiet", "--seed=5", kInput, b}).exitStatus, 0);
  ASSERT_EQ(RunCli({"--quiet", "--seed", "6", kInput, c}).exitStatus, 0);
  EXPECT_EQ(ReadFileBytes(a), ReadFileBytes(b));
  EXPECT_GT(DifferingChannels(DecodePicture(a), DecodePicture(c)), 0);
}

TEST_F(QuillaneCli, OneSideAloneKeepsTheProportions) {
  const std::string out = scratch_.File("small.bmp");
  ASSERT_EQ(RunCli({"--quiet", "--width", "32", kInput, out}).exitStatus, 0);
  DibHandle d = DecodePicture(out);
  EXPECT_EQ(Width(d), 32);
  EXPECT_EQ(Height(d), 24);

  ASSERT_EQ(
      RunCli({"--quiet", "--height", "36", "--effect", "black-and-white", kInput, out}).exitStatus,
      0);
  d = DecodePicture(out);
  EXPECT_EQ(Width(d), 48);
  EXPECT_EQ(Height(d), 36);

  ASSERT_EQ(RunCli({"--quiet", "--width", "40", "--height", "10", kInput, out}).exitStatus, 0);
  d = DecodePicture(out);
  EXPECT_EQ(Width(d), 40);
  EXPECT_EQ(Height(d), 10);
}

TEST_F(QuillaneCli, ProgressGoesToStandardErrorAsPlainLines) {
  const std::string out = scratch_.File("out.png");
  const CliRun run = RunCli({"--seed", "1", "--effect", "colored-pencil", kInput, out});
  ASSERT_EQ(run.exitStatus, 0);
  EXPECT_TRUE(run.out.empty());
  // Without a terminal: no blanks to wipe a longer line, and one line per tenth of the way.
  EXPECT_EQ(run.err.rfind("正在绘画...\n正在绘画 0%...\n", 0), 0u) << run.err;
  const std::string finished = "绘画已经完成。\n";
  ASSERT_GE(run.err.size(), finished.size());
  EXPECT_EQ(run.err.substr(run.err.size() - finished.size()), finished);
  EXPECT_EQ(run.err.find('\r'), std::string::npos);
  EXPECT_EQ(run.err.find(" \n"), std::string::npos) << run.err;
  std::istringstream lines(run.err);
  std::set<int> tenths;
  int percentLines = 0;
  for (std::string line; std::getline(lines, line);) {
    if (int percent = 0; std::sscanf(line.c_str(), "正在绘画 %d%%", &percent) == 1) {
      ++percentLines;
      tenths.insert(percent / 10);
    }
  }
  EXPECT_EQ(percentLines, static_cast<int>(tenths.size())) << run.err;
  EXPECT_GE(percentLines, 9) << run.err;
}

TEST_F(QuillaneCli, InterruptStopsAndWritesThePictureSoFar) {
  // Large enough that the painting is still running when the interrupt arrives.
  const std::string out = scratch_.File("stopped.png");
  const CliRun run =
      RunCliInterrupted({"--seed", "3", "--width", "2400", kInput, out}, "正在绘画 0%");
  EXPECT_EQ(run.exitStatus, 1) << run.err;
  EXPECT_NE(run.err.find("绘画已被取消。\n"), std::string::npos);
  // The picture painted so far, at the output size, without the canvas's black margin.
  const DibHandle d = DecodePicture(out);
  ASSERT_EQ(Width(d), 2400);
  ASSERT_EQ(Height(d), 1800);
  int black = 0;
  for (int x = 0; x < 2400; ++x) {
    const uint8_t* p = d.Pixels() + 3 * x;  // the bottom row
    if (p[0] == 0 && p[1] == 0 && p[2] == 0) ++black;
  }
  EXPECT_LT(black, 2400 / 2);
}

TEST_F(QuillaneCli, UnloadableInputIsRefusedWithoutOutput) {
  const std::string notAPicture = scratch_.File("notes.png");
  std::ofstream(notAPicture) << "this is not a picture\n";
  const std::string folder = scratch_.File("pictures.jpg");
  std::filesystem::create_directory(folder);
  const struct {
    std::string input;
    const char* says;
  } cases[] = {
      {notAPicture, "File is format not recognized."},
      {scratch_.File("missing.jpg"), "The start picture does not exist."},
      {folder, "The start picture is a folder, not a picture file."},
  };
  for (const auto& c : cases) {
    const std::string out = scratch_.File("out.png");
    const CliRun run = RunCli({c.input, out});
    EXPECT_EQ(run.exitStatus, 2) << c.input;
    EXPECT_EQ(run.err, std::string(c.says) + " (" + c.input + ")\n");
    EXPECT_FALSE(FileExists(out));
  }
}

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kAddressSanitizer = true;
#elif defined(__has_feature)
constexpr bool kAddressSanitizer = __has_feature(address_sanitizer);
#else
constexpr bool kAddressSanitizer = false;
#endif

TEST_F(QuillaneCli, SizesBeyondTheMemoryAtHandAreRefusedBeforePainting) {
  // The renderer runs with a data limit of 256 MB: a poster is refused with the reason and
  // without output, a small picture is painted as usual.
  if (kAddressSanitizer) GTEST_SKIP() << "AddressSanitizer's shadow memory exceeds the limit";
  rlimit saved{};
  ASSERT_EQ(getrlimit(RLIMIT_DATA, &saved), 0);
  rlimit limited = saved;
  limited.rlim_cur = 256ull << 20;
  const struct {
    const char* effect;
    const char* width;
    const char* height;
    int exitStatus;
  } cases[] = {{"colored-pencil", "8000", "6000", 2},
               {"black-and-white", "16000", "6000", 2},
               {"mosaic", "12000", "2000", 2},
               {"colored-pencil", "400", "300", 0}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.effect);
    const std::string out = scratch_.File("out.png");
    ASSERT_EQ(setrlimit(RLIMIT_DATA, &limited), 0);
    const CliRun run = RunCli({"--quiet", "--seed", kSeed, "--effect", c.effect, "--width", c.width,
                               "--height", c.height, kInput, out});
    ASSERT_EQ(setrlimit(RLIMIT_DATA, &saved), 0);
    EXPECT_EQ(run.exitStatus, c.exitStatus) << run.err;
    EXPECT_EQ(FileExists(out), c.exitStatus == 0);
    if (c.exitStatus != 0) {
      const std::string size = std::string(c.width) + " x " + c.height + " pixels";
      EXPECT_NE(run.err.find(size), std::string::npos) << run.err;
      EXPECT_NE(run.err.find("Choose a smaller size."), std::string::npos) << run.err;
    }
    std::filesystem::remove(out);
  }
}

TEST_F(QuillaneCli, UsageErrorsExitWith64AndWriteNothing) {
  const std::string out = scratch_.File("out.png");
  const std::vector<std::vector<std::string>> bad = {
      {},
      {kInput},
      {kInput, out, "extra"},
      {"--frobnicate", kInput, out},
      {"--effect", "cubism", kInput, out},
      {"--effect"},
      {"--width", "0", kInput, out},
      {"--height", "-5", kInput, out},
      {"--width", "12x", kInput, out},
      {"--seed", "4294967296", kInput, out},
      {"--seed", "-1", kInput, out},
      {"--tiles-across", "many", kInput, out},
      {"--quiet=yes", kInput, out},
      {kInput, scratch_.File("out.gif")},
      {kInput, scratch_.File("out")},
      {"--output-dir", scratch_.Path()},
      {"--jobs", "0", "--output-dir", scratch_.Path(), kInput},
      {"--format", "gif", "--output-dir", scratch_.Path(), kInput},
      {"--overwrite", kInput, out},
      {"--effect", "mosaic", "--max-uses", "0", kInput, out},
      {"--effect", "mosaic", "--min-distance", "-1", kInput, out},
      {"--effect", "mosaic", "--min-distance=x", kInput, out},
      {"--effect", "mosaic", "--tile-report", scratch_.File("no/tiles.csv"), kInput, out},
      {"--effect", "mosaic", "--tile-report", scratch_.Path(), kInput, out},
      {"--effect", "mosaic", "--tile-report", out, kInput, out},
      {"--tile-report", scratch_.File("tiles.csv"), kInput, out},
      {"--effect", "mosaic", "--tile-report", scratch_.File("tiles.csv"), "--output-dir",
       scratch_.Path(), kInput},
  };
  for (const auto& args : bad) {
    const CliRun run = RunCli(args);
    std::string joined;
    for (const auto& a : args) joined += a + " ";
    EXPECT_EQ(run.exitStatus, 64) << joined;
    EXPECT_FALSE(run.err.empty()) << joined;
  }
  EXPECT_FALSE(FileExists(out));
  EXPECT_FALSE(FileExists(scratch_.File("tiles.csv")));
  EXPECT_EQ(RunCli({"--seed", "4294967295", "--quiet", "--effect", "black-and-white", kInput, out})
                .exitStatus,
            0);
}

TEST_F(QuillaneCli, HelpAndVersion) {
  const CliRun help = RunCli({"--help"});
  EXPECT_EQ(help.exitStatus, 0);
  EXPECT_EQ(help.out.rfind("quillane-cli [options] INPUT OUTPUT\n", 0), 0u);
  for (const char* option :
       {"--effect NAME", "--width N", "--height N", "--seed N", "--quiet", "--help, --version",
        "--tiles-across N", "--tiles-down N", "--no-auto-tiles-down", "--picture FILE", "--no-list",
        "--library DIR", "--no-library"}) {
    EXPECT_NE(help.out.find(option), std::string::npos) << option;
  }
  const CliRun version = RunCli({"--version"});
  EXPECT_EQ(version.exitStatus, 0);
  EXPECT_EQ(version.out.substr(0, version.out.find('\n') + 1),
            std::string("quillane-cli ") + QUILLANE_VERSION + "\n");
  EXPECT_NE(version.out.find("GNU GPL version 3 or later"), std::string::npos) << version.out;
}

}  // namespace

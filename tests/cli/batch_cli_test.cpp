// SPDX-FileCopyrightText: The Quillane developers
// SPDX-License-Identifier: GPL-3.0-or-later
// quillane-cli --output-dir: many pictures at once, and the README's recipe for GNU parallel.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "support/cli_runner.h"
#include "support/media_makers.h"
#include "support/test_support.h"

namespace {

namespace fs = std::filesystem;
const std::string kDataDir = std::string(QUILLANE_TEST_DATA_DIR) + "/painting";

std::string LastLine(std::string text) {
  while (!text.empty() && text.back() == '\n') text.pop_back();
  return text.substr(text.rfind('\n') + 1);  // npos + 1 is 0
}

// Two photographs and a damaged one, in a folder of their own.
class BatchCli : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directory(scratch_.File("in"));
    harbour_ = scratch_.File("in/harbour.png");
    garden_ = scratch_.File("in/garden.png");
    broken_ = scratch_.File("in/broken.png");
    fs::copy_file(kDataDir + "/input.png", harbour_);
    fs::copy_file(kDataDir + "/pointillism.png", garden_);
    // A PNG cut off inside its first chunk, as a transfer that broke off leaves it.
    std::ofstream(broken_, std::ios::binary) << ReadFileBytes(harbour_).substr(0, 40);
  }

  ScratchFolder scratch_;
  std::string harbour_, garden_, broken_;
};

TEST_F(BatchCli, PaintsLikeSingleRunsAndReportsTheDamagedFile) {
  const std::string out = scratch_.File("out");
  const CliRun batch = RunCli({"--seed", "41", "--jobs", "2", "--format", "bmp", "--output-dir",
                               out, harbour_, broken_, garden_});
  EXPECT_EQ(batch.exitStatus, 2) << batch.err;  // the damaged picture is refused
  EXPECT_EQ(LastLine(batch.err), "2 painted, 1 failed, 0 skipped") << batch.err;
  EXPECT_NE(batch.err.find(broken_ + ": failed: File is format not recognized."), std::string::npos)
      << batch.err;
  EXPECT_EQ(batch.err.find('\r'), std::string::npos);
  EXPECT_FALSE(fs::exists(out + "/broken-van-gogh.bmp"));

  for (const std::string name : {"harbour", "garden"}) {
    const std::string single = scratch_.File(name + ".bmp");
    ASSERT_EQ(RunCli({"--quiet", "--seed", "41", scratch_.File("in/" + name + ".png"), single})
                  .exitStatus,
              0);
    const std::string painted = out + "/" + name + "-van-gogh.bmp";
    EXPECT_NE(batch.err.find(": painted " + painted + "\n"), std::string::npos) << batch.err;
    EXPECT_EQ(ReadFileBytes(painted), ReadFileBytes(single)) << name;
  }
}

TEST_F(BatchCli, SkipsExistingOutputsUnlessOverwriteIsGiven) {
  const std::string out = scratch_.File("out");
  const std::string painted = out + "/harbour-charcoal-pencil.png";
  fs::create_directory(out);
  std::ofstream(painted) << "older work";
  const std::vector<std::string> args = {
      "--effect", "charcoal-pencil", "--format", "png", "--output-dir", out, harbour_};

  CliRun run = RunCli(args);
  EXPECT_EQ(run.exitStatus, 0) << run.err;
  EXPECT_NE(run.err.find("harbour.png: skipped, " + painted + " exists"), std::string::npos)
      << run.err;
  EXPECT_EQ(LastLine(run.err), "0 painted, 0 failed, 1 skipped");
  EXPECT_EQ(ReadFileBytes(painted), "older work");

  std::vector<std::string> overwrite = args;
  overwrite.insert(overwrite.begin(), "--overwrite");
  run = RunCli(overwrite);
  EXPECT_EQ(run.exitStatus, 0) << run.err;
  EXPECT_EQ(LastLine(run.err), "1 painted, 0 failed, 0 skipped");
  EXPECT_EQ(ReadFileBytes(painted).substr(1, 3), "PNG");

  // Two inputs of one name would write one output: the second is refused, not painted over
  // the first.
  fs::create_directory(scratch_.File("other"));
  fs::copy_file(garden_, scratch_.File("other/harbour.png"));
  overwrite.push_back(scratch_.File("other/harbour.png"));
  run = RunCli(overwrite);
  EXPECT_EQ(run.exitStatus, 1) << run.err;
  EXPECT_NE(run.err.find("is already that of " + harbour_), std::string::npos) << run.err;
  EXPECT_EQ(LastLine(run.err), "1 painted, 1 failed, 0 skipped");

  // A time-lapse beside an output is not replaced without --overwrite either.
  fs::remove(painted);
  const std::string video = out + "/harbour-charcoal-pencil.mkv";
  std::ofstream(video) << "older video";
  std::vector<std::string> recorded = args;
  recorded.insert(recorded.begin(), {"--timelapse", "any.mkv"});
  run = RunCli(recorded);
  EXPECT_EQ(run.exitStatus, 1) << run.err;
  EXPECT_NE(run.err.find(video + " exists"), std::string::npos) << run.err;
  EXPECT_EQ(ReadFileBytes(video), "older video");
  EXPECT_FALSE(fs::exists(painted));
}

TEST_F(BatchCli, InterruptStopsThePaintingsUnderWayAndKeepsTheFinishedOnes) {
  const std::string out = scratch_.File("out");
  // Two photographs large enough to be still painting when the small one is done.
  const std::string large1 = scratch_.File("in/large-1.png");
  const std::string large2 = scratch_.File("in/large-2.png");
  ASSERT_TRUE(MakeQuarteredPicture(large1, 2400, 1800));
  ASSERT_TRUE(MakeQuarteredPicture(large2, 2400, 1800));
  const CliRun run = RunCliInterrupted({"--seed", "3", "--jobs", "2", "--format", "bmp",
                                        "--output-dir", out, harbour_, large1, large2},
                                       ": painted ");
  EXPECT_EQ(run.exitStatus, 1) << run.err;
  EXPECT_TRUE(fs::exists(out + "/harbour-van-gogh.bmp"));
  EXPECT_NE(run.err.find(large1 + ": failed: stopped, nothing written\n"), std::string::npos)
      << run.err;
  EXPECT_FALSE(fs::exists(out + "/large-1-van-gogh.bmp"));
  // The second large one was either not begun or stopped as well.
  EXPECT_FALSE(fs::exists(out + "/large-2-van-gogh.bmp"));
  const std::string summary = LastLine(run.err);
  EXPECT_TRUE(summary == "1 painted, 1 failed, 0 skipped" ||
              summary == "1 painted, 2 failed, 0 skipped")
      << run.err;
}

TEST_F(BatchCli, OnATerminalProgressIsOneLineRedrawnInPlace) {
  const CliRun batch =
      RunCliOnTerminal({"--seed", "5", "--output-dir", scratch_.File("out"), harbour_, garden_});
  EXPECT_EQ(batch.exitStatus, 0) << batch.out;
  EXPECT_EQ(batch.out.find("\r0 of 2 done, 0:00 elapsed, estimating the time left\033[K"), 0u)
      << batch.out;
  EXPECT_EQ(batch.out.find(": painted "), std::string::npos) << batch.out;
  // One line, redrawn, until the summary takes its place.
  const std::string summary = "\r\033[K2 painted, 0 failed, 0 skipped\r\n";
  EXPECT_EQ(batch.out.find('\n'), batch.out.size() - 1) << batch.out;
  EXPECT_EQ(batch.out.rfind(summary), batch.out.size() - summary.size()) << batch.out;

  const CliRun single = RunCliOnTerminal({"--seed", "5", harbour_, scratch_.File("one.png")});
  EXPECT_EQ(single.exitStatus, 0) << single.out;
  EXPECT_NE(single.out.find("\r正在绘画 50%..."), std::string::npos) << single.out;
  EXPECT_EQ(single.out.find('\n'), single.out.size() - 1) << single.out;
}

// The README's recipe, with two job slots on this machine instead of other machines.
TEST_F(BatchCli, GnuParallelRecipeGivesTheSamePicturesAsJobs2) {
  if (std::system("parallel --version >/dev/null 2>&1") != 0) {
    GTEST_SKIP() << "GNU parallel is not installed";
  }
  const std::string batchOut = scratch_.File("batch");
  ASSERT_EQ(
      RunCli({"--quiet", "--seed", "7", "--jobs", "2", "--output-dir", batchOut, harbour_, garden_})
          .exitStatus,
      0);
  const std::string command =
      "cd '" + scratch_.Path() +
      "' && parallel --sshlogin 2/: --results logs/ --transferfile {} "
      "--return painted/{/.}-van-gogh.jpg --cleanup '" QUILLANE_CLI_PATH
      "' --quiet --seed 7 --jobs 1 --output-dir painted {} ::: in/harbour.png in/garden.png "
      ">/dev/null 2>&1";
  ASSERT_EQ(std::system(command.c_str()), 0) << command;
  for (const std::string name : {"harbour-van-gogh.jpg", "garden-van-gogh.jpg"}) {
    const std::string painted = scratch_.File("painted/" + name);
    ASSERT_TRUE(fs::exists(painted)) << name;
    EXPECT_EQ(ReadFileBytes(painted), ReadFileBytes(batchOut + "/" + name)) << name;
  }
  EXPECT_TRUE(fs::exists(harbour_));  // --cleanup leaves this machine's files alone
  EXPECT_TRUE(fs::is_directory(scratch_.File("logs")));
}

}  // namespace

// SPDX-FileCopyrightText: The Quillane developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The end of a run: the painting is finished and its file is being written, which for a large
// picture takes a while. A finished painting is not lost to one Ctrl-C, and whatever ends the
// write early leaves neither the picture nor a part of it. Writing over an existing file keeps
// its mode and writes through a symbolic link.

#include <signal.h>
#include <sys/stat.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <ostream>
#include <set>
#include <string>
#include <vector>

#include "imaging/imaging.h"
#include "imaging/resource_limits.h"
#include "support/sample_files.h"
#include "support/cli_runner.h"
#include "support/test_support.h"

namespace {

namespace fs = std::filesystem;

constexpr char kFinished[] = "绘画已经完成。";
constexpr char kFinishing[] = "finishing the file, press Ctrl-C again to abandon it";

// A large black-and-white picture that is quick to paint and slow enough to write: about 24
// megapixels where the limits allow, from a Microsoft Paint file of some kilobytes.
std::string LargeInput(const ScratchFolder& dir) {
  const PictureLimits& limits = GetPictureLimits();
  const int width = std::min(6000, limits.maxWidth);
  const int height = static_cast<int>(
      std::min<int64_t>({4000, limits.maxHeight, limits.maxPixels * 9 / 10 / width}));
  const std::string path = dir.File("large.msp");
  samples::WriteBytes(path, samples::MspPicture(width, height, 2));
  return path;
}

std::set<std::string> Names(const ScratchFolder& dir) {
  std::set<std::string> names;
  for (const auto& entry : fs::directory_iterator(dir.Path())) {
    names.insert(entry.path().filename().string());
  }
  return names;
}

struct WriteInterrupt {
  const char* name;
  const char* output;  // file name; BMP files are the slowest to write, PNG files to encode
  std::vector<int> signals;
  bool waitForPartFile;  // send the first signal once a new file shows in the folder
  int endSignal;         // 0: the renderer exits with status 0
  bool batch = false;    // painted by --output-dir into the folder; `output` is the format
};

void PrintTo(const WriteInterrupt& c, std::ostream* out) {
  *out << c.name;
}

const WriteInterrupt kInterrupts[] = {
    {"OneCtrlCFinishesTheFile", "out.png", {SIGINT}, false, 0},
    {"SecondCtrlCAbandonsIt", "out.png", {SIGINT, SIGINT}, false, SIGINT},
    {"TermDuringTheWriteLeavesNoPart", "out.bmp", {SIGTERM}, true, SIGTERM},
    {"HangupDuringTheWriteLeavesNoPart", "out.bmp", {SIGHUP}, true, SIGHUP},
    {"TermDuringABatchWriteLeavesNoPart", "bmp", {SIGTERM}, true, SIGTERM, true},
};

class WriteSignals : public ::testing::TestWithParam<WriteInterrupt> {};

TEST_P(WriteSignals, FinishedPaintingIsWrittenWholeOrNotAtAll) {
  const WriteInterrupt& c = GetParam();
  ScratchFolder dir;
  const std::string input = LargeInput(dir);
  const std::set<std::string> before = Names(dir);
  // A batch's paintings say nothing.
  const auto finished = [&c](const std::string& err) {
    return c.batch || err.find(kFinished) != std::string::npos;
  };
  std::vector<SignalStep> steps;
  for (size_t i = 0; i < c.signals.size(); ++i) {
    SignalStep step{finished, c.signals[i]};
    if (i > 0) {
      step.ready = [](const std::string& err) { return err.find(kFinishing) != std::string::npos; };
    } else if (c.waitForPartFile) {
      step.ready = [&](const std::string& err) {
        return finished(err) && Names(dir).size() > before.size();
      };
    }
    steps.push_back(step);
  }
  const CliRun run = RunCliWithSignals(
      c.batch ? std::vector<std::string>{"--effect", "black-and-white", "--format", c.output,
                                         "--output-dir", dir.Path(), input}
              : std::vector<std::string>{"--effect", "black-and-white", input, dir.File(c.output)},
      steps);

  const std::set<std::string> after = Names(dir);
  ASSERT_TRUE(finished(run.err)) << "not finished: " << run.err;
  if (c.endSignal == 0) {
    EXPECT_EQ(run.exitStatus, 0) << run.err;
    EXPECT_NE(run.err.find(kFinishing), std::string::npos) << run.err;
    ImgBitmap written;
    EXPECT_EQ(ImgLoadFile(dir.File(c.output).c_str(), &written, 0, 1, 0), 1);
    EXPECT_EQ(after.size(), before.size() + 1);
  } else {
    EXPECT_EQ(run.endSignal, c.endSignal) << "status " << run.exitStatus << ": " << run.err;
    EXPECT_EQ(after, before) << "left behind by an interrupted write";
  }
}

INSTANTIATE_TEST_SUITE_P(Table, WriteSignals, ::testing::ValuesIn(kInterrupts),
                         [](const auto& info) { return std::string(info.param.name); });

// A private picture stays private, and a link to the picture stays a link to the new picture.
TEST(WriteOver, ExistingFileKeepsItsModeAndLinksAreWrittenThrough) {
  ScratchFolder dir;
  const std::string input = dir.File("in.png");
  ASSERT_TRUE(samples::WriteBytes(input, samples::EncodedPicture("PNG", 30, 20)));
  const std::string old = dir.File("private.png");
  ASSERT_TRUE(samples::WriteBytes(old, {1, 2, 3}));
  ASSERT_EQ(chmod(old.c_str(), 0600), 0);
  fs::create_directory(dir.File("elsewhere"));
  const std::string target = dir.File("elsewhere/target.png");
  ASSERT_TRUE(samples::WriteBytes(target, {1, 2, 3}));
  ASSERT_EQ(chmod(target.c_str(), 0640), 0);
  const std::string link = dir.File("link.png");
  fs::create_symlink("elsewhere/target.png", link);

  for (const std::string& output : {old, link}) {
    SCOPED_TRACE(output);
    const CliRun run = RunCli({"--quiet", "--effect", "black-and-white", input, output});
    ASSERT_EQ(run.exitStatus, 0) << run.err;
    ImgBitmap written;
    EXPECT_EQ(ImgLoadFile(output.c_str(), &written, 0, 1, 0), 1);
  }
  struct stat info {};
  ASSERT_EQ(stat(old.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 07777, 0600u);
  EXPECT_TRUE(fs::is_symlink(link));
  ASSERT_EQ(stat(target.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 07777, 0640u);
  EXPECT_EQ(Names(dir), (std::set<std::string>{"elsewhere", "in.png", "link.png", "private.png"}));
}

}  // namespace

// SPDX-FileCopyrightText: The Quillane developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Damaged, empty, absurd and tiny pictures and videos, through the imaging library and through
// quillane-cli: each either loads as a sane bitmap or fails cleanly, and the renderer reports the
// documented result, never a crash, hang or unbounded memory.

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "support/guarded_cli.h"
#include "imaging/imaging.h"
#include "support/input_checks.h"
#include "support/sample_files.h"
#include "support/test_support.h"

namespace {

const bool kMemoryLimited = (LimitOwnMemory(), true);

constexpr const char* kNotRecognized = "File is format not recognized.";

struct LoadOutcome {
  int result = -1;
  int width = 0;
  int height = 0;
  std::string problem;
};

LoadOutcome Load(const std::string& path) {
  LoadOutcome o;
  ImgBitmap bitmap;
  ImgInitHandle(&bitmap, 0, 0, 0);
  o.result = ImgLoadFile(path.c_str(), &bitmap, 0, 1, 0);
  if (o.result == 1) {
    o.problem = inputcheck::CheckBitmap(bitmap, "ImgLoadFile");
    o.width = bitmap.width;
    o.height = bitmap.height;
  } else if (o.result != 0) {
    o.problem = "ImgLoadFile returned " + std::to_string(o.result);
  } else if (bitmap.hasImage) {
    o.problem = "failed load left an image";
  }
  if (bitmap.hasImage) ImgFree(&bitmap);
  return o;
}

bool Exists(const std::string& path) {
  return std::filesystem::exists(path);
}

// The renderer must agree with the library: what loads is painted (status 0, a picture of the
// same size written), what does not load is refused with the documented message naming the
// file (status 2, nothing written).
void ExpectRendererAgrees(const std::string& input, const LoadOutcome& library,
                          const std::string& output, const char* refusal = kNotRecognized) {
  std::filesystem::remove(output);
  const GuardedRun run = RunGuardedCli({"--quiet", "--effect", "black-and-white", input, output});
  ASSERT_TRUE(EndedCleanly(run));
  if (library.result == 1) {
    EXPECT_EQ(run.status, 0) << input << ": " << run.Describe();
    const LoadOutcome written = Load(output);
    EXPECT_EQ(written.result, 1) << "no readable output for " << input;
    EXPECT_EQ(written.width, library.width);
    EXPECT_EQ(written.height, library.height);
  } else {
    EXPECT_EQ(run.status, 2) << input << ": " << run.Describe();
    EXPECT_NE(run.err.find(refusal), std::string::npos) << run.err;
    const std::string name = std::filesystem::path(input).filename().string();
    EXPECT_NE(run.err.find(name), std::string::npos) << "message does not name " << name;
    EXPECT_FALSE(Exists(output)) << "output written for " << input;
  }
}

const char* const kPictureExtensions[] = {".jpg", ".png", ".bmp", ".tga", ".tif", ".pcx", ".psd",
                                          ".ras", ".msp", ".mac", ".pct", ".wmf", ".pcd"};

TEST(BadPictureFiles, EmptyFilesFailUnderEveryExtension) {
  ScratchFolder dir;
  for (const char* ext : kPictureExtensions) {
    const std::string path = dir.File(std::string("empty") + ext);
    ASSERT_TRUE(samples::WriteBytes(path, {}));
    const LoadOutcome o = Load(path);
    EXPECT_EQ(o.result, 0) << ext;
    EXPECT_EQ(o.problem, "") << ext;

    VidHandle video;
    VidInitHandle(&video);
    EXPECT_EQ(VidOpen(path.c_str(), &video, 1), 0) << ext;
  }
  LoadOutcome failed;
  failed.result = 0;
  ExpectRendererAgrees(dir.File("empty.jpg"), failed, dir.File("out.png"));
  ExpectRendererAgrees(dir.File("empty.msp"), failed, dir.File("out.png"));
}

TEST(BadPictureFiles, MissingFileIsRefusedByTheRenderer) {
  ScratchFolder dir;
  const GuardedRun run = RunGuardedCli({"--quiet", dir.File("not there.jpg"), dir.File("out.png")});
  ASSERT_TRUE(EndedCleanly(run));
  EXPECT_EQ(run.status, 2) << run.Describe();
  EXPECT_FALSE(Exists(dir.File("out.png")));
}

struct DamageCase {
  const char* name;
  const char* format;  // ImageMagick's name for the writer
  const char* ext;
};

class DamagedPictures : public ::testing::TestWithParam<DamageCase> {};

// Cuts at the header, in the middle and one byte short, and random bit flips behind the
// signature: the library either loads a sane picture or fails, and the renderer agrees with
// it on a sample of them.
TEST_P(DamagedPictures, LoadSanelyOrFailAndTheRendererAgrees) {
  const DamageCase& c = GetParam();
  ScratchFolder dir;
  const Bytes good = samples::EncodedPicture(c.format, 48, 32);
  ASSERT_FALSE(good.empty()) << "cannot make a " << c.name << " picture";
  const std::string goodPath = dir.File(std::string("good") + c.ext);
  ASSERT_TRUE(samples::WriteBytes(goodPath, good));
  const LoadOutcome intact = Load(goodPath);
  ASSERT_EQ(intact.result, 1) << "an intact " << c.name << " does not load";
  EXPECT_EQ(intact.width, 48);
  EXPECT_EQ(intact.height, 32);

  std::vector<std::pair<std::string, Bytes>> variants;
  for (size_t cut : {size_t{8}, size_t{30}, good.size() / 4, good.size() / 2, good.size() - 1}) {
    variants.emplace_back("cut at " + std::to_string(cut), samples::Truncated(good, cut));
  }
  for (uint32_t seed = 1; seed <= 16; ++seed) {
    variants.emplace_back("flips seed " + std::to_string(seed),
                          samples::BitFlipped(good, seed, 1 + seed % 6));
  }
  for (size_t i = 0; i < variants.size(); ++i) {
    SCOPED_TRACE(std::string(c.name) + " " + variants[i].first);
    const std::string path = dir.File("damaged " + std::to_string(i) + c.ext);
    ASSERT_TRUE(samples::WriteBytes(path, variants[i].second));
    const LoadOutcome o = Load(path);
    EXPECT_EQ(o.problem, "");
    // The renderer on the cuts and on a few of the flipped files.
    if (i < 5 || i % 5 == 0) ExpectRendererAgrees(path, o, dir.File("out.png"));
  }
}

INSTANTIATE_TEST_SUITE_P(Formats, DamagedPictures,
                         ::testing::Values(DamageCase{"JPEG", "JPEG", ".jpg"},
                                           DamageCase{"PNG", "PNG", ".png"},
                                           DamageCase{"TIFF", "TIFF", ".tif"},
                                           DamageCase{"PSD", "PSD", ".psd"}),
                         [](const auto& info) { return std::string(info.param.name); });

// Our own Microsoft Paint reader sees the same treatment, including headers whose sizes and row
// table lie about the data behind them.
TEST(BadPictureFiles, DamagedMicrosoftPaintFilesLoadSanelyOrFail) {
  ScratchFolder dir;
  for (int version : {1, 2}) {
    const Bytes good = samples::MspPicture(37, 21, version);
    const std::string goodPath = dir.File("good.msp");
    ASSERT_TRUE(samples::WriteBytes(goodPath, good));
    const LoadOutcome intact = Load(goodPath);
    ASSERT_EQ(intact.result, 1) << "an intact version " << version << " file does not load";
    EXPECT_EQ(intact.width, 37);
    EXPECT_EQ(intact.height, 21);

    std::vector<Bytes> variants;
    for (size_t cut : {size_t{4}, size_t{31}, size_t{32}, size_t{40}, good.size() - 1}) {
      variants.push_back(samples::Truncated(good, cut));
    }
    for (uint32_t seed = 1; seed <= 40; ++seed) {
      variants.push_back(samples::BitFlipped(good, seed, 1 + seed % 4, 4));
    }
    // Width and height fields claiming 65535, with the checksum still right.
    Bytes giant = good;
    giant[4] = giant[5] = giant[6] = giant[7] = 0xFF;
    uint16_t checksum = 0;
    for (int w = 0; w < 12; ++w)
      checksum ^= static_cast<uint16_t>(giant[2 * w] | giant[2 * w + 1] << 8);
    giant[24] = static_cast<uint8_t>(checksum);
    giant[25] = static_cast<uint8_t>(checksum >> 8);
    variants.push_back(giant);
    for (size_t i = 0; i < variants.size(); ++i) {
      SCOPED_TRACE("version " + std::to_string(version) + " variant " + std::to_string(i));
      const std::string path = dir.File("damaged.msp");
      ASSERT_TRUE(samples::WriteBytes(path, variants[i]));
      EXPECT_EQ(Load(path).problem, "");
    }
  }
}

// Resident memory (KiB) that `work` adds at its peak, measured in a child process so that
// nothing the test process did before counts.
long PeakMemoryAddedKiB(const std::function<void()>& work) {
  int fds[2];
  if (pipe(fds) != 0) return -1;
  const pid_t pid = fork();
  if (pid == 0) {
    rusage before{}, after{};
    getrusage(RUSAGE_SELF, &before);
    work();
    getrusage(RUSAGE_SELF, &after);
    const long added = after.ru_maxrss - before.ru_maxrss;
    _exit(write(fds[1], &added, sizeof added) == sizeof added ? 0 : 1);
  }
  close(fds[1]);
  long added = -1;
  if (read(fds[0], &added, sizeof added) != sizeof added) added = -1;
  close(fds[0]);
  waitpid(pid, nullptr, 0);
  return added;
}

// A 32-byte Microsoft Paint header claiming 65535 x 65535 once made the reader set aside half
// a gigabyte of rows before finding out that the picture is beyond the limits or not there.
TEST(BadPictureFiles, AbsurdMicrosoftPaintHeaderCostsNoMemory) {
  ScratchFolder dir;
  for (int version : {1, 2}) {
    SCOPED_TRACE(version);
    Bytes header = samples::Truncated(samples::MspPicture(8, 8, version), 32);
    header[4] = header[5] = header[6] = header[7] = 0xFF;
    const std::string path = dir.File("giant.msp");
    ASSERT_TRUE(samples::WriteBytes(path, header));
    int result = -1;
    const long added = PeakMemoryAddedKiB([&] {
      ImgBitmap bitmap;
      ImgInitHandle(&bitmap, 0, 0, 0);
      result = ImgLoadFile(path.c_str(), &bitmap, 0, 1, 0);
    });
    EXPECT_GE(added, 0);
    EXPECT_LT(added, 64 * 1024) << "KiB taken for a picture that is not there";
    EXPECT_EQ(Load(path).result, 0);
  }
}

TEST(BadPictureFiles, PngClaimingAGiantSizeFailsWithinTheMemoryLimit) {
  ScratchFolder dir;
  for (uint32_t side : {100000u, 65536u, 20000u}) {
    SCOPED_TRACE(side);
    const std::string path = dir.File("giant " + std::to_string(side) + ".png");
    ASSERT_TRUE(samples::WriteBytes(path, samples::PngClaimingSize(side, side)));
    const LoadOutcome o = Load(path);
    EXPECT_EQ(o.result, 0);
    EXPECT_EQ(o.problem, "");
    // Refused for its size before anything is decoded.
    ExpectRendererAgrees(path, o, dir.File("out.png"), "The picture is too large");
  }
}

TEST(BadPictureFiles, OnePixelPictureIsPaintedInEveryStyle) {
  ScratchFolder dir;
  const std::string dot = dir.File("dot.png");
  ASSERT_TRUE(samples::WriteBytes(dot, samples::EncodedPicture("PNG", 1, 1)));
  const LoadOutcome loaded = Load(dot);
  ASSERT_EQ(loaded.result, 1);
  EXPECT_EQ(loaded.width, 1);
  EXPECT_EQ(loaded.height, 1);

  for (const char* effect : {"van-gogh", "pointillism", "colored-pencil", "charcoal-pencil",
                             "black-and-white", "mosaic"}) {
    SCOPED_TRACE(effect);
    const std::string out = dir.File(std::string(effect) + ".png");
    std::vector<std::string> args = {"--quiet", "--seed", "7", "--effect", effect};
    if (std::string(effect) == "mosaic") {
      args.insert(args.end(), {"--no-library", "--picture", dot});
    }
    args.insert(args.end(), {dot, out});
    const GuardedRun run = RunGuardedCli(args);
    ASSERT_TRUE(EndedCleanly(run));
    EXPECT_EQ(run.status, 0) << run.Describe();
    const LoadOutcome written = Load(out);
    EXPECT_EQ(written.result, 1);
    EXPECT_EQ(written.width, 1);
    EXPECT_EQ(written.height, 1);
  }
}

TEST(BadVideoFiles, DamagedAviFilesOpenSanelyOrFail) {
  const Bytes good = samples::AviVideo(16, 12, 40);
  ScratchFolder dir;
  const std::string goodPath = dir.File("good.avi");
  ASSERT_TRUE(samples::WriteBytes(goodPath, good));
  VidHandle video;
  VidInitHandle(&video);
  ASSERT_EQ(VidOpen(goodPath.c_str(), &video, 1), 1);
  EXPECT_NE(video.usableVideo, 0);
  EXPECT_EQ(video.frameCount, 40);
  VidClose(&video);
  EXPECT_EQ(inputcheck::CheckVideoBytes(good.data(), good.size()), "");

  std::vector<Bytes> variants;
  for (size_t cut : {size_t{12}, size_t{100}, size_t{300}, good.size() / 2, good.size() - 1}) {
    variants.push_back(samples::Truncated(good, cut));
  }
  for (uint32_t seed = 1; seed <= 24; ++seed) {
    variants.push_back(samples::BitFlipped(good, seed, 1 + seed % 5, 12));
  }
  for (size_t i = 0; i < variants.size(); ++i) {
    SCOPED_TRACE("variant " + std::to_string(i));
    EXPECT_EQ(inputcheck::CheckVideoBytes(variants[i].data(), variants[i].size()), "");
  }

  // The same files as tile sources: the mosaic skips what it cannot use and completes.
  const std::string start = dir.File("start.png");
  ASSERT_TRUE(samples::WriteBytes(start, samples::EncodedPicture("PNG", 64, 48)));
  std::vector<std::string> args = {"--effect", "mosaic", "--tiles-across", "4", "--no-library"};
  for (size_t i = 0; i < variants.size(); i += 3) {
    const std::string path = dir.File("tile " + std::to_string(i) + ".avi");
    ASSERT_TRUE(samples::WriteBytes(path, variants[i]));
    args.insert(args.end(), {"--picture", path});
  }
  args.insert(args.end(), {"--picture", goodPath, start, dir.File("mosaic.png")});
  const GuardedRun run = RunGuardedCli(args);
  ASSERT_TRUE(EndedCleanly(run));
  EXPECT_EQ(run.status, 0) << run.Describe();
  EXPECT_NE((run.out + run.err).find("Mosaic completed."), std::string::npos);
  EXPECT_TRUE(Exists(dir.File("mosaic.png")));
}

TEST(BadVideoFiles, AviAsStartPictureIsRefused) {
  ScratchFolder dir;
  const std::string clip = dir.File("clip.avi");
  ASSERT_TRUE(samples::WriteBytes(clip, samples::AviVideo(8, 6, 3)));
  ExpectRendererAgrees(clip, Load(clip), dir.File("out.png"));
}

}  // namespace

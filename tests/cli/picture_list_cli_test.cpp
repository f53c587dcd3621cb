// SPDX-FileCopyrightText: The Quillane developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The picture list takes whatever the user drops on it: folders, device files, files that cannot
// be read, names in any script, paths up to the slot size and beyond. The mosaic skips what it
// cannot use and completes.

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "support/guarded_cli.h"
#include "support/sample_files.h"
#include "support/test_support.h"

namespace {

const bool kMemoryLimited = (LimitOwnMemory(), true);

bool Contains(const GuardedRun& run, const std::string& text) {
  return (run.out + run.err).find(text) != std::string::npos;
}

// A mosaic from the list alone, with few tiles so that each run stays short.
GuardedRun RunMosaic(const std::vector<std::string>& list, const std::string& start,
                     const std::string& output) {
  std::vector<std::string> args = {"--effect", "mosaic", "--tiles-across", "4", "--no-library"};
  for (const std::string& p : list) args.insert(args.end(), {"--picture", p});
  args.insert(args.end(), {start, output});
  return RunGuardedCli(args);
}

class PictureList : public ::testing::Test {
 protected:
  void SetUp() override {
    start_ = dir_.File("start.png");
    tile_ = dir_.File("tile.png");
    ASSERT_TRUE(samples::WriteBytes(start_, samples::EncodedPicture("PNG", 64, 48)));
    ASSERT_TRUE(samples::WriteBytes(tile_, samples::EncodedPicture("JPEG", 40, 30)));
  }

  ScratchFolder dir_;
  std::string start_;
  std::string tile_;
};

// /dev/zero never ends, /dev/null is empty, and opening a named pipe waits for a writer that
// never comes; a reader that trusts any of them hangs or runs out of memory.
TEST_F(PictureList, FoldersAndDeviceFilesAreSkipped) {
  const std::string pipe = dir_.File("pipe.jpg");
  ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
  const GuardedRun run =
      RunMosaic({dir_.Path(), "/dev/null", "/dev/zero", pipe, tile_}, start_, dir_.File("out.png"));
  ASSERT_TRUE(EndedCleanly(run));
  EXPECT_EQ(run.status, 0) << run.Describe();
  EXPECT_TRUE(Contains(run, "Matching image 5 of 5...")) << run.err;
  for (int i = 1; i <= 4; ++i) {
    EXPECT_FALSE(Contains(run, "Matching image " + std::to_string(i) + " of 5"))
        << "entry " << i << " was used as a tile source";
  }
  EXPECT_TRUE(Contains(run, "Mosaic completed."));
  EXPECT_TRUE(std::filesystem::exists(dir_.File("out.png")));
}

TEST_F(PictureList, DeviceFileOrFolderAsStartPictureIsRefused) {
  const std::string pipe = dir_.File("pipe.png");
  ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
  for (const std::string& device :
       {std::string("/dev/zero"), std::string("/dev/null"), pipe, dir_.Path()}) {
    SCOPED_TRACE(device);
    const GuardedRun run = RunGuardedCli({"--quiet", device, dir_.File("out.png")});
    ASSERT_TRUE(EndedCleanly(run));
    EXPECT_EQ(run.status, 2) << run.Describe();
    EXPECT_FALSE(std::filesystem::exists(dir_.File("out.png")));
  }
}

// A path that exists but cannot be read. chmod 000 does not stop root, so as root a file of
// /proc that refuses reading even to root stands in.
std::string UnreadablePath(const ScratchFolder& dir) {
  if (geteuid() != 0) {
    const std::string path = dir.File("locked.png");
    samples::WriteBytes(path, samples::EncodedPicture("PNG", 8, 8));
    chmod(path.c_str(), 0);
    return path;
  }
  for (const char* candidate : {"/proc/sys/vm/compact_memory", "/proc/sys/vm/drop_caches"}) {
    if (!std::filesystem::exists(candidate)) continue;
    FILE* f = std::fopen(candidate, "rb");
    if (f == nullptr) return candidate;
    std::fclose(f);
  }
  return {};
}

TEST_F(PictureList, UnreadableFileIsSkippedAndRefusedAsStartPicture) {
  const std::string locked = UnreadablePath(dir_);
  if (locked.empty()) GTEST_SKIP() << "no unreadable file can be made here";

  const GuardedRun run = RunMosaic({locked, tile_}, start_, dir_.File("out.png"));
  ASSERT_TRUE(EndedCleanly(run));
  EXPECT_EQ(run.status, 0) << run.Describe();
  EXPECT_FALSE(Contains(run, "Matching image 1 of 2"));
  EXPECT_TRUE(Contains(run, "Matching image 2 of 2..."));
  EXPECT_TRUE(Contains(run, "Mosaic completed."));

  const GuardedRun refused = RunGuardedCli({"--quiet", locked, dir_.File("refused.png")});
  ASSERT_TRUE(EndedCleanly(refused));
  EXPECT_EQ(refused.status, 2) << refused.Describe();
  EXPECT_FALSE(std::filesystem::exists(dir_.File("refused.png")));
}

TEST_F(PictureList, PathsWithSpacesAndNonAsciiCharactersWork) {
  const std::filesystem::path folder =
      std::filesystem::path(dir_.Path()) / "Ordner mit Ümlauten 写真";
  std::filesystem::create_directories(folder);
  const std::string start = (folder / "mon été.png").string();
  const std::string tile = (folder / "tuile ñ 1.jpg").string();
  const std::string out = (folder / "résultat final.png").string();
  std::filesystem::copy_file(start_, start);
  std::filesystem::copy_file(tile_, tile);

  const GuardedRun run = RunMosaic({tile}, start, out);
  ASSERT_TRUE(EndedCleanly(run));
  EXPECT_EQ(run.status, 0) << run.Describe();
  EXPECT_TRUE(Contains(run, "Matching image 1 of 1...")) << run.err;
  EXPECT_TRUE(std::filesystem::exists(out));

  const std::string painted = (folder / "peint à l'huile.jpg").string();
  const GuardedRun paint = RunGuardedCli({"--quiet", "--seed", "3", start, painted});
  ASSERT_TRUE(EndedCleanly(paint));
  EXPECT_EQ(paint.status, 0) << paint.Describe();
  EXPECT_TRUE(std::filesystem::exists(painted));
}

// A file whose full path has exactly `length` characters, made with nested folders.
std::string PathOfLength(const ScratchFolder& dir, size_t length, const std::string& source) {
  std::string folder = dir.Path() + "/" + std::string(120, 'd');
  std::filesystem::create_directories(folder);
  const std::string ext = ".jpg";
  const size_t nameLength = length - folder.size() - 1;
  if (nameLength <= ext.size() || nameLength > 255) return {};
  const std::string path = folder + "/" + std::string(nameLength - ext.size(), 'n') + ext;
  std::filesystem::copy_file(source, path, std::filesystem::copy_options::overwrite_existing);
  return path;
}

// A slot holds 299 characters and its terminator: such a path is used as it is. One character
// more does not fit; it must neither overrun the slot nor be used cut short, so the renderer
// refuses it as a usage error.
TEST_F(PictureList, PathOf299CharactersIsUsedAndOf300IsNotOverrun) {
  const std::string fits = PathOfLength(dir_, 299, tile_);
  ASSERT_EQ(fits.size(), 299u);
  const GuardedRun run = RunMosaic({fits}, start_, dir_.File("fits.png"));
  ASSERT_TRUE(EndedCleanly(run));
  EXPECT_EQ(run.status, 0) << run.Describe();
  EXPECT_TRUE(Contains(run, "Matching image 1 of 1...")) << run.err;

  const std::string tooLong = PathOfLength(dir_, 300, tile_);
  ASSERT_EQ(tooLong.size(), 300u);
  const GuardedRun longRun = RunMosaic({tooLong}, start_, dir_.File("long.png"));
  ASSERT_TRUE(EndedCleanly(longRun));
  EXPECT_EQ(longRun.status, 64) << longRun.Describe();
  EXPECT_FALSE(longRun.err.empty()) << "refused without a word";
  EXPECT_FALSE(Contains(longRun, "Matching image")) << longRun.err;
  EXPECT_FALSE(std::filesystem::exists(dir_.File("long.png")));
}

}  // namespace

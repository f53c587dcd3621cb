// SPDX-FileCopyrightText: The Quillane developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The picture index: a mosaic made with it, cold or warm, is the mosaic made without it, whatever
// happened to the library or to the index file in between.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "mosaic/tile_index.h"
#include "support/media_makers.h"
#include "support/mosaic_makers.h"
#include "support/test_support.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

// Bytes of a 24-bit BMP file of 24 x 18: header and rows of 72 bytes.
constexpr size_t kPictureFileBytes = 54 + 18 * 72;

void WriteBytes(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}
std::string RandomBytes(size_t count, unsigned seed) {
  std::mt19937 random(seed);
  std::string bytes(count, '\0');
  for (char& c : bytes) c = static_cast<char>(random());
  return bytes;
}
void SetModified(const std::string& path, fs::file_time_type when) {
  fs::last_write_time(path, when);
}

class TileIndexTest : public ::testing::Test {
 protected:
  void SetUp() override {
    library_ = folder_.File("library");
    fs::create_directory(library_);
    for (int i = 0; i < 5; ++i) Picture("p" + std::to_string(i) + ".bmp", 100 + i);
    ASSERT_TRUE(MakeTestAvi(library_ + "/clip.avi", 40, 32, 24));
    // As long as a picture, so that a picture can later take its place unnoticed.
    WriteBytes(library_ + "/junk.bmp", std::string(kPictureFileBytes, 'x'));
    sources_.NoList();
    sources_.UseLibrary(library_);
    index_ = folder_.File("cache/index.sqlite");
  }
  void Picture(const std::string& name, uint32_t seed) {
    ASSERT_TRUE(WriteBmpFile(library_ + "/" + name, NoisyPicture(24, 18, seed)));
  }
  MosaicOutcome Run(const std::string& index, float across = 6) {
    sources_.options.indexFile = index;
    return RunMosaicOn(sources_, start_, across, 15, 1);
  }
  // A run with the index gives what a run without it gives, and says nothing about the index.
  void ExpectSameAsWithout(float across = 6) {
    const MosaicOutcome without = Run("", across);
    const MosaicOutcome with = Run(index_, across);
    EXPECT_EQ(with.result, 0);
    EXPECT_EQ(with.picture, without.picture);
    EXPECT_EQ(with.statuses, without.statuses);
    EXPECT_EQ(with.notices, std::vector<std::string>());
  }

  ScratchFolder folder_;
  MosaicSources sources_;
  std::string library_;
  std::string index_;
  const TestPicture start_ = NoisyPicture(96, 72, 5);
};

TEST_F(TileIndexTest, NoColdAndWarmIndexGiveTheSameMosaic) {
  const MosaicOutcome without = Run("");
  ASSERT_EQ(without.result, 0);
  ASSERT_EQ(without.statuses.size(), 10u);  // five pictures and three frames between the two
  for (int run = 0; run < 2; ++run) {
    SCOPED_TRACE(run == 0 ? "cold" : "warm");
    const MosaicOutcome with = Run(index_);
    EXPECT_EQ(with.picture, without.picture);
    EXPECT_EQ(with.statuses, without.statuses);
    EXPECT_TRUE(with.notices.empty());
  }
  TileIndex index(index_);
  const int64_t oneSize = index.StoredBytes();
  EXPECT_GT(oneSize, 0);
  // Another tile size is kept beside the first.
  ExpectSameAsWithout(4);
  ExpectSameAsWithout(4);
  EXPECT_GT(index.StoredBytes(), oneSize);
}

TEST_F(TileIndexTest, ChangedDeletedAndUndecodableFiles) {
  Run(index_);
  const int64_t bytesBefore = TileIndex(index_).StoredBytes();
  // Replaced by another picture of the same name, and deleted.
  Picture("p1.bmp", 900);
  SetModified(library_ + "/p1.bmp", fs::last_write_time(library_ + "/p1.bmp") + 10s);
  fs::remove(library_ + "/p2.bmp");
  ExpectSameAsWithout();
  EXPECT_LT(TileIndex(index_).StoredBytes(), bytesBefore);  // the deleted picture is dropped

  // A file that did not decode stays undecoded while it is unchanged, and is decoded again as
  // soon as it changes, even when its size and modification time are put back as they were.
  const std::string junk = library_ + "/junk.bmp";
  const auto junkTime = fs::last_write_time(junk);
  const MosaicOutcome before = Run(index_);
  EXPECT_EQ(Run(index_).statuses, before.statuses);
  Picture("junk.bmp", 901);
  ASSERT_EQ(fs::file_size(junk), kPictureFileBytes);
  SetModified(junk, junkTime);
  ExpectSameAsWithout();
  EXPECT_NE(Run(index_).statuses, before.statuses);
}

TEST_F(TileIndexTest, AnIndexThatCannotBeUsedLeavesTheMosaicAsItIs) {
  const MosaicOutcome without = Run("");
  const std::string damaged = folder_.File("damaged.sqlite");
  WriteBytes(damaged, RandomBytes(20000, 1));
  const std::string plainFile = folder_.File("plain");
  WriteBytes(plainFile, "a file where a folder should be");
  for (const std::string& index : {damaged, plainFile + "/index.sqlite"}) {
    SCOPED_TRACE(index);
    const MosaicOutcome with = Run(index);
    EXPECT_EQ(with.result, 0);
    EXPECT_EQ(with.picture, without.picture);
    EXPECT_EQ(with.statuses, without.statuses);
    ASSERT_EQ(with.notices.size(), 1u);
    EXPECT_NE(with.notices[0].find(index), std::string::npos);
  }
  // A file that is not an index of this program is never replaced.
  EXPECT_EQ(ReadFileBytes(damaged), RandomBytes(20000, 1));

  // This program's own index, damaged past its header, is made anew.
  Run(index_);
  std::string bytes = ReadFileBytes(index_);
  ASSERT_GT(bytes.size(), 8192u);
  bytes.replace(100, bytes.size() - 100, RandomBytes(bytes.size() - 100, 2));
  fs::remove(index_ + "-wal");
  fs::remove(index_ + "-shm");
  WriteBytes(index_, bytes);
  const MosaicOutcome repaired = Run(index_);
  EXPECT_EQ(repaired.picture, without.picture);
  EXPECT_EQ(repaired.notices.size(), 1u);
  ExpectSameAsWithout();
}

TEST(TileIndex, KeepsWithinItsSizeDroppingTheLeastRecentlyUsed) {
  ScratchFolder folder;
  const std::string file = folder.File("index.sqlite");
  const TileSize size{30, 20};
  std::vector<TileSourceFile> files;
  for (int i = 0; i < 8; ++i) {
    const std::string path = folder.File("f" + std::to_string(i));
    WriteBytes(path, "x");
    files.emplace_back();
    ASSERT_TRUE(IdentifyTileSourceFile(path, &files.back()));
  }
  TileIndex::Tile tile;
  {
    // Each tile picture a 24-bit 30 x 30 bitmap of about 2.9 KB; room for three of them.
    DibHandle block = DibHandle::Create24(30, 30);
    tile.block.assign(block.Lock(), block.Lock() + block.Size());
    tile.patchCount = 25;
    tile.colors[0] = MakeColor(1, 2, 3);
  }
  const TileSourceOutcome picture{TileSourceKind::kPicture, 0, 1};
  TileSourceOutcome outcome;
  int64_t id;
  constexpr int64_t room = 3 * 3000;
  auto run = [&](std::vector<int> found, std::vector<int> added, int64_t bytes = 3 * 3000) {
    TileIndex index(file, bytes);
    for (int i : found) EXPECT_TRUE(index.Find(files[i], size, &outcome, &id)) << i;
    for (int i : added) index.Add(files[i], picture, size, {tile});
  };
  run({}, {0, 1, 2});
  run({0}, {3});  // 0 used again: 1 is the least recently used and goes for 3
  // A run keeps what it uses and adds, and adds no more than there is room for.
  run({3}, {4, 5, 6});
  auto held = [&](int64_t bytes) {
    std::vector<bool> found;
    TileIndex index(file, bytes);
    EXPECT_LE(index.StoredBytes(), bytes);
    for (const TileSourceFile& f : files) found.push_back(index.Find(f, size, &outcome, &id));
    return found;
  };
  EXPECT_EQ(held(room), (std::vector<bool>{false, false, false, true, true, true, false, false}));
  // A smaller size takes effect at the end of the next run, even one that adds nothing.
  run({4, 5}, {}, 2 * 3000);
  EXPECT_EQ(held(2 * 3000),
            (std::vector<bool>{false, false, false, false, true, true, false, false}));

  TileIndex index(file, room);
  PreparedTile read;
  ASSERT_TRUE(index.Find(files[4], size, &outcome, &id));
  ASSERT_TRUE(index.ReadTile(id, 0, size, &read));
  EXPECT_EQ(read.block.Size(), tile.block.size());
  EXPECT_EQ(read.patchCount, 25);
  EXPECT_EQ(read.colors[0], MakeColor(1, 2, 3));
  // Another tile size is not there.
  EXPECT_FALSE(index.Find(files[4], TileSize{30, 20.5f}, &outcome, &id));
}

}  // namespace

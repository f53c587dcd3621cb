// SPDX-FileCopyrightText: The Quillane developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The tile sources of a mosaic: the picture list, the picture library, the frames taken from
// AVI videos, and the progress lines that name them.

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "base/paths.h"
#include "mosaic/tile_source_loader.h"
#include "support/media_makers.h"
#include "support/mosaic_makers.h"
#include "support/test_support.h"

namespace {

using Texts = std::vector<std::string>;

const TestPicture kStart = QuarteredPicture(32, 24, MakeColor(200, 40, 40), MakeColor(40, 200, 40),
                                            MakeColor(40, 40, 200), MakeColor(90, 90, 90));

class MosaicSourcesTest : public ::testing::Test {
 protected:
  std::string Picture(const std::string& name, ColorRef color = MakeColor(120, 60, 30)) {
    const std::string path = folder_.File(name);
    EXPECT_TRUE(WriteBmpFile(path, TestPicture(20, 15, color)));
    return path;
  }
  std::string Video(const std::string& name, int frames, int unreadableFrame = -1) {
    const std::string path = folder_.File(name);
    EXPECT_TRUE(
        MakeTestAvi(path, frames, 32, 24, {}, TestVideoCodec::kMotionJpeg, unreadableFrame));
    return path;
  }
  std::string Junk(const std::string& name) {
    const std::string path = folder_.File(name);
    std::ofstream(path) << "neither a picture nor a video";
    return path;
  }
  // The progress lines of a run: the statuses between "Scanning Image..." and the last one.
  static Texts Progress(const MosaicOutcome& out) {
    if (out.statuses.size() < 2) return {};
    return Texts(out.statuses.begin() + 1, out.statuses.end() - 1);
  }
  MosaicOutcome Run() { return RunMosaicOn(sources_, kStart, 2, 15, 1); }

  ScratchFolder folder_;
  MosaicSources sources_;
};

TEST_F(MosaicSourcesTest, ListOfAPictureAVideoAndAnUnreadableFile) {
  sources_.UseList({Picture("still.bmp"), Video("clip.avi", 40), Junk("notes.txt")});
  const MosaicOutcome out = Run();
  EXPECT_EQ(out.result, 0);
  EXPECT_EQ(out.statuses, (Texts{"Scanning Image...", "Matching image 1 of 3...",
                                 "Matching image 2 of 3, frame 0 of 40...",
                                 "Matching image 2 of 3, frame 15 of 40...",
                                 "Matching image 2 of 3, frame 30 of 40...", "Mosaic completed."}));
  EXPECT_EQ(out.picturesShown, 5);  // the start picture and once per tile source
}

TEST_F(MosaicSourcesTest, EveryFifteenthFrameBelowTheFrameCount) {
  sources_.UseList({Video("fifteen.avi", 15), Video("sixteen.avi", 16)});
  const MosaicOutcome out = Run();
  EXPECT_EQ(Progress(out), (Texts{"Matching image 1 of 2, frame 0 of 15...",
                                  "Matching image 2 of 2, frame 0 of 16...",
                                  "Matching image 2 of 2, frame 15 of 16..."}));
}

TEST_F(MosaicSourcesTest, AFrameThatCannotBeReadEndsOnlyItsVideo) {
  const std::string broken = Video("broken.avi", 40, 30);
  const std::string still = Picture("still.bmp");
  const int filesBefore = OpenFileCount();
  sources_.UseList({broken, still});
  MosaicOutcome out = Run();
  EXPECT_EQ(out.result, 0);
  EXPECT_EQ(Progress(out),
            (Texts{"Matching image 1 of 2, frame 0 of 40...",
                   "Matching image 1 of 2, frame 15 of 40...", "Matching image 2 of 2..."}));

  // The same in the library: "broken.avi" sorts before "still.bmp".
  sources_.NoList();
  sources_.UseLibrary(folder_.Path());
  out = Run();
  EXPECT_EQ(out.result, 0);
  EXPECT_EQ(Progress(out),
            (Texts{"Matching library 1 of 2, frame 0 of 40...",
                   "Matching library 1 of 2, frame 15 of 40...", "Matching library 2 of 2..."}));
  EXPECT_EQ(OpenFileCount(), filesBefore);
}

TEST_F(MosaicSourcesTest, VideosWithoutPicturesAreSkippedSilently) {
  const std::string sound = folder_.File("sound.avi");
  ASSERT_TRUE(MakeSoundOnlyAvi(sound));
  sources_.UseList({sound, Picture("still.bmp")});
  const MosaicOutcome out = Run();
  EXPECT_EQ(out.result, 0);
  EXPECT_EQ(Progress(out), (Texts{"Matching image 2 of 2..."}));
}

TEST_F(MosaicSourcesTest, StopDuringAVideoClosesItAndEndsTheWalk) {
  const std::string clip = Video("clip.avi", 40);
  const int filesBefore = OpenFileCount();
  sources_.UseList({clip, Picture("still.bmp")});
  // Stop is pressed as frame 0's line is written, so it is noticed while frame 15 is matched.
  const MosaicOutcome out =
      RunMosaicOn(sources_, kStart, 2, 15, 1, [](FakeWindow& w) { w.StopAtStatus(2); });
  EXPECT_EQ(out.result, 1);
  EXPECT_EQ(out.statuses, (Texts{"Scanning Image...", "Matching image 1 of 2, frame 0 of 40...",
                                 "Mosaic canceled."}));
  EXPECT_EQ(OpenFileCount(), filesBefore);
}

// Stop reaches the reads of a video: the one read on the caller's thread gives up at frame 15
// (far past what the first read buffered, so only the file read itself can notice), the pool's
// at opening. Either way the loading ends there, before the picture after it, and the index is
// not told of the cut-short video.
TEST_F(MosaicSourcesTest, StopGivesUpAVideoReadAndEndsTheLoading) {
  const std::string clip = folder_.File("clip.avi");
  ASSERT_TRUE(MakeTestAvi(clip, 40, 160, 120, {}, TestVideoCodec::kRaw));
  const std::string still = Picture("still.bmp");
  TileSourceFile clipFile;
  ASSERT_TRUE(IdentifyTileSourceFile(clip, &clipFile));
  const struct {
    int lookahead;
    int stopAfter;  // tile sources taken before Stop is pressed
  } cases[] = {{0, 1}, {4, 0}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.lookahead);
    TileIndex index(folder_.File("index" + std::to_string(c.lookahead) + ".sqlite"));
    std::atomic<bool> stop{c.stopAfter == 0};
    TileSourceLoader loader({{clip, false, 1, 2}, {still, false, 2, 2}}, 8, 6, 8, 6, &index,
                            [&stop] { return stop.load(); });
    loader.Start(c.lookahead);
    LoadedTileSource source;
    for (int k = 0; k < c.stopAfter; ++k) ASSERT_TRUE(loader.Next(&source));
    stop = true;
    EXPECT_FALSE(loader.Next(&source));
    EXPECT_TRUE(loader.Stopped());
    loader.Stop();
    index.Flush();
    TileSourceOutcome outcome;
    int64_t id = 0;
    EXPECT_FALSE(index.Find(clipFile, {8, 6}, &outcome, &id));
  }
}

TEST_F(MosaicSourcesTest, LibraryInByteOrderOfNamesNumberedWithoutTheFolderEntries) {
  Picture("b.bmp");
  Picture("B.bmp");
  Picture("a.bmp");
  Junk("notes.txt");
  std::filesystem::create_directory(folder_.File("sub"));
  sources_.UseLibrary(folder_.Path());
  const MosaicOutcome out = Run();
  EXPECT_EQ(out.result, 0);
  // ".", "..", "B.bmp", "a.bmp", "b.bmp", "notes.txt", "sub".
  EXPECT_EQ(Progress(out), (Texts{"Matching library 1 of 5...", "Matching library 2 of 5...",
                                  "Matching library 3 of 5..."}));
}

TEST_F(MosaicSourcesTest, LibraryPathsOf300CharactersOrMoreAreSkipped) {
  std::string library = folder_.Path();
  while (library.size() < 120) library += "/deeper";
  std::filesystem::create_directories(library);
  const size_t folderLength = library.size() + 1;  // with the trailing '/'
  const std::string atLimit = "m" + std::string(300 - folderLength - 5, 'x') + ".bmp";
  const std::string belowLimit = "n" + std::string(299 - folderLength - 5, 'x') + ".bmp";
  ASSERT_EQ(folderLength + atLimit.size(), 300u);
  for (const std::string& name : {std::string("a.bmp"), atLimit, belowLimit}) {
    ASSERT_TRUE(WriteBmpFile(library + "/" + name, TestPicture(8, 6, MakeColor(9, 99, 199))));
  }
  sources_.UseLibrary(library);
  const MosaicOutcome out = Run();
  EXPECT_EQ(Progress(out), (Texts{"Matching library 1 of 3...", "Matching library 3 of 3..."}));
}

TEST_F(MosaicSourcesTest, ListEntriesComeBeforeTheLibrary) {
  ScratchFolder library;
  ASSERT_TRUE(WriteBmpFile(library.File("stock.bmp"), TestPicture(8, 6, MakeColor(1, 2, 250))));
  sources_.UseList({Picture("mine.bmp"), Picture("also mine.bmp")});
  sources_.UseLibrary(library.Path());
  const MosaicOutcome out = Run();
  EXPECT_EQ(Progress(out), (Texts{"Matching image 1 of 2...", "Matching image 2 of 2...",
                                  "Matching library 1 of 1..."}));
}

TEST_F(MosaicSourcesTest, TheStockLibraryStandsBesideTheExecutable) {
  std::filesystem::create_directory(folder_.File("Picture Library"));
  ASSERT_TRUE(WriteBmpFile(folder_.File("Picture Library/stock.bmp"),
                           TestPicture(8, 6, MakeColor(1, 2, 250))));
  SetExecutableFolder(folder_.Path());
  sources_.UseStockLibrary();
  const MosaicOutcome out = Run();
  SetExecutableFolder("");
  EXPECT_EQ(Progress(out), (Texts{"Matching library 1 of 1..."}));
}

}  // namespace

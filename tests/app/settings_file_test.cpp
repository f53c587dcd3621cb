// SPDX-FileCopyrightText: The Quillane developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The settings file is read at every start whatever it holds, and written at every exit whatever
// the disk allows. A damaged file must never crash the program or make it read beyond its list;
// a save that cannot be completed must leave the file of the last good save as it was.

#include <signal.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <string>

#include "app/settings.h"
#include "base/paths.h"
#include "support/guarded_cli.h"
#include "support/sample_files.h"
#include "support/test_support.h"

namespace {

const bool kMemoryLimited = (LimitOwnMemory(), true);

class SettingsFile : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* old = std::getenv("XDG_CONFIG_HOME");
    hadConfig_ = old != nullptr;
    if (hadConfig_) oldConfig_ = old;
    setenv("XDG_CONFIG_HOME", dir_.Path().c_str(), 1);
    path_ = SettingsFilePath();
    ASSERT_EQ(path_, dir_.File("Quillane.dat"));
  }
  void TearDown() override {
    FreePictureList();
    settings.pictureListLength = 0;
    if (hadConfig_) {
      setenv("XDG_CONFIG_HOME", oldConfig_.c_str(), 1);
    } else {
      unsetenv("XDG_CONFIG_HOME");
    }
  }

  // Starts the program's way: defaults, then the file.
  void Start(const Bytes& file) {
    ASSERT_TRUE(samples::WriteBytes(path_, file));
    FreePictureList();
    settings.pictureListLength = 0;
    SetDefaultSettings();
  }

  // Every rule a loaded list must keep, whatever the file held.
  static void ExpectSoundList() {
    if (settings.pictureList == nullptr) {
      EXPECT_EQ(settings.pictureListLength, 0);
      return;
    }
    ASSERT_GT(settings.pictureListLength, 0);
    ASSERT_EQ(settings.pictureListLength % 300, 0);
    for (int32_t i = 0; i < PictureListCount(); ++i) {
      EXPECT_LT(strnlen(settings.pictureList[i].path, 300), 300u) << "slot " << i;
    }
  }

  static void ExpectDefaultsBeyondThePath() {
    EXPECT_EQ(settings.lockAspectRatio, 1);
    EXPECT_EQ(settings.widthPercent, 100.0f);
    EXPECT_EQ(settings.heightPercent, 100.0f);
    EXPECT_EQ(settings.useYourPictureList, 1);
    EXPECT_EQ(settings.usePictureLibrary, 1);
    EXPECT_EQ(settings.tilesAcross, 15);
    EXPECT_EQ(settings.autoSizeTilesDown, 1);
    EXPECT_EQ(settings.tilesDown, 15);
  }

  ScratchFolder dir_;
  std::string path_;
  bool hadConfig_ = false;
  std::string oldConfig_;
};

// A record with a recognisable value in every field the tests look at.
Bytes MarkedRecord(int32_t lengthField, const Bytes& list) {
  Bytes file = samples::SettingsFile("/pictures/start.jpg", lengthField, list);
  file[0] = 3;     // effect: Colored Pencil
  file[540] = 33;  // tilesAcross
  return file;
}

TEST_F(SettingsFile, EmptyOrShortFileKeepsTheDefaults) {
  Start({});
  EXPECT_EQ(settings.effect, 0);
  EXPECT_EQ(std::string(settings.startPicture), ExamplePicturePath());
  ExpectDefaultsBeyondThePath();
  EXPECT_EQ(PictureListCount(), 0);

  // 100 bytes: the effect and the start of the path come from the file, the rest stays.
  Start(samples::Truncated(MarkedRecord(0, {}), 100));
  EXPECT_EQ(settings.effect, 3);
  EXPECT_STREQ(settings.startPicture, "/pictures/start.jpg");
  ExpectDefaultsBeyondThePath();
  EXPECT_EQ(PictureListCount(), 0);
  ExpectSoundList();

  // The whole record but no list length.
  Start(samples::Truncated(MarkedRecord(0, {}), 560));
  EXPECT_EQ(settings.tilesAcross, 33);
  EXPECT_EQ(PictureListCount(), 0);
  ExpectSoundList();
}

TEST_F(SettingsFile, NegativeOrOddListLengthGivesAnEmptyList) {
  const Bytes two = samples::PictureListSlots({"/a.jpg", "/b.avi"});
  for (int32_t length : {-300, -1, INT32_MIN, 299, 301, 599}) {
    SCOPED_TRACE(length);
    Start(MarkedRecord(length, two));
    EXPECT_EQ(settings.tilesAcross, 33);
    ExpectSoundList();
    EXPECT_EQ(PictureListCount(), 0);
  }
}

// A 564-byte file announcing 1.5 GB of list must not make the program take 1.5 GB (nor 2 GB
// for INT32_MAX rounded down to whole slots).
TEST_F(SettingsFile, HugeListLengthTakesNoMemory) {
  for (int32_t length : {1'500'000'000, 2'147'483'400, 300'000'000}) {
    SCOPED_TRACE(length);
    Start(MarkedRecord(length, samples::PictureListSlots({"/a.jpg"})));
    EXPECT_EQ(settings.tilesAcross, 33);
    ExpectSoundList();
    EXPECT_EQ(PictureListCount(), 0);
  }
}

TEST_F(SettingsFile, ListShorterThanAnnouncedStaysWithinItsBlock) {
  Start(MarkedRecord(900, samples::PictureListSlots({"/a.jpg", "/b.avi"})));
  ExpectSoundList();
  // Either the whole list is refused or the missing slot is an empty path.
  if (PictureListCount() != 0) {
    ASSERT_EQ(PictureListCount(), 3);
    EXPECT_STREQ(settings.pictureList[0].path, "/a.jpg");
    EXPECT_STREQ(settings.pictureList[1].path, "/b.avi");
    EXPECT_STREQ(settings.pictureList[2].path, "");
  }
}

TEST_F(SettingsFile, SlotWithoutTerminatorIsCutAt299Characters) {
  Bytes list(300, 'a');
  const Bytes second = samples::PictureListSlots({"/b.jpg"});
  list.insert(list.end(), second.begin(), second.end());
  Start(MarkedRecord(600, list));
  ExpectSoundList();
  ASSERT_EQ(PictureListCount(), 2);
  EXPECT_EQ(std::string(settings.pictureList[0].path), std::string(299, 'a'));
  EXPECT_STREQ(settings.pictureList[1].path, "/b.jpg");
}

// The path field has room for 499 characters and the terminator; a file that fills all 500
// bytes would make every reader of the path run on into the fields behind it.
TEST_F(SettingsFile, StartPictureWithoutTerminatorIsCutAt499Characters) {
  Bytes file = MarkedRecord(0, {});
  std::fill(file.begin() + 4, file.begin() + 504, static_cast<uint8_t>('p'));
  Start(file);
  EXPECT_EQ(settings.tilesAcross, 33);
  EXPECT_EQ(std::string(settings.startPicture, strnlen(settings.startPicture, 500)),
            std::string(499, 'p'));
}

// The program reads its settings first thing at every start: a settings "file" that is a named
// pipe would hang every start, and /dev/zero would load a record of zeros. Neither is read; the
// defaults stay, and the next save puts a real file in place.
TEST_F(SettingsFile, NamedPipeOrDeviceIsNotRead) {
  ASSERT_EQ(mkfifo(path_.c_str(), 0600), 0);
  alarm(60);  // a load that waits for a writer ends the test run with a clear signal
  FreePictureList();
  SetDefaultSettings();
  EXPECT_EQ(LoadSettings(), 1);
  alarm(0);
  EXPECT_EQ(settings.tilesAcross, 15);
  settings.tilesAcross = 21;
  // Nor written: the pipe is not a file the program made.
  EXPECT_EQ(SaveSettings(), 1);
  EXPECT_TRUE(std::filesystem::is_fifo(path_));

  const std::string device = dir_.File("device");
  std::filesystem::create_directory(device);
  ASSERT_EQ(symlink("/dev/zero", (device + "/Quillane.dat").c_str()), 0);
  setenv("XDG_CONFIG_HOME", device.c_str(), 1);
  alarm(60);
  EXPECT_EQ(LoadSettings(), 1);
  alarm(0);
  EXPECT_EQ(settings.tilesAcross, 21);
}

// Loads and saves a good file with a three-entry list and returns the bytes of the save.
Bytes SaveGoodFile(const std::string& path) {
  Bytes file =
      samples::SettingsFile("/pictures/start.jpg", 900,
                            samples::PictureListSlots({"/one.jpg", "/two.jpg", "/three.avi"}));
  file[540] = 44;  // tilesAcross
  EXPECT_TRUE(samples::WriteBytes(path, file));
  FreePictureList();
  settings.pictureListLength = 0;
  EXPECT_EQ(LoadSettings(), 0);
  EXPECT_EQ(SaveSettings(), 0);
  const Bytes saved = samples::ReadBytes(path);
  EXPECT_EQ(saved.size(), 564u + 900u);
  return saved;
}

// A full disk (here: a file size limit, which binds root too) stops the save part-way; the
// previous file must survive whole.
TEST_F(SettingsFile, SaveCutShortLeavesThePreviousFileIntact) {
  SetDefaultSettings();
  const Bytes saved = SaveGoodFile(path_);
  settings.tilesAcross = 55;

  rlimit old{};
  getrlimit(RLIMIT_FSIZE, &old);
  rlimit small = old;
  small.rlim_cur = 700;
  sighandler_t oldHandler = signal(SIGXFSZ, SIG_IGN);
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  const int result = SaveSettings();
  setrlimit(RLIMIT_FSIZE, &old);
  signal(SIGXFSZ, oldHandler);

  EXPECT_EQ(result, 1) << "a save cut short reported success";
  EXPECT_EQ(samples::ReadBytes(path_), saved) << "the previous settings file was damaged";
  for (const auto& entry : std::filesystem::directory_iterator(dir_.Path())) {
    EXPECT_EQ(entry.path().filename(), "Quillane.dat") << "left behind: " << entry.path();
  }
  FreePictureList();
  settings.pictureListLength = 0;
  EXPECT_EQ(LoadSettings(), 0);
  EXPECT_EQ(settings.tilesAcross, 44);
  EXPECT_EQ(PictureListCount(), 3);
}

TEST_F(SettingsFile, UnwritableFolderFailsTheSaveAndKeepsTheFile) {
  if (geteuid() == 0) GTEST_SKIP() << "root writes into any folder";
  SetDefaultSettings();
  const Bytes saved = SaveGoodFile(path_);
  settings.tilesAcross = 55;
  ASSERT_EQ(chmod(dir_.Path().c_str(), 0500), 0);
  const int result = SaveSettings();
  chmod(dir_.Path().c_str(), 0700);
  EXPECT_EQ(result, 1);
  EXPECT_EQ(samples::ReadBytes(path_), saved);
}

// Root cannot be kept out of a folder by its mode, but not even root can write into a
// "folder" that is a plain file, or replace a settings "file" that is a folder.
TEST_F(SettingsFile, ConfigurationFolderThatIsAFileFailsBothWays) {
  const std::string notAFolder = dir_.File("config");
  ASSERT_TRUE(samples::WriteBytes(notAFolder, {'x'}));
  setenv("XDG_CONFIG_HOME", notAFolder.c_str(), 1);
  SetDefaultSettings();
  EXPECT_EQ(settings.tilesAcross, 15);
  EXPECT_EQ(LoadSettings(), 1);
  EXPECT_EQ(SaveSettings(), 1);
  EXPECT_EQ(samples::ReadBytes(notAFolder), Bytes{'x'});

  setenv("XDG_CONFIG_HOME", dir_.Path().c_str(), 1);
  std::filesystem::create_directory(path_);
  std::filesystem::create_directory(path_ + "/inside");
  EXPECT_EQ(LoadSettings(), 1);
  EXPECT_EQ(SaveSettings(), 1);
  EXPECT_TRUE(std::filesystem::is_directory(path_ + "/inside"));
}

}  // namespace

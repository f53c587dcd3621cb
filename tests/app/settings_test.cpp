// SPDX-FileCopyrightText: The Quillane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/settings.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "base/paths.h"
#include "support/test_support.h"

namespace {

using Bytes = std::vector<uint8_t>;

Bytes ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteFile(const std::string& path, const Bytes& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
}

void PutInt(Bytes& bytes, size_t offset, int32_t value) {
  if (bytes.size() < offset + 4) bytes.resize(offset + 4, 0);
  const uint32_t v = static_cast<uint32_t>(value);
  for (int i = 0; i < 4; ++i) bytes[offset + i] = static_cast<uint8_t>(v >> (8 * i));
}

int32_t GetInt(const Bytes& bytes, size_t offset) {
  uint32_t v = 0;
  for (int i = 0; i < 4; ++i) v |= static_cast<uint32_t>(bytes[offset + i]) << (8 * i);
  return static_cast<int32_t>(v);
}

// Replaces the in-memory list by these paths, as the picture list does.
void SetList(const std::vector<std::string>& paths) {
  FreePictureList();
  settings.pictureListLength = static_cast<int32_t>(paths.size() * kPictureListEntrySize);
  if (paths.empty()) return;
  settings.pictureList =
      static_cast<PictureListEntry*>(calloc(paths.size(), kPictureListEntrySize));
  for (size_t i = 0; i < paths.size(); ++i) {
    std::strncpy(settings.pictureList[i].path, paths[i].c_str(), kPictureListEntrySize - 1);
  }
}

class EnvironmentVariable {
 public:
  explicit EnvironmentVariable(const char* name) : name_(name) {
    if (const char* value = getenv(name)) saved_ = value;
  }
  ~EnvironmentVariable() {
    if (saved_)
      setenv(name_, saved_->c_str(), 1);
    else
      unsetenv(name_);
  }

 private:
  const char* name_;
  std::optional<std::string> saved_;
};

class SettingsFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("XDG_CONFIG_HOME", folder_.Path().c_str(), 1);
    SetExecutableFolder("/opt/quillane");
    FreePictureList();
    settings = Settings{};
  }
  void TearDown() override {
    FreePictureList();
    SetExecutableFolder("");
  }
  std::string FilePath() const { return folder_.File("Quillane.dat"); }

  // A valid file of the given list entries, written by the program itself.
  Bytes SavedFile(int effect, const std::vector<std::string>& list) {
    SetDefaultSettings();
    settings.effect = effect;
    SetList(list);
    EXPECT_EQ(SaveSettings(), 0);
    FreePictureList();
    return ReadFile(FilePath());
  }

  EnvironmentVariable savedConfig_{"XDG_CONFIG_HOME"};
  EnvironmentVariable savedHome_{"HOME"};
  ScratchFolder folder_;
};

}  // namespace

TEST_F(SettingsFileTest, FirstRunGivesTheDefaultsAndTheExamplePicture) {
  SetDefaultSettings();
  EXPECT_EQ(settings.effect, 0);
  EXPECT_STREQ(settings.startPicture, "/opt/quillane/Example Picture.jpg");
  EXPECT_EQ(settings.lockAspectRatio, 1);
  EXPECT_EQ(settings.sourceWidth, 0);
  EXPECT_EQ(settings.outputHeight, 0);
  EXPECT_EQ(settings.widthPercent, 100.0f);
  EXPECT_EQ(settings.heightPercent, 100.0f);
  EXPECT_EQ(settings.useYourPictureList, 1);
  EXPECT_EQ(settings.usePictureLibrary, 1);
  EXPECT_EQ(settings.tilesAcross, 15);
  EXPECT_EQ(settings.autoSizeTilesDown, 1);
  EXPECT_EQ(settings.tilesDown, 15);
  EXPECT_EQ(settings.pictureList, nullptr);
  EXPECT_EQ(settings.pictureListLength, 0);
  EXPECT_EQ(LoadSettings(), 1);  // no file yet
  EXPECT_FALSE(std::filesystem::exists(FilePath()));
}

TEST_F(SettingsFileTest, FileLayoutIsByteExact) {
  SetDefaultSettings();
  settings.effect = 3;
  std::strcpy(settings.startPicture, "/home/u/Pictures/cat.jpg");
  settings.sourceWidth = 1024;
  settings.outputHeight = -7;
  settings.widthPercent = 12.5f;
  settings.tilesAcross = 40;
  ASSERT_EQ(SaveSettings(), 0);
  Bytes file = ReadFile(FilePath());
  ASSERT_EQ(file.size(), 564u);
  EXPECT_EQ(GetInt(file, 0), 3);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(&file[4])), "/home/u/Pictures/cat.jpg");
  EXPECT_EQ(file[4 + 24], 0);
  EXPECT_EQ(GetInt(file, 504), 1);
  EXPECT_EQ(GetInt(file, 508), 1024);
  EXPECT_EQ(GetInt(file, 520), -7);
  EXPECT_EQ(GetInt(file, 524), 0x41480000);  // 12.5f
  EXPECT_EQ(GetInt(file, 528), 0x42C80000);  // 100.0f
  EXPECT_EQ(GetInt(file, 540), 40);
  EXPECT_EQ(GetInt(file, 548), 15);
  EXPECT_EQ(GetInt(file, 552), 0);
  EXPECT_EQ(GetInt(file, 556), 0);
  EXPECT_EQ(GetInt(file, 560), 0);

  SetList({"/a/one.jpg", "/b/two.avi", "/c/three.png"});
  ASSERT_EQ(SaveSettings(), 0);
  file = ReadFile(FilePath());
  ASSERT_EQ(file.size(), 564u + 3 * 300);
  EXPECT_EQ(GetInt(file, 552), 0);
  EXPECT_EQ(GetInt(file, 556), 900);
  EXPECT_EQ(GetInt(file, 560), 900);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(&file[564 + 300])), "/b/two.avi");
  // Bytes after each path are zero.
  for (size_t i = 564 + 300 + 10; i < 564 + 600; ++i) ASSERT_EQ(file[i], 0) << i;
  // No temporary file is left beside it.
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder_.Path()),
                          std::filesystem::directory_iterator()),
            1);
}

TEST_F(SettingsFileTest, SaveLoadSaveRoundTripsByteForByte) {
  SetDefaultSettings();
  settings.effect = 4;
  settings.lockAspectRatio = 0;
  settings.outputWidth = 333;
  settings.heightPercent = 0.1f;
  settings.usePictureLibrary = 0;
  settings.tilesDown = 21;
  SetList({"/x/y.jpg", std::string(299, 'q')});
  ASSERT_EQ(SaveSettings(), 0);
  const Bytes first = ReadFile(FilePath());

  FreePictureList();
  settings = Settings{};
  EXPECT_EQ(LoadSettings(), 0);
  EXPECT_EQ(settings.effect, 4);
  EXPECT_EQ(settings.lockAspectRatio, 0);
  EXPECT_EQ(settings.outputWidth, 333);
  EXPECT_EQ(settings.heightPercent, 0.1f);
  EXPECT_EQ(settings.tilesDown, 21);
  ASSERT_EQ(PictureListCount(), 2);
  EXPECT_STREQ(settings.pictureList[0].path, "/x/y.jpg");
  EXPECT_EQ(std::strlen(settings.pictureList[1].path), 299u);

  std::filesystem::remove(FilePath());
  ASSERT_EQ(SaveSettings(), 0);
  EXPECT_EQ(ReadFile(FilePath()), first);
}

TEST_F(SettingsFileTest, ShortFileReplacesOnlyTheBytesItHolds) {
  // Effect 2 and the first two bytes of a path; part of a field counts too.
  WriteFile(FilePath(), Bytes{2, 0, 0, 0, '/', 'p'});
  SetDefaultSettings();
  EXPECT_EQ(settings.effect, 2);
  EXPECT_STREQ(settings.startPicture, "/p");  // not empty, so not the example picture
  EXPECT_EQ(settings.tilesAcross, 15);
  EXPECT_EQ(settings.widthPercent, 100.0f);
  EXPECT_EQ(settings.pictureList, nullptr);
  EXPECT_EQ(settings.pictureListLength, 0);
  EXPECT_EQ(LoadSettings(), 1);

  // Two bytes of tilesAcross: the low bytes change, the high bytes stay those of 15.
  Bytes partial = SavedFile(0, {});
  partial.resize(542);
  partial[540] = 0x2C;
  partial[541] = 0x01;
  WriteFile(FilePath(), partial);
  SetDefaultSettings();
  EXPECT_EQ(settings.tilesAcross, 300);
  EXPECT_EQ(settings.tilesDown, 15);

  // The whole record but no list length: the list stays empty.
  Bytes noLength = SavedFile(5, {});
  noLength.resize(562);
  WriteFile(FilePath(), noLength);
  settings.effect = 0;
  EXPECT_EQ(LoadSettings(), 1);
  EXPECT_EQ(settings.effect, 5);
  EXPECT_EQ(settings.pictureListLength, 0);
}

TEST_F(SettingsFileTest, StoredAddressAndInnerLengthAreIgnored) {
  Bytes file = SavedFile(1, {"/only/one.jpg"});
  PutInt(file, 552, static_cast<int32_t>(0xDEADBEEF));
  PutInt(file, 556, 900);
  WriteFile(FilePath(), file);
  EXPECT_EQ(LoadSettings(), 0);
  EXPECT_EQ(settings.pictureListLength, 300);
  EXPECT_STREQ(settings.pictureList[0].path, "/only/one.jpg");

  PutInt(file, 556, 0);
  PutInt(file, 552, 0);
  WriteFile(FilePath(), file);
  EXPECT_EQ(LoadSettings(), 0);
  EXPECT_EQ(PictureListCount(), 1);

  // A list length of 0 at 560 wins over a non-zero one inside the record.
  file.resize(564);
  PutInt(file, 556, 300);
  PutInt(file, 560, 0);
  WriteFile(FilePath(), file);
  EXPECT_EQ(LoadSettings(), 0);
  EXPECT_EQ(settings.pictureList, nullptr);
  EXPECT_EQ(settings.pictureListLength, 0);
}

TEST_F(SettingsFileTest, ShortListKeepsItsAnnouncedLength) {
  Bytes file = SavedFile(0, {"/first.jpg", "/second.jpg"});
  PutInt(file, 560, 1200);  // four slots announced, two present
  WriteFile(FilePath(), file);
  EXPECT_EQ(LoadSettings(), 1);
  ASSERT_EQ(settings.pictureListLength, 1200);
  ASSERT_NE(settings.pictureList, nullptr);
  EXPECT_STREQ(settings.pictureList[0].path, "/first.jpg");
  EXPECT_STREQ(settings.pictureList[1].path, "/second.jpg");
  EXPECT_STREQ(settings.pictureList[2].path, "");
  EXPECT_STREQ(settings.pictureList[3].path, "");
}

TEST_F(SettingsFileTest, EffectOutOfRangeIsKept) {
  Bytes file = SavedFile(0, {});
  PutInt(file, 0, 9);
  WriteFile(FilePath(), file);
  SetDefaultSettings();
  EXPECT_EQ(settings.effect, 9);
  PutInt(file, 0, -1);
  WriteFile(FilePath(), file);
  SetDefaultSettings();
  EXPECT_EQ(settings.effect, -1);
}

TEST_F(SettingsFileTest, ConfigurationFolderChoice) {
  setenv("XDG_CONFIG_HOME", (folder_.Path() + "/").c_str(), 1);
  EXPECT_EQ(SettingsFilePath(), folder_.Path() + "/Quillane.dat");
  setenv("XDG_CONFIG_HOME", folder_.Path().c_str(), 1);
  EXPECT_EQ(SettingsFilePath(), folder_.Path() + "/Quillane.dat");

  // Without XDG_CONFIG_HOME: ~/.config, made on the first save.
  unsetenv("XDG_CONFIG_HOME");
  setenv("HOME", (folder_.Path() + "/").c_str(), 1);
  EXPECT_EQ(SettingsFilePath(), folder_.Path() + "/.config/Quillane.dat");
  SetDefaultSettings();
  settings.tilesAcross = 77;
  EXPECT_EQ(SaveSettings(), 0);
  EXPECT_EQ(ReadFile(folder_.Path() + "/.config/Quillane.dat").size(), 564u);
  settings.tilesAcross = 0;
  EXPECT_EQ(LoadSettings(), 0);
  EXPECT_EQ(settings.tilesAcross, 77);

  // No folder at all: nothing is read or written, and both report success.
  unsetenv("HOME");
  EXPECT_EQ(SettingsFilePath(), "");
  settings.tilesAcross = 5;
  EXPECT_EQ(LoadSettings(), 0);
  EXPECT_EQ(settings.tilesAcross, 5);
  EXPECT_EQ(SaveSettings(), 0);
}

TEST_F(SettingsFileTest, DamagedListLengthsGiveAnEmptyList) {
  const Bytes good = SavedFile(2, {"/a.jpg", "/b.jpg"});
  for (int32_t length : {-300, -1, 301, 599, 300 * 100001, INT32_MAX, INT32_MIN}) {
    Bytes file = good;
    PutInt(file, 560, length);
    WriteFile(FilePath(), file);
    EXPECT_EQ(LoadSettings(), 1) << length;
    EXPECT_EQ(settings.effect, 2);
    EXPECT_EQ(settings.pictureList, nullptr) << length;
    EXPECT_EQ(settings.pictureListLength, 0) << length;
    EXPECT_EQ(PictureListCount(), 0);
  }
}

TEST_F(SettingsFileTest, FailedSaveKeepsThePreviousFile) {
  const Bytes previous = SavedFile(3, {"/keep/me.jpg"});
  ASSERT_EQ(previous.size(), 864u);

  // The file system refuses to write more than a few bytes: the save fails midway.
  settings.effect = 1;
  SetList({"/new.jpg", "/newer.jpg"});
  struct rlimit saved;
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
  struct sigaction ignore = {}, before = {};
  ignore.sa_handler = SIG_IGN;
  sigaction(SIGXFSZ, &ignore, &before);
  struct rlimit tight = saved;
  tight.rlim_cur = 100;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &tight), 0);
  const int result = SaveSettings();
  setrlimit(RLIMIT_FSIZE, &saved);
  sigaction(SIGXFSZ, &before, nullptr);
  EXPECT_EQ(result, 1);
  EXPECT_EQ(ReadFile(FilePath()), previous);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder_.Path()),
                          std::filesystem::directory_iterator()),
            1);

  // A folder the program may not write into (meaningless for the superuser, who may).
  if (geteuid() != 0) {
    chmod(folder_.Path().c_str(), 0555);
    EXPECT_EQ(SaveSettings(), 1);
    chmod(folder_.Path().c_str(), 0755);
    EXPECT_EQ(ReadFile(FilePath()), previous);
  }

  // A configuration "folder" that is a file: nothing can be saved, and nothing crashes.
  const std::string notAFolder = folder_.File("plain");
  WriteFile(notAFolder, Bytes{1});
  setenv("XDG_CONFIG_HOME", notAFolder.c_str(), 1);
  EXPECT_EQ(SaveSettings(), 1);
  EXPECT_EQ(LoadSettings(), 1);
}

// SPDX-FileCopyrightText: The Quillane developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The longest picture list the program takes: a list of that length survives a save and a
// load, and a settings file with a longer one is not loaded but kept aside, so that the next
// save cannot replace the list with an empty one.

#include <stdlib.h>

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>

#include "app/settings.h"
#include "support/sample_files.h"
#include "support/test_support.h"

namespace {

// A settings file with `entries` list slots, the first and last of them named.
Bytes FileWithList(int32_t entries) {
  Bytes list(static_cast<size_t>(entries) * kPictureListEntrySize, 0);
  std::memcpy(list.data(), "/first.jpg", 10);
  std::memcpy(list.data() + list.size() - kPictureListEntrySize, "/last.avi", 9);
  Bytes file =
      samples::SettingsFile("/pictures/start.jpg", static_cast<int32_t>(list.size()), list);
  file[540] = 33;  // tilesAcross
  return file;
}

TEST(PictureListLimit, LongestListLoadsAndALongerOneIsKeptAside) {
  ScratchFolder dir;
  setenv("XDG_CONFIG_HOME", dir.Path().c_str(), 1);
  const std::string path = SettingsFilePath();
  const std::string aside = path + ".bad";

  for (const int32_t entries : {kMaxPictureListEntries, kMaxPictureListEntries + 1}) {
    SCOPED_TRACE(entries);
    const Bytes file = FileWithList(entries);
    ASSERT_TRUE(samples::WriteBytes(path, file));
    std::filesystem::remove(aside);
    FreePictureList();
    const int loaded = LoadSettings();
    EXPECT_EQ(settings.tilesAcross, 33);
    EXPECT_STREQ(settings.startPicture, "/pictures/start.jpg");
    if (entries <= kMaxPictureListEntries) {
      EXPECT_EQ(loaded, 0);
      ASSERT_EQ(PictureListCount(), entries);
      EXPECT_STREQ(settings.pictureList[entries - 1].path, "/last.avi");
      EXPECT_FALSE(std::filesystem::exists(aside));
      // What the program saves, it loads again.
      ASSERT_EQ(SaveSettings(), 0);
      EXPECT_EQ(samples::ReadBytes(path), file);
    } else {
      EXPECT_EQ(loaded, 1);
      EXPECT_EQ(PictureListCount(), 0);
      EXPECT_EQ(samples::ReadBytes(aside), file) << "the longer list is not kept";
      // Exit saves the settings with the empty list; the kept file stays as it was.
      ASSERT_EQ(SaveSettings(), 0);
      EXPECT_EQ(samples::ReadBytes(aside), file);
    }
  }
  FreePictureList();
  settings.pictureListLength = 0;
  unsetenv("XDG_CONFIG_HOME");
}

}  // namespace

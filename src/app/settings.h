// SPDX-FileCopyrightText: The Quillane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

// The Settings record: every choice of the main window, kept between runs in "Quillane.dat".
// The file holds the 560-byte record (little-endian, the layout below), a 4-byte list length L
// and L bytes of picture list: 300-byte slots, each a NUL-terminated path.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "base/paths.h"

constexpr size_t kSettingsRecordSize = 560;

// The most entries the picture list takes: a settings file with more is not loaded, and 'Add'
// and dropping stop there, so that a list the program saves always loads again.
constexpr int32_t kMaxPictureListEntries = 100000;

struct PictureListEntry {
  char path[kPictureListEntrySize];
};
static_assert(sizeof(PictureListEntry) == kPictureListEntrySize);

struct Settings {
  int32_t effect;                        // offset 0: EffectKind
  char startPicture[kStartPictureSize];  // 4: full path, NUL-terminated, empty when none
  int32_t lockAspectRatio;               // 504
  int32_t sourceWidth;                   // 508
  int32_t sourceHeight;                  // 512
  int32_t outputWidth;                   // 516
  int32_t outputHeight;                  // 520
  float widthPercent;                    // 524
  float heightPercent;                   // 528
  int32_t useYourPictureList;            // 532
  int32_t usePictureLibrary;             // 536
  int32_t tilesAcross;                   // 540
  int32_t autoSizeTilesDown;             // 544
  int32_t tilesDown;                     // 548
  PictureListEntry* pictureList;         // 552 in the file (written as 0): the list, or null
  int32_t pictureListLength;             // 556: byte length of the list, a multiple of 300
};

extern Settings settings;

// Defaults, then the settings file, then the example picture when no start picture is set.
void SetDefaultSettings();
// 0 on success, 1 on failure (the defaults or what could be read stay). A file whose list is
// longer than kMaxPictureListEntries is renamed with the ending ".bad", so that the next save
// does not overwrite the list that could not be loaded.
int LoadSettings();
// Writes the record and the list; a failed save leaves the previous file intact. 0 or 1.
int SaveSettings();
// The same in two steps, so that the file can be written away from the thread that changes the
// record: the file's bytes for `record`, and writing them as the settings file.
std::vector<uint8_t> EncodeSettingsFile(const Settings& record);
int WriteSettingsFile(const std::vector<uint8_t>& bytes);
// Releases the list block and sets pictureList to null; the length is not changed.
void FreePictureList();

// Number of entries in the picture list of a record, and of the program's.
inline int32_t PictureListCount(const Settings& record) {
  return record.pictureList ? record.pictureListLength / static_cast<int32_t>(kPictureListEntrySize)
                            : 0;
}
inline int32_t PictureListCount() {
  return PictureListCount(settings);
}

// The record in its file form, and back. Decoding reads the first `size` bytes over the record
// (a short file keeps the rest); the list fields are left alone.
void EncodeSettingsRecord(const Settings& record, uint8_t out[kSettingsRecordSize]);
void DecodeSettingsRecord(const uint8_t* in, size_t size, Settings* record);

// Full path of the settings file: $XDG_CONFIG_HOME, else ~/.config, plus "Quillane.dat";
// empty when there is no configuration folder.
std::string SettingsFilePath();

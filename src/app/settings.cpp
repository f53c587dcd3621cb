// SPDX-FileCopyrightText: The Quillane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/settings.h"

#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <vector>

#include "base/paths.h"
#include "imaging/file_replacing.h"

Settings settings;

namespace {

constexpr char kSettingsFileName[] = "Quillane.dat";
constexpr size_t kListLengthOffset = kSettingsRecordSize;  // 560
constexpr size_t kListOffset = kSettingsRecordSize + 4;    // 564
constexpr int64_t kMaxPictureListBytes = int64_t{kPictureListEntrySize} * kMaxPictureListEntries;

void PutInt32(uint8_t* out, int32_t value) {
  const uint32_t v = static_cast<uint32_t>(value);
  out[0] = static_cast<uint8_t>(v);
  out[1] = static_cast<uint8_t>(v >> 8);
  out[2] = static_cast<uint8_t>(v >> 16);
  out[3] = static_cast<uint8_t>(v >> 24);
}

int32_t GetInt32(const uint8_t* in) {
  const uint32_t v = static_cast<uint32_t>(in[0]) | (static_cast<uint32_t>(in[1]) << 8) |
                     (static_cast<uint32_t>(in[2]) << 16) | (static_cast<uint32_t>(in[3]) << 24);
  return static_cast<int32_t>(v);
}

void PutFloat(uint8_t* out, float value) {
  uint32_t bits;
  std::memcpy(&bits, &value, 4);
  PutInt32(out, static_cast<int32_t>(bits));
}

float GetFloat(const uint8_t* in) {
  const uint32_t bits = static_cast<uint32_t>(GetInt32(in));
  float value;
  std::memcpy(&value, &bits, 4);
  return value;
}

void SetRecordDefaults(Settings* s) {
  s->effect = 0;
  std::memset(s->startPicture, 0, sizeof s->startPicture);
  s->lockAspectRatio = 1;
  s->sourceWidth = 0;
  s->sourceHeight = 0;
  s->outputWidth = 0;
  s->outputHeight = 0;
  s->widthPercent = 100.0f;
  s->heightPercent = 100.0f;
  s->useYourPictureList = 1;
  s->usePictureLibrary = 1;
  s->tilesAcross = 15;
  s->autoSizeTilesDown = 1;
  s->tilesDown = 15;
  s->pictureList = nullptr;
  s->pictureListLength = 0;
}

// The length that is written: an in-memory list without a block has nothing to write.
int32_t WrittenListLength(const Settings& s) {
  return (s.pictureList != nullptr && s.pictureListLength > 0) ? s.pictureListLength : 0;
}

}  // namespace

void EncodeSettingsRecord(const Settings& record, uint8_t out[kSettingsRecordSize]) {
  PutInt32(out + 0, record.effect);
  std::memcpy(out + 4, record.startPicture, kStartPictureSize);
  PutInt32(out + 504, record.lockAspectRatio);
  PutInt32(out + 508, record.sourceWidth);
  PutInt32(out + 512, record.sourceHeight);
  PutInt32(out + 516, record.outputWidth);
  PutInt32(out + 520, record.outputHeight);
  PutFloat(out + 524, record.widthPercent);
  PutFloat(out + 528, record.heightPercent);
  PutInt32(out + 532, record.useYourPictureList);
  PutInt32(out + 536, record.usePictureLibrary);
  PutInt32(out + 540, record.tilesAcross);
  PutInt32(out + 544, record.autoSizeTilesDown);
  PutInt32(out + 548, record.tilesDown);
  PutInt32(out + 552, 0);  // the list's address means nothing outside this run
  PutInt32(out + 556, WrittenListLength(record));
}

void DecodeSettingsRecord(const uint8_t* in, size_t size, Settings* record) {
  // A short file replaces only the leading bytes, even part of a field, as if it had been read
  // straight over the record: merge it over the record's own bytes first.
  uint8_t bytes[kSettingsRecordSize];
  EncodeSettingsRecord(*record, bytes);
  std::memcpy(bytes, in, size < kSettingsRecordSize ? size : kSettingsRecordSize);
  record->effect = GetInt32(bytes + 0);
  std::memcpy(record->startPicture, bytes + 4, kStartPictureSize);
  record->lockAspectRatio = GetInt32(bytes + 504);
  record->sourceWidth = GetInt32(bytes + 508);
  record->sourceHeight = GetInt32(bytes + 512);
  record->outputWidth = GetInt32(bytes + 516);
  record->outputHeight = GetInt32(bytes + 520);
  record->widthPercent = GetFloat(bytes + 524);
  record->heightPercent = GetFloat(bytes + 528);
  record->useYourPictureList = GetInt32(bytes + 532);
  record->usePictureLibrary = GetInt32(bytes + 536);
  record->tilesAcross = GetInt32(bytes + 540);
  record->autoSizeTilesDown = GetInt32(bytes + 544);
  record->tilesDown = GetInt32(bytes + 548);
}

std::string SettingsFilePath() {
  std::string folder;
  const char* config = getenv("XDG_CONFIG_HOME");
  const char* home = getenv("HOME");
  if (config != nullptr && config[0] != '\0') {
    folder = config;
  } else if (home != nullptr && home[0] != '\0') {
    folder = home;
    if (folder.back() != '/') folder += '/';
    folder += ".config";
  } else {
    return std::string();
  }
  if (folder.back() != '/') folder += '/';
  return folder + kSettingsFileName;
}

void FreePictureList() {
  free(settings.pictureList);
  settings.pictureList = nullptr;
}

void SetDefaultSettings() {
  FreePictureList();
  SetRecordDefaults(&settings);
  LoadSettings();
  if (settings.startPicture[0] == '\0') {
    snprintf(settings.startPicture, sizeof settings.startPicture, "%s",
             ExamplePicturePath().c_str());
  }
}

int LoadSettings() {
  const std::string path = SettingsFilePath();
  if (path.empty()) return 0;
  // Only a regular file is read: opening a named pipe would wait for a writer, and a device
  // such as /dev/zero would fill the record with whatever it produces.
  const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return 1;
  struct stat info {};
  FILE* file = fstat(fd, &info) == 0 && S_ISREG(info.st_mode) ? fdopen(fd, "rb") : nullptr;
  if (file == nullptr) {
    close(fd);
    return 1;
  }
  FreePictureList();

  int result = 0;
  bool keepAside = false;
  uint8_t record[kSettingsRecordSize];
  uint8_t lengthBytes[4];
  const size_t got = fread(record, 1, sizeof record, file);
  DecodeSettingsRecord(record, got, &settings);
  // A damaged file may fill the whole path field; everything that uses the path reads it as a
  // NUL-terminated string, so it is cut at 499 characters like an unterminated list slot.
  settings.startPicture[kStartPictureSize - 1] = '\0';
  settings.pictureList = nullptr;
  settings.pictureListLength = 0;
  if (got < sizeof record) {
    result = 1;
  } else if (fread(lengthBytes, 1, 4, file) < 4) {
    result = 1;
  } else {
    const int32_t length = GetInt32(lengthBytes);
    if (length < 0 || length % static_cast<int32_t>(kPictureListEntrySize) != 0) {
      // A damaged length: the list is dropped rather than trusted.
      result = 1;
    } else if (length > kMaxPictureListBytes) {
      result = 1;
      keepAside = true;
    } else if (length > 0) {
      auto* block = static_cast<PictureListEntry*>(calloc(static_cast<size_t>(length), 1));
      if (block == nullptr) {
        result = 1;
      } else {
        settings.pictureList = block;
        settings.pictureListLength = length;
        // Slots the file does not cover stay empty paths; the list keeps its length.
        if (fread(block, 1, static_cast<size_t>(length), file) < static_cast<size_t>(length)) {
          result = 1;
        }
        // Every path must end inside its slot, whatever the file held.
        const int32_t count = length / static_cast<int32_t>(kPictureListEntrySize);
        for (int32_t i = 0; i < count; ++i) block[i].path[kPictureListEntrySize - 1] = '\0';
      }
    }
  }
  fclose(file);
  if (keepAside) {
    // The list may be real, grown by hand or by an older version: it stays on disk for the user
    // instead of being replaced by the empty list of the next save.
    rename(path.c_str(), (path + ".bad").c_str());
  }
  return result;
}

std::vector<uint8_t> EncodeSettingsFile(const Settings& record) {
  uint8_t head[kListOffset];
  EncodeSettingsRecord(record, head);
  const int32_t length = WrittenListLength(record);
  PutInt32(head + kListLengthOffset, length);
  std::vector<uint8_t> bytes(sizeof head + static_cast<size_t>(length));
  std::memcpy(bytes.data(), head, sizeof head);
  if (length > 0) {
    std::memcpy(bytes.data() + sizeof head, record.pictureList, static_cast<size_t>(length));
  }
  return bytes;
}

int WriteSettingsFile(const std::vector<uint8_t>& bytes) {
  const std::string path = SettingsFilePath();
  if (path.empty()) return 0;
  const std::string folder = path.substr(0, path.rfind('/') + 1);
  std::error_code ec;
  std::filesystem::create_directories(folder, ec);
  // Written as every file of the program is: a failed save leaves the old settings, a link is
  // written through, and what is not a regular file is never replaced.
  return ReplaceFileWith(path, bytes.data(), bytes.size()) ? 0 : 1;
}

int SaveSettings() {
  return WriteSettingsFile(EncodeSettingsFile(settings));
}

// SPDX-FileCopyrightText: The Quillane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "support/input_checks.h"

#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <vector>

#include "app/settings.h"
#include "imaging/imaging.h"
#include "imaging/resource_limits.h"

namespace inputcheck {
namespace {

// The most list memory a settings file may make the program take: 100000 entries.
constexpr int32_t kMaxListBytesFromAFile = 100000 * static_cast<int32_t>(kPictureListEntrySize);

bool WriteFile(const std::string& path, const uint8_t* data, size_t size) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (f == nullptr) return false;
  const bool ok = size == 0 || std::fwrite(data, 1, size, f) == size;
  return std::fclose(f) == 0 && ok;
}

constexpr const char* kExtensions[kPictureExtensionCount] = {
    ".msp", ".msp", ".msp", ".msp", ".mac", ".jpg", ".png", ".bmp",
    ".tga", ".tif", ".pcx", ".psd", ".ras", ".pct", ".wmf", ".pcd"};

}  // namespace

std::string CheckBitmap(const ImgBitmap& bitmap, const char* what) {
  const std::string w = what;
  if (!bitmap.hasImage) return w + ": success without an image";
  if (bitmap.width <= 0 || bitmap.height <= 0) return w + ": success with an empty size";
  if (bitmap.width > kMaxPictureSide || bitmap.height > kMaxPictureSide ||
      static_cast<int64_t>(bitmap.width) * bitmap.height > kMaxPicturePixels) {
    return w + ": a picture beyond the size limits";
  }
  if (!bitmap.dib) return w + ": success without a pixel block";
  const int64_t need = kDibHeaderSize + static_cast<int64_t>(bitmap.Stride()) * bitmap.height;
  if (static_cast<int64_t>(bitmap.dib.Size()) < need) return w + ": pixel block too small";
  const BitmapInfoHeader* h = bitmap.dib.Header();
  if (h->biWidth != bitmap.width || h->biHeight != bitmap.height || h->biBitCount != 24) {
    return w + ": header disagrees with the bitmap";
  }
  volatile uint32_t sum = 0;
  for (int32_t y = 0; y < bitmap.height; ++y) {
    const uint8_t* row = bitmap.Row(y);
    uint32_t s = 0;
    for (int32_t i = 0; i < bitmap.width * 3; ++i) s += row[i];
    sum = sum + s;
  }
  return {};
}

const std::string& ScratchFolder() {
  static const std::string folder = [] {
    const char* tmp = std::getenv("TMPDIR");
    std::string templ = std::string(tmp && *tmp ? tmp : "/tmp") + "/quillane-input-XXXXXX";
    if (mkdtemp(templ.data()) == nullptr) {
      std::perror("mkdtemp");
      std::abort();
    }
    setenv("XDG_CONFIG_HOME", templ.c_str(), 1);
    static std::string removeAtExit;
    removeAtExit = templ;
    std::atexit([] {
      std::error_code ec;
      std::filesystem::remove_all(removeAtExit, ec);
    });
    return templ;
  }();
  return folder;
}

std::string CheckSettingsBytes(const uint8_t* data, size_t size) {
  const std::string& folder = ScratchFolder();
  setenv("XDG_CONFIG_HOME", folder.c_str(), 1);
  const std::string path = SettingsFilePath();
  if (path.empty()) return "no settings file path inside the configuration folder";
  if (!WriteFile(path, data, size)) return "cannot write the settings file under test";

  FreePictureList();
  settings.pictureListLength = 0;
  const int loaded = LoadSettings();
  if (loaded != 0 && loaded != 1) return "LoadSettings returned " + std::to_string(loaded);

  if (strnlen(settings.startPicture, kStartPictureSize) >= kStartPictureSize) {
    return "start picture path without a terminator";
  }
  const int32_t length = settings.pictureListLength;
  if (settings.pictureList == nullptr) {
    if (length != 0) return "no list block but a list length of " + std::to_string(length);
  } else {
    if (length <= 0 || length % static_cast<int32_t>(kPictureListEntrySize) != 0) {
      return "list block with a length of " + std::to_string(length);
    }
    // Whatever length the file announces, the block it makes the program allocate stays
    // bounded (a 564-byte file must not cost gigabytes).
    if (length > kMaxListBytesFromAFile) {
      return "list of " + std::to_string(length) + " bytes from a file of " + std::to_string(size);
    }
    for (int32_t i = 0; i < PictureListCount(); ++i) {
      const char* slot = settings.pictureList[i].path;
      if (strnlen(slot, kPictureListEntrySize) >= kPictureListEntrySize) {
        return "slot " + std::to_string(i) + " without a terminator";
      }
    }
  }

  // What was loaded must survive a save and a second load unchanged. Lists of megabytes (a
  // file announcing more than it holds) would make every round slow, and add nothing.
  if (length > (1 << 20)) {
    FreePictureList();
    settings.pictureListLength = 0;
    return {};
  }
  uint8_t before[kSettingsRecordSize];
  EncodeSettingsRecord(settings, before);
  std::vector<char> listBefore;
  if (settings.pictureList != nullptr) {
    const char* p = settings.pictureList[0].path;
    listBefore.assign(p, p + length);
  }
  if (SaveSettings() != 0) return "SaveSettings failed in a writable folder";
  FreePictureList();
  settings.pictureListLength = 0;
  if (LoadSettings() != 0) return "a file just saved does not load";
  uint8_t after[kSettingsRecordSize];
  EncodeSettingsRecord(settings, after);
  // Offset 552 holds the in-memory list address, which has no meaning in the file.
  std::memset(before + 552, 0, 4);
  std::memset(after + 552, 0, 4);
  if (std::memcmp(before, after, kSettingsRecordSize) != 0) return "record changed by save+load";
  std::vector<char> listAfter;
  if (settings.pictureList != nullptr) {
    const char* p = settings.pictureList[0].path;
    listAfter.assign(p, p + settings.pictureListLength);
  }
  if (listBefore != listAfter) return "picture list changed by save+load";
  FreePictureList();
  settings.pictureListLength = 0;
  return {};
}

const char* PictureExtension(uint8_t selector) {
  return kExtensions[selector % kPictureExtensionCount];
}

std::string CheckPictureBytes(const uint8_t* data, size_t size) {
  if (size == 0) return {};
  const std::string path = ScratchFolder() + "/picture" + PictureExtension(data[0] & 15);
  if (!WriteFile(path, data + 1, size - 1)) return "cannot write the picture under test";
  const bool hint = (data[0] & 0x10) != 0;

  ImgBitmap bitmap;
  ImgInitHandle(&bitmap, 0, 0, 0);
  const int r = ImgLoadFile(path.c_str(), &bitmap, 0, 1, 0, hint ? 32 : 0, hint ? 24 : 0);
  std::string problem;
  if (r == 1) {
    problem = CheckBitmap(bitmap, "ImgLoadFile");
  } else if (r != 0) {
    problem = "ImgLoadFile returned " + std::to_string(r);
  } else if (bitmap.hasImage) {
    problem = "ImgLoadFile failed but left an image";
  }
  if (bitmap.hasImage) ImgFree(&bitmap);
  return problem;
}

std::string CheckMspSizeBytes(const uint8_t* data, size_t size) {
  if (size < 3) return {};
  const PictureLimits& limits = GetPictureLimits();
  const int64_t sideByPixels = limits.maxPixels / std::max(limits.maxWidth, 1);
  const int64_t sides[] = {1,
                           2,
                           7,
                           8,
                           9,
                           255,
                           limits.maxWidth - 1,
                           limits.maxWidth,
                           limits.maxWidth + 1,
                           limits.maxHeight + 1,
                           sideByPixels,
                           sideByPixels + 1,
                           20000,
                           32768,
                           65535,
                           0};
  constexpr size_t kSides = sizeof sides / sizeof sides[0];
  const int version = (data[0] & 1) + 1;
  const auto width = static_cast<uint16_t>(std::clamp<int64_t>(sides[data[1] % kSides], 0, 65535));
  const auto height = static_cast<uint16_t>(std::clamp<int64_t>(sides[data[2] % kSides], 0, 65535));
  // The header with its checksum right, so that the sizes, not the header check, are tried.
  const uint16_t words[12] = {static_cast<uint16_t>(version == 1 ? 0x6144 : 0x694C),
                              static_cast<uint16_t>(version == 1 ? 0x4D6E : 0x536E),
                              width,
                              height,
                              1,
                              1,
                              1,
                              1,
                              width,
                              height,
                              0,
                              0};
  std::vector<uint8_t> file;
  uint16_t checksum = 0;
  for (uint16_t w : words) {
    file.push_back(static_cast<uint8_t>(w));
    file.push_back(static_cast<uint8_t>(w >> 8));
    checksum ^= w;
  }
  file.push_back(static_cast<uint8_t>(checksum));
  file.push_back(static_cast<uint8_t>(checksum >> 8));
  file.resize(32, 0);
  file.insert(file.end(), data + 3, data + size);
  const std::string path = ScratchFolder() + "/sizes.msp";
  if (!WriteFile(path, file.data(), file.size())) return "cannot write the picture under test";

  ImgBitmap bitmap;
  ImgInitHandle(&bitmap, 0, 0, 0);
  const int r = ImgLoadFile(path.c_str(), &bitmap, 0, 1, 0);
  if (r != 1) return bitmap.hasImage ? "ImgLoadFile failed but left an image" : std::string();
  std::string problem = CheckBitmap(bitmap, "ImgLoadFile");
  if (!WithinPictureLimits(bitmap.width, bitmap.height)) problem = "loaded past the limits";
  // Handing the pixels to ImageMagick is where a picture past its limits ended the process.
  if (problem.empty() && ImgResize(&bitmap, std::max(1, bitmap.width / 3), 3, 2) == 1) {
    problem = CheckBitmap(bitmap, "ImgResize");
  }
  if (bitmap.hasImage) ImgFree(&bitmap);
  return problem;
}

std::string CheckVideoBytes(const uint8_t* data, size_t size) {
  const std::string path = ScratchFolder() + "/video.avi";
  if (!WriteFile(path, data, size)) return "cannot write the video under test";

  VidHandle video;
  VidInitHandle(&video);
  const int opened = VidOpen(path.c_str(), &video, 1);
  if (opened != 1) {
    if (opened != 0) return "VidOpen returned " + std::to_string(opened);
    return {};
  }
  std::string problem;
  if (video.frameCount < 0) problem = "negative frame count";
  if (problem.empty() && video.usableVideo) {
    int reads = 0;
    for (int32_t index = 0; index < video.frameCount && reads < 8; index += 15, ++reads) {
      ImgBitmap frame;
      ImgInitHandle(&frame, 0, 0, 0);
      const int r = VidReadFrame(&video, &frame, index);
      if (r == 1) {
        problem = CheckBitmap(frame, "VidReadFrame");
      } else if (r != 0) {
        problem = "VidReadFrame returned " + std::to_string(r);
      }
      if (frame.hasImage) ImgFree(&frame);
      if (r != 1 || !problem.empty()) break;
    }
  }
  VidClose(&video);
  return problem;
}

}  // namespace inputcheck

// SPDX-FileCopyrightText: The Quillane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "support/media_makers.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>

#include "imaging/imaging.h"

namespace {

std::string Quoted(const std::string& text) {
  std::string quoted = "'";
  for (char c : text) {
    if (c == '\'') {
      quoted += "'\\''";
    } else {
      quoted += c;
    }
  }
  return quoted + "'";
}

bool RunQuietly(const std::string& command) {
  return std::system((command + " >/dev/null 2>&1").c_str()) == 0;
}

uint32_t ReadLe32(const std::vector<char>& data, size_t at) {
  uint32_t value = 0;
  for (int i = 3; i >= 0; --i) value = (value << 8) | static_cast<uint8_t>(data[at + i]);
  return value;
}

// Overwrites the data of video frame `index` (the index-th "00dc" chunk inside the movie list).
bool BlankAviFrame(const std::string& path, int index) {
  std::ifstream in(path, std::ios::binary);
  std::vector<char> data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  in.close();
  const char* movi = nullptr;
  for (size_t i = 0; i + 4 <= data.size(); ++i) {
    if (std::memcmp(data.data() + i, "movi", 4) == 0 && i >= 8 &&
        std::memcmp(data.data() + i - 8, "LIST", 4) == 0) {
      movi = data.data() + i;
      break;
    }
  }
  if (movi == nullptr) return false;
  size_t at = static_cast<size_t>(movi - data.data()) + 4;
  const size_t end = static_cast<size_t>(movi - data.data()) + ReadLe32(data, at - 8);
  int seen = 0;
  while (at + 8 <= std::min(end, data.size())) {
    const uint32_t size = ReadLe32(data, at + 4);
    if (std::memcmp(data.data() + at, "00dc", 4) == 0 && seen++ == index) {
      if (at + 8 + size > data.size()) return false;
      std::fill_n(data.begin() + static_cast<std::ptrdiff_t>(at + 8), size, 0);
      std::ofstream out(path, std::ios::binary | std::ios::trunc);
      out.write(data.data(), static_cast<std::streamsize>(data.size()));
      return static_cast<bool>(out);
    }
    at += 8 + size + (size & 1);
  }
  return false;
}

// A black 24-bit bitmap made straight from a packed bitmap.
bool MakeBitmap(ImgBitmap* bitmap, int width, int height) {
  return ImgFromDib(bitmap, DibHandle::Create24(width, height)) == 1;
}

}  // namespace

bool MakeTestPicture(const std::string& path, int width, int height, TestColour colour) {
  ImgBitmap bitmap;
  if (!MakeBitmap(&bitmap, width, height)) return false;
  for (int y = 0; y < height; ++y) {
    uint8_t* p = bitmap.Row(y);
    for (int x = 0; x < width; ++x, p += 3) {
      p[0] = colour.blue;
      p[1] = colour.green;
      p[2] = colour.red;
    }
  }
  return ImgSaveFile(path.c_str(), bitmap) == 1;
}

TestColour QuarterColour(bool right, bool bottom) {
  if (!right && !bottom) return {255, 0, 0};
  if (right && !bottom) return {0, 255, 0};
  if (!right && bottom) return {0, 0, 255};
  return {255, 255, 255};
}

bool MakeQuarteredPicture(const std::string& path, int width, int height) {
  ImgBitmap bitmap;
  if (!MakeBitmap(&bitmap, width, height)) return false;
  for (int y = 0; y < height; ++y) {
    uint8_t* p = bitmap.Row(y);
    for (int x = 0; x < width; ++x, p += 3) {
      const TestColour c = QuarterColour(x >= width / 2, y >= height / 2);
      p[0] = c.blue;
      p[1] = c.green;
      p[2] = c.red;
    }
  }
  return ImgSaveFile(path.c_str(), bitmap) == 1;
}

TestColour TestFrameColour(int index) {
  // Walks the colour cube in steps that keep neighbouring frames far apart.
  static const uint8_t kLevels[4] = {16, 96, 176, 240};
  const int i = index % 64;
  return {kLevels[i % 4], kLevels[(i / 4 + i) % 4], kLevels[(i / 16 + 2 * i) % 4]};
}

bool MakeTestAvi(const std::string& path, int frames, int width, int height,
                 const std::vector<TestColour>& colours, TestVideoCodec codec,
                 int unreadableFrame) {
  if (frames <= 0 || width <= 0 || height <= 0) return false;
  const std::string raw = path + ".frames.rgb";
  {
    std::ofstream out(raw, std::ios::binary | std::ios::trunc);
    std::vector<char> frame(static_cast<size_t>(width) * height * 3);
    for (int i = 0; i < frames; ++i) {
      const TestColour c =
          colours.empty() ? TestFrameColour(i) : colours[static_cast<size_t>(i) % colours.size()];
      for (size_t p = 0; p < frame.size(); p += 3) {
        frame[p] = static_cast<char>(c.red);
        frame[p + 1] = static_cast<char>(c.green);
        frame[p + 2] = static_cast<char>(c.blue);
      }
      out.write(frame.data(), static_cast<std::streamsize>(frame.size()));
    }
    if (!out) return false;
  }
  std::string encoder;
  switch (codec) {
    case TestVideoCodec::kMotionJpeg:
      encoder = "-c:v mjpeg -q:v 2 -pix_fmt yuvj444p";
      break;
    case TestVideoCodec::kRaw:
      encoder = "-c:v rawvideo -pix_fmt bgr24";
      break;
    case TestVideoCodec::kMpeg4:
      encoder = "-c:v mpeg4 -q:v 2 -g 12 -bf 2 -pix_fmt yuv420p";
      break;
  }
  const std::string command =
      "ffmpeg -nostdin -hide_banner -loglevel error -y -f rawvideo "
      "-pix_fmt rgb24 -s " +
      std::to_string(width) + "x" + std::to_string(height) + " -r 10 -i " + Quoted(raw) + " " +
      encoder + " -f avi " + Quoted(path);
  const bool made = RunQuietly(command);
  std::remove(raw.c_str());
  if (!made) return false;
  if (unreadableFrame >= 0) return BlankAviFrame(path, unreadableFrame);
  return true;
}

bool MakeSoundOnlyAvi(const std::string& path) {
  return RunQuietly(
      "ffmpeg -nostdin -hide_banner -loglevel error -y -f lavfi -i "
      "'sine=frequency=440:duration=0.5' -c:a pcm_s16le -f avi " +
      Quoted(path));
}

int ColourDistance(TestColour a, TestColour b) {
  return std::max(
      {std::abs(a.red - b.red), std::abs(a.green - b.green), std::abs(a.blue - b.blue)});
}

// SPDX-FileCopyrightText: The Quillane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

// Makers of small test pictures and AVI videos, shared by the suites that load media.

#include <cstdint>
#include <string>
#include <vector>

struct TestColour {
  uint8_t red = 0;
  uint8_t green = 0;
  uint8_t blue = 0;
  bool operator==(const TestColour&) const = default;
};

// A picture of one colour, in the format that the extension names (.png, .jpg, .jpeg, .bmp,
// .tif, .tiff). True when the file was written.
bool MakeTestPicture(const std::string& path, int width, int height, TestColour colour);

// A picture with a different colour in each quarter (top left red, top right green, bottom left
// blue, bottom right white), to check orientation and scaling.
bool MakeQuarteredPicture(const std::string& path, int width, int height);
TestColour QuarterColour(bool right, bool bottom);

// A distinct, well separated colour for frame `index` of a test video.
TestColour TestFrameColour(int index);

enum class TestVideoCodec {
  kMotionJpeg,  // every frame a JPEG of its own; the usual codec of camera AVI files
  kRaw,         // uncompressed 24-bit frames: colours survive exactly
  kMpeg4,       // inter-frame coding with key frames every 12 frames
};

// An AVI file of `frames` frames of width x height at 10 frames per second, frame i filled with
// colours[i % colours.size()], or TestFrameColour(i) when no colours are given. With
// unreadableFrame >= 0 that frame's data is overwritten with zeros, so it cannot be decoded
// (motion JPEG only). Runs the ffmpeg command. True when the file was made.
bool MakeTestAvi(const std::string& path, int frames, int width, int height,
                 const std::vector<TestColour>& colours = {},
                 TestVideoCodec codec = TestVideoCodec::kMotionJpeg, int unreadableFrame = -1);

// An AVI file with a short sound track and no video stream.
bool MakeSoundOnlyAvi(const std::string& path);

// Largest difference of one channel between two colours.
int ColourDistance(TestColour a, TestColour b);

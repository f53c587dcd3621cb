// SPDX-FileCopyrightText: The Quillane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// A time-lapse video of a painting, written while the painting goes on. The painting hands over
// pictures, each scaled at once to the video's size into one of a few buffers; a thread of the
// writer's own encodes them. When all buffers wait to be encoded, the painting waits for the
// next one, so memory stays the same however long the painting is. The file is written under a temporary
// name beside its target and renamed over it only when Finish succeeds.

#include <cstdint>
#include <memory>
#include <string>

#include "base/rect.h"

struct ImgBitmap;

struct TimelapseSettings {
  int framesPerSecond = 30;
  int maxSide = 1920;  // the longest side of the video; pictures are never enlarged
};

// The video's size for a picture of width x height: at most maxSide on its longest side, and
// even for the formats that keep colour at half the resolution.
void TimelapseSize(const std::string& path, int width, int height, int maxSide, int* videoWidth,
                   int* videoHeight);

// Whether a time-lapse can be written to `path`: its ending names a format whose encoder the
// installed FFmpeg has. False with the reason in `problem` otherwise.
bool CanWriteTimelapse(const std::string& path, std::string* problem);

// The endings the program writes time-lapses in ("mkv, mp4, webm, gif").
const char* TimelapseEndings();

class TimelapseWriter {
 public:
  TimelapseWriter();
  ~TimelapseWriter();  // abandons an unfinished file
  TimelapseWriter(const TimelapseWriter&) = delete;
  TimelapseWriter& operator=(const TimelapseWriter&) = delete;

  // Starts writing to `path` for pictures of width x height. False with the reason otherwise.
  bool Start(const std::string& path, int width, int height, const TimelapseSettings& settings,
             std::string* problem);
  // `count` frames of the `area` of the bitmap (which must be width x height); the bitmap is
  // scaled into a buffer of the writer's before the call returns. False once writing has failed.
  bool Add(const ImgBitmap& bitmap, const Rect& area, int count);
  // Frames handed over so far.
  int64_t Frames() const;
  // Encodes what is left and puts the file in place. False with the reason otherwise; nothing is
  // left at `path` then that was not there before.
  bool Finish(std::string* problem);
  // Stops writing and removes the unfinished file.
  void Abandon();

 private:
  struct Work;
  std::unique_ptr<Work> work_;
};

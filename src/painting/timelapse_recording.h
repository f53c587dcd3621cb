// SPDX-FileCopyrightText: The Quillane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The time-lapse of one painting: the frames the painting hands over (see FrameRecorder) go
// straight to the video file, and the finished picture is held at the end. The file is only in
// place once Finish has succeeded.

#include <cstdint>
#include <string>

#include "base/paint_context.h"
#include "imaging/dib.h"
#include "imaging/timelapse_writer.h"

struct RenderResult;

struct TimelapseOptions {
  double seconds = 8.0;      // the painting, from start to end
  double holdSeconds = 1.5;  // the finished picture after it
  TimelapseSettings video;
};

class TimelapseRecording : public FrameRecorder {
 public:
  // Checks that the file can be written; the video starts with the first frame, when its size
  // is known. False with the reason otherwise.
  bool Prepare(const std::string& path, const TimelapseOptions& options, std::string* problem);
  // Records the painting of `paint` (which must outlive the painting).
  void Attach(PaintContext& paint);

  int FramesWanted() const override;
  void TakeFrames(const ImgBitmap& bitmap, const Rect& area, int count) override;

  // Ends the video with the painted picture of `result` (after a stop, what was painted), held;
  // then the file is put in place. False with the reason otherwise, and no file is left.
  bool Finish(const RenderResult& result, std::string* problem);
  // The same with the painted picture held elsewhere (read, not taken): `picture` as the
  // painting handed it back for an output size of width x height.
  bool Finish(const DibHandle& picture, int32_t width, int32_t height, std::string* problem);
  // Ends without a file.
  void Abandon() { writer_.Abandon(); }

 private:
  std::string path_;
  TimelapseOptions options_;
  TimelapseWriter writer_;
  bool started_ = false;
  bool failed_ = false;
  std::string problem_;
  int64_t taken_ = 0;
};

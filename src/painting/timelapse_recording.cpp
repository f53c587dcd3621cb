// SPDX-FileCopyrightText: The Quillane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "painting/timelapse_recording.h"

#include <algorithm>
#include <cmath>

#include "base/language.h"
#include "imaging/file_replacing.h"
#include "imaging/imaging.h"
#include "painting/painted_picture.h"
#include "painting/render.h"

namespace {

const char kNoPictureText[] = TrNoop("the painting left no picture for a time-lapse");

int FramesFor(double seconds, int framesPerSecond) {
  const double frames = std::round(std::max(0.0, seconds) * framesPerSecond);
  return static_cast<int>(std::min(frames, 1e6));
}

}  // namespace

bool TimelapseRecording::Prepare(const std::string& path, const TimelapseOptions& options,
                                 std::string* problem) {
  writer_.Abandon();
  path_ = path;
  options_ = options;
  started_ = failed_ = false;
  problem_.clear();
  taken_ = 0;
  return CanWriteTimelapse(path, problem) && CanWriteFileAt(path, problem);
}

void TimelapseRecording::Attach(PaintContext& paint) {
  paint.frames = this;
  paint.framesTaken = 0;
}

int TimelapseRecording::FramesWanted() const {
  return std::max(2, FramesFor(options_.seconds, options_.video.framesPerSecond));
}

void TimelapseRecording::TakeFrames(const ImgBitmap& bitmap, const Rect& area, int count) {
  if (failed_) return;
  if (!started_) {
    started_ = true;
    failed_ = !writer_.Start(path_, area.Width(), area.Height(), options_.video, &problem_);
  }
  if (!failed_) failed_ = !writer_.Add(bitmap, area, count);
  if (!failed_) taken_ += count;
}

bool TimelapseRecording::Finish(const RenderResult& result, std::string* problem) {
  return Finish(result.picture, result.width, result.height, problem);
}

bool TimelapseRecording::Finish(const DibHandle& painted, int32_t width, int32_t height,
                                std::string* problem) {
  ImgBitmap picture;
  ImgInitHandle(&picture);
  bool ok = !failed_ && painted && TakePaintedPicture(painted, width, height, &picture) == 1;
  if (ok) {
    const Rect whole{0, 0, picture.width, picture.height};
    // A stopped painting ends on what it had painted when it stopped.
    const int last = taken_ < FramesWanted() ? 1 : 0;
    const int hold = FramesFor(options_.holdSeconds, options_.video.framesPerSecond);
    TakeFrames(picture, whole, last + hold);
    if (last + hold == 0 && !started_) TakeFrames(picture, whole, 1);
    ok = !failed_;
  }
  ImgFree(&picture);
  if (!ok) {
    writer_.Abandon();
    *problem = !problem_.empty() ? problem_ : Tr(kNoPictureText);
    return false;
  }
  return writer_.Finish(problem);
}

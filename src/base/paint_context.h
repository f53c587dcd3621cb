// SPDX-FileCopyrightText: The Quillane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Everything one painting reaches outside its pictures: the windows it reports to and its own
// random generator. Each painting has its own, so paintings on different threads share nothing.

#include <cstdint>
#include <string>
#include <utility>

#include "base/front_window.h"
#include "base/paint_result.h"
#include "base/random.h"

struct ImgBitmap;

// Takes the frames of a time-lapse: pictures of the painting at evenly spaced points of its
// progress (lines swept, tile sources matched), never of the clock, so that a seed gives the
// same frames on any machine and any number of threads.
class FrameRecorder {
 public:
  virtual ~FrameRecorder() = default;
  // Frames from the start state to the finished picture, both included (at least 2).
  virtual int FramesWanted() const = 0;
  // `count` frames of the `area` of the bitmap, which is valid during the call only.
  virtual void TakeFrames(const ImgBitmap& bitmap, const Rect& area, int count) = 0;

  // The frames due from the start up to `done` of `total` parts of the painting: the start
  // state at 0, every one at total.
  int64_t FramesThrough(int64_t done, int64_t total) const {
    if (total <= 0) return FramesWanted();
    return done * (FramesWanted() - 1) / total + 1;
  }
};

struct PaintContext {
  FrontWindow* display = nullptr;  // the picture frame in which the picture is shown
  FrontWindow* status = nullptr;   // the status field and the Stop button
  FrontWindow* owner = nullptr;    // owns the warning boxes
  Random random;
  int threads = 0;      // threads a stroke painting may paint on; 0: every usable processor
  std::string refusal;  // the last warning shown, the reason of a refused or failed painting
  FrameRecorder* frames = nullptr;  // a time-lapse being recorded; none usually
  int64_t framesTaken = 0;

  // One window for all three roles.
  static PaintContext For(FrontWindow* window, uint32_t seed) {
    PaintContext context;
    context.display = context.status = context.owner = window;
    context.random.Seed(seed);
    return context;
  }

  void ShowStatus(const std::string& text) const {
    if (status != nullptr) status->ShowStatus(text);
  }
  // 1 when the user has pressed Stop, 0 otherwise.
  int PollStop() const { return (status != nullptr && status->StopPressed()) ? 1 : 0; }
  // Hands the recorder the frames due at `done` of `total` parts of the painting.
  void RecordProgress(const ImgBitmap& bitmap, const Rect& area, int64_t done, int64_t total) {
    if (frames == nullptr) return;
    const int64_t due = frames->FramesThrough(done, total) - framesTaken;
    if (due <= 0) return;
    frames->TakeFrames(bitmap, area, static_cast<int>(due));
    framesTaken += due;
  }
  // Shows a warning box; '|' in the text becomes a line break. Nothing is shown without an
  // owner, but the text is kept as the reason of the refusal either way.
  void Warn(std::string text);
  // Warns of a painting that cannot go on, and gives kPaintFailed.
  int Fail(std::string text) {
    Warn(std::move(text));
    return kPaintFailed;
  }
};

// SPDX-FileCopyrightText: The Quillane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Everything one painting reaches outside its pictures: the windows it reports to and its own
// random generator. Each painting has its own, so paintings on different threads share nothing.

#include <string>
#include <utility>

#include "base/front_window.h"
#include "base/paint_result.h"
#include "base/random.h"

struct PaintContext {
  FrontWindow* display = nullptr;  // the picture frame in which the picture is shown
  FrontWindow* status = nullptr;   // the status field and the Stop button
  FrontWindow* owner = nullptr;    // owns the warning boxes
  Random random;
  int threads = 0;      // threads a stroke painting may paint on; 0: every usable processor
  std::string refusal;  // the last warning shown, the reason of a refused or failed painting

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
  // Shows a warning box; '|' in the text becomes a line break. Nothing is shown without an
  // owner, but the text is kept as the reason of the refusal either way.
  void Warn(std::string text);
  // Warns of a painting that cannot go on, and gives kPaintFailed.
  int Fail(std::string text) {
    Warn(std::move(text));
    return kPaintFailed;
  }
};

// SPDX-FileCopyrightText: The Quillane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

// The window in front, as the painting code sees it. The desktop program's windows and the
// command-line renderer implement it; the painting code never touches a widget.

#include <atomic>
#include <cstdio>
#include <string>

#include "base/rect.h"

struct ImgBitmap;

class FrontWindow {
 public:
  virtual ~FrontWindow() = default;

  // Client size of the picture frame in which paintings are shown (0 x 0 for windows without).
  virtual void FrameClientSize(int* width, int* height) {
    *width = 0;
    *height = 0;
  }
  // Writes one line into the window's status field (UTF-8; trailing blanks belong to the text).
  virtual void ShowStatus(const std::string& /*text*/) {}
  // Shows the `source` rectangle of the bitmap in the `destination` rectangle of the picture
  // frame. Stage 0 is a plain copy; stages 1 to 5 are the steps of a staged refresh, of which
  // stage 5 leaves exactly the picture on show. The bitmap is only valid during the call.
  virtual void ShowPicture(const ImgBitmap& /*bitmap*/, const Rect& /*source*/,
                           const Rect& /*destination*/, int /*stage*/) {}
  // Tells the user of something that went wrong without harm to the painting (a cache that
  // cannot be used, say). Written to the standard error unless the window shows it otherwise.
  virtual void ShowNotice(const std::string& text) { std::fprintf(stderr, "%s\n", text.c_str()); }
  // Shows a modal warning box captioned "Limnora" and returns when the user has closed it.
  virtual void ShowWarningBox(const std::string& text) = 0;

  // Stop button: set by the window (from any thread), read by the painting.
  void RequestStop() { stopPressed_.store(true, std::memory_order_relaxed); }
  void ClearStop() { stopPressed_.store(false, std::memory_order_relaxed); }
  bool StopPressed() const { return stopPressed_.load(std::memory_order_relaxed); }

 private:
  std::atomic<bool> stopPressed_{false};
};

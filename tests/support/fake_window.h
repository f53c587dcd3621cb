// SPDX-FileCopyrightText: The Quillane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

// A window in front for tests: remembers every status line, picture shown and warning, and can
// press Stop when a chosen status line is written.

#include <string>
#include <vector>

#include "base/rect.h"
#include "imaging/drawing_surface.h"
#include "app/owner_windows.h"

struct ShownPicture {
  int bitmapWidth;
  int bitmapHeight;
  Rect source;
  Rect destination;
  int stage;
  // The colours of the source rectangle, row by row, when the window keeps them.
  std::vector<ColorRef> pixels;
};

class FakeWindow : public FrontWindow {
 public:
  explicit FakeWindow(int clientWidth = 0, int clientHeight = 0)
      : clientWidth_(clientWidth), clientHeight_(clientHeight) {}

  void FrameClientSize(int* width, int* height) override;
  void ShowStatus(const std::string& text) override;
  void ShowPicture(const ImgBitmap& bitmap, const Rect& source, const Rect& destination,
                   int stage) override;
  void ShowWarningBox(const std::string& text) override;
  void ShowNotice(const std::string& text) override { notices.push_back(text); }

  // Presses Stop as the status line with this number (1 = the first) is written.
  void StopAtStatus(int number) { stopAtStatus_ = number; }
  // Keeps a copy of the pixels of every picture shown.
  void KeepPixels(bool keep) { keepPixels_ = keep; }

  std::vector<std::string> statuses;
  std::vector<ShownPicture> pictures;
  std::vector<std::string> warnings;
  std::vector<std::string> notices;
  int frameSizeQueries = 0;

 private:
  int clientWidth_;
  int clientHeight_;
  int stopAtStatus_ = 0;
  bool keepPixels_ = false;
};

// Makes the window the one in front (messageOwner and mainWindowHandle) for a test's lifetime.
class FrontWindowScope {
 public:
  explicit FrontWindowScope(FrontWindow* window);
  ~FrontWindowScope();
  FrontWindowScope(const FrontWindowScope&) = delete;
  FrontWindowScope& operator=(const FrontWindowScope&) = delete;

 private:
  FrontWindow* previousOwner_;
  FrontWindow* previousMain_;
};

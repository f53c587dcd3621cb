// SPDX-FileCopyrightText: The Quillane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "support/fake_window.h"

#include <utility>

#include "imaging/imaging.h"

void FakeWindow::FrameClientSize(int* width, int* height) {
  ++frameSizeQueries;
  *width = clientWidth_;
  *height = clientHeight_;
}

void FakeWindow::ShowStatus(const std::string& text) {
  statuses.push_back(text);
  if (stopAtStatus_ > 0 && static_cast<int>(statuses.size()) == stopAtStatus_) RequestStop();
}

void FakeWindow::ShowPicture(const ImgBitmap& bitmap, const Rect& source, const Rect& destination,
                             int stage) {
  ShownPicture shown{bitmap.width, bitmap.height, source, destination, stage, {}};
  if (keepPixels_ && bitmap.hasImage) {
    for (int y = source.top; y < source.bottom; ++y) {
      const uint8_t* row = bitmap.Row(y);
      for (int x = source.left; x < source.right; ++x) {
        shown.pixels.push_back(MakeColor(row[x * 3 + 2], row[x * 3 + 1], row[x * 3]));
      }
    }
  }
  pictures.push_back(std::move(shown));
}

void FakeWindow::ShowWarningBox(const std::string& text) {
  warnings.push_back(text);
}

FrontWindowScope::FrontWindowScope(FrontWindow* window)
    : previousOwner_(messageOwner), previousMain_(mainWindowHandle) {
  messageOwner = window;
  mainWindowHandle = window;
}

FrontWindowScope::~FrontWindowScope() {
  messageOwner = previousOwner_;
  mainWindowHandle = previousMain_;
}

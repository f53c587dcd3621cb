#include "support/fake_window.h"

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
  pictures.push_back(ShownPicture{bitmap.width, bitmap.height, source, destination, stage});
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

// SPDX-FileCopyrightText: The Quillane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

// The output window: the start picture at the output size, painted by the effect while the user
// watches; Stop, then "OK"; Save and Print for the result.

#include <QImage>
#include <QString>
#include <atomic>
#include <string>
#include <thread>

#include "app/gui/dialog_layout.h"
#include "base/rect.h"
#include "imaging/dib.h"
#include "painting/owner_windows.h"

class QPrinter;

namespace output_ids {
constexpr int kSave = 1031;
constexpr int kPrint = 1032;
constexpr int kStop = 2;  // later "OK"
constexpr int kStatus = 1030;
constexpr int kFrame = 1028;
}  // namespace output_ids

// Opens the output window modally over `owner` and returns when it has closed. Shows "No 'Start
// Picture' specified." and returns at once when the start picture cannot be opened.
void RunOutputWindow(QWidget* owner);

class OutputWindow : public TableDialog, public FrontWindow {
  Q_OBJECT
 public:
  explicit OutputWindow(QWidget* parent);
  ~OutputWindow() override;

  // Checks the start picture, takes the front, prepares the picture and sizes the window. False
  // (after the warning) when there is no start picture to open.
  bool Open();

  // FrontWindow; the painting thread calls these.
  void FrameClientSize(int* width, int* height) override;
  void ShowStatus(const std::string& text) override;
  void ShowPicture(const ImgBitmap& bitmap, const Rect& source, const Rect& destination,
                   int stage) override;
  void ShowWarningBox(const std::string& text) override;

  // Button 2: Stop while painting, "OK" afterwards.
  void PressStopOrOk();
  // Save: asks for a file, then SaveTo.
  void Save();
  // Writes the picture held; the format follows the file's extension or else the chosen filter
  // ("*.png", "*.jpg", "*.bmp" or "*.tif" in it). Returns the path written, empty on failure
  // (after a warning).
  QString SaveTo(const QString& path, const QString& filter = QString());
  // Print: the print dialog, then PrintTo.
  void Print();
  // Prints the picture held, scaled to fit the page and centred. False when the printer fails.
  bool PrintTo(QPrinter* printer);

  bool PaintingRunning() const { return painting_; }
  bool PaintingDone() const { return done_; }
  int PaintResult() const { return result_; }
  bool CloseOnPress() const { return closeOnPress_; }
  // The picture held (after a painting: its result).
  const DibHandle& Picture() const { return pictureDib_; }
  // What the picture frame shows.
  QImage FrameImage() const { return screen_; }

 signals:
  void PaintingFinished(int result);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void timerEvent(QTimerEvent* event) override;
  void reject() override;
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void LoadPicture();
  void SizeToPicture();
  void LockPicture();
  void ShowHeldPicture();
  void StartPainting();
  void FinishPainting(int result);
  void StopAndWait();
  void ApplyPicture(const QImage& image, const QRect& destination, int stage);

  DibHandle pictureDib_;
  BitmapInfoHeader* pictureHeader_ = nullptr;
  uint8_t* picturePixels_ = nullptr;
  int paintTimer_ = 0;
  bool windowPainted_ = false;
  bool closeOnPress_ = false;

  QImage screen_;  // the picture frame's pixels
  // The picture of the refresh in progress, kept from one stage to the next.
  QImage lastPart_;
  const uint8_t* lastBitmap_ = nullptr;
  Rect lastSource_;
  Rect lastDestination_;
  int lastStage_ = -1;
  std::thread worker_;
  std::atomic<int> frameWidth_{0};
  std::atomic<int> frameHeight_{0};
  bool painting_ = false;
  bool done_ = false;
  bool pressWhilePainting_ = false;
  bool closing_ = false;
  int result_ = -1;
};

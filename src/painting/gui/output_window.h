// SPDX-FileCopyrightText: The Quillane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

// The output window: the start picture at the output size, painted by the effect while the user
// watches; Stop, then "OK"; Save and Print for the result. The picture frame can be zoomed and
// moved about; slow work (preparing the start picture, painting, writing files) runs on the
// window's own worker thread, one piece after the other.

#include <QFutureWatcher>
#include <QImage>
#include <QPointF>
#include <QString>
#include <QThreadPool>
#include <QTimer>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "app/gui/dialog_layout.h"
#include "base/rect.h"
#include "imaging/dib.h"
#include "painting/owner_windows.h"

struct PreparedPicture;
class QFrame;
class QLabel;
class QPrinter;
class QPushButton;

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

  // Checks the start picture, takes the front, sizes the window and starts preparing the picture
  // (decoding and resizing it) on the worker thread. False (after the warning) when there is no
  // start picture to open.
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
  // Starts writing the painted picture at the output size (Save's file); the format follows the
  // file's extension or else the chosen filter ("*.png", "*.jpg", "*.bmp" or "*.tif" in it).
  // Returns the path being written, empty when there is nothing to save. The file is written on
  // the worker thread after any save before it; SaveFinished tells how it went, and a failure
  // shows a warning.
  QString SaveTo(const QString& path, const QString& filter = QString());
  // Print: the print dialog, then PrintTo.
  void Print();
  // Prints the picture held, scaled to fit the page and centred. False when the printer fails.
  bool PrintTo(QPrinter* printer);

  // The view of the picture frame: 1.0 is 100 %.
  double Zoom() const { return zoom_; }
  // Switches between the whole picture fitted into the frame and 100 % (double-click, Ctrl 0).
  void ToggleFitAnd100();
  // Zooms by `steps` notches (1.25 each; negative zooms out) about a point of the frame.
  void ZoomAbout(double steps, const QPointF& framePoint);
  // Moves the picture in the frame by a number of pixels.
  void MoveView(const QPointF& by);
  // Where the picture's top left corner lies in the frame, and its scale there.
  QPointF ViewOrigin() const { return origin_; }
  // The frame's display rectangle: its client area inside a 2-pixel border.
  QRect DisplayRect() const;

  bool PicturePreparing() const { return preparing_; }
  bool PaintingRunning() const { return painting_; }
  bool PaintingDone() const { return done_; }
  bool Saving() const { return pendingSaves_ > 0; }
  int PaintResult() const { return result_; }
  bool CloseOnPress() const { return closeOnPress_; }
  // The picture held (after a painting: its result).
  const DibHandle& Picture() const { return pictureDib_; }
  // What the picture frame shows.
  QImage FrameImage() const;
  // The picture as painted so far, at its own size.
  QImage CanvasImage() const { return canvas_; }

 signals:
  void PaintingFinished(int result);
  void SaveFinished(const QString& path, bool saved);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void timerEvent(QTimerEvent* event) override;
  void reject() override;
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  bool FrameEvent(QEvent* event);
  void SizeToPicture();
  void PictureReady(std::shared_ptr<PreparedPicture> prepared);
  void LockPicture();
  void ShowHeldPicture();
  void TryStartPainting();
  void FinishPainting(int result);
  void SaveEnded(const QString& path, bool saved);
  // Closes now when no work is running, or asks the painting to stop and closes when the
  // painting and every save have ended.
  void CloseWhenIdle();
  bool Busy() const { return preparing_ || painting_ || pendingSaves_ > 0; }
  void UpdateBusyCursor();
  // Runs `call` on the window's thread and waits for it; returns at once, without the call,
  // once the window is going away.
  void CallOnWindowThread(const std::function<void()>& call);
  // The part of the canvas in the frame's view, and a repaint of a part of the canvas.
  QRect CanvasInView() const;
  void ShowCanvasPart(const QRect& part);
  void DrawView(QPainter* painter) const;
  void FirstView();
  void SetView(double zoom, const QPointF& origin);
  double FitZoom() const;
  void ShowZoomLevel();

  QPushButton* saveButton_;
  QPushButton* printButton_;
  QPushButton* stopButton_;
  QLabel* status_;
  QFrame* frame_;
  QLabel* zoomLevel_;

  DibHandle pictureDib_;
  BitmapInfoHeader* pictureHeader_ = nullptr;
  uint8_t* picturePixels_ = nullptr;
  int32_t outputWidth_ = 0;
  int32_t outputHeight_ = 0;
  int paintTimer_ = 0;
  bool windowPainted_ = false;
  bool closeOnPress_ = false;

  QImage canvas_;  // the picture as shown, at its own size
  // The part in view of the refresh in progress, kept from one stage to the next.
  QImage lastPart_;
  const uint8_t* lastBitmap_ = nullptr;
  QRect lastPartRect_;
  int lastStage_ = -1;

  double zoom_ = 1.0;
  QPointF origin_;
  bool viewMoved_ = false;  // the user has zoomed or moved the view
  bool dragging_ = false;
  QPointF dragFrom_;
  QTimer zoomLevelTimer_;

  bool preparing_ = false;
  bool painting_ = false;
  bool done_ = false;
  bool pressWhilePainting_ = false;
  bool closeWhenIdle_ = false;
  int pendingSaves_ = 0;
  QString statusBeforeSaving_;
  int result_ = -1;

  std::mutex callMutex_;
  std::condition_variable callDone_;
  bool abandoned_ = false;  // guarded by callMutex_

  QFutureWatcher<std::shared_ptr<PreparedPicture>> prepareWatcher_;
  QFutureWatcher<int> paintWatcher_;
  // One thread: the start picture, the painting and the saves run in the order they were asked
  // for, so a second Save waits for the first. Declared last, so that it is gone first.
  QThreadPool worker_;
};

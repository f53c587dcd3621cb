// SPDX-FileCopyrightText: The Quillane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

// The output window: the start picture at the output size, painted by the effect while the user
// watches; Stop, then "OK"; Save and Print for the result. The picture frame can be zoomed and
// moved about. The window only shows: its painting session prepares, paints and writes the
// files off the window's thread.

#include <QImage>
#include <QPointF>
#include <QString>
#include <QTimer>
#include <memory>
#include <string>

#include "app/owner_windows.h"
#include "base/rect.h"
#include "gui/dialog_layout.h"
#include "gui/painting_session.h"
#include "gui/print_layout.h"
#include "gui/reduced_view.h"
#include "imaging/dib.h"

class QAction;
class QFrame;
class QLabel;
class QMenu;
class QPrinter;
class QPushButton;

namespace output_ids {
constexpr int kSave = 1031;
constexpr int kPrint = 1032;
constexpr int kStop = 2;  // later "OK"
constexpr int kStatus = 1030;
constexpr int kFrame = 1028;
}  // namespace output_ids

// Opens the output window modally over `owner` for the painting that Settings asks for, with the
// picture index in `tileIndexFile` (empty for none), and returns when it has closed. Shows "No
// 'Start Picture' specified." and returns at once when the start picture cannot be opened.
void RunOutputWindow(QWidget* owner, const std::string& tileIndexFile);

class OutputWindow : public TableDialog, public FrontWindow {
  Q_OBJECT
 public:
  explicit OutputWindow(QWidget* parent, std::string tileIndexFile = std::string());
  ~OutputWindow() override;

  // Reads the painting that Settings asks for, checks the start picture, takes the front, sizes
  // the window and has the session prepare the picture. False (after the warning) when there is
  // no start picture to open.
  bool Open();

  // FrontWindow, on the window's thread: the session's painting shows through these.
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
  // "Save time-lapse..." (Ctrl T, and the picture frame's context menu), once the painting has
  // ended: asks for a file, then SaveTimelapseTo.
  void SaveTimelapse();
  // Starts writing the painting's time-lapse to `path`, in the format of its ending (.mp4,
  // .webm, .gif or .mkv) or else of the chosen filter, beside the window; the status field
  // shows how far it has come. Returns the path being written, empty when there is no
  // time-lapse. TimelapseSaveFinished tells how it went, and a failure shows
  // a warning with the reason.
  QString SaveTimelapseTo(const QString& path, const QString& filter = QString());
  // The picture frame's context menu and its "Save time-lapse..." entry.
  QMenu* FrameMenu() const { return frameMenu_; }
  QAction* TimelapseAction() const { return timelapseAction_; }
  // Print: the print preview, with the choice of size beside it.
  void Print();
  // Prints the picture held at the output size as `options` say, with the picture's name as the
  // document's title. False when the printer fails.
  bool PrintTo(QPrinter* printer, const PrintOptions& options = PrintOptions());
  // The picture's name: the file it was saved to last, else the start picture's and the
  // effect's.
  QString PictureTitle() const;

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

  bool PicturePreparing() const { return session_ && session_->Preparing(); }
  bool PaintingRunning() const { return session_ && session_->Painting(); }
  bool PaintingDone() const { return session_ && session_->Done(); }
  bool Saving() const { return session_ && session_->Saving(); }
  int PaintResult() const { return session_ ? session_->Result() : -1; }
  bool CloseOnPress() const { return closeOnPress_; }
  // The picture held (after a painting: its result).
  const DibHandle& Picture() const;
  // What the picture frame shows.
  QImage FrameImage();
  // The picture as painted so far, at its own size.
  QImage CanvasImage() const { return canvas_; }

 signals:
  void PaintingFinished(int result);
  void SaveFinished(const QString& path, bool saved);
  void TimelapseSaveFinished(const QString& path, bool saved);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void timerEvent(QTimerEvent* event) override;
  void reject() override;
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  bool FrameEvent(QEvent* event);
  // The Save dialog with the picture's suggested name and `ending`, in the folder saved to
  // last; empty when the user cancels it.
  QString AskSaveName(const QString& title, const QString& ending, const QString& filters,
                      QString* filter);
  void SizeToPicture();
  void PictureReady(const QString& warning);
  void ShowHeldPicture();
  void TryStartPainting();
  void FinishPainting(int result);
  void SaveEnded(const QString& path, bool saved);
  void TimelapseSaveEnded(const QString& path, const QString& problem);
  // Back to the status line of before the saves, once none is left.
  void SavesEnded();
  void UpdateMenu();
  // The picture held at the output size, for printing.
  QImage PaintedImage() const;
  // Closes now when the session is idle, or asks the painting to stop and closes when the
  // painting and every save have ended.
  void CloseWhenIdle();
  bool Busy() const { return session_ && session_->Busy(); }
  void UpdateBusyCursor();
  // The part of the canvas in the frame's view, and a repaint of a part of the canvas.
  QRect CanvasInView() const;
  void ShowCanvasPart(const QRect& part);
  void DrawView(QPainter* painter);
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
  QMenu* frameMenu_;
  QAction* saveAction_;
  QAction* printAction_;
  QAction* timelapseAction_;

  std::string tileIndexFile_;
  std::unique_ptr<PaintingSession> session_;
  int32_t outputWidth_ = 0;
  int32_t outputHeight_ = 0;
  int paintTimer_ = 0;
  bool windowPainted_ = false;
  bool closeOnPress_ = false;
  bool pressWhilePainting_ = false;
  bool closeWhenIdle_ = false;
  QString statusBeforeSaving_;
  QString savedName_;

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

  // The views smaller than 100 % are drawn from reduced copies of the canvas; while the painting
  // runs, a repaint takes in part of the canvas's changes, and this timer repaints for the rest.
  ReducedView reduced_;
  QTimer reducedTimer_;
};

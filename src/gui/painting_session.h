// SPDX-FileCopyrightText: The Quillane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

// One painting of the desktop program, from its request to the saved files, without a widget of
// its own: it prepares the start picture once, paints it through Render and writes the result,
// all on a worker thread of its own, one piece after the other; its signals tell a window what
// to show. Later paintings of the program run continue the program's random sequence.

#include <QFutureWatcher>
#include <QObject>
#include <QString>
#include <QTemporaryDir>
#include <QThreadPool>
#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "base/front_window.h"
#include "base/rect.h"
#include "imaging/dib.h"
#include "imaging/imaging.h"
#include "painting/render.h"

struct PreparedPicture;
class TimelapseRecording;

class PaintingSession : public QObject, private FrontWindow {
  Q_OBJECT
 public:
  // The request's start picture is the file at startPath, brought to width x height.
  explicit PaintingSession(RenderRequest request, QObject* parent = nullptr);
  // Asks a painting under way to stop and waits for the worker: saves are written to the end.
  ~PaintingSession() override;

  const RenderRequest& Request() const { return request_; }

  // Starts preparing the start picture; PictureReady follows.
  void Prepare();
  // Starts painting the prepared picture; PaintingFinished follows. Once per session, after
  // PictureReady; false when it cannot start now.
  bool StartPainting();
  // Asks the painting to stop; it hands back what it has painted.
  void Stop() { RequestStop(); }
  // Starts writing the picture held to `path` at the output size, after any save before it;
  // SaveFinished follows. False when there is nothing to save.
  bool Save(const QString& path);

  bool Preparing() const { return preparing_; }
  bool Painting() const { return painting_; }
  bool Done() const { return done_; }
  bool Saving() const { return pendingSaves_ > 0; }
  bool Busy() const { return preparing_ || painting_ || pendingSaves_ > 0 || endingTimelapse_; }
  int Result() const { return result_; }
  // The start picture once prepared, the painted picture once painted; empty before and when
  // the start picture could not be prepared.
  const DibHandle& Picture() const { return picture_; }
  // The output size the picture was prepared at (0 x 0 until then).
  int32_t OutputWidth() const { return outputWidth_; }
  int32_t OutputHeight() const { return outputHeight_; }

  // The painting's time-lapse. The painting records one as it paints (unless switched off before
  // StartPainting), losslessly, into a folder of the session's own in the user's cache, which
  // goes with the session. Its frames follow the painting's progress, as the renderer's do.
  void SetRecording(bool record) { record_ = record; }
  // The recording is over (TimelapseRecorded has come): complete, or failed.
  bool TimelapseEnded() const { return timelapseEnded_; }
  // The recorded video; empty when there is none, and TimelapseProblem says why.
  QString TimelapseFile() const { return QString::fromStdString(timelapseFile_); }
  QString TimelapseProblem() const { return timelapseProblem_; }
  // Starts writing the time-lapse to `path` in the format of its ending, after any save before
  // it; TimelapseSaveProgress and then TimelapseSaved follow. False when there is none.
  bool SaveTimelapse(const QString& path);
  // A session going away (its window closing) needs no time-lapse: one not yet complete is
  // dropped at once instead of being finished.
  void DropTimelapse() { dropTimelapse_ = true; }

 signals:
  // The start picture is prepared (Picture() holds it) or could not be; `warning` tells the user
  // why a size was refused or the picture could not be prepared, empty otherwise.
  void PictureReady(const QString& warning);
  void StatusChanged(const QString& text);
  // The painting shows a part of its picture and waits until the handler has returned: the
  // bitmap is only valid during the call, and the painting never runs ahead of what is shown.
  void PictureShown(const ImgBitmap& bitmap, const Rect& source, const Rect& destination,
                    int stage);
  // A warning of the painting's; it waits until the handler has returned.
  void WarningShown(const std::string& text);
  void PaintingFinished(int result);
  void SaveFinished(const QString& path, bool saved);
  void TimelapseRecorded(bool recorded);
  void TimelapseSaveProgress(const QString& path, int percent);
  // `problem` is empty when the time-lapse was saved.
  void TimelapseSaved(const QString& path, const QString& problem);

 private:
  // FrontWindow, called by the painting on the worker.
  void FrameClientSize(int* width, int* height) override;
  void ShowStatus(const std::string& text) override;
  void ShowPicture(const ImgBitmap& bitmap, const Rect& source, const Rect& destination,
                   int stage) override;
  void ShowWarningBox(const std::string& text) override;

  void Prepared(std::shared_ptr<PreparedPicture> prepared);
  void Painted(std::shared_ptr<RenderResult> result);
  void Finish(int result);
  // The recording for the painting about to start; null when it does not record.
  TimelapseRecording* StartRecording();
  // Ends the video with the picture held, on the worker.
  void EndRecording();
  void RecordingEnded(const QString& problem);
  // Runs `call` on the session's thread and waits for it; returns at once, without the call,
  // once the session is going away.
  void CallOnSessionThread(const std::function<void()>& call);

  RenderRequest request_;
  DibHandle picture_;
  int32_t outputWidth_ = 0;
  int32_t outputHeight_ = 0;
  bool preparing_ = false;
  bool painting_ = false;
  bool done_ = false;
  int pendingSaves_ = 0;
  int result_ = -1;

  bool record_ = true;
  // The recording's folder goes after the recording, which may still have a file open in it.
  std::unique_ptr<QTemporaryDir> timelapseFolder_;
  std::unique_ptr<TimelapseRecording> recording_;
  std::string timelapseFile_;
  QString timelapseProblem_;
  bool endingTimelapse_ = false;
  bool timelapseEnded_ = false;
  std::atomic<bool> dropTimelapse_{false};

  std::mutex callMutex_;
  std::condition_variable callDone_;
  bool abandoned_ = false;  // guarded by callMutex_

  QFutureWatcher<std::shared_ptr<PreparedPicture>> prepareWatcher_;
  QFutureWatcher<std::shared_ptr<RenderResult>> paintWatcher_;
  // One thread: preparing, painting and saving run in the order they were asked for, so a
  // second Save waits for the first. Declared last, so that it is gone first.
  QThreadPool worker_;
};

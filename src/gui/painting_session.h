// SPDX-FileCopyrightText: The Quillane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

// One painting of the desktop program, from its request to the saved files, without a widget of
// its own: it prepares the start picture once, paints it through Render and writes the result,
// all on a worker thread of its own, one piece after the other; its signals tell a window what
// to show. Later paintings of the program run continue the program's random sequence.

#include <QByteArray>
#include <QFutureWatcher>
#include <QObject>
#include <QString>
#include <QThreadPool>
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
class FrameCounter;
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
  bool Busy() const { return preparing_ || painting_ || pendingSaves_ > 0; }
  int Result() const { return result_; }
  // The start picture once prepared, the painted picture once painted; empty before and when
  // the start picture could not be prepared.
  const DibHandle& Picture() const { return picture_; }
  // The output size the picture was prepared at (0 x 0 until then).
  int32_t OutputWidth() const { return outputWidth_; }
  int32_t OutputHeight() const { return outputHeight_; }

  // The painting's time-lapse. A time-lapse's frames follow the painting's progress, never the
  // clock, so painting the same start picture again with the same seed paints the same frames:
  // SaveTimelapse makes the video so, and ends it with the picture held. While it paints, the
  // painting only notes how far it has come, in steps that cost it next to nothing, so that a
  // stopped painting's time-lapse goes up to the last step it had passed.
  // Whether the painting notes its steps (the default); before StartPainting.
  void SetRecording(bool record) { record_ = record; }
  // There is a painting to make a time-lapse of: it has ended, finished or stopped.
  bool HasTimelapse() const;
  // Starts writing the time-lapse to `path`, in the format of its ending, after any save before
  // it; TimelapseSaveProgress and then TimelapseSaved follow. False when there is none.
  bool SaveTimelapse(const QString& path);

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
  template <typename Work, typename Then>
  void RunSave(Work work, Then done);
  // Paints the picture again as it was painted, into `recording`; on the worker.
  std::string RepaintInto(TimelapseRecording* recording, const QString& path);
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
  uint32_t seed_ = 0;
  QByteArray startDigest_;  // of the start picture as prepared
  std::unique_ptr<FrameCounter> frames_;

  std::mutex callMutex_;
  std::condition_variable callDone_;
  bool abandoned_ = false;  // guarded by callMutex_

  QFutureWatcher<std::shared_ptr<PreparedPicture>> prepareWatcher_;
  QFutureWatcher<std::shared_ptr<RenderResult>> paintWatcher_;
  // One thread: preparing, painting and saving run in the order they were asked for, so a
  // second Save waits for the first. Declared last, so that it is gone first.
  QThreadPool worker_;
};

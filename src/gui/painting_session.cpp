// SPDX-FileCopyrightText: The Quillane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "gui/painting_session.h"

#include <QDir>
#include <QThread>
#include <QtConcurrent/QtConcurrentRun>
#include <cstdlib>
#include <utility>

#include "app/paint_driver.h"
#include "app/program_random.h"
#include "base/language.h"
#include "base/paint_context.h"
#include "imaging/timelapse_copy.h"
#include "painting/painted_picture.h"
#include "painting/start_picture.h"
#include "painting/timelapse_recording.h"

namespace {

const char kNotRecordedText[] = TrNoop("nothing was painted");
const char kNotWrittenText[] = TrNoop("the file could not be written");

// The reason of a failure, never empty: an empty one would read as success.
QString Reason(bool ok, const std::string& problem) {
  if (ok) return QString();
  return QString::fromStdString(problem.empty() ? std::string(Tr(kNotWrittenText)) : problem);
}

// Where the recordings go: a folder of the program's own in the user's cache, or else the
// system's temporary folder.
QString RecordingFolderTemplate() {
  const char* cache = std::getenv("XDG_CACHE_HOME");
  // A relative XDG_CACHE_HOME is invalid and to be ignored.
  const QString folder = (cache != nullptr && cache[0] == '/')
                             ? QString::fromLocal8Bit(cache) + QStringLiteral("/quillane")
                             : QDir::homePath() + QStringLiteral("/.cache/quillane");
  if (!QDir().mkpath(folder)) return QString();
  return folder + QStringLiteral("/timelapse-XXXXXX");
}

}  // namespace

PaintingSession::PaintingSession(RenderRequest request, QObject* parent)
    : QObject(parent), request_(std::move(request)) {
  worker_.setMaxThreadCount(1);
  worker_.setExpiryTimeout(-1);
  connect(&prepareWatcher_, &QFutureWatcher<std::shared_ptr<PreparedPicture>>::finished, this,
          [this] { Prepared(prepareWatcher_.result()); });
  connect(&paintWatcher_, &QFutureWatcher<std::shared_ptr<RenderResult>>::finished, this,
          [this] { Painted(paintWatcher_.result()); });
}

PaintingSession::~PaintingSession() {
  // Whatever still runs ends before the session goes: the painting is asked to stop and no
  // longer waits for this thread; saves are written to the end.
  RequestStop();
  dropTimelapse_ = true;
  {
    std::lock_guard<std::mutex> lock(callMutex_);
    abandoned_ = true;
  }
  callDone_.notify_all();
  worker_.waitForDone();
}

void PaintingSession::Prepare() {
  if (preparing_ || painting_ || done_) return;
  preparing_ = true;
  // A picture that does not decode leaves nothing to show, and the painting then stops at once.
  prepareWatcher_.setFuture(QtConcurrent::run(&worker_, [request = request_] {
    auto prepared = std::make_shared<PreparedPicture>();
    if (request.width > 0 && request.height > 0) {
      *prepared =
          PrepareStartPicture(request.startPath, request.width, request.height, request.effect);
    }
    return prepared;
  }));
}

void PaintingSession::Prepared(std::shared_ptr<PreparedPicture> prepared) {
  preparing_ = false;
  QString warning;
  if (prepared) {
    // A size too large for the memory at hand is refused with the reason, and a picture that
    // could not be prepared says why: the window would otherwise stay blank without a word.
    if (prepared->tooLarge || !prepared->picture) {
      warning = QString::fromStdString(prepared->reason);
    }
    picture_ = std::move(prepared->picture);
  }
  if (picture_) {
    outputWidth_ = picture_.Header()->biWidth;
    outputHeight_ = std::abs(picture_.Header()->biHeight);
  }
  emit PictureReady(warning);
}

bool PaintingSession::StartPainting() {
  if (preparing_ || painting_ || done_) return false;
  painting_ = true;
  const PaintingStart start = BeginProgramPainting(request_, static_cast<bool>(picture_));
  if (!start.warning.empty()) ShowWarningBox(start.warning);
  if (start.result >= 0) {
    Finish(start.result);
    return true;
  }
  const uint32_t seed = start.seed;
  TimelapseRecording* recording = StartRecording();
  // The painting takes the picture; what it paints comes back in its result.
  paintWatcher_.setFuture(QtConcurrent::run(
      &worker_, [this, seed, recording, start = std::make_shared<DibHandle>(std::move(picture_))] {
        PaintContext paint = PaintContext::For(this, seed);
        if (recording != nullptr) recording->Attach(paint);
        return std::make_shared<RenderResult>(
            RenderPrepared(request_, std::move(*start), paint, this));
      }));
  return true;
}

void PaintingSession::Painted(std::shared_ptr<RenderResult> result) {
  ContinueRandom(result->randomState);
  picture_ = std::move(result->picture);
  Finish(result->code);
}

void PaintingSession::Finish(int result) {
  painting_ = false;
  done_ = true;
  result_ = result;
  emit PaintingFinished(result);
  EndRecording();
}

TimelapseRecording* PaintingSession::StartRecording() {
  if (!record_) return nullptr;
  const QString folderTemplate = RecordingFolderTemplate();
  timelapseFolder_ = folderTemplate.isEmpty() ? std::make_unique<QTemporaryDir>()
                                              : std::make_unique<QTemporaryDir>(folderTemplate);
  if (!timelapseFolder_->isValid()) timelapseFolder_ = std::make_unique<QTemporaryDir>();
  if (!timelapseFolder_->isValid()) {
    timelapseProblem_ = timelapseFolder_->errorString();
    return nullptr;
  }
  // FFV1 keeps every pixel, so that each format saved later is made from the painting itself.
  const std::string path = timelapseFolder_->filePath(QStringLiteral("painting.mkv")).toStdString();
  auto recording = std::make_unique<TimelapseRecording>();
  if (std::string problem; !recording->Prepare(path, TimelapseOptions(), &problem)) {
    timelapseProblem_ = QString::fromStdString(problem);
    return nullptr;
  }
  recording_ = std::move(recording);
  timelapseFile_ = path;
  return recording_.get();
}

void PaintingSession::EndRecording() {
  if (!recording_ || !picture_ || result_ == kPaintRefused || result_ == kPaintFailed) {
    if (recording_) recording_->Abandon();
    RecordingEnded(timelapseProblem_.isEmpty() ? QString::fromUtf8(Tr(kNotRecordedText))
                                               : timelapseProblem_);
    return;
  }
  endingTimelapse_ = true;
  // The hold at the end is encoded beside the window, which shows the result meanwhile; the
  // picture held does not change once painted, so the worker reads it in place.
  auto* watcher = new QFutureWatcher<QString>(this);
  connect(watcher, &QFutureWatcher<QString>::finished, this, [this, watcher] {
    watcher->deleteLater();
    endingTimelapse_ = false;
    RecordingEnded(watcher->result());
  });
  watcher->setFuture(QtConcurrent::run(&worker_, [this] {
    if (dropTimelapse_) {
      recording_->Abandon();
      return QString::fromUtf8(Tr(kNotRecordedText));
    }
    std::string problem;
    return Reason(recording_->Finish(picture_, outputWidth_, outputHeight_, &problem), problem);
  }));
}

void PaintingSession::RecordingEnded(const QString& problem) {
  timelapseEnded_ = true;
  timelapseProblem_ = problem;
  if (!problem.isEmpty()) timelapseFile_.clear();
  emit TimelapseRecorded(problem.isEmpty());
}

bool PaintingSession::SaveTimelapse(const QString& path) {
  if (timelapseFile_.empty() || !timelapseEnded_) return false;
  ++pendingSaves_;
  auto* watcher = new QFutureWatcher<QString>(this);
  connect(watcher, &QFutureWatcher<QString>::finished, this, [this, watcher, path] {
    watcher->deleteLater();
    --pendingSaves_;
    emit TimelapseSaved(path, watcher->result());
  });
  watcher->setFuture(QtConcurrent::run(&worker_, [this, path, source = timelapseFile_] {
    int shown = -1;
    auto progress = [this, &path, &shown](double done) {
      const int percent = static_cast<int>(done * 100);
      if (percent == shown) return;
      shown = percent;
      QMetaObject::invokeMethod(
          this, [this, path, percent] { emit TimelapseSaveProgress(path, percent); },
          Qt::QueuedConnection);
    };
    std::string problem;
    return Reason(
        WriteTimelapseAs(source, path.toStdString(), TimelapseSettings(), progress, &problem),
        problem);
  }));
  return true;
}

bool PaintingSession::Save(const QString& path) {
  if (!picture_ || painting_) return false;
  ++pendingSaves_;
  // The picture held does not change once painted, so the worker reads it in place.
  auto* watcher = new QFutureWatcher<bool>(this);
  connect(watcher, &QFutureWatcher<bool>::finished, this, [this, watcher, path] {
    watcher->deleteLater();
    --pendingSaves_;
    emit SaveFinished(path, watcher->result());
  });
  watcher->setFuture(QtConcurrent::run(&worker_, [this, target = path.toStdString()] {
    return SavePaintedPicture(target.c_str(), picture_, outputWidth_, outputHeight_) == 1;
  }));
  return true;
}

void PaintingSession::FrameClientSize(int* width, int* height) {
  // The effects show the whole picture at its own size; a window scales and moves it.
  *width = outputWidth_ + 4;
  *height = outputHeight_ + 4;
}

void PaintingSession::ShowStatus(const std::string& text) {
  const QString line = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
  QMetaObject::invokeMethod(
      this, [this, line] { emit StatusChanged(line); }, Qt::AutoConnection);
}

void PaintingSession::ShowPicture(const ImgBitmap& bitmap, const Rect& source,
                                  const Rect& destination, int stage) {
  CallOnSessionThread([this, &bitmap, &source, &destination, stage] {
    emit PictureShown(bitmap, source, destination, stage);
  });
}

void PaintingSession::ShowWarningBox(const std::string& text) {
  CallOnSessionThread([this, &text] { emit WarningShown(text); });
}

void PaintingSession::CallOnSessionThread(const std::function<void()>& call) {
  if (QThread::currentThread() == thread()) {
    call();
    return;
  }
  auto finished = std::make_shared<bool>(false);
  QMetaObject::invokeMethod(
      this,
      [this, &call, finished] {
        std::unique_lock<std::mutex> lock(callMutex_);
        if (abandoned_) return;
        lock.unlock();
        call();
        lock.lock();
        *finished = true;
        callDone_.notify_all();
      },
      Qt::QueuedConnection);
  std::unique_lock<std::mutex> lock(callMutex_);
  callDone_.wait(lock, [this, &finished] { return *finished || abandoned_; });
}

// SPDX-FileCopyrightText: The Quillane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "gui/painting_session.h"

#include <QCryptographicHash>
#include <QThread>
#include <QtConcurrent/QtConcurrentRun>
#include <algorithm>
#include <cstring>
#include <utility>

#include "app/paint_driver.h"
#include "app/program_random.h"
#include "base/language.h"
#include "base/paint_context.h"
#include "painting/painted_picture.h"
#include "painting/start_picture.h"
#include "painting/timelapse_recording.h"

namespace {

const char kNotWrittenText[] = TrNoop("the file could not be written");
const char kChangedText[] = TrNoop(
    "the painting could not be repeated for its time-lapse: the pictures it was painted from "
    "have changed since");

// The reason of a failure, never empty: an empty one would read as success.
QString Reason(bool ok, const std::string& problem) {
  if (ok) return QString();
  return QString::fromStdString(problem.empty() ? std::string(Tr(kNotWrittenText)) : problem);
}

QByteArray DigestOf(const DibHandle& picture) {
  if (!picture) return QByteArray();
  return QCryptographicHash::hash(
      QByteArrayView(picture.Lock(), static_cast<qsizetype>(picture.Size())),
      QCryptographicHash::Md5);
}

bool SamePicture(const DibHandle& a, const DibHandle& b) {
  return a && b && a.Size() == b.Size() && std::memcmp(a.Lock(), b.Lock(), a.Size()) == 0;
}

// The window of a painting painted again for its time-lapse: it shows nothing, and its frame is
// that of the first painting.
class RepaintWindow : public FrontWindow {
 public:
  RepaintWindow(int32_t width, int32_t height) : width_(width), height_(height) {}
  void FrameClientSize(int* width, int* height) override {
    *width = width_ + 4;
    *height = height_ + 4;
  }
  void ShowNotice(const std::string&) override {}
  void ShowWarningBox(const std::string&) override {}

 private:
  int32_t width_;
  int32_t height_;
};

// Hands a recording the frames of a painting painted again, up to `limit`, then stops the
// painting when `stopThere` says so.
class FramesUpTo : public FrameRecorder {
 public:
  FramesUpTo(TimelapseRecording* recording, int64_t limit, bool stopThere, FrontWindow* window,
             std::function<void(double)> progress)
      : recording_(recording),
        limit_(limit),
        stopThere_(stopThere),
        window_(window),
        progress_(std::move(progress)) {
    if (stopThere_ && limit_ <= 0) window_->RequestStop();
  }
  int FramesWanted() const override { return recording_->FramesWanted(); }
  void TakeFrames(const ImgBitmap& bitmap, const Rect& area, int count) override {
    const int64_t frames = std::min<int64_t>(count, limit_ - taken_);
    if (frames <= 0) return;
    recording_->TakeFrames(bitmap, area, static_cast<int>(frames));
    taken_ += frames;
    progress_(static_cast<double>(taken_) / FramesWanted());
    if (stopThere_ && taken_ >= limit_) window_->RequestStop();
  }
  int64_t Taken() const { return taken_; }

 private:
  TimelapseRecording* recording_;
  int64_t limit_;
  bool stopThere_;
  FrontWindow* window_;
  std::function<void(double)> progress_;
  int64_t taken_ = 0;
};

}  // namespace

// Tells how far the painting has come, in `points` steps, and takes no frames.
class FrameCounter : public FrameRecorder {
 public:
  explicit FrameCounter(int points) : points_(points) {}
  int FramesWanted() const override { return points_; }
  void TakeFrames(const ImgBitmap&, const Rect&, int count) override { taken += count; }
  // The frames of a time-lapse of `wanted` frames that the painting had certainly passed.
  int64_t FramesPassed(int wanted) const {
    return taken > 0 ? (taken - 1) * (wanted - 1) / (points_ - 1) + 1 : 0;
  }
  int64_t taken = 0;

 private:
  int points_;
};

// The steps a painting of `effect` at `pixels` counts. The mosaic takes its frames between tile
// sources, where nothing waits for them: it counts every frame, and its time-lapse stops exactly
// where it stopped. In a stroke style each step makes the painting's threads meet, which costs
// about as much as a sweep's start: a time-lapse's 240 nearly double a painting of 1024 x 768,
// and even 7 add a seventh there on a busy machine. So it counts a step per million pixels, none
// below that: a painting that small is over in a blink, before anyone could stop it half-way,
// and a stop comes at most a step after the last step passed.
int StepsFor(int32_t effect, int64_t pixels, int wanted) {
  if (effect == PictureMosaic) return wanted;
  return static_cast<int>(std::clamp<int64_t>(pixels / 1000000 + 1, 2, wanted));
}

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
  prepareWatcher_.setFuture(QtConcurrent::run(&worker_, [this, request = request_] {
    auto prepared = std::make_shared<PreparedPicture>();
    if (request.width > 0 && request.height > 0) {
      *prepared =
          PrepareStartPicture(request.startPath, request.width, request.height, request.effect);
    }
    // Read on this thread only once the preparing has ended.
    startDigest_ = DigestOf(prepared->picture);
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
  const uint32_t seed = seed_ = start.seed;
  if (record_) {
    const TimelapseRecording wanted;  // at the defaults that SaveTimelapse records with
    frames_ = std::make_unique<FrameCounter>(
        StepsFor(request_.effect, int64_t{outputWidth_} * outputHeight_, wanted.FramesWanted()));
  }
  // The painting takes the picture; what it paints comes back in its result.
  paintWatcher_.setFuture(QtConcurrent::run(
      &worker_, [this, seed, start = std::make_shared<DibHandle>(std::move(picture_))] {
        PaintContext paint = PaintContext::For(this, seed);
        paint.frames = frames_.get();
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
}

bool PaintingSession::HasTimelapse() const {
  return frames_ && done_ && picture_ && (result_ == kPaintFinished || result_ == kPaintStopped);
}

// Runs `work` on the worker after anything before it, and hands its result to `done` here.
template <typename Work, typename Then>
void PaintingSession::RunSave(Work work, Then done) {
  using Result = decltype(work());
  ++pendingSaves_;
  auto* watcher = new QFutureWatcher<Result>(this);
  connect(watcher, &QFutureWatcher<Result>::finished, this, [this, watcher, done] {
    watcher->deleteLater();
    --pendingSaves_;
    done(watcher->result());
  });
  watcher->setFuture(QtConcurrent::run(&worker_, std::move(work)));
}

bool PaintingSession::Save(const QString& path) {
  if (!picture_ || painting_) return false;
  // The picture held does not change once painted, so the worker reads it in place.
  RunSave(
      [this, target = path.toStdString()] {
        return SavePaintedPicture(target.c_str(), picture_, outputWidth_, outputHeight_) == 1;
      },
      [this, path](bool saved) { emit SaveFinished(path, saved); });
  return true;
}

bool PaintingSession::SaveTimelapse(const QString& path) {
  if (!HasTimelapse()) return false;
  RunSave(
      [this, path] {
        TimelapseRecording recording;
        std::string problem;
        if (!recording.Prepare(path.toStdString(), TimelapseOptions(), &problem)) {
          return Reason(false, problem);
        }
        problem = RepaintInto(&recording, path);
        if (!problem.empty()) {
          recording.Abandon();
          return Reason(false, problem);
        }
        return Reason(recording.Finish(picture_, outputWidth_, outputHeight_, &problem), problem);
      },
      [this, path](const QString& problem) { emit TimelapseSaved(path, problem); });
  return true;
}

std::string PaintingSession::RepaintInto(TimelapseRecording* recording, const QString& path) {
  PreparedPicture start =
      PrepareStartPicture(request_.startPath, request_.width, request_.height, request_.effect);
  if (!start.picture) return start.reason;
  if (DigestOf(start.picture) != startDigest_) return Tr(kChangedText);
  RepaintWindow window(outputWidth_, outputHeight_);
  const bool finished = result_ == kPaintFinished;
  // A stopped painting is painted again up to the last frame it had certainly passed (at most a
  // step before its stop); the picture it stopped on follows.
  const int64_t limit =
      finished ? recording->FramesWanted() : frames_->FramesPassed(recording->FramesWanted());
  int shown = -1;
  FramesUpTo frames(recording, limit, !finished, &window, [this, &path, &shown](double done) {
    const int percent = static_cast<int>(done * 100);
    if (percent == shown) return;
    shown = percent;
    QMetaObject::invokeMethod(
        this, [this, path, percent] { emit TimelapseSaveProgress(path, percent); },
        Qt::QueuedConnection);
  });
  PaintContext paint = PaintContext::For(&window, seed_);
  paint.frames = &frames;
  const RenderResult again = RenderPrepared(request_, std::move(start.picture), paint, &window);
  // The same start picture and seed paint the same frames and the same picture, unless what it
  // was painted from has changed since (the mosaic's tile pictures).
  if (again.code == kPaintFailed) return again.reason;
  if (finished ? !SamePicture(again.picture, picture_) : frames.Taken() < limit) {
    return Tr(kChangedText);
  }
  return std::string();
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

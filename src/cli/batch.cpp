// SPDX-FileCopyrightText: The Quillane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/batch.h"

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <filesystem>
#include <map>
#include <mutex>
#include <new>
#include <thread>
#include <vector>

#include "base/front_window.h"
#include "base/language.h"
#include "base/processors.h"
#include "cli/terminal_window.h"
#include "cli/write_signals.h"
#include "painting/effect_table.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

// The window of one painting in the batch. It shows nothing: its status lines would mix with
// those of the other paintings, and its warnings become the reason the file failed.
class BatchWindow : public FrontWindow {
 public:
  void ShowWarningBox(const std::string& text) override {
    if (!warnings_.empty()) warnings_ += ' ';
    warnings_ += text;
  }
  const std::string& Warnings() const { return warnings_; }

 private:
  std::string warnings_;
};

enum class State { kWaiting, kPainted, kFailed, kSkipped };

struct Job {
  std::string input;
  std::string output;
  State state = State::kWaiting;
  FileOutcome outcome;
};

std::string Duration(double seconds) {
  const long s = static_cast<long>(seconds + 0.5);
  char text[32];
  if (s >= 3600) {
    std::snprintf(text, sizeof text, "%ld:%02ld:%02ld", s / 3600, s / 60 % 60, s % 60);
  } else {
    std::snprintf(text, sizeof text, "%ld:%02ld", s / 60, s % 60);
  }
  return text;
}

class Batch {
 public:
  Batch(const CliOptions& options, const PaintFileFunction& paintFile)
      : options_(options),
        paintFile_(paintFile),
        terminal_(isatty(STDERR_FILENO) == 1),
        start_(Clock::now()) {}

  int Run();

 private:
  void Plan();
  void Work();
  void Paint(Job& job);
  void Finish(Job& job, State state);
  void StopPaintings();
  void ShowProgress();
  void PrintLine(const std::string& text);
  int ExitStatus() const;

  const CliOptions& options_;
  const PaintFileFunction& paintFile_;
  const bool terminal_;
  const Clock::time_point start_;
  std::vector<Job> jobs_;

  std::mutex mutex_;  // guards everything below, and standard error
  std::condition_variable changed_;
  size_t next_ = 0;
  int finished_ = 0;  // jobs no longer waiting
  int painting_ = 0;  // paintings that have ended, for the estimate of the time left
  int workersRunning_ = 0;
  bool stopping_ = false;
  bool lineOpen_ = false;
  std::vector<BatchWindow*> active_;
};

void Batch::Plan() {
  const char* effect = FindEffect(options_.effect)->cliName;
  std::map<std::string, std::string> claimedBy;  // output -> the input that writes it
  for (const std::string& input : options_.inputs) {
    Job job;
    job.input = input;
    job.output = BatchOutputPath(options_.outputDir, input, effect, options_.format);
    jobs_.push_back(job);
  }
  for (Job& job : jobs_) {
    // Two inputs of the same name in different folders would write the same output: the
    // second would replace the first's painting or be skipped because of it.
    const auto [claim, isNew] = claimedBy.emplace(job.output, job.input);
    if (!isNew) {
      job.outcome = {1,
                     Tr("its output ") + job.output + Tr(" is already that of ") + claim->second};
      Finish(job, State::kFailed);
    } else if (!options_.overwrite && fs::exists(fs::symlink_status(job.output))) {
      job.outcome.reason = job.output + Tr(" exists (--overwrite replaces it)");
      Finish(job, State::kSkipped);
    }
  }
}

void Batch::Work() {
  for (;;) {
    Job* job = nullptr;
    {
      std::lock_guard lock(mutex_);
      while (next_ < jobs_.size() && jobs_[next_].state != State::kWaiting) ++next_;
      if (stopping_ || next_ == jobs_.size()) break;
      job = &jobs_[next_++];
    }
    Paint(*job);
  }
  std::lock_guard lock(mutex_);
  --workersRunning_;
  changed_.notify_all();
}

void Batch::Paint(Job& job) {
  BatchWindow window;
  {
    std::lock_guard lock(mutex_);
    active_.push_back(&window);
    if (stopping_) window.RequestStop();
  }
  FileOutcome outcome;
  try {
    outcome = paintFile_(job.input, job.output, window);
  } catch (const std::bad_alloc&) {
    outcome = {1, Tr("out of memory")};
  }
  if (outcome.status != 0 && outcome.reason.empty()) outcome.reason = window.Warnings();
  if (outcome.status != 0 && outcome.reason.empty()) outcome.reason = Tr("the painting failed");

  std::lock_guard lock(mutex_);
  active_.erase(std::find(active_.begin(), active_.end(), &window));
  job.outcome = outcome;
  ++painting_;
  Finish(job, outcome.status == 0 ? State::kPainted : State::kFailed);
}

// Records how a job ended and reports it; called with the lock held or before the workers start.
void Batch::Finish(Job& job, State state) {
  job.state = state;
  ++finished_;
  const std::string count =
      "[" + std::to_string(finished_) + "/" + std::to_string(jobs_.size()) + "] ";
  switch (state) {
    case State::kPainted:
      // On a terminal the progress line tells as much.
      if (!terminal_ && !options_.quiet)
        PrintLine(count + job.input + Tr(": painted ") + job.output);
      break;
    case State::kFailed:
      PrintLine(count + job.input + Tr(": failed: ") + job.outcome.reason);
      break;
    case State::kSkipped:
      PrintLine(count + job.input + Tr(": skipped, ") + job.outcome.reason);
      break;
    case State::kWaiting:
      break;
  }
  changed_.notify_all();
}

// A line of its own, above the progress line on a terminal.
void Batch::PrintLine(const std::string& text) {
  if (lineOpen_) std::fputs("\r\033[K", stderr);
  lineOpen_ = false;
  std::fprintf(stderr, "%s\n", text.c_str());
  std::fflush(stderr);
}

void Batch::ShowProgress() {
  if (!terminal_ || options_.quiet) return;
  const double elapsed = std::chrono::duration<double>(Clock::now() - start_).count();
  const int total = static_cast<int>(jobs_.size());
  std::string left = Tr("estimating the time left");
  if (painting_ > 0) {
    // The paintings that ended took this long each, with as many running side by side as now.
    left = Tr("about ") + Duration(elapsed / painting_ * (total - finished_)) + Tr(" left");
  }
  std::fprintf(stderr, Tr("\r%d of %d done, %s elapsed, %s\033[K"), finished_, total,
               Duration(elapsed).c_str(), left.c_str());
  std::fflush(stderr);
  lineOpen_ = true;
}

void Batch::StopPaintings() {
  stopping_ = true;
  for (BatchWindow* window : active_) window->RequestStop();
}

int Batch::ExitStatus() const {
  int status = 0;
  for (const Job& job : jobs_) {
    if (job.state == State::kFailed) status = std::max(status, job.outcome.status);
    // Pictures that Ctrl-C kept from being painted leave the batch unfinished.
    if (job.state == State::kWaiting) status = std::max(status, 1);
  }
  return status;
}

int Batch::Run() {
  std::error_code error;
  fs::create_directories(options_.outputDir, error);
  if (error || !fs::is_directory(options_.outputDir)) {
    std::fprintf(stderr, Tr("quillane-cli: cannot make the folder %s: %s\n"),
                 options_.outputDir.c_str(),
                 error ? error.message().c_str() : Tr("a file of that name is in the way"));
    return 1;
  }
  Plan();

  // Ctrl-C presses Stop in a window of the batch's own; its thread passes it on to the
  // paintings under way.
  BatchWindow interrupt;
  InstallStopOnInterrupt(&interrupt);
  // Pictures are written while others are painted: a signal that ends the batch must take the
  // files being written with it at any time.
  InstallEndSignals();

  const int jobs = ThreadsOrAll(options_.jobs);
  std::vector<std::thread> workers;
  {
    std::unique_lock lock(mutex_);
    workersRunning_ = std::min<int>(jobs, static_cast<int>(jobs_.size()));
    for (int i = 0; i < workersRunning_; ++i) workers.emplace_back(&Batch::Work, this);
    // Wakes for every file that ends, and a few times a second for Ctrl-C and the clock.
    while (workersRunning_ > 0) {
      if (!stopping_ && interrupt.StopPressed()) StopPaintings();
      ShowProgress();
      changed_.wait_for(lock, std::chrono::milliseconds(terminal_ ? 250 : 100));
    }
  }
  for (std::thread& worker : workers) worker.join();

  RemoveStopOnInterrupt();
  RemoveWriteSignals();

  int painted = 0, failed = 0, skipped = 0, waiting = 0;
  for (const Job& job : jobs_) {
    painted += job.state == State::kPainted;
    failed += job.state == State::kFailed;
    skipped += job.state == State::kSkipped;
    waiting += job.state == State::kWaiting;
  }
  if (waiting > 0) {
    char text[128];
    std::snprintf(text, sizeof text,
                  waiting == 1 ? Tr("stopped: %d picture not painted")
                               : Tr("stopped: %d pictures not painted"),
                  static_cast<int>(waiting));
    PrintLine(text);
  }
  char summary[128];
  std::snprintf(summary, sizeof summary, Tr("%d painted, %d failed, %d skipped"),
                static_cast<int>(painted), static_cast<int>(failed), static_cast<int>(skipped));
  PrintLine(summary);
  return ExitStatus();
}

}  // namespace

std::string BatchOutputPath(const std::string& dir, const std::string& input,
                            const std::string& effectName, const std::string& format) {
  const std::string stem = fs::path(input).stem().string();
  return (fs::path(dir) / (stem + "-" + effectName + "." + format)).string();
}

int RunBatch(const CliOptions& options, const PaintFileFunction& paintFile) {
  Batch batch(options, paintFile);
  return batch.Run();
}

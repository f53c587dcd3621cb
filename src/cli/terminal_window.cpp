// SPDX-FileCopyrightText: The Quillane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "cli/terminal_window.h"

#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cstdio>
#include <string>
#include <utility>

#include "base/language.h"
#include "cli/write_signals.h"

namespace {

// The signal handler may only touch lock-free atomics.
static_assert(std::atomic<bool>::is_always_lock_free);
static_assert(std::atomic<FrontWindow*>::is_always_lock_free);
std::atomic<FrontWindow*> interruptTarget{nullptr};
volatile sig_atomic_t interrupted = 0;

extern "C" void PressStopOnInterrupt(int signal) {
  // A second Ctrl-C ends the program the usual way, taking the files being written with it.
  if (interrupted != 0) {
    EndProgramBySignal(signal);
    return;
  }
  interrupted = 1;
  FrontWindow* window = interruptTarget.load(std::memory_order_relaxed);
  if (window != nullptr) window->RequestStop();
}

// A count at the start of `at`, "47%", "3 of 8" or "3/8": how far it has come in tenths, and how
// many characters it takes; false when there is none.
bool ReadCount(const char* at, int* tenth, int* length) {
  long done = 0, total = 0;
  if (std::sscanf(at, "%9ld%%%n", &done, length) == 1 && *length > 0) {
    total = 100;
  } else if ((std::sscanf(at, "%9ld of %9ld%n", &done, &total, length) != 2 &&
              std::sscanf(at, "%9ld/%9ld%n", &done, &total, length) != 2) ||
             total <= 0) {
    return false;
  }
  *tenth = static_cast<int>(std::clamp(done * 10 / total, 0L, 10L));
  return true;
}

// The text with its counts given in tenths of the way: texts with the same key are the same
// step of a tenth. Empty for a text without counts.
std::string ProgressKey(const std::string& text) {
  std::string key;
  bool counted = false;
  for (size_t at = 0; at < text.size();) {
    int tenth = 0, length = 0;
    if (std::isdigit(static_cast<unsigned char>(text[at])) &&
        ReadCount(text.c_str() + at, &tenth, &length)) {
      key += '#' + std::to_string(tenth);
      at += static_cast<size_t>(length);
      counted = true;
    } else {
      key += text[at++];
    }
  }
  return counted ? key : std::string();
}

}  // namespace

TerminalWindow::TerminalWindow(bool quiet) : quiet_(quiet), terminal_(isatty(STDERR_FILENO) == 1) {}

void TerminalWindow::ShowStatus(const std::string& text) {
  // The painting rewrites its status once per sweep line; only changes are worth showing.
  if (quiet_ || text == lastStatus_) return;
  lastStatus_ = text;
  if (terminal_) {
    std::fprintf(stderr, "\r%s\033[K", text.c_str());
    lineOpen_ = true;
  } else {
    // A log or a pipe keeps every line: one per tenth of the way, without the blanks that
    // wipe a longer line on a terminal.
    const std::string line = text.substr(0, text.find_last_not_of(' ') + 1);
    std::string progress = ProgressKey(line);
    if (!progress.empty() && progress == lastProgress_) return;
    lastProgress_ = std::move(progress);
    std::fprintf(stderr, "%s\n", line.c_str());
  }
  std::fflush(stderr);
}

void TerminalWindow::ShowWarningBox(const std::string& text) {
  ++warningsShown_;
  EndProgress();
  std::fprintf(stderr, "%s\n", text.c_str());
  std::fflush(stderr);
}

void TerminalWindow::ShowNotice(const std::string& text) {
  EndProgress();
  std::fprintf(stderr, "quillane-cli: %s\n", text.c_str());
  std::fflush(stderr);
}

void TerminalWindow::EndProgress() {
  if (!lineOpen_) return;
  std::fputc('\n', stderr);
  std::fflush(stderr);
  lineOpen_ = false;
}

void InstallStopOnInterrupt(FrontWindow* window) {
  interruptTarget.store(window, std::memory_order_relaxed);
  interrupted = 0;
  struct sigaction action = {};
  action.sa_handler = PressStopOnInterrupt;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, nullptr);
}

void RemoveStopOnInterrupt() {
  struct sigaction action = {};
  action.sa_handler = SIG_DFL;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, nullptr);
  interruptTarget.store(nullptr, std::memory_order_relaxed);
}

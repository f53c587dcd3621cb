// SPDX-FileCopyrightText: The Quillane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "cli/terminal_window.h"

#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>

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
    std::fprintf(stderr, "%s\n", text.c_str());
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

// SPDX-FileCopyrightText: The Quillane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/write_signals.h"

#include <signal.h>
#include <unistd.h>

#include <cstring>

#include "base/language.h"
#include "imaging/file_replacing.h"

namespace {

volatile sig_atomic_t interrupts = 0;

constexpr char kFinishing[] = TrNoop("finishing the file, press Ctrl-C again to abandon it\n");

// Looked up before any handler runs: a handler may not call into the catalogues.
const char* finishing = kFinishing;

void FirstInterrupt() {
  interrupts = 1;
  [[maybe_unused]] const ssize_t n = write(STDERR_FILENO, finishing, std::strlen(finishing));
}

extern "C" void OnWriteSignal(int signal) {
  if (signal == SIGINT && interrupts == 0) {
    FirstInterrupt();
    return;
  }
  EndProgramBySignal(signal);
}

extern "C" void OnEndSignal(int signal) {
  EndProgramBySignal(signal);
}

void SetHandler(int signal, void (*handler)(int)) {
  struct sigaction action = {};
  action.sa_handler = handler;
  sigemptyset(&action.sa_mask);
  for (int s : {SIGINT, SIGTERM, SIGHUP}) sigaddset(&action.sa_mask, s);
  sigaction(signal, &action, nullptr);
}

}  // namespace

// Only async-signal-safe calls: unlink and nanosleep (inside RemovePartialFileNow), sigaction,
// raise.
void EndProgramBySignal(int signal) {
  RemovePartialFileNow();
  struct sigaction action = {};
  action.sa_handler = SIG_DFL;
  sigemptyset(&action.sa_mask);
  sigaction(signal, &action, nullptr);
  raise(signal);
}

void InstallWriteSignals(bool interruptedBefore) {
  finishing = Tr(kFinishing);
  interrupts = interruptedBefore ? 1 : 0;
  for (int s : {SIGINT, SIGTERM, SIGHUP}) SetHandler(s, OnWriteSignal);
}

void TakeInterruptDuringWrite() {
  FirstInterrupt();
}

void RemoveWriteSignals() {
  for (int s : {SIGINT, SIGTERM, SIGHUP}) SetHandler(s, SIG_DFL);
}

void InstallEndSignals() {
  for (int s : {SIGTERM, SIGHUP}) SetHandler(s, OnEndSignal);
}

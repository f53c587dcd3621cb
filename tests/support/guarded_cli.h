// SPDX-FileCopyrightText: The Quillane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

// Runs quillane-cli in a child process the way a hostile file would meet it in use: with a
// memory limit (2 GB of address space, or an RSS limit under AddressSanitizer, which reserves
// terabytes of address space up front), a time limit, no terminal, and its output captured.

#include <gtest/gtest.h>

#include <string>
#include <vector>

struct GuardedRun {
  bool exited = false;    // ended through exit(); false when a signal ended it
  int status = -1;        // exit status when exited
  int signal = 0;         // the signal that ended it, when not exited
  bool timedOut = false;  // killed after the time limit
  std::string out;        // standard output
  std::string err;        // standard error

  // "exit 2" or "signal 11 (timed out)": for failure messages.
  std::string Describe() const;
};

// Memory limit for the renderer and for this test process.
constexpr long long kMemoryLimitBytes = 2'000'000'000LL;

// A sanitizer that finds a fault ends the renderer with this status, which no path of the
// program uses.
constexpr int kSanitizerExitStatus = 86;

// True when this binary was built with AddressSanitizer.
bool BuiltWithAddressSanitizer();

// Runs QUILLANE_CLI_PATH with the arguments (without the program name).
// A fileSizeLimit above 0 also limits the size of every file it writes (RLIMIT_FSIZE), as a
// nearly full disk would; a memoryLimit above 0 takes the place of kMemoryLimitBytes.
GuardedRun RunGuardedCli(const std::vector<std::string>& args, int timeoutSeconds = 120,
                         long long fileSizeLimit = 0, long long memoryLimit = 0);

// Limits this process's own address space to kMemoryLimitBytes (not under AddressSanitizer).
void LimitOwnMemory();

// The renderer ended by itself, in time, with one of its documented statuses (0 finished, 1
// stopped or failed, 2 refused with a warning, 64 usage error), and no sanitizer spoke.
::testing::AssertionResult EndedCleanly(const GuardedRun& run);

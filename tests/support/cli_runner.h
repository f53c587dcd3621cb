// SPDX-FileCopyrightText: The Quillane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

// Runs quillane-cli from the tests.

#include <functional>
#include <string>
#include <vector>

struct CliRun {
  int exitStatus = -1;  // the exit status, or -1 when the program did not exit normally
  int endSignal = 0;    // the signal that ended it, when it did not exit
  std::string out;      // standard output
  std::string err;      // standard error (a pipe, so never a terminal)
};

// Runs quillane-cli with the arguments and waits for it.
CliRun RunCli(const std::vector<std::string>& arguments);

// Runs quillane-cli on a pseudo-terminal, as from a terminal window; `out` receives all it
// writes there (standard output and error, with the terminal's "\r\n" line ends).
CliRun RunCliOnTerminal(const std::vector<std::string>& arguments);

// Runs quillane-cli, sends it SIGINT as soon as its standard error shows `trigger`, and waits.
CliRun RunCliInterrupted(const std::vector<std::string>& arguments, const std::string& trigger);

// A signal to send once `ready` (asked with standard error so far, after every read and every
// millisecond) says so.
struct SignalStep {
  std::function<bool(const std::string& err)> ready;
  int signal;
};

// Runs quillane-cli and sends it the signals of the steps in turn.
CliRun RunCliWithSignals(const std::vector<std::string>& arguments,
                         const std::vector<SignalStep>& steps);

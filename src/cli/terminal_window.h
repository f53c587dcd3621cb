// SPDX-FileCopyrightText: The Quillane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

// The window in front for the command-line renderer: status lines go to standard error (one
// line rewritten in place on a terminal), warnings too, and Ctrl-C presses Stop.

#include <string>

#include "base/front_window.h"

class TerminalWindow : public FrontWindow {
 public:
  // A window without picture frame: nothing is shown while the picture is painted.
  explicit TerminalWindow(bool quiet);

  void ShowStatus(const std::string& text) override;
  void ShowWarningBox(const std::string& text) override;
  void ShowNotice(const std::string& text) override;

  // Ends a progress line left open on a terminal.
  void EndProgress();
  int WarningsShown() const { return warningsShown_; }

 private:
  bool quiet_;
  bool terminal_;
  bool lineOpen_ = false;
  int warningsShown_ = 0;
  std::string lastStatus_;
  std::string lastProgress_;  // the last progress written where there is no terminal, in tenths
};

// While installed, SIGINT presses Stop in `window`; a second Ctrl-C ends the program.
void InstallStopOnInterrupt(FrontWindow* window);
void RemoveStopOnInterrupt();

// SPDX-FileCopyrightText: The Quillane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

// The window in front for the command-line renderer: status lines go to standard error (one
// line rewritten in place on a terminal), warnings too, and Ctrl-C presses Stop.

#include <string>

#include "painting/front_window.h"

class TerminalWindow : public FrontWindow {
 public:
  // A frame whose display rectangle (the client area inset by 2) is width x height.
  TerminalWindow(int pictureWidth, int pictureHeight, bool quiet);

  void FrameClientSize(int* width, int* height) override;
  void ShowStatus(const std::string& text) override;
  void ShowWarningBox(const std::string& text) override;

  // Ends a progress line left open on a terminal.
  void EndProgress();

 private:
  int frameWidth_;
  int frameHeight_;
  bool quiet_;
  bool terminal_;
  bool lineOpen_ = false;
  std::string lastStatus_;
};

// While installed, SIGINT presses Stop in `window`; a second Ctrl-C ends the program.
void InstallStopOnInterrupt(TerminalWindow* window);
void RemoveStopOnInterrupt();

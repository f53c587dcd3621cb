// SPDX-FileCopyrightText: The Quillane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Many pictures at once: quillane-cli --output-dir DIR INPUT...

#include <functional>
#include <string>

#include "cli/cli_options.h"

class FrontWindow;

// How the painting of one file ended: the exit status the single-file form gives for it, and
// why it failed.
struct FileOutcome {
  int status = 0;
  std::string reason;
};

// Paints `input` into `output` in `window`, whose Stop button is pressed on Ctrl-C. A painting
// that is stopped or fails writes nothing.
using PaintFileFunction = std::function<FileOutcome(
    const std::string& input, const std::string& output, FrontWindow& window)>;

// Paints every input of `options` into its output folder, options.jobs at a time, each on its
// own thread with its own window. Reports every file that fails or is skipped, shows the
// progress, ends with the line "N painted, N failed, N skipped" and returns the exit status:
// 0 when every picture was painted or skipped, otherwise the worst status of a single file.
int RunBatch(const CliOptions& options, const PaintFileFunction& paintFile);

// The output of one input: DIR/<input's name without its ending>-<effect>.<format>.
std::string BatchOutputPath(const std::string& dir, const std::string& input,
                            const std::string& effectName, const std::string& format);

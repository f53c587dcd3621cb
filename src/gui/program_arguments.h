// SPDX-FileCopyrightText: The Quillane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The desktop program's command line: `quillane [FILE]`, as file managers start it with the
// picture chosen in "Open With".

#include <string>

#include "base/language.h"

enum class ProgramCommand { kRun, kHelp, kVersion, kUsageError };

// What `quillane --help` prints, in the original set (shown through Tr()).
extern const char kProgramUsage[];

struct ProgramArguments {
  std::string startPicture;  // FILE as an absolute path; empty when none was given
};

// --help or --version among the arguments (before any "--"): answered before the program needs
// a display, like every desktop program's binary. kRun otherwise.
ProgramCommand InformationRequested(int argc, const char* const* argv);

// Reads the arguments that Qt left (its own options are gone by then). On kUsageError
// `problem` says what is wrong.
ProgramCommand ReadProgramArguments(int argc, const char* const* argv, ProgramArguments* arguments,
                                    std::string* problem);

// Makes `path` the start picture in the Settings record, as if chosen with "...", before the
// main window opens. A file that is not there, not a regular file or not readable is refused
// with the reason, and the remembered start picture stays.
bool UseStartPictureArgument(const std::string& path, std::string* problem);

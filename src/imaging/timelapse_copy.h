// SPDX-FileCopyrightText: The Quillane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// A time-lapse the program has recorded, written again where the user wants it and in the
// format the user names: the desktop program records one lossless video while it paints and
// makes each saved format from it afterwards.

#include <functional>
#include <string>

#include "imaging/timelapse_writer.h"

// Writes the time-lapse `recording` to `target` in the format of target's ending. The same
// format is copied as it is; another is decoded frame by frame and encoded anew at the rate of
// `settings`. `progress` (may be empty) hears the share done, 0 to 1, now and then. The target
// is written like every file of the program: false with the reason when it fails, and nothing
// is left at `target` that was not there before.
bool WriteTimelapseAs(const std::string& recording, const std::string& target,
                      const TimelapseSettings& settings,
                      const std::function<void(double)>& progress, std::string* problem);

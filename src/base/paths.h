// SPDX-FileCopyrightText: The Quillane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <cstddef>
#include <string>

// The longest paths the program keeps, the closing NUL included: the settings file holds the
// start picture in 500 bytes and each picture list entry in 300. The renderer takes no longer
// ones, so that a file that paints on the command line also paints in the program.
constexpr size_t kStartPictureSize = 500;
constexpr size_t kPictureListEntrySize = 300;

// Folder of the running executable, without a trailing '/'. The example picture and the
// "Picture Library" folder stand beside it.
std::string ExecutableFolder();
// Overrides the executable folder (tests, and programs run from elsewhere); empty to reset.
void SetExecutableFolder(const std::string& folder);
// Full path of "Example Picture.jpg" beside the executable.
std::string ExamplePicturePath();
// Whether the file can be opened for reading now. Never waits, not even on a named pipe.
bool FileOpensForReading(const char* path);

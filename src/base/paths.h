// SPDX-FileCopyrightText: The Quillane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <string>

// Folder of the running executable, without a trailing '/'. The example picture and the
// "Picture Library" folder stand beside it.
std::string ExecutableFolder();
// Overrides the executable folder (tests, and programs run from elsewhere); empty to reset.
void SetExecutableFolder(const std::string& folder);
// Full path of "Example Picture.jpg" beside the executable.
std::string ExamplePicturePath();
// Whether the file can be opened for reading now. Never waits, not even on a named pipe.
bool FileOpensForReading(const char* path);

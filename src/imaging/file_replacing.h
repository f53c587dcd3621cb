// SPDX-FileCopyrightText: The Quillane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Writing a file so that it is either all there or not changed at all: the bytes go to a
// temporary file in the folder of the file they replace, which is renamed over it once
// complete. A file that exists keeps its mode (and, where allowed, its owner and group); a
// symbolic link keeps pointing at its target, which is the file replaced.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

// The file that writing to `path` replaces: `path` itself, or the final target of the symbolic
// links it names (which need not exist yet).
std::string FinalTargetOf(const std::string& path);

// Whether a file can be written at `path` at all, checked before any work is done: its folder
// exists and may be written in, its name is neither empty nor too long for the file system,
// and what is there already (through links) is a regular file, not a folder, a pipe, a device
// or a socket. False with the reason in `problem` otherwise.
bool CanWriteFileAt(const std::string& path, std::string* problem);

// Replaces the file at `path` (through links) with the bytes. True on success; on failure the
// old file is untouched, no temporary file is left and `problem` (when given) says why. Only a
// regular file is ever replaced. Safe on several threads at once.
bool ReplaceFileWith(const std::string& path, const uint8_t* data, size_t size,
                     std::string* problem = nullptr);

// The same with a writer that writes the file whose name it is given (by opening it for
// writing); true when it wrote the whole file, with errno telling why not.
bool ReplaceFileByWriting(const std::string& path,
                          const std::function<bool(const char* partial)>& write,
                          std::string* problem = nullptr);

// Removes the temporary files of the ReplaceFileWith calls in progress. Safe to call from a
// signal handler, which then ends the program.
void RemovePartialFileNow();

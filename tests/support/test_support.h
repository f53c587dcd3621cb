// SPDX-FileCopyrightText: The Quillane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

// Helpers shared by the test suites. Each suite adds what it needs in its own file here.

#include <string>

// The whole content of a file; empty when it cannot be read.
std::string ReadFileBytes(const std::string& path);

// A fresh, empty scratch folder for one test, removed when the object goes away.
class ScratchFolder {
 public:
  ScratchFolder();
  ~ScratchFolder();
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;

  const std::string& Path() const { return path_; }
  // Path of a file name inside the folder.
  std::string File(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

// SPDX-FileCopyrightText: The Quillane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "base/paths.h"

#include <fcntl.h>
#include <unistd.h>

#include <climits>
#include <mutex>

namespace {

std::mutex pathMutex;
std::string overrideFolder;

std::string FolderOfRunningExecutable() {
  char buf[PATH_MAX + 1];
  const ssize_t n = readlink("/proc/self/exe", buf, PATH_MAX);
  if (n <= 0) return ".";
  std::string path(buf, static_cast<size_t>(n));
  const size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

}  // namespace

std::string ExecutableFolder() {
  std::lock_guard<std::mutex> lock(pathMutex);
  if (!overrideFolder.empty()) return overrideFolder;
  static const std::string folder = FolderOfRunningExecutable();
  return folder;
}

void SetExecutableFolder(const std::string& folder) {
  std::lock_guard<std::mutex> lock(pathMutex);
  overrideFolder = folder;
  while (overrideFolder.size() > 1 && overrideFolder.back() == '/') overrideFolder.pop_back();
}

std::string ExamplePicturePath() {
  std::string folder = ExecutableFolder();
  if (folder == "/") folder.clear();
  return folder + "/Example Picture.jpg";
}

bool FileOpensForReading(const char* path) {
  // Without O_NONBLOCK, opening a named pipe would wait for a writer that may never come.
  const int fd = open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return false;
  close(fd);
  return true;
}

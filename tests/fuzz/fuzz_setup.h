// SPDX-FileCopyrightText: The Quillane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

// Start-up shared by the fuzz targets: bounded image libraries, a private scratch folder, and a
// hard stop with the broken rule on standard error.

#include <cstdio>
#include <cstdlib>
#include <string>

#include "support/input_checks.h"

namespace fuzzsetup {

// ImageMagick reads these when it starts: a decoder that believes a header claiming a giant
// picture then fails inside the limits instead of taking the fuzzer's memory or disk. One thread
// keeps the runs reproducible and the machine's second core free. No time limit: ImageMagick
// counts it from the start of the process and ends the whole process when it runs out, and the
// fuzzer's own -timeout catches a slow input anyway.
inline void LimitImageLibraries() {
  setenv("MAGICK_MEMORY_LIMIT", "256MiB", 1);
  setenv("MAGICK_MAP_LIMIT", "512MiB", 1);
  setenv("MAGICK_DISK_LIMIT", "0", 1);
  setenv("MAGICK_AREA_LIMIT", "64MP", 1);
  setenv("MAGICK_WIDTH_LIMIT", "16KP", 1);
  setenv("MAGICK_HEIGHT_LIMIT", "16KP", 1);
  setenv("MAGICK_THREAD_LIMIT", "1", 1);
  setenv("OMP_NUM_THREADS", "1", 1);
  inputcheck::ScratchFolder();
}

inline void Require(const std::string& problem) {
  if (problem.empty()) return;
  std::fprintf(stderr, "broken rule: %s\n", problem.c_str());
  std::abort();
}

}  // namespace fuzzsetup

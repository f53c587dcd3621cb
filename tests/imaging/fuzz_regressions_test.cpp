// SPDX-FileCopyrightText: The Quillane developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Every input on which a fuzz target once found a fault stays in tests/fuzz/regressions/<target>/
// and is replayed here through the same checks, so the fault cannot come back unnoticed.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "support/guarded_cli.h"
#include "support/input_checks.h"
#include "support/sample_files.h"

namespace {

const bool kMemoryLimited = (LimitOwnMemory(), true);

std::vector<std::filesystem::path> RegressionFiles(const std::string& target) {
  const std::filesystem::path folder =
      std::filesystem::path(QUILLANE_TEST_DATA_DIR).parent_path() / "fuzz" / "regressions" / target;
  std::vector<std::filesystem::path> files;
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator(folder, ec)) {
    if (entry.is_regular_file() && entry.path().filename().string()[0] != '.') {
      files.push_back(entry.path());
    }
  }
  std::sort(files.begin(), files.end());
  return files;
}

using Check = std::string (*)(const uint8_t*, size_t);

void Replay(const std::string& target, Check check) {
  const auto files = RegressionFiles(target);
  if (files.empty()) GTEST_SKIP() << "no regression inputs for " << target;
  for (const auto& file : files) {
    const Bytes bytes = samples::ReadBytes(file.string());
    EXPECT_EQ(check(bytes.data(), bytes.size()), "") << file.filename();
  }
}

TEST(FuzzRegressions, SettingsFiles) {
  Replay("settings", inputcheck::CheckSettingsBytes);
}
TEST(FuzzRegressions, Pictures) {
  Replay("picture", inputcheck::CheckPictureBytes);
}
TEST(FuzzRegressions, MicrosoftPaintSizes) {
  Replay("msp", inputcheck::CheckMspSizeBytes);
}
TEST(FuzzRegressions, Videos) {
  Replay("video", inputcheck::CheckVideoBytes);
}

}  // namespace

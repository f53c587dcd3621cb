// SPDX-FileCopyrightText: The Quillane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

// The command line of quillane-cli.

#include <cstdint>
#include <string>
#include <vector>

struct CliOptions {
  std::string input;
  std::string output;
  // Many pictures at once: every operand is an input when an output folder is given.
  std::vector<std::string> inputs;
  std::string outputDir;  // empty: the single-file form INPUT OUTPUT
  std::string format = "jpg";
  int jobs = 0;  // 0: as many as there are cores
  bool overwrite = false;
  int32_t effect = 1;  // EffectKind; Van Gogh unless --effect says otherwise
  int32_t width = 0;   // 0: not given
  int32_t height = 0;
  bool seedGiven = false;
  uint32_t seed = 0;
  bool quiet = false;
  // Picture mosaic.
  int32_t tilesAcross = 15;
  int32_t tilesDown = 15;
  bool autoSizeTilesDown = true;
  std::vector<std::string> pictures;
  bool useList = true;
  std::string libraryFolder;  // empty: the stock folder beside the executable
  bool useLibrary = true;
  int32_t maxUses = 0;      // 0: no limit
  int32_t minDistance = 0;  // 0: no limit
  std::string tileReport;   // empty: none
  bool useIndex = true;
  std::string indexFile;  // empty: the default picture index in the cache folder
};

enum class CliCommand { kPaint, kHelp, kVersion, kUsageError };

// Reads the arguments; on kUsageError `problem` says what is wrong.
CliCommand ParseCliOptions(int argc, const char* const* argv, CliOptions* options,
                           std::string* problem);

extern const char kCliUsage[];

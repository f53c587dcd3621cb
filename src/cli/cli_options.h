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
  std::string timelapse;  // empty: none; with --output-dir only its ending counts
  int timelapseSeconds = 8;
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

// Where --help lists an option.
enum class CliSection { kGeneral, kBatch, kMosaic };

// One option of the command line: its name, its value, its lines in --help and how it is read.
struct CliOption {
  const char* name;       // "--width"
  const char* valueName;  // "N"; null for an option without a value
  CliSection section;
  const char* usage;  // its lines in --help; null when another option's lines name it
  // Reads the value into the options; false with the problem when it is wrong.
  bool (*apply)(const std::string& name, const std::string& value, CliOptions* options,
                std::string* problem);
  CliCommand command = CliCommand::kPaint;  // --help and --version answer at once
  const char* pathOf = nullptr;  // the value names this file or folder: it must not be empty
  bool batchOnly = false;        // only the --output-dir form takes it
};

// Reads the arguments; on kUsageError `problem` says what is wrong.
CliCommand ParseCliOptions(int argc, const char* const* argv, CliOptions* options,
                           std::string* problem);

// The text of --help, made from the table of options.
std::string CliUsage();

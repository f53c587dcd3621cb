// SPDX-FileCopyrightText: The Quillane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "cli/cli_options.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "base/paths.h"
#include "imaging/dib.h"
#include "imaging/picture_formats.h"
#include "painting/effect_table.h"

const char kCliUsage[] =
    "quillane-cli [options] INPUT OUTPUT\n"
    "quillane-cli [options] --output-dir DIR INPUT...\n"
    "  --effect NAME     van-gogh (default), pointillism, colored-pencil,\n"
    "                    charcoal-pencil, black-and-white, mosaic\n"
    "  --width N         output width in pixels; --height N  output height;\n"
    "                    one given alone keeps the picture's proportions;\n"
    "                    neither: the picture's own size\n"
    "  --seed N          seed the random generator with N (0 to 4294967295)\n"
    "                    instead of the calendar time\n"
    "  --quiet           no progress output\n"
    "  --help, --version\n"
    "\n"
    "quillane-cli --output-dir DIR (many pictures at once):\n"
    "  --output-dir DIR  write each painting to DIR as NAME-EFFECT.FORMAT\n"
    "  --format FORMAT   png, jpg (default), bmp or tif\n"
    "  --jobs N          paint N pictures at once (default: one per core)\n"
    "  --overwrite       replace existing outputs instead of skipping them\n"
    "\n"
    "quillane-cli --effect mosaic:\n"
    "  --tiles-across N         tiles across (default 15)\n"
    "  --tiles-down N           tiles down (default 15; used with --no-auto-tiles-down)\n"
    "  --no-auto-tiles-down     take --tiles-down instead of sizing rows automatically\n"
    "  --picture FILE           add a picture or AVI file to the picture list (repeatable)\n"
    "  --no-list                do not use the picture list\n"
    "  --library DIR            the picture library folder (default: the stock one)\n"
    "  --no-library             do not use the picture library\n"
    "  --max-uses N             put no tile picture in more than N tiles (N >= 1)\n"
    "  --min-distance D         keep two tiles of the same tile picture at least\n"
    "                           D tiles apart (D >= 1)\n"
    "  --tile-report FILE       write which picture went into which tile, as CSV\n"
    "  --index FILE             keep prepared tile pictures in this picture index\n"
    "                           (default: ~/.cache/quillane/tile-index.sqlite, or\n"
    "                           $XDG_CACHE_HOME/quillane/tile-index.sqlite)\n"
    "  --no-index               decode every tile source; use no picture index\n";

namespace {

// More threads than this only add memory for pictures waiting their turn.
constexpr long long kMaxJobs = 256;

// A whole decimal number within [low, high], nothing before or after it.
bool ReadNumber(const std::string& text, long long low, long long high, long long* value) {
  if (text.empty()) return false;
  const char* begin = text.c_str();
  if (!(*begin == '-' || *begin == '+' || (*begin >= '0' && *begin <= '9'))) return false;
  char* end = nullptr;
  errno = 0;
  const long long v = std::strtoll(begin, &end, 10);
  if (errno != 0 || end == begin || *end != '\0') return false;
  if (v < low || v > high) return false;
  *value = v;
  return true;
}

// A report file beside OUTPUT, in a folder that exists: checked before anything is painted,
// so that a report that cannot be written leaves no picture either.
bool CheckTileReport(const CliOptions& options, std::string* problem) {
  namespace fs = std::filesystem;
  if (options.effect != PictureMosaic) {
    *problem = "--tile-report is only for --effect mosaic";
    return false;
  }
  const fs::path report(options.tileReport);
  const fs::path folder = report.has_parent_path() ? report.parent_path() : fs::path(".");
  std::error_code error;
  if (!fs::is_directory(folder, error)) {
    *problem = "the folder of the tile report '" + options.tileReport + "' does not exist";
    return false;
  }
  if (!report.has_filename() || fs::is_directory(report, error)) {
    *problem = "the tile report '" + options.tileReport + "' names a folder";
    return false;
  }
  const fs::path output = fs::weakly_canonical(options.output, error);
  if (!error && output == fs::weakly_canonical(report, error)) {
    *problem = "the tile report and OUTPUT must be different files";
    return false;
  }
  return true;
}

}  // namespace

CliCommand ParseCliOptions(int argc, const char* const* argv, CliOptions* options,
                           std::string* problem) {
  std::vector<std::string> operands;
  std::string batchOnly;  // an option given that only the --output-dir form takes
  bool optionsEnded = false;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    if (optionsEnded || arg.size() < 2 || arg.compare(0, 2, "--") != 0) {
      if (!optionsEnded && arg.size() > 1 && arg[0] == '-') {
        *problem = "unknown option '" + arg + "'";
        return CliCommand::kUsageError;
      }
      operands.push_back(arg);
      continue;
    }
    if (arg == "--") {
      optionsEnded = true;
      continue;
    }
    // "--name value" and "--name=value" are both accepted.
    std::string name = arg;
    std::string value;
    bool hasInlineValue = false;
    const size_t equals = arg.find('=');
    if (equals != std::string::npos) {
      name = arg.substr(0, equals);
      value = arg.substr(equals + 1);
      hasInlineValue = true;
    }
    auto takeValue = [&]() -> bool {
      if (hasInlineValue) return true;
      if (i + 1 >= argc) {
        *problem = "option '" + name + "' needs a value";
        return false;
      }
      value = argv[++i];
      return true;
    };
    auto noValue = [&]() -> bool {
      if (!hasInlineValue) return true;
      *problem = "option '" + name + "' takes no value";
      return false;
    };
    // A value that names a file or folder: present and not empty.
    auto takePath = [&](const char* what) -> bool {
      if (!takeValue()) return false;
      if (!value.empty()) return true;
      *problem = std::string(what) + " must not be empty";
      return false;
    };
    auto badNumber = [&]() {
      *problem = "bad number '" + value + "' for " + name;
      return CliCommand::kUsageError;
    };
    long long number = 0;

    if (name == "--help") {
      if (!noValue()) return CliCommand::kUsageError;
      return CliCommand::kHelp;
    } else if (name == "--version") {
      if (!noValue()) return CliCommand::kUsageError;
      return CliCommand::kVersion;
    } else if (name == "--quiet") {
      if (!noValue()) return CliCommand::kUsageError;
      options->quiet = true;
    } else if (name == "--effect") {
      if (!takeValue()) return CliCommand::kUsageError;
      const EffectEntry* entry = FindEffectByName(value.c_str());
      if (entry == nullptr) {
        *problem = "unknown effect '" + value + "'";
        return CliCommand::kUsageError;
      }
      options->effect = entry->kind;
    } else if (name == "--width" || name == "--height") {
      if (!takeValue()) return CliCommand::kUsageError;
      if (!ReadNumber(value, -2147483647LL, 2147483647LL, &number)) return badNumber();
      if (number <= 0 || number > kMaxPictureSide) {
        *problem = name.substr(2) + " must be from 1 to " + std::to_string(kMaxPictureSide);
        return CliCommand::kUsageError;
      }
      (name == "--width" ? options->width : options->height) = static_cast<int32_t>(number);
    } else if (name == "--seed") {
      if (!takeValue()) return CliCommand::kUsageError;
      if (!ReadNumber(value, 0, 4294967295LL, &number)) return badNumber();
      options->seedGiven = true;
      options->seed = static_cast<uint32_t>(number);
    } else if (name == "--tiles-across" || name == "--tiles-down") {
      if (!takeValue()) return CliCommand::kUsageError;
      // Zero and negative counts are the mosaic's to judge, as in the main window.
      if (!ReadNumber(value, -2147483647LL - 1, 2147483647LL, &number)) return badNumber();
      (name == "--tiles-across" ? options->tilesAcross : options->tilesDown) =
          static_cast<int32_t>(number);
    } else if (name == "--no-auto-tiles-down") {
      if (!noValue()) return CliCommand::kUsageError;
      options->autoSizeTilesDown = false;
    } else if (name == "--picture") {
      if (!takeValue()) return CliCommand::kUsageError;
      if (value.empty() || value.size() >= kPictureListEntrySize) {
        *problem = "a picture list entry must be 1 to " +
                   std::to_string(kPictureListEntrySize - 1) + " characters long";
        return CliCommand::kUsageError;
      }
      options->pictures.push_back(value);
    } else if (name == "--no-list") {
      if (!noValue()) return CliCommand::kUsageError;
      options->useList = false;
    } else if (name == "--library") {
      if (!takePath("the library folder")) return CliCommand::kUsageError;
      options->libraryFolder = value;
    } else if (name == "--no-library") {
      if (!noValue()) return CliCommand::kUsageError;
      options->useLibrary = false;
    } else if (name == "--output-dir") {
      if (!takePath("the output folder")) return CliCommand::kUsageError;
      options->outputDir = value;
    } else if (name == "--format") {
      if (!takeValue()) return CliCommand::kUsageError;
      if (FormatForCliName(value) == nullptr) {
        *problem = "unknown format '" + value + "' (" + CliFormatNamesText() + ")";
        return CliCommand::kUsageError;
      }
      options->format = value;
      batchOnly = name;
    } else if (name == "--jobs") {
      if (!takeValue()) return CliCommand::kUsageError;
      if (!ReadNumber(value, 1, kMaxJobs, &number)) {
        *problem = "--jobs must be from 1 to " + std::to_string(kMaxJobs);
        return CliCommand::kUsageError;
      }
      options->jobs = static_cast<int>(number);
      batchOnly = name;
    } else if (name == "--overwrite") {
      if (!noValue()) return CliCommand::kUsageError;
      options->overwrite = true;
      batchOnly = name;
    } else if (name == "--max-uses" || name == "--min-distance") {
      if (!takeValue()) return CliCommand::kUsageError;
      if (!ReadNumber(value, -2147483647LL - 1, 2147483647LL, &number)) return badNumber();
      if (number < 1) {
        *problem = name.substr(2) + " must be 1 or more";
        return CliCommand::kUsageError;
      }
      (name == "--max-uses" ? options->maxUses : options->minDistance) =
          static_cast<int32_t>(number);
    } else if (name == "--tile-report") {
      if (!takePath("the tile report's file name")) return CliCommand::kUsageError;
      options->tileReport = value;
    } else if (name == "--index") {
      if (!takePath("the index file")) return CliCommand::kUsageError;
      options->indexFile = value;
      options->useIndex = true;
    } else if (name == "--no-index") {
      if (!noValue()) return CliCommand::kUsageError;
      options->useIndex = false;
    } else {
      *problem = "unknown option '" + name + "'";
      return CliCommand::kUsageError;
    }
  }
  if (!options->outputDir.empty()) {
    if (operands.empty()) {
      *problem = "no INPUT to paint";
      return CliCommand::kUsageError;
    }
    // One report file cannot describe many mosaics.
    if (!options->tileReport.empty()) {
      *problem = "--tile-report goes with the form INPUT OUTPUT, not with --output-dir";
      return CliCommand::kUsageError;
    }
    options->inputs = operands;
    return CliCommand::kPaint;
  }
  if (!batchOnly.empty()) {
    *problem = batchOnly + " goes with --output-dir";
    return CliCommand::kUsageError;
  }
  if (operands.size() != 2) {
    *problem = operands.size() < 2 ? "INPUT and OUTPUT are needed" : "too many operands";
    return CliCommand::kUsageError;
  }
  // A mistyped folder would leave the mosaic silently without the library's pictures.
  if (!options->libraryFolder.empty()) {
    struct stat info {};
    if (stat(options->libraryFolder.c_str(), &info) != 0) {
      *problem = "the library folder '" + options->libraryFolder + "' does not exist";
      return CliCommand::kUsageError;
    }
    if (!S_ISDIR(info.st_mode)) {
      *problem = "the library folder '" + options->libraryFolder + "' is not a folder";
      return CliCommand::kUsageError;
    }
  }
  options->input = operands[0];
  options->output = operands[1];
  if (!options->tileReport.empty() && !CheckTileReport(*options, problem)) {
    return CliCommand::kUsageError;
  }
  return CliCommand::kPaint;
}

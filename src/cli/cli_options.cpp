// SPDX-FileCopyrightText: The Quillane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "cli/cli_options.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "base/language.h"
#include "base/paths.h"
#include "imaging/dib.h"
#include "imaging/picture_formats.h"
#include "imaging/timelapse_writer.h"
#include "painting/effect_table.h"

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

// "bad number '...' for --name".
bool BadNumber(const std::string& name, const std::string& value, std::string* problem) {
  *problem = Tr("bad number '") + value + Tr("' for ") + name;
  return false;
}

constexpr long long kInt32Min = -2147483647LL - 1;
constexpr long long kInt32Max = 2147483647LL;

bool ReadSide(const std::string& name, const std::string& value, CliOptions* o,
              std::string* problem) {
  long long number = 0;
  if (!ReadNumber(value, -2147483647LL, kInt32Max, &number)) return BadNumber(name, value, problem);
  if (number <= 0 || number > kMaxPictureSide) {
    *problem = name.substr(2) + Tr(" must be from 1 to ") + std::to_string(kMaxPictureSide);
    return false;
  }
  (name == "--width" ? o->width : o->height) = static_cast<int32_t>(number);
  return true;
}

// Zero and negative counts are the mosaic's to judge, as in the main window.
bool ReadTiles(const std::string& name, const std::string& value, CliOptions* o,
               std::string* problem) {
  long long number = 0;
  if (!ReadNumber(value, kInt32Min, kInt32Max, &number)) return BadNumber(name, value, problem);
  (name == "--tiles-across" ? o->tilesAcross : o->tilesDown) = static_cast<int32_t>(number);
  return true;
}

bool ReadLimit(const std::string& name, const std::string& value, CliOptions* o,
               std::string* problem) {
  long long number = 0;
  if (!ReadNumber(value, kInt32Min, kInt32Max, &number)) return BadNumber(name, value, problem);
  if (number < 1) {
    *problem = name.substr(2) + Tr(" must be 1 or more");
    return false;
  }
  (name == "--max-uses" ? o->maxUses : o->minDistance) = static_cast<int32_t>(number);
  return true;
}

// A report file beside OUTPUT, in a folder that exists: checked before anything is painted,
// so that a report that cannot be written leaves no picture either.
bool CheckTileReport(const CliOptions& options, std::string* problem) {
  namespace fs = std::filesystem;
  if (options.effect != PictureMosaic) {
    *problem = Tr("--tile-report is only for --effect mosaic");
    return false;
  }
  const fs::path report(options.tileReport);
  const fs::path folder = report.has_parent_path() ? report.parent_path() : fs::path(".");
  std::error_code error;
  if (!fs::is_directory(folder, error)) {
    *problem = Tr("the folder of the tile report '") + options.tileReport + Tr("' does not exist");
    return false;
  }
  if (!report.has_filename() || fs::is_directory(report, error)) {
    *problem = Tr("the tile report '") + options.tileReport + Tr("' names a folder");
    return false;
  }
  const fs::path output = fs::weakly_canonical(options.output, error);
  if (!error && output == fs::weakly_canonical(report, error)) {
    *problem = Tr("the tile report and OUTPUT must be different files");
    return false;
  }
  return true;
}

// Each option once: how it is read, and how --help shows it. A new option is a new row (and its
// field in CliOptions); the manual page and the bash completion are checked against --help.
const CliOption kCliOptions[] = {
    {"--effect", "NAME", CliSection::kGeneral,
     TrNoop("  --effect NAME     van-gogh (default), pointillism, colored-pencil,\n"
            "                    charcoal-pencil, black-and-white, mosaic\n"),
     [](const std::string&, const std::string& value, CliOptions* o, std::string* problem) {
       const EffectEntry* entry = FindEffectByName(value.c_str());
       if (entry == nullptr) *problem = Tr("unknown effect '") + value + "'";
       if (entry != nullptr) o->effect = entry->kind;
       return entry != nullptr;
     }},
    {"--width", "N", CliSection::kGeneral,
     TrNoop("  --width N         output width in pixels; --height N  output height;\n"
            "                    one given alone keeps the picture's proportions;\n"
            "                    neither: the picture's own size\n"),
     ReadSide},
    {"--height", "N", CliSection::kGeneral, nullptr, ReadSide},
    {"--seed", "N", CliSection::kGeneral,
     TrNoop("  --seed N          seed the random generator with N (0 to 4294967295)\n"
            "                    instead of the calendar time\n"),
     [](const std::string& name, const std::string& value, CliOptions* o, std::string* problem) {
       long long number = 0;
       if (!ReadNumber(value, 0, 4294967295LL, &number)) return BadNumber(name, value, problem);
       o->seedGiven = true;
       o->seed = static_cast<uint32_t>(number);
       return true;
     }},
    {"--timelapse", "FILE", CliSection::kGeneral,
     TrNoop("  --timelapse FILE  also write the painting as it goes on as a video:\n"
            "                    .mp4, .webm, .gif or .mkv (lossless); with\n"
            "                    --output-dir the ending names the format of one\n"
            "                    time-lapse beside each output\n"),
     [](const std::string&, const std::string& value, CliOptions* o, std::string* problem) {
       o->timelapse = value;
       return CanWriteTimelapse("x" + value.substr(std::min(value.rfind('.'), value.size())),
                                problem);
     },
     CliCommand::kPaint, TrNoop("the time-lapse's file name")},
    {"--timelapse-seconds", "S", CliSection::kGeneral,
     TrNoop("  --timelapse-seconds S  its length before the finished picture, held\n"
            "                    for 1.5 seconds more (default 8, at most 600)\n"),
     [](const std::string& name, const std::string& value, CliOptions* o, std::string* problem) {
       long long number = 0;
       if (!ReadNumber(value, 1, 600, &number)) {
         *problem = name.substr(2) + Tr(" must be from 1 to ") + "600";
         return false;
       }
       o->timelapseSeconds = static_cast<int>(number);
       return true;
     }},
    {"--quiet", nullptr, CliSection::kGeneral, TrNoop("  --quiet           no progress output\n"),
     [](const std::string&, const std::string&, CliOptions* o, std::string*) {
       return o->quiet = true;
     }},
    {"--language", "NAME", CliSection::kGeneral,
     TrNoop("  --language NAME   en, zh or original: the language of the messages\n"),
     [](const std::string&, const std::string& value, CliOptions*, std::string* problem) {
       Language language;
       if (!ParseLanguage(value, &language)) {
         *problem = Tr("--language takes en, zh or original, not '") + value + "'";
         return false;
       }
       return true;
     }},
    {"--help", nullptr, CliSection::kGeneral, TrNoop("  --help, --version\n"), nullptr,
     CliCommand::kHelp},
    {"--version", nullptr, CliSection::kGeneral, nullptr, nullptr, CliCommand::kVersion},
    {"--output-dir", "DIR", CliSection::kBatch,
     TrNoop("  --output-dir DIR  write each painting to DIR as NAME-EFFECT.FORMAT\n"),
     [](const std::string&, const std::string& value, CliOptions* o, std::string*) {
       o->outputDir = value;
       return true;
     },
     CliCommand::kPaint, TrNoop("the output folder")},
    {"--format", "FORMAT", CliSection::kBatch,
     TrNoop("  --format FORMAT   png, jpg (default), bmp or tif\n"),
     [](const std::string&, const std::string& value, CliOptions* o, std::string* problem) {
       if (FormatForCliName(value) == nullptr) {
         *problem = Tr("unknown format '") + value + "' (" + CliFormatNamesText() + ")";
         return false;
       }
       o->format = value;
       return true;
     },
     CliCommand::kPaint, nullptr, true},
    {"--jobs", "N", CliSection::kBatch,
     TrNoop("  --jobs N          paint N pictures at once (default: one per core)\n"),
     [](const std::string&, const std::string& value, CliOptions* o, std::string* problem) {
       long long number = 0;
       if (!ReadNumber(value, 1, kMaxJobs, &number)) {
         *problem = Tr("--jobs must be from 1 to ") + std::to_string(kMaxJobs);
         return false;
       }
       o->jobs = static_cast<int>(number);
       return true;
     },
     CliCommand::kPaint, nullptr, true},
    {"--overwrite", nullptr, CliSection::kBatch,
     TrNoop("  --overwrite       replace existing outputs instead of skipping them\n"),
     [](const std::string&, const std::string&, CliOptions* o, std::string*) {
       return o->overwrite = true;
     },
     CliCommand::kPaint, nullptr, true},
    {"--tiles-across", "N", CliSection::kMosaic,
     TrNoop("  --tiles-across N         tiles across (default 15)\n"), ReadTiles},
    {"--tiles-down", "N", CliSection::kMosaic,
     TrNoop("  --tiles-down N           tiles down (default 15; used with --no-auto-tiles-down)\n"),
     ReadTiles},
    {"--no-auto-tiles-down", nullptr, CliSection::kMosaic,
     TrNoop("  --no-auto-tiles-down     take --tiles-down instead of sizing rows automatically\n"),
     [](const std::string&, const std::string&, CliOptions* o, std::string*) {
       o->autoSizeTilesDown = false;
       return true;
     }},
    {"--picture", "FILE", CliSection::kMosaic,
     TrNoop(
         "  --picture FILE           add a picture or AVI file to the picture list (repeatable)\n"),
     [](const std::string&, const std::string& value, CliOptions* o, std::string* problem) {
       if (value.empty() || value.size() >= kPictureListEntrySize) {
         *problem = Tr("a picture list entry must be 1 to ") +
                    std::to_string(kPictureListEntrySize - 1) + Tr(" characters long");
         return false;
       }
       o->pictures.push_back(value);
       return true;
     }},
    {"--no-list", nullptr, CliSection::kMosaic,
     TrNoop("  --no-list                do not use the picture list\n"),
     [](const std::string&, const std::string&, CliOptions* o, std::string*) {
       o->useList = false;
       return true;
     }},
    {"--library", "DIR", CliSection::kMosaic,
     TrNoop("  --library DIR            the picture library folder (default: the stock one)\n"),
     [](const std::string&, const std::string& value, CliOptions* o, std::string*) {
       o->libraryFolder = value;
       return true;
     },
     CliCommand::kPaint, TrNoop("the library folder")},
    {"--no-library", nullptr, CliSection::kMosaic,
     TrNoop("  --no-library             do not use the picture library\n"),
     [](const std::string&, const std::string&, CliOptions* o, std::string*) {
       o->useLibrary = false;
       return true;
     }},
    {"--max-uses", "N", CliSection::kMosaic,
     TrNoop("  --max-uses N             put no tile picture in more than N tiles (N >= 1)\n"),
     ReadLimit},
    {"--min-distance", "D", CliSection::kMosaic,
     TrNoop("  --min-distance D         keep two tiles of the same tile picture at least\n"
            "                           D tiles apart (D >= 1)\n"),
     ReadLimit},
    {"--tile-report", "FILE", CliSection::kMosaic,
     TrNoop("  --tile-report FILE       write which picture went into which tile, as CSV\n"),
     [](const std::string&, const std::string& value, CliOptions* o, std::string*) {
       o->tileReport = value;
       return true;
     },
     CliCommand::kPaint, TrNoop("the tile report's file name")},
    {"--index", "FILE", CliSection::kMosaic,
     TrNoop("  --index FILE             keep prepared tile pictures in this picture index\n"
            "                           (default: ~/.cache/quillane/tile-index.sqlite, or\n"
            "                           $XDG_CACHE_HOME/quillane/tile-index.sqlite)\n"),
     [](const std::string&, const std::string& value, CliOptions* o, std::string*) {
       o->indexFile = value;
       return o->useIndex = true;
     },
     CliCommand::kPaint, TrNoop("the index file")},
    {"--no-index", nullptr, CliSection::kMosaic,
     TrNoop("  --no-index               decode every tile source; use no picture index\n"),
     [](const std::string&, const std::string&, CliOptions* o, std::string*) {
       o->useIndex = false;
       return true;
     }},
};

const CliOption* FindCliOption(const std::string& name) {
  for (const CliOption& option : kCliOptions) {
    if (name == option.name) return &option;
  }
  return nullptr;
}

}  // namespace

std::string CliUsage() {
  static const char* const kHeadings[] = {
      TrNoop("quillane-cli [options] INPUT OUTPUT\n"
             "quillane-cli [options] --output-dir DIR INPUT...\n"),
      TrNoop("\nquillane-cli --output-dir DIR (many pictures at once):\n"),
      TrNoop("\nquillane-cli --effect mosaic:\n")};
  std::string usage;
  for (CliSection section : {CliSection::kGeneral, CliSection::kBatch, CliSection::kMosaic}) {
    usage += Tr(kHeadings[static_cast<int>(section)]);
    for (const CliOption& option : kCliOptions) {
      if (option.section == section && option.usage != nullptr) usage += Tr(option.usage);
    }
  }
  return usage;
}

CliCommand ParseCliOptions(int argc, const char* const* argv, CliOptions* options,
                           std::string* problem) {
  std::vector<std::string> operands;
  std::string batchOnly;  // an option given that only the --output-dir form takes
  bool optionsEnded = false;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    if (optionsEnded || arg.size() < 2 || arg.compare(0, 2, "--") != 0) {
      if (!optionsEnded && arg.size() > 1 && arg[0] == '-') {
        *problem = Tr("unknown option '") + arg + "'";
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
    const CliOption* option = FindCliOption(name);
    if (option == nullptr) {
      *problem = Tr("unknown option '") + name + "'";
      return CliCommand::kUsageError;
    }
    if (option->valueName == nullptr) {
      if (hasInlineValue) {
        *problem = Tr("option '") + name + Tr("' takes no value");
        return CliCommand::kUsageError;
      }
    } else if (!hasInlineValue) {
      if (i + 1 >= argc) {
        *problem = Tr("option '") + name + Tr("' needs a value");
        return CliCommand::kUsageError;
      }
      value = argv[++i];
    }
    if (option->command != CliCommand::kPaint) return option->command;
    if (option->pathOf != nullptr && value.empty()) {
      *problem = std::string(Tr(option->pathOf)) + Tr(" must not be empty");
      return CliCommand::kUsageError;
    }
    if (!option->apply(name, value, options, problem)) return CliCommand::kUsageError;
    if (option->batchOnly) batchOnly = name;
  }
  if (!options->outputDir.empty()) {
    if (operands.empty()) {
      *problem = Tr("no INPUT to paint");
      return CliCommand::kUsageError;
    }
    // One report file cannot describe many mosaics.
    if (!options->tileReport.empty()) {
      *problem = Tr("--tile-report goes with the form INPUT OUTPUT, not with --output-dir");
      return CliCommand::kUsageError;
    }
    options->inputs = operands;
    return CliCommand::kPaint;
  }
  if (!batchOnly.empty()) {
    *problem = batchOnly + Tr(" goes with --output-dir");
    return CliCommand::kUsageError;
  }
  if (operands.size() != 2) {
    *problem = operands.size() < 2 ? Tr("INPUT and OUTPUT are needed") : Tr("too many operands");
    return CliCommand::kUsageError;
  }
  // A mistyped folder would leave the mosaic silently without the library's pictures.
  if (!options->libraryFolder.empty()) {
    struct stat info {};
    if (stat(options->libraryFolder.c_str(), &info) != 0) {
      *problem = Tr("the library folder '") + options->libraryFolder + Tr("' does not exist");
      return CliCommand::kUsageError;
    }
    if (!S_ISDIR(info.st_mode)) {
      *problem = Tr("the library folder '") + options->libraryFolder + Tr("' is not a folder");
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

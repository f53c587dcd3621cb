// SPDX-FileCopyrightText: The Quillane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/program_arguments.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>
#include <vector>

#include "app/settings.h"
#include "base/language.h"
#include "base/paths.h"

const char kProgramUsage[] = TrNoop(
    "Usage: quillane [FILE]\n"
    "Turns a photograph into a picture in an artistic style.\n"
    "  FILE       start with this picture as the start picture\n"
    "  --language en|zh|original\n"
    "             show the texts in English, in Chinese or as they were\n"
    "  --help     show this help and exit\n"
    "  --version  show the version and exit\n");

ProgramCommand InformationRequested(int argc, const char* const* argv) {
  for (int i = 1; i < argc; ++i) {
    const std::string argument = argv[i];
    if (argument == "--") break;
    if (argument == "--help") return ProgramCommand::kHelp;
    if (argument == "--version") return ProgramCommand::kVersion;
  }
  return ProgramCommand::kRun;
}

ProgramCommand ReadProgramArguments(int argc, const char* const* argv, ProgramArguments* arguments,
                                    std::string* problem) {
  if (const ProgramCommand information = InformationRequested(argc, argv);
      information != ProgramCommand::kRun) {
    return information;
  }
  std::vector<std::string> operands;
  bool optionsEnded = false;
  for (int i = 1; i < argc; ++i) {
    const std::string argument = argv[i];
    if (!optionsEnded && argument == "--") {
      optionsEnded = true;
    } else if (const char* value = optionsEnded ? nullptr : LanguageOptionValue(argc, argv, &i)) {
      Language language;
      if (!ParseLanguage(value, &language)) {
        *problem = std::string(Tr("--language takes en, zh or original, not '")) + value + "'";
        return ProgramCommand::kUsageError;
      }
    } else if (!optionsEnded && argument.size() > 1 && argument[0] == '-') {
      *problem = Tr("unknown option '") + argument + "'";
      return ProgramCommand::kUsageError;
    } else {
      operands.push_back(argument);
    }
  }
  if (operands.size() > 1) {
    *problem = Tr("one picture file at most");
    return ProgramCommand::kUsageError;
  }
  if (!operands.empty()) {
    // The settings keep the start picture for the next start, which may be in another folder.
    std::error_code error;
    const std::filesystem::path absolute = std::filesystem::absolute(operands.front(), error);
    arguments->startPicture = error ? operands.front() : absolute.lexically_normal().string();
  }
  return ProgramCommand::kRun;
}

bool UseStartPictureArgument(const std::string& path, std::string* problem) {
  std::error_code error;
  const std::filesystem::file_status status = std::filesystem::status(path, error);
  if (!std::filesystem::exists(status)) {
    *problem = path + Tr(": no such file");
  } else if (!std::filesystem::is_regular_file(status)) {
    *problem = path + Tr(": not a picture file");
  } else if (path.size() >= kStartPictureSize) {
    *problem = path + Tr(": the path is too long for a start picture");
  } else if (!FileOpensForReading(path.c_str())) {
    *problem = path + ": " + std::strerror(errno);
  } else {
    std::memcpy(settings.startPicture, path.c_str(), path.size() + 1);
    return true;
  }
  return false;
}

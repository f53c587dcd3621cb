// SPDX-FileCopyrightText: The Quillane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/language_choice.h"

#include <sys/stat.h>

#include <cstdlib>
#include <fstream>
#include <string_view>

#include "imaging/file_replacing.h"

std::string LanguageFilePath() {
  std::string folder;
  const char* config = std::getenv("XDG_CONFIG_HOME");
  const char* home = std::getenv("HOME");
  if (config != nullptr && config[0] != '\0') {
    folder = config;
  } else if (home != nullptr && home[0] != '\0') {
    folder = std::string(home) + "/.config";
  } else {
    return std::string();
  }
  return folder + "/quillane/language";
}

Language ReadLanguageFile(const std::string& path) {
  Language language = Language::kOriginal;
  struct stat status;
  // Only a small regular file is read: never a pipe that would block the start.
  if (path.empty() || ::stat(path.c_str(), &status) != 0 || !S_ISREG(status.st_mode) ||
      status.st_size > 64) {
    return language;
  }
  std::ifstream file(path);
  std::string name;
  if (file >> name) ParseLanguage(name, &language);
  return language;
}

bool WriteLanguageFile(const std::string& path, Language language, std::string* problem) {
  if (path.empty()) {
    *problem = "neither XDG_CONFIG_HOME nor HOME is set";
    return false;
  }
  const std::string folder = path.substr(0, path.rfind('/'));
  ::mkdir(folder.substr(0, folder.rfind('/')).c_str(), 0700);
  ::mkdir(folder.c_str(), 0700);
  const std::string text = std::string(LanguageName(language)) + "\n";
  return ReplaceFileWith(path, reinterpret_cast<const uint8_t*>(text.data()), text.size(), problem);
}

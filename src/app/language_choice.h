// SPDX-FileCopyrightText: The Quillane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <string>

#include "base/language.h"

// The language chosen in the desktop program is kept apart from the settings file, whose bytes
// are fixed: in quillane/language under $XDG_CONFIG_HOME (or ~/.config), one name a file.
std::string LanguageFilePath();
// The set named in the file; kOriginal when it is missing, unreadable or names none.
Language ReadLanguageFile(const std::string& path);
bool WriteLanguageFile(const std::string& path, Language language, std::string* problem);

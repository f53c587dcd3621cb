// SPDX-FileCopyrightText: The Quillane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <initializer_list>
#include <string>
#include <string_view>

// The text sets the programs speak. kOriginal is the mixed Chinese and English of the first
// version of the program, word for word; it needs no catalogue because the catalogues' keys are
// those very texts. The system locale never picks a set: only the user does.
enum class Language { kOriginal, kEnglish, kChinese };

// "original", "en" or "zh" (as on the command line and in QUILLANE_LANGUAGE); false otherwise.
bool ParseLanguage(std::string_view name, Language* language);
const char* LanguageName(Language language);

// Makes every later Tr() answer in `language`, from the compiled catalogue
// `catalogueFolder`/<name>/LC_MESSAGES/quillane.mo. False with the reason when that catalogue
// is missing; the texts then stay the original ones.
bool UseLanguage(Language language, const std::string& catalogueFolder, std::string* problem);
Language CurrentLanguage();
// The folder of the compiled catalogues beside the programs.
std::string CatalogueFolder();

// The text shown to the user for the original text `original` (a format string stays a format
// string, translated as a whole). The answer lives as long as the program.
const char* Tr(const char* original);
std::string Tr(const std::string& original);

// Tr(original) with %1, %2, ... replaced by `values` in order: a translation may put them in
// another order, as its language needs.
std::string TrFormat(const char* original, std::initializer_list<std::string_view> values);

// Marks a text in a table for the catalogues; it is translated with Tr() where it is shown.
#define TrNoop(text) text

// The environment variable that chooses the language, like --language.
constexpr char kLanguageVariable[] = "QUILLANE_LANGUAGE";

// The set to use: the command line's choice when there is one, else QUILLANE_LANGUAGE's when it
// names a set, else `remembered`.
Language ChosenLanguage(const Language* argument, Language remembered);

// The value of --language NAME or --language=NAME at argv[*i] (moving *i past it), or null.
const char* LanguageOptionValue(int argc, const char* const* argv, int* i);
// Whether --language names a set among the arguments (before any "--"); the last one counts.
// Both programs choose before reading the rest, so that what they say of it is in that language.
bool LanguageRequested(int argc, const char* const* argv, Language* language);

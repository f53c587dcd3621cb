// SPDX-FileCopyrightText: The Quillane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "base/language.h"

#include <libintl.h>
#include <locale.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>

#include "base/paths.h"

extern "C" int _nl_msg_cat_cntr;

namespace {

constexpr char kDomain[] = "quillane";
std::atomic<Language> current{Language::kOriginal};

}  // namespace

bool ParseLanguage(std::string_view name, Language* language) {
  if (name == "original") {
    *language = Language::kOriginal;
  } else if (name == "en") {
    *language = Language::kEnglish;
  } else if (name == "zh") {
    *language = Language::kChinese;
  } else {
    return false;
  }
  return true;
}

const char* LanguageName(Language language) {
  switch (language) {
    case Language::kEnglish:
      return "en";
    case Language::kChinese:
      return "zh";
    default:
      return "original";
  }
}

std::string CatalogueFolder() {
  return ExecutableFolder() + "/locale";
}

// glibc's gettext picks the catalogue from LANGUAGE only while the messages locale is not "C",
// and from the user's own locale variables otherwise. Setting the messages locale to C.UTF-8
// (always present in glibc) and LANGUAGE to the one language chosen makes the choice ours alone,
// whatever the user's locale; the other locale categories, which decide how numbers are read and
// written, stay as they are. Texts come out in UTF-8 whatever the character set of the locale.
bool UseLanguage(Language language, const std::string& catalogueFolder, std::string* problem) {
  current = Language::kOriginal;
  if (language == Language::kOriginal) return true;
  const std::string name = LanguageName(language);
  const std::string catalogue = catalogueFolder + "/" + name + "/LC_MESSAGES/" + kDomain + ".mo";
  if (::access(catalogue.c_str(), R_OK) != 0) {
    if (problem) *problem = "the catalogue " + catalogue + " cannot be read";
    return false;
  }
  if (setlocale(LC_MESSAGES, "C.UTF-8") == nullptr) {
    if (problem) *problem = "the locale C.UTF-8 is missing";
    return false;
  }
  // The system's own reasons (a file that cannot be written, say) come from glibc's catalogue,
  // which is filed under zh_CN: it is the second place looked in.
  setenv("LANGUAGE", language == Language::kChinese ? "zh:zh_CN" : name.c_str(), 1);
  // gettext keeps the texts it has looked up until told that the language changed (its
  // documented way), so that a second choice in the same run is heard.
  ++_nl_msg_cat_cntr;
  bindtextdomain(kDomain, catalogueFolder.c_str());
  bind_textdomain_codeset(kDomain, "UTF-8");
  bind_textdomain_codeset("libc", "UTF-8");
  current = language;
  return true;
}

Language CurrentLanguage() {
  return current;
}

const char* Tr(const char* original) {
  // An empty key would answer with the catalogue's header.
  if (current == Language::kOriginal || original == nullptr || original[0] == '\0') return original;
  return dgettext(kDomain, original);
}

std::string Tr(const std::string& original) {
  return Tr(original.c_str());
}

std::string TrFormat(const char* original, std::initializer_list<std::string_view> values) {
  const std::string_view text = Tr(original);
  std::string result;
  for (size_t i = 0; i < text.size(); ++i) {
    const size_t n = i + 1 < text.size() ? static_cast<size_t>(text[i + 1] - '1') : values.size();
    if (text[i] == '%' && n < values.size()) {
      result += values.begin()[n];
      ++i;
    } else {
      result += text[i];
    }
  }
  return result;
}

Language ChosenLanguage(const Language* argument, Language remembered) {
  if (argument != nullptr) return *argument;
  Language fromVariable;
  const char* variable = std::getenv(kLanguageVariable);
  if (variable != nullptr && ParseLanguage(variable, &fromVariable)) return fromVariable;
  return remembered;
}

const char* LanguageOptionValue(int argc, const char* const* argv, int* i) {
  const std::string_view argument = argv[*i];
  if (argument.starts_with("--language=")) return argv[*i] + 11;
  if (argument == "--language") return *i + 1 < argc ? argv[++*i] : "";
  return nullptr;
}

bool LanguageRequested(int argc, const char* const* argv, Language* language) {
  bool found = false;
  for (int i = 1; i < argc && std::string_view(argv[i]) != "--"; ++i) {
    if (const char* value = LanguageOptionValue(argc, argv, &i)) {
      found = ParseLanguage(value, language);
    }
  }
  return found;
}

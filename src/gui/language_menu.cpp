// SPDX-FileCopyrightText: The Quillane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "gui/language_menu.h"

#include <QAction>
#include <QActionGroup>
#include <QWidget>
#include <string>

#include "app/language_choice.h"
#include "app/owner_windows.h"
#include "base/language.h"

namespace {

// In the original set each entry carries both languages, so that a reader of either finds his.
constexpr struct {
  Language language;
  const char* label;
} kLanguageEntries[] = {
    {Language::kEnglish, TrNoop("English (英文)")},
    {Language::kChinese, TrNoop("中文 (Chinese)")},
    {Language::kOriginal, TrNoop("Original texts (原来的文字)")},
};

QString Text(const char* original) {
  return QString::fromUtf8(Tr(original));
}

}  // namespace

void InstallLanguageMenu(QWidget* window) {
  window->setContextMenuPolicy(Qt::ActionsContextMenu);
  auto* heading =
      new QAction(Text(TrNoop("Language at the next start (下次启动时的语言):")), window);
  heading->setEnabled(false);
  window->addAction(heading);
  auto* group = new QActionGroup(window);
  // What a start without --language takes: the variable's choice, else the file's.
  const Language next = ChosenLanguage(nullptr, ReadLanguageFile(LanguageFilePath()));
  for (const auto& entry : kLanguageEntries) {
    auto* action = new QAction(Text(entry.label), group);
    action->setCheckable(true);
    action->setChecked(entry.language == next);
    QObject::connect(action, &QAction::triggered, window, [language = entry.language] {
      std::string problem;
      if (!WriteLanguageFile(LanguageFilePath(), language, &problem)) {
        std::string text = Tr("The language could not be remembered: ") + problem;
        ShowWarning(text);
      }
    });
    window->addAction(action);
  }
}

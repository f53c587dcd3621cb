// SPDX-FileCopyrightText: The Quillane developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Quillane: turns a photograph into a picture in an artistic style.
#include <signal.h>

#include <QApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>
#include <cstdio>
#include <cstdlib>

#include "app/language_choice.h"
#include "app/settings.h"
#include "base/language.h"
#include "gui/main_window.h"
#include "gui/program_arguments.h"
#include "mosaic/tile_index.h"

int main(int argc, char** argv) {
  // Past a file size limit a write then fails like on a full disk: a saved picture is not left
  // half-written and the settings file keeps its last good state.
  signal(SIGXFSZ, SIG_IGN);
  Language requested;
  const Language language =
      ChosenLanguage(LanguageRequested(argc, argv, &requested) ? &requested : nullptr,
                     ReadLanguageFile(LanguageFilePath()));
  std::string problem;
  if (!UseLanguage(language, CatalogueFolder(), &problem)) {
    std::fprintf(stderr, "quillane: %s\n", problem.c_str());
  }
  switch (InformationRequested(argc, argv)) {
    case ProgramCommand::kHelp:
      std::fputs(Tr(kProgramUsage), stdout);
      return 0;
    case ProgramCommand::kVersion:
      std::printf("quillane %s\n", QUILLANE_VERSION);
      return 0;
    default:
      break;
  }
  QApplication app(argc, argv);
  // Qt sets every locale category from the user's environment; the messages locale is ours.
  UseLanguage(language, CatalogueFolder(), nullptr);
  // Qt's own texts (the file dialogs, the boxes' buttons, the print preview) are English; in
  // Chinese they come from Qt's catalogue where it is installed (qt6-translations-l10n).
  // The Chinese locale also names file types and writes dates in Chinese in those dialogs; its
  // numbers are written as the original program writes them.
  QTranslator qtTexts;
  if (language == Language::kChinese) {
    const QLocale chinese(QLocale::Chinese, QLocale::China);
    QLocale::setDefault(chinese);
    if (qtTexts.load(chinese, QStringLiteral("qtbase"), QStringLiteral("_"),
                     QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
      QApplication::installTranslator(&qtTexts);
    }
  }
  QApplication::setApplicationName(QStringLiteral("Quillane"));
  // Lets the desktop match the windows to the menu entry and its icon.
  QGuiApplication::setDesktopFileName(QStringLiteral(QUILLANE_APP_ID));
  ProgramArguments arguments;
  switch (ReadProgramArguments(argc, argv, &arguments, &problem)) {
    case ProgramCommand::kUsageError:
      std::fprintf(stderr, "quillane: %s\n%s", problem.c_str(), Tr(kProgramUsage));
      return 64;
    default:
      break;
  }
  SetDefaultSettings();
  if (!arguments.startPicture.empty() &&
      !UseStartPictureArgument(arguments.startPicture, &problem)) {
    std::fprintf(stderr, "quillane: %s\n", problem.c_str());
  }
  // For timing the start (bench/): the splash's fixed wait is left out, and the window closes
  // as soon as it shows its start picture, without saving anything.
  const bool timingStart = std::getenv("QUILLANE_TIME_START") != nullptr;
  if (timingStart) SetSplashAtOpening(false);
  {
    // Mosaics keep their tile pictures in the user's cache folder, without asking.
    MainWindow window(nullptr, DefaultTileIndexPath());
    if (timingStart) {
      QObject::connect(&window, &MainWindow::PreviewLoaded, &window, [&window] { window.done(0); });
    }
    window.exec();
  }
  return 0;
}

// SPDX-FileCopyrightText: The Quillane developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Quillane: turns a photograph into a picture in an artistic style.
#include <signal.h>

#include <QApplication>

#include "app/settings.h"
#include "gui/main_window.h"
#include "mosaic/tile_index.h"

int main(int argc, char** argv) {
  // Past a file size limit a write then fails like on a full disk: a saved picture is not left
  // half-written and the settings file keeps its last good state.
  signal(SIGXFSZ, SIG_IGN);
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Quillane"));
  // Lets the desktop match the windows to the menu entry and its icon.
  QGuiApplication::setDesktopFileName(QStringLiteral(QUILLANE_APP_ID));
  SetDefaultSettings();
  {
    // Mosaics keep their tile pictures in the user's cache folder, without asking.
    MainWindow window(nullptr, DefaultTileIndexPath());
    window.exec();
  }
  return 0;
}

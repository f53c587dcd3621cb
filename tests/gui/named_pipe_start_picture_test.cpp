// SPDX-FileCopyrightText: The Quillane developers
// SPDX-License-Identifier: GPL-3.0-or-later

// A start picture that is a named pipe: opening it for reading would wait for a writer, and the
// main window checks the start picture as it opens, so the program would hang at every start.

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstring>
#include <memory>

#include "app/settings.h"
#include "gui/gui_test_helpers.h"
#include "gui/main_window.h"
#include "gui/output_window.h"

namespace {

TEST(NamedPipeStartPicture, MainWindowOpensAndRefusesThePicture) {
  GuiTestEnvironment env;
  ASSERT_TRUE(WriteTestPicture(env.ExamplePicture(), 80, 60));
  SetDefaultSettings();
  const std::string pipe = env.Folder().File("photo.jpg");
  ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
  std::strcpy(settings.startPicture, pipe.c_str());

  ModalWatcher watcher;
  // A window that waits for a writer would hang the test run; end it with a clear signal.
  alarm(60);
  auto window = std::make_unique<MainWindow>();
  window->show();
  ASSERT_TRUE(WaitUntil([&] { return window->StartupDone(); }));
  ASSERT_TRUE(WaitUntil([&] { return !watcher.Messages().isEmpty(); }, 5000));
  alarm(0);
  EXPECT_EQ(watcher.Messages(),
            QStringList{"File is format not recognized.\n" + QString::fromStdString(pipe)});
  EXPECT_FALSE(window->HasPreview());
}

// The output window checks the start picture again before it loads it.
TEST(NamedPipeStartPicture, OutputWindowDoesNotWaitForAWriter) {
  GuiTestEnvironment env;
  ASSERT_TRUE(WriteTestPicture(env.ExamplePicture(), 64, 48));
  SetDefaultSettings();
  auto owner = std::make_unique<MainWindow>();
  const std::string pipe = env.Folder().File("photo.png");
  ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
  std::strcpy(settings.startPicture, pipe.c_str());
  settings.effect = 5;
  settings.outputWidth = 48;
  settings.outputHeight = 36;

  ModalWatcher watcher;
  alarm(60);
  auto window = std::make_unique<OutputWindow>(owner.get());
  // The pipe opens at once, so the window goes on to its painting, which ends like any
  // painting of a picture that does not load.
  ASSERT_TRUE(window->Open());
  window->show();
  EXPECT_TRUE(WaitUntil([&] { return window->PaintingDone(); }, 30000));
  alarm(0);
}

}  // namespace

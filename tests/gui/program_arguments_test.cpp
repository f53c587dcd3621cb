// SPDX-FileCopyrightText: The Quillane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/program_arguments.h"

#include <unistd.h>

#include <QLineEdit>
#include <filesystem>
#include <memory>
#include <vector>

#include <gtest/gtest.h>

#include "app/settings.h"
#include "gui/gui_test_helpers.h"
#include "gui/main_window.h"

namespace {

TEST(ProgramArguments, TakesOnePictureFileAndNoUnknownOption) {
  const std::string here = std::filesystem::current_path().string();
  struct Case {
    std::vector<const char*> argv;
    ProgramCommand command;
    std::string startPicture;
  };
  for (const Case& c :
       {Case{{"quillane"}, ProgramCommand::kRun, ""},
        Case{{"quillane", "a/../b.jpg"}, ProgramCommand::kRun, here + "/b.jpg"},
        Case{{"quillane", "/p/c.png"}, ProgramCommand::kRun, "/p/c.png"},
        Case{{"quillane", "--", "-d.png"}, ProgramCommand::kRun, here + "/-d.png"},
        Case{{"quillane", "-x"}, ProgramCommand::kUsageError, ""},
        Case{{"quillane", "a.jpg", "b.jpg"}, ProgramCommand::kUsageError, ""},
        Case{{"quillane", "a.jpg", "--help"}, ProgramCommand::kHelp, ""},
        Case{{"quillane", "--version", "-x"}, ProgramCommand::kVersion, ""},
        Case{{"quillane", "--", "--help"}, ProgramCommand::kRun, here + "/--help"}}) {
    ProgramArguments arguments;
    std::string problem;
    EXPECT_EQ(
        ReadProgramArguments(static_cast<int>(c.argv.size()), c.argv.data(), &arguments, &problem),
        c.command)
        << c.argv.back();
    EXPECT_EQ(arguments.startPicture, c.startPicture);
    EXPECT_EQ(problem.empty(), c.command != ProgramCommand::kUsageError);
  }
}

// --help and --version print and end, without a display and without opening a window.
TEST(ProgramArguments, HelpAndVersionNeedNoDisplay) {
  for (const auto& [option, expected] :
       {std::pair{"--help", "Usage: quillane [FILE]"}, std::pair{"--version", "quillane "}}) {
    const std::string command =
        std::string("env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM '") + QUILLANE_BIN_DIR +
        "/quillane' " + option + " 2>&1";
    FILE* pipe = popen(command.c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    std::string out;
    char buffer[256];
    while (fgets(buffer, sizeof buffer, pipe) != nullptr) out += buffer;
    EXPECT_EQ(pclose(pipe), 0) << out;
    EXPECT_EQ(out.rfind(expected, 0), 0u) << out;
  }
}

// `quillane FILE` opens with FILE shown and loaded; a file it cannot use leaves the remembered
// start picture in place.
TEST(ProgramArguments, TheMainWindowOpensWithTheFileGiven) {
  GuiTestEnvironment env;
  ASSERT_TRUE(WriteTestPicture(env.ExamplePicture(), 80, 60));
  const std::string photo = env.Folder().File("holiday photo.png");
  ASSERT_TRUE(WriteTestPicture(photo, 120, 90));
  SetDefaultSettings();
  std::string problem;
  for (const std::string& refused : {env.Folder().File("missing.jpg"), env.Folder().Path()}) {
    EXPECT_FALSE(UseStartPictureArgument(refused, &problem)) << refused;
    EXPECT_EQ(settings.startPicture, env.ExamplePicture());
  }
  ASSERT_TRUE(UseStartPictureArgument(photo, &problem)) << problem;

  auto window = std::make_unique<MainWindow>();
  window->show();
  ASSERT_TRUE(WaitUntil([&] { return window->StartupDone() && !window->PreviewPending(); }));
  EXPECT_EQ(window->ItemAs<QLineEdit>(main_ids::kStartPictureName)->text(), "holiday photo.png");
  EXPECT_TRUE(window->HasPreview());
  window->CollectControls();
  EXPECT_EQ(settings.startPicture, photo);
  EXPECT_EQ(settings.outputWidth, 120);
}

}  // namespace

// SPDX-FileCopyrightText: The Quillane developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The open-file dialog behind '...' and 'Add': paths, filters and the caller's buffer.
#include "gui/file_dialogs.h"

#include <gtest/gtest.h>

#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QLineEdit>
#include <QListView>
#include <QTest>
#include <cstring>
#include <fstream>
#include <vector>

#include "companions_test_window.h"
#include "gui/gui_test_helpers.h"
#include "support/test_support.h"

namespace {

void Touch(const std::string& path) {
  std::ofstream(path) << "x";
}

QLineEdit* NameField(QWidget* dialog) {
  return dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
}

TEST(SplitPathTest, CutsAtTheLastSlashOrColon) {
  std::string folder, name;
  SplitPath("/home/ann/Pics/cat.jpg", &folder, &name);
  EXPECT_EQ(folder, "/home/ann/Pics");
  EXPECT_EQ(name, "cat.jpg");

  SplitPath("C:cat.jpg", &folder, &name);
  EXPECT_EQ(folder, "C");
  EXPECT_EQ(name, "cat.jpg");

  // Whichever separator comes last wins.
  SplitPath("/a:b/c:d.jpg", &folder, &name);
  EXPECT_EQ(folder, "/a:b/c");
  EXPECT_EQ(name, "d.jpg");

  SplitPath("cat.jpg", &folder, &name);
  EXPECT_EQ(folder, "");
  EXPECT_EQ(name, "cat.jpg");

  SplitPath("/pics/", &folder, &name);
  EXPECT_EQ(folder, "/pics");
  EXPECT_EQ(name, "");

  folder = "stale";
  name = "stale";
  SplitPath("", &folder, &name);
  EXPECT_EQ(folder, "");
  EXPECT_EQ(name, "");
}

TEST(FilterSpecTest, StartPictureFiltersInOrderWithAllFilesLast) {
  const QStringList filters = FilterSpecToQtFilters(StartPictureFilterSpec());
  ASSERT_EQ(filters.size(), 15);
  EXPECT_TRUE(filters[0].startsWith("All Pictures (*.png *.PNG *.jpg *.JPG *.jpeg"));
  EXPECT_EQ(filters[1], "Adobe Photoshop 3.0 Image (*.psd) (*.psd *.PSD)");
  EXPECT_EQ(filters[2], "JPEG Image (*.jpg) (*.jpg *.JPG *.jpeg *.JPEG *.jpe *.JPE)");
  EXPECT_EQ(filters[10], "TIFF Image (No LZW Decomp) (*.tif) (*.tif *.TIF *.tiff *.TIFF)");
  EXPECT_EQ(filters[13], "ZSoft PCX Image (*.pcx) (*.pcx *.PCX)");
  EXPECT_EQ(filters[14], "All Files (*.*) (*)");
}

// "All Pictures" and "All Media" show every picture the program reads, in either case.
TEST(FilterSpecTest, AllPicturesHoldsEveryEndingReadInEitherCase) {
  for (const char* filters : {StartPictureFilterSpec(), PictureListFilterSpec()}) {
    const QStringList patterns =
        FilterSpecToQtFilters(filters)[0].section('(', 1).chopped(1).split(' ');
    for (const char* ending : {".jpeg", ".jpe", ".tiff", ".webp", ".ppm", ".pnm", ".jp2", ".gif",
                               ".PNG", ".TIFF", ".JPEG", ".BMP"}) {
      EXPECT_TRUE(patterns.contains(QStringLiteral("*") + ending)) << filters << " " << ending;
    }
    EXPECT_FALSE(patterns.contains("*.cmp")) << "CMP files cannot be read";
  }
}

TEST(FilterSpecTest, PictureListFiltersAddTheVideoFormat) {
  const QStringList filters = FilterSpecToQtFilters(PictureListFilterSpec());
  ASSERT_EQ(filters.size(), 16);
  EXPECT_TRUE(filters[0].startsWith("All Media (*.png *.PNG"));
  EXPECT_TRUE(filters[0].endsWith("*.avi *.AVI)"));
  EXPECT_EQ(filters[1], "Adobe Photoshop 3.0 Image (*.psd) (*.psd *.PSD)");
  EXPECT_EQ(filters[14], "Windows Video File (*.avi) (*.avi *.AVI)");
  EXPECT_EQ(filters[15], "All Files (*.*) (*)");
}

TEST(FilterSpecTest, PatternsWithoutParenthesesInTheDescriptionGetThem) {
  EXPECT_EQ(FilterSpecToQtFilters("Pictures|*.a;*.b|Movies|*.avi|"),
            QStringList({"Pictures (*.a *.b)", "Movies (*.avi)", "All Files (*.*) (*)"}));
  EXPECT_EQ(FilterSpecToQtFilters(nullptr), QStringList({"All Files (*.*) (*)"}));
}

class ChooseFileTest : public ::testing::Test {
 protected:
  FileRequest fileRequest;
  void SetUp() override {
    window_.move(120, 80);
    window_.show();
  }
  CompanionTestWindow window_;
  ScratchFolder folder_;
};

TEST_F(ChooseFileTest, OpensInTheBufferFolderWithTheNameProposedCentredAndCancelKeepsTheBuffer) {
  const std::string start = folder_.File("cat.jpg");
  Touch(start);
  Touch(folder_.File("README"));
  char buffer[300];
  std::memset(buffer, 'z', sizeof buffer);
  std::strcpy(buffer, start.c_str());
  char before[300];
  std::memcpy(before, buffer, sizeof buffer);

  // The dialog belongs to its owner but is centred over the window in front.
  CompanionTestWindow front;
  front.move(700, 420);
  front.show();
  fileRequest.title = "Select Picture File";
  fileRequest.fileBuffer = buffer;
  fileRequest.fileBufferSize = 300;
  fileRequest.owner = &window_;
  fileRequest.extraFlags = 0;
  fileRequest.filterSpec = StartPictureFilterSpec();

  bool seen = false;
  WhenModalOpens([&](QWidget* modal) {
    auto* dialog = qobject_cast<QFileDialog*>(modal);
    ASSERT_NE(dialog, nullptr);
    seen = true;
    EXPECT_EQ(dialog->windowTitle(), "Select Picture File");
    EXPECT_TRUE(dialog->testOption(QFileDialog::DontUseNativeDialog));
    EXPECT_EQ(dialog->fileMode(), QFileDialog::AnyFile);
    EXPECT_EQ(dialog->nameFilters(), FilterSpecToQtFilters(StartPictureFilterSpec()));
    EXPECT_TRUE(dialog->selectedNameFilter().startsWith("All Pictures"));
    // The list shows the labels as they are; "All Files (*.*)" lists files without extension.
    auto* types = dialog->findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
    ASSERT_NE(types, nullptr);
    EXPECT_EQ(types->itemText(0), "All Pictures");
    EXPECT_EQ(types->itemText(2), "JPEG Image (*.jpg)");
    EXPECT_EQ(types->itemText(14), "All Files (*.*)");
    dialog->selectNameFilter(dialog->nameFilters().back());
    auto* view = dialog->findChild<QListView*>(QStringLiteral("listView"));
    ASSERT_NE(view, nullptr);
    EXPECT_TRUE(WaitUntil(
        [&] {
          for (int row = 0; row < view->model()->rowCount(view->rootIndex()); ++row) {
            if (view->model()->index(row, 0, view->rootIndex()).data() == "README") return true;
          }
          return false;
        },
        5000));
    EXPECT_EQ(dialog->directory().absolutePath(), QString::fromStdString(folder_.Path()));
    ASSERT_NE(NameField(dialog), nullptr);
    EXPECT_EQ(NameField(dialog)->text(), "cat.jpg");
    const QPoint dialogCentre = dialog->frameGeometry().center();
    const QPoint mainCentre = front.frameGeometry().center();
    EXPECT_LE(std::abs(dialogCentre.x() - mainCentre.x()), 1);
    EXPECT_LE(std::abs(dialogCentre.y() - mainCentre.y()), 1);
    dialog->reject();
  });
  EXPECT_EQ(ChooseFile(&fileRequest), 0);
  EXPECT_TRUE(seen);
  EXPECT_EQ(std::memcmp(buffer, before, sizeof buffer), 0);
  EXPECT_EQ(fileRequest.extraFlags, 0u);
  EXPECT_EQ(fileRequest.filterSpec, nullptr);
}

// A start picture remembered in the kernel's live folders does not take the dialog there: listing
// them reads files that never end.
TEST_F(ChooseFileTest, NeverStartsInTheKernelsFolders) {
  for (const char* remembered : {"/proc/self/cat.jpg", "/sys/cat.jpg", "/dev/shm/cat.jpg"}) {
    char buffer[300] = {};
    std::strcpy(buffer, remembered);
    fileRequest.title = "Select Picture File";
    fileRequest.fileBuffer = buffer;
    fileRequest.fileBufferSize = sizeof buffer;
    fileRequest.owner = &window_;
    QString started;
    WhenModalOpens([&](QWidget* modal) {
      auto* dialog = qobject_cast<QFileDialog*>(modal);
      ASSERT_NE(dialog, nullptr);
      started = dialog->directory().absolutePath();
      dialog->reject();
    });
    EXPECT_EQ(ChooseFile(&fileRequest), 0);
    EXPECT_EQ(started, QDir::homePath()) << remembered;
  }
}

TEST_F(ChooseFileTest, OneChosenFileIsWrittenAsAFullPath) {
  Touch(folder_.File("dog.png"));
  char buffer[300] = {};
  fileRequest = FileRequest{};
  fileRequest.title = "Select Picture File";
  fileRequest.fileBuffer = buffer;
  fileRequest.fileBufferSize = 300;
  fileRequest.owner = &window_;
  fileRequest.filterSpec = StartPictureFilterSpec();

  WhenModalOpens([&](QWidget* modal) {
    auto* dialog = qobject_cast<QFileDialog*>(modal);
    ASSERT_NE(dialog, nullptr);
    // An empty buffer proposes no name.
    EXPECT_EQ(NameField(dialog)->text(), "");
    dialog->setDirectory(QString::fromStdString(folder_.Path()));
    NameField(dialog)->setText("dog.png");
    static_cast<QDialog*>(dialog)->accept();
  });
  EXPECT_NE(ChooseFile(&fileRequest), 0);
  const std::string expected = folder_.File("dog.png");
  EXPECT_EQ(std::string(buffer), expected);
  EXPECT_EQ(fileRequest.fileOffset, static_cast<int32_t>(folder_.Path().size() + 1));
}

TEST_F(ChooseFileTest, SeveralChosenFilesAreTheFolderThenEachName) {
  for (const char* name : {"a.jpg", "b.bmp", "c.avi"}) Touch(folder_.File(name));
  std::vector<char> buffer(25000, '\0');
  fileRequest = FileRequest{};
  fileRequest.title = "Select image files";
  fileRequest.fileBuffer = buffer.data();
  fileRequest.fileBufferSize = 25000;
  fileRequest.owner = &window_;
  fileRequest.extraFlags = OFN_ALLOWMULTISELECT;
  fileRequest.filterSpec = PictureListFilterSpec();

  WhenModalOpens([&](QWidget* modal) {
    auto* dialog = qobject_cast<QFileDialog*>(modal);
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(dialog->fileMode(), QFileDialog::ExistingFiles);
    EXPECT_TRUE(dialog->selectedNameFilter().startsWith("All Media"));
    dialog->setDirectory(QString::fromStdString(folder_.Path()));
    NameField(dialog)->setText("\"a.jpg\" \"b.bmp\" \"c.avi\"");
    static_cast<QDialog*>(dialog)->accept();
  });
  EXPECT_NE(ChooseFile(&fileRequest), 0);
  std::string expected = folder_.Path();
  expected += '\0';
  for (const char* name : {"a.jpg", "b.bmp", "c.avi"}) {
    expected += name;
    expected += '\0';
  }
  expected += '\0';
  EXPECT_EQ(std::string(buffer.data(), expected.size()), expected);
  EXPECT_EQ(fileRequest.fileOffset, static_cast<int32_t>(folder_.Path().size() + 1));
  EXPECT_EQ(fileRequest.extraFlags, 0u);
}

TEST_F(ChooseFileTest, AResultLongerThanTheBufferCountsAsCancelled) {
  Touch(folder_.File("long-enough-name.jpg"));
  char buffer[12] = "keep.jpg";
  fileRequest = FileRequest{};
  fileRequest.title = "Select Picture File";
  fileRequest.fileBuffer = buffer;
  fileRequest.fileBufferSize = sizeof buffer;
  fileRequest.owner = &window_;

  WhenModalOpens([&](QWidget* modal) {
    auto* dialog = qobject_cast<QFileDialog*>(modal);
    ASSERT_NE(dialog, nullptr);
    dialog->setDirectory(QString::fromStdString(folder_.Path()));
    NameField(dialog)->setText("long-enough-name.jpg");
    static_cast<QDialog*>(dialog)->accept();
  });
  EXPECT_EQ(ChooseFile(&fileRequest), 0);
  EXPECT_STREQ(buffer, "keep.jpg");
  // The user learns why the choice was not taken.
  ASSERT_EQ(window_.warnings.size(), 1u);
  EXPECT_NE(window_.warnings[0].find("too long"), std::string::npos);
  EXPECT_NE(window_.warnings[0].find("at most 11 characters"), std::string::npos);
  EXPECT_NE(window_.warnings[0].find("long-enough-name.jpg"), std::string::npos);
}

}  // namespace

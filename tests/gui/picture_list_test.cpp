// SPDX-FileCopyrightText: The Quillane developers
// SPDX-License-Identifier: GPL-3.0-or-later

// 'Your Picture List': the list box, 'Add', 'Remove' and dropped files, with the 300-byte slots.
#include "gui/picture_list.h"

#include <gtest/gtest.h>

#include <QDropEvent>
#include <QFileDialog>
#include <QLineEdit>
#include <QListWidget>
#include <QMimeData>
#include <QTest>
#include <QUrl>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "app/settings.h"
#include "companions_test_window.h"
#include "support/test_support.h"

namespace {

void Touch(const std::string& path) {
  std::ofstream(path) << "x";
}

void SetList(const std::vector<std::string>& paths) {
  std::free(settings.pictureList);
  settings.pictureList = nullptr;
  settings.pictureListLength = 0;
  if (paths.empty()) return;
  settings.pictureList =
      static_cast<PictureListEntry*>(std::calloc(paths.size(), kPictureListEntrySize));
  for (size_t i = 0; i < paths.size(); ++i) {
    std::strncpy(settings.pictureList[i].path, paths[i].c_str(), kPictureListEntrySize - 1);
  }
  settings.pictureListLength = static_cast<int32_t>(paths.size() * kPictureListEntrySize);
}

std::vector<std::string> ListPaths() {
  std::vector<std::string> paths;
  for (int32_t i = 0; i < PictureListCount(); ++i) paths.emplace_back(settings.pictureList[i].path);
  return paths;
}

class PictureListTest : public ::testing::Test {
 protected:
  void SetUp() override { SetList({}); }
  void TearDown() override { SetList({}); }

  QListWidget* List() { return window_.ItemAs<QListWidget>(1002); }
  QStringList Lines() {
    QStringList lines;
    for (int i = 0; i < List()->count(); ++i) lines << List()->item(i)->text();
    return lines;
  }
  std::vector<int> SelectedLines() {
    std::vector<int> rows;
    for (int i = 0; i < List()->count(); ++i) {
      if (List()->item(i)->isSelected()) rows.push_back(i);
    }
    return rows;
  }
  void Select(std::initializer_list<int> rows) {
    List()->clearSelection();
    for (int row : rows) List()->item(row)->setSelected(true);
  }
  // Runs 'Add' and answers its dialog with `typed` in the name field (cancels when empty).
  void AddThroughDialog(const std::string& folder, const QString& typed) {
    WhenModalOpens([&](QWidget* modal) {
      auto* dialog = qobject_cast<QFileDialog*>(modal);
      ASSERT_NE(dialog, nullptr);
      EXPECT_EQ(dialog->windowTitle(), "Select image files");
      auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
      EXPECT_EQ(name->text(), "");
      if (typed.isEmpty()) {
        dialog->reject();
        return;
      }
      dialog->setDirectory(QString::fromStdString(folder));
      name->setText(typed);
      static_cast<QDialog*>(dialog)->accept();
    });
    AddPicturesToList(&window_);
  }

  CompanionTestWindow window_;
  ScratchFolder folder_;
};

TEST_F(PictureListTest, AnEmptyListShowsOneEmptyLineAndNoSelection) {
  RebuildPictureListBox(&window_, kNoAnchor);
  EXPECT_EQ(Lines(), QStringList({""}));
  EXPECT_TRUE(SelectedLines().empty());
}

TEST_F(PictureListTest, LinesShowTheNamePartAndEverythingIsSelectedWithoutAnAnchor) {
  SetList({"/pics/cat.jpg", "C:dog.png", "bare-name.jpg", "/films/a:b.avi"});
  RebuildPictureListBox(&window_, kNoAnchor);
  EXPECT_EQ(Lines(), QStringList({"cat.jpg", "dog.png", "", "b.avi", ""}));
  EXPECT_EQ(SelectedLines(), std::vector<int>({0, 1, 2, 3, 4}));
}

TEST_F(PictureListTest, AnAnchorSelectsOnlyItsLineAndMakesItTheCaret) {
  SetList({"/p/1.jpg", "/p/2.jpg", "/p/3.jpg"});
  RebuildPictureListBox(&window_, 1);
  EXPECT_EQ(SelectedLines(), std::vector<int>({1}));
  EXPECT_EQ(List()->currentRow(), 1);
}

TEST_F(PictureListTest, AddingThreeFilesFromOneFolderAppendsFolderSlashName) {
  for (const char* name : {"a.jpg", "b.jpg", "c.avi"}) Touch(folder_.File(name));
  SetList({"/old/one.jpg", "/old/two.jpg"});
  AddThroughDialog(folder_.Path(), "\"a.jpg\" \"b.jpg\" \"c.avi\"");
  EXPECT_EQ(ListPaths(),
            std::vector<std::string>({"/old/one.jpg", "/old/two.jpg", folder_.File("a.jpg"),
                                      folder_.File("b.jpg"), folder_.File("c.avi")}));
  EXPECT_EQ(settings.pictureListLength, 5 * 300);
  // Slots are zero-filled behind each path, as the settings file stores them.
  const PictureListEntry& last = settings.pictureList[4];
  for (size_t i = std::strlen(last.path); i < kPictureListEntrySize; ++i) {
    ASSERT_EQ(last.path[i], '\0');
  }
  EXPECT_EQ(Lines(), QStringList({"one.jpg", "two.jpg", "a.jpg", "b.jpg", "c.avi", ""}));
  EXPECT_EQ(SelectedLines(), std::vector<int>({2}));
}

TEST_F(PictureListTest, AddingOneFileAppendsItsFullPath) {
  Touch(folder_.File("solo.png"));
  AddThroughDialog(folder_.Path(), "solo.png");
  EXPECT_EQ(ListPaths(), std::vector<std::string>({folder_.File("solo.png")}));
  EXPECT_EQ(SelectedLines(), std::vector<int>({0}));
}

TEST_F(PictureListTest, CancellingAddKeepsTheListAndSelectsEveryLine) {
  SetList({"/p/1.jpg", "/p/2.jpg"});
  RebuildPictureListBox(&window_, 0);
  AddThroughDialog(folder_.Path(), QString());
  EXPECT_EQ(ListPaths(), std::vector<std::string>({"/p/1.jpg", "/p/2.jpg"}));
  EXPECT_EQ(SelectedLines(), std::vector<int>({0, 1, 2}));
}

TEST_F(PictureListTest, RemovingLinesTwoAndFourOfSixSelectsFormerLineFive) {
  SetList({"/p/0.jpg", "/p/1.jpg", "/p/2.jpg", "/p/3.jpg", "/p/4.jpg", "/p/5.jpg"});
  RebuildPictureListBox(&window_, kNoAnchor);
  Select({2, 4});
  RemovePicturesFromList(&window_);
  EXPECT_EQ(ListPaths(),
            std::vector<std::string>({"/p/0.jpg", "/p/1.jpg", "/p/3.jpg", "/p/5.jpg"}));
  EXPECT_EQ(settings.pictureListLength, 4 * 300);
  EXPECT_EQ(SelectedLines(), std::vector<int>({3}));
  EXPECT_EQ(Lines()[3], "5.jpg");
}

TEST_F(PictureListTest, RemovingTheLastOfTwoSelectsTheRemainingEntry) {
  SetList({"/p/0.jpg", "/p/1.jpg"});
  RebuildPictureListBox(&window_, kNoAnchor);
  Select({1, 2});
  RemovePicturesFromList(&window_);
  EXPECT_EQ(ListPaths(), std::vector<std::string>({"/p/0.jpg"}));
  EXPECT_EQ(SelectedLines(), std::vector<int>({0}));
}

TEST_F(PictureListTest, RemovingWithOnlyTheTrailingLineSelectedChangesNothing) {
  SetList({"/p/0.jpg", "/p/1.jpg", "/p/2.jpg"});
  RebuildPictureListBox(&window_, kNoAnchor);
  Select({3});
  RemovePicturesFromList(&window_);
  EXPECT_EQ(ListPaths(), std::vector<std::string>({"/p/0.jpg", "/p/1.jpg", "/p/2.jpg"}));
  EXPECT_EQ(SelectedLines(), std::vector<int>({0, 1, 2, 3}));
}

TEST_F(PictureListTest, TheOnlyEntryIsAlwaysRemoved) {
  SetList({"/p/0.jpg"});
  RebuildPictureListBox(&window_, kNoAnchor);
  Select({1});
  RemovePicturesFromList(&window_);
  EXPECT_EQ(PictureListCount(), 0);
  EXPECT_EQ(settings.pictureList, nullptr);
  EXPECT_EQ(settings.pictureListLength, 0);
  EXPECT_EQ(Lines(), QStringList({""}));
  EXPECT_TRUE(SelectedLines().empty());
}

TEST_F(PictureListTest, RemovingEverythingEmptiesTheList) {
  SetList({"/p/0.jpg", "/p/1.jpg"});
  RebuildPictureListBox(&window_, kNoAnchor);
  RemovePicturesFromList(&window_);
  EXPECT_EQ(settings.pictureList, nullptr);
  EXPECT_EQ(settings.pictureListLength, 0);
  EXPECT_EQ(Lines(), QStringList({""}));
}

TEST_F(PictureListTest, DeleteRemovesAndCtrlZPutsBackOneRemovalAfterAnother) {
  SetList({"/p/0.jpg", "/p/1.jpg", "/p/2.jpg", "/p/3.jpg", "/p/4.jpg"});
  InstallPictureListKeys(&window_);
  RebuildPictureListBox(&window_, kNoAnchor);
  EXPECT_EQ(List()->item(3)->toolTip(), "/p/3.jpg");
  const auto all = ListPaths();

  // Every line is selected after a start: one Delete empties the list, Ctrl Z brings it back.
  QTest::keyClick(List(), Qt::Key_Delete);
  EXPECT_EQ(PictureListCount(), 0);
  QTest::keyClick(List(), Qt::Key_Z, Qt::ControlModifier);
  EXPECT_EQ(ListPaths(), all);
  EXPECT_EQ(SelectedLines(), std::vector<int>({0, 1, 2, 3, 4}));

  Select({1, 3});
  QTest::keyClick(List(), Qt::Key_Delete);
  Select({0});
  RemovePicturesFromList(&window_);
  EXPECT_EQ(ListPaths(), std::vector<std::string>({"/p/2.jpg", "/p/4.jpg"}));
  // A file added meanwhile stays where it is.
  DropFilesOnList(&window_, {"/p/new.jpg"});
  QTest::keyClick(List(), Qt::Key_Z, Qt::ControlModifier);
  EXPECT_EQ(ListPaths(),
            std::vector<std::string>({"/p/0.jpg", "/p/2.jpg", "/p/4.jpg", "/p/new.jpg"}));
  EXPECT_EQ(SelectedLines(), std::vector<int>({0}));
  QTest::keyClick(List(), Qt::Key_Z, Qt::ControlModifier);
  EXPECT_EQ(ListPaths(), std::vector<std::string>({"/p/0.jpg", "/p/1.jpg", "/p/2.jpg", "/p/3.jpg",
                                                   "/p/4.jpg", "/p/new.jpg"}));
  EXPECT_EQ(SelectedLines(), std::vector<int>({1, 3}));
  // Nothing more to take back.
  QTest::keyClick(List(), Qt::Key_Z, Qt::ControlModifier);
  EXPECT_EQ(PictureListCount(), 6);
}

TEST_F(PictureListTest, RemovingWithNothingSelectedDoesNothing) {
  SetList({"/p/0.jpg", "/p/1.jpg"});
  RebuildPictureListBox(&window_, kNoAnchor);
  List()->clearSelection();
  RemovePicturesFromList(&window_);
  EXPECT_EQ(PictureListCount(), 2);
}

// Sends a drag with the files to the list box as a file manager would.
bool DropOn(QListWidget* list, const QList<QUrl>& urls) {
  QMimeData data;
  data.setUrls(urls);
  const QPoint at = list->viewport()->rect().center();
  QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(list->viewport(), &enter);
  if (!enter.isAccepted()) return false;
  QDropEvent drop(QPointF(at), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(list->viewport(), &drop);
  return drop.isAccepted();
}

TEST_F(PictureListTest, DroppedFilesAreAppendedInOrderAndTheFirstIsSelected) {
  InstallPictureListDropTarget(&window_);
  SetList({"/p/kept.jpg"});
  RebuildPictureListBox(&window_, kNoAnchor);
  // A folder brings the pictures and videos directly in it, by name; not itself, not the rest.
  const std::string photos = folder_.File("photos");
  std::filesystem::create_directories(photos + "/inner");
  for (const char* name : {"b.AVI", "a.png", "notes.txt", "inner/c.jpg"}) {
    std::ofstream(photos + "/" + name) << "x";
  }
  const std::vector<std::string> dropped = {folder_.File("x.jpg"), folder_.File("y.avi"), photos};
  QList<QUrl> urls;
  for (const std::string& path : dropped) urls << QUrl::fromLocalFile(QString::fromStdString(path));
  ASSERT_TRUE(DropOn(List(), urls));
  EXPECT_EQ(ListPaths(), std::vector<std::string>({"/p/kept.jpg", dropped[0], dropped[1],
                                                   photos + "/a.png", photos + "/b.AVI"}));
  EXPECT_EQ(SelectedLines(), std::vector<int>({1}));
  EXPECT_TRUE(window_.warnings.empty());

  // A folder without any adds nothing, and says so.
  const std::string nothing = folder_.File("nothing");
  std::filesystem::create_directories(nothing);
  std::ofstream(nothing + "/notes.txt") << "x";
  ASSERT_TRUE(DropOn(List(), {QUrl::fromLocalFile(QString::fromStdString(nothing))}));
  EXPECT_EQ(ListPaths().size(), 5u);
  ASSERT_EQ(window_.warnings.size(), 1u);
}

// Entries that share a name show as many of their folders as tell them apart.
TEST_F(PictureListTest, SameNamesShowTheirFolders) {
  SetList({"/home/a/2024/beach.jpg", "/home/b/2024/beach.jpg", "/home/a/sun.jpg", "/x/sun.jpg",
           "/y/sun.jpg/sun.jpg", "noslash"});
  RebuildPictureListBox(&window_, kNoAnchor);
  EXPECT_EQ(Lines(), QStringList({"a/2024/beach.jpg", "b/2024/beach.jpg", "a/sun.jpg", "x/sun.jpg",
                                  "sun.jpg/sun.jpg", "", ""}));
}

TEST_F(PictureListTest, DragsWithoutLocalFilesAreRefused) {
  InstallPictureListDropTarget(&window_);
  EXPECT_FALSE(DropOn(List(), {QUrl("https://quillane.example.org/x.jpg")}));
  EXPECT_EQ(PictureListCount(), 0);
}

TEST_F(PictureListTest, APathThatDoesNotFitASlotIsLeftOutAndNamed) {
  InstallPictureListDropTarget(&window_);
  const std::string fits = "/" + std::string(294, 'f') + ".jpg";     // 299 characters
  const std::string tooLong = "/" + std::string(295, 'l') + ".jpg";  // 300 characters
  ASSERT_EQ(fits.size(), 299u);
  ASSERT_EQ(tooLong.size(), 300u);
  ASSERT_TRUE(DropOn(List(), {QUrl::fromLocalFile(QString::fromStdString(tooLong)),
                              QUrl::fromLocalFile(QString::fromStdString(fits))}));
  EXPECT_EQ(ListPaths(), std::vector<std::string>({fits}));
  ASSERT_EQ(window_.warnings.size(), 1u);
  EXPECT_NE(window_.warnings[0].find(tooLong), std::string::npos);
  EXPECT_EQ(window_.warnings[0].find(fits), std::string::npos);
  EXPECT_EQ(window_.warnings[0].find('|'), std::string::npos);
}

TEST_F(PictureListTest, WhenNoDroppedPathFitsTheListStaysAsItWas) {
  SetList({"/p/kept.jpg"});
  DropFilesOnList(&window_, {QString::fromStdString("/" + std::string(400, 'q'))});
  EXPECT_EQ(ListPaths(), std::vector<std::string>({"/p/kept.jpg"}));
  EXPECT_EQ(window_.warnings.size(), 1u);
  EXPECT_EQ(SelectedLines(), std::vector<int>({0, 1}));
}

// The list stops where loading stops: files past the limit are refused with a warning, so that
// the list saved on Exit always loads at the next start.
TEST_F(PictureListTest, DroppingPastTheLimitAddsUpToItAndWarns) {
  SetList(std::vector<std::string>(kMaxPictureListEntries - 2, "/p/old.jpg"));
  DropFilesOnList(&window_, {"/p/a.jpg", "/p/b.jpg", "/p/c.jpg", "/p/d.jpg"});
  ASSERT_EQ(PictureListCount(), kMaxPictureListEntries);
  EXPECT_STREQ(settings.pictureList[kMaxPictureListEntries - 1].path, "/p/b.jpg");
  ASSERT_EQ(window_.warnings.size(), 1u);
  EXPECT_NE(window_.warnings[0].find("2 files were not added"), std::string::npos)
      << window_.warnings[0];

  DropFilesOnList(&window_, {"/p/e.jpg"});
  EXPECT_EQ(PictureListCount(), kMaxPictureListEntries);
  EXPECT_EQ(window_.warnings.size(), 2u);
}

}  // namespace

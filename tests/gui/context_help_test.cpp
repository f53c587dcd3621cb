// SPDX-FileCopyrightText: The Quillane developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Help on the controls of the main window: the texts, their wrapping and the ways to ask.
#include "gui/context_help.h"

#include <gtest/gtest.h>

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QTest>
#include <QWhatsThis>
#include <algorithm>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "companions_test_window.h"

namespace {

std::vector<size_t> LineLengths(const std::string& text) {
  std::vector<size_t> lengths;
  std::istringstream lines(text);
  for (std::string line; std::getline(lines, line);) lengths.push_back(line.size());
  return lengths;
}

// Every control of the main window that has help, with the line lengths its text wraps into.
const std::map<int, std::vector<size_t>> kWrappedLineLengths = {
    {1013, {79, 75, 89, 71, 73}},
    {1014, {78, 79, 17}},
    {1018, {81, 58}},
    {1019, {74, 85, 23}},
    {1020, {75, 86, 24}},
    {1021, {79, 79}},
    {1000, {56}},
    {1010, {78, 3}},
    {1027, {79, 51}},
    {1017, {77, 73, 22}},
    {1011, {74}},
    {1015, {76, 14}},
    {1012, {75}},
    {1016, {77, 14}},
    {1008, {76, 84, 77, 36}},
    {1007, {78, 51}},
    {1002, {80, 76, 83, 7}},
    {1004, {76, 61}},
    {1005, {74, 83, 7}},
    {1006, {77, 47}},
    {1009, {78, 78, 15}},
    {1003, {77, 61}},
    {1, {73}},
    {3, {64}},
    {2, {35}},
};

TEST(HelpTableTest, LabelsShareTheTextOfTheirControls) {
  const std::vector<std::pair<int, int>> pairs = {{1048, 1000}, {1049, 1027}, {1050, 1011},
                                                  {1051, 1012}, {1034, 1002}, {1032, 1004},
                                                  {1033, 1003}};
  for (const auto& [label, control] : pairs) {
    ASSERT_NE(HelpTextFor(control), nullptr) << control;
    EXPECT_STREQ(HelpTextFor(label), HelpTextFor(control)) << label;
  }
}

TEST(HelpTableTest, GroupBoxesAndUnknownControlsHaveNoText) {
  EXPECT_EQ(HelpTextFor(-1), nullptr);
  EXPECT_EQ(HelpTextFor(0), nullptr);
  EXPECT_EQ(HelpTextFor(1030), nullptr);
  EXPECT_EQ(HelpTextFor(1036), nullptr);
}

TEST(WrapHelpTextTest, EveryTextWrapsIntoItsLines) {
  for (const auto& [id, lengths] : kWrappedLineLengths) {
    const char* text = HelpTextFor(id);
    ASSERT_NE(text, nullptr) << id;
    const std::string wrapped = WrapHelpText(text);
    EXPECT_EQ(LineLengths(wrapped), lengths) << "control " << id;
    // Breaks only ever replace blanks.
    ASSERT_EQ(wrapped.size(), std::strlen(text));
    for (size_t i = 0; i < wrapped.size(); ++i) {
      if (wrapped[i] != text[i]) {
        EXPECT_TRUE(wrapped[i] == '\n' && text[i] == ' ') << id;
      }
    }
  }
}

TEST(WrapHelpTextTest, BarsBreakAndNarrowLettersCountOnceInThree) {
  EXPECT_EQ(WrapHelpText("one|two"), "one\ntwo");
  // 80 narrow letters count as 27 (the first of each three), so no break falls.
  EXPECT_EQ(WrapHelpText(std::string(40, 'i') + " " + std::string(40, 'l')),
            std::string(40, 'i') + " " + std::string(40, 'l'));
  // 80 ordinary letters break at the blank once the count reaches 75.
  EXPECT_EQ(WrapHelpText(std::string(40, 'a') + " " + std::string(40, 'b')),
            std::string(40, 'a') + "\n" + std::string(40, 'b'));
  EXPECT_EQ(WrapHelpText(""), "");
}

struct InfoBox {
  bool shown = false;
  QString title;
  QString text;
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  QWidget* owner = nullptr;
  bool linesFit = false;  // every line fits the box's width, so the box breaks none again
};

// Records and closes the information box that opens within `timeoutMs`.
void CaptureInfoBox(InfoBox* box, int timeoutMs = 2000) {
  WhenModalOpens(
      [box](QWidget* modal) {
        auto* message = qobject_cast<QMessageBox*>(modal);
        if (message == nullptr) {
          modal->close();
          return;
        }
        box->shown = true;
        box->title = message->windowTitle();
        box->text = message->text();
        box->icon = message->icon();
        box->owner = message->parentWidget();
        auto* label = message->findChild<QLabel*>(QStringLiteral("qt_msgbox_label"));
        if (label != nullptr) {
          int widest = 0;
          for (const QString& line : box->text.split('\n')) {
            widest = std::max(widest, label->fontMetrics().horizontalAdvance(line));
          }
          box->linesFit = label->contentsRect().width() >= widest;
        }
        message->accept();
      },
      timeoutMs);
}

class ContextHelpTest : public ::testing::Test {
 protected:
  void SetUp() override {
    InstallContextHelp(&window_);
    window_.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window_));
  }
  // Asks for help in What's This mode by clicking the widget, and waits for the box.
  InfoBox WhatsThisClick(QWidget* widget, QPoint at = QPoint()) {
    InfoBox box;
    CaptureInfoBox(&box, 250);
    QWhatsThis::enterWhatsThisMode();
    QTest::mouseClick(widget, Qt::LeftButton, Qt::NoModifier,
                      at.isNull() ? widget->rect().center() : at);
    QTest::qWait(300);
    return box;
  }

  CompanionTestWindow window_;
};

TEST_F(ContextHelpTest, ShowInfoIsAnInformationBoxCaptionedLimnora) {
  InfoBox box;
  CaptureInfoBox(&box);
  ShowInfo(HelpTextFor(1013));
  ASSERT_TRUE(box.shown);
  EXPECT_TRUE(box.linesFit);
  EXPECT_EQ(box.title, "Limnora");
  EXPECT_EQ(box.icon, QMessageBox::Information);
  EXPECT_EQ(box.owner, &window_);
  EXPECT_EQ(box.text.toStdString(), WrapHelpText(HelpTextFor(1013)));
}

TEST_F(ContextHelpTest, ShowInfoWithoutAWindowInFrontShowsNothing) {
  messageOwner = nullptr;
  InfoBox box;
  CaptureInfoBox(&box, 100);
  ShowInfo(HelpTextFor(2));
  QTest::qWait(200);
  EXPECT_FALSE(box.shown);
}

TEST_F(ContextHelpTest, ClickingALabelInWhatsThisModeShowsItsControlsText) {
  const InfoBox box = WhatsThisClick(window_.Item(1050));
  ASSERT_TRUE(box.shown);
  EXPECT_EQ(box.text.toStdString(), WrapHelpText(HelpTextFor(1011)));
  EXPECT_FALSE(QWhatsThis::inWhatsThisMode());
}

TEST_F(ContextHelpTest, ClickingInsideTheListBoxShowsTheListText) {
  auto* list = window_.ItemAs<QListWidget>(1002);
  const InfoBox box = WhatsThisClick(list->viewport());
  ASSERT_TRUE(box.shown);
  EXPECT_EQ(box.text.toStdString(), WrapHelpText(HelpTextFor(1002)));
}

TEST_F(ContextHelpTest, AGroupBoxShowsNothing) {
  auto* group = window_.findChild<QGroupBox*>();
  ASSERT_NE(group, nullptr);
  // A spot inside the frame that no control covers.
  const InfoBox box = WhatsThisClick(group, QPoint(group->width() - 4, group->height() - 4));
  EXPECT_FALSE(box.shown);
  EXPECT_FALSE(QWhatsThis::inWhatsThisMode());
}

TEST_F(ContextHelpTest, F1OnTheFocusedControlShowsItsText) {
  auto* edit = window_.ItemAs<QLineEdit>(1011);
  edit->setFocus();
  InfoBox box;
  CaptureInfoBox(&box);
  QTest::keyClick(edit, Qt::Key_F1);
  ASSERT_TRUE(box.shown);
  EXPECT_EQ(box.text.toStdString(), WrapHelpText(HelpTextFor(1011)));
  EXPECT_EQ(edit->text(), "");
}

}  // namespace

namespace {

TEST_F(ContextHelpTest, ADisabledControlStillExplainsItself) {
  window_.Item(1011)->setEnabled(false);
  window_.Item(1050)->setEnabled(false);
  InfoBox box = WhatsThisClick(window_.Item(1011));
  ASSERT_TRUE(box.shown);
  EXPECT_EQ(box.text.toStdString(), WrapHelpText(HelpTextFor(1011)));
  box = WhatsThisClick(window_.Item(1050));
  ASSERT_TRUE(box.shown);
  EXPECT_EQ(box.text.toStdString(), WrapHelpText(HelpTextFor(1011)));
}

}  // namespace

namespace {

TEST_F(ContextHelpTest, ShiftF1EntersWhatsThisMode) {
  QTest::keyClick(window_.Item(1011), Qt::Key_F1, Qt::ShiftModifier);
  EXPECT_TRUE(QWhatsThis::inWhatsThisMode());
  QWhatsThis::leaveWhatsThisMode();
}

}  // namespace

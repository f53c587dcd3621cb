// SPDX-FileCopyrightText: The Quillane developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The four output size boxes of the main window, and how typed numbers are read.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QLineEdit>
#include <QTest>
#include <cmath>
#include <cstring>
#include <limits>
#include <memory>

#include "app/settings.h"
#include "gui/gui_test_helpers.h"
#include "gui/main_window.h"
#include "gui/size_boxes.h"

using namespace main_ids;

namespace {

TEST(LenientNumbers, DecimalsTakeTheLongestPrefix) {
  EXPECT_EQ(ReadDecimal("400"), 400.0);
  EXPECT_EQ(ReadDecimal("  12.5abc"), 12.5);
  EXPECT_EQ(ReadDecimal("75.5 %"), 75.5);
  EXPECT_EQ(ReadDecimal("-3"), -3.0);
  EXPECT_EQ(ReadDecimal("+.5"), 0.5);
  EXPECT_EQ(ReadDecimal("5."), 5.0);
  EXPECT_EQ(ReadDecimal("1e3x"), 1000.0);
  EXPECT_EQ(ReadDecimal("2e"), 2.0);
  EXPECT_EQ(ReadDecimal("abc"), 0.0);
  EXPECT_EQ(ReadDecimal(""), 0.0);
  EXPECT_EQ(ReadDecimal("."), 0.0);
  // Only plain decimal notation: no hexadecimal, infinities or NaN from the C library.
  EXPECT_EQ(ReadDecimal("0x10"), 0.0);
  EXPECT_EQ(ReadDecimal("inf"), 0.0);
  EXPECT_EQ(ReadDecimal("nan"), 0.0);
}

TEST(LenientNumbers, IntegersStopAtTheFractionAndStayInRange) {
  EXPECT_EQ(ReadInteger("640.7"), 640);
  EXPECT_EQ(ReadInteger(" +12px"), 12);
  EXPECT_EQ(ReadInteger("-5"), -5);
  EXPECT_EQ(ReadInteger("px"), 0);
  EXPECT_EQ(ReadInteger("99999999999"), std::numeric_limits<int32_t>::max());
  EXPECT_EQ(ReadInteger("-99999999999"), std::numeric_limits<int32_t>::min());
}

TEST(LenientNumbers, Formats) {
  EXPECT_EQ(FormatPercent(66.66666f), "66.7 %");
  EXPECT_EQ(FormatPercent(0.0), "0.0 %");
  EXPECT_EQ(FormatPixels(-12), "-12");
  EXPECT_EQ(EditText(QString(150, QChar('7'))).size(), 99u);
}

class SizeBoxesTest : public ::testing::Test {
 protected:
  void OpenWith(int width, int height) {
    const std::string picture = env.Folder().File("start.jpg");
    ASSERT_TRUE(WriteTestPicture(picture, width, height));
    SetDefaultSettings();
    std::strcpy(settings.startPicture, picture.c_str());
    window = std::make_unique<MainWindow>();
    window->show();
    ASSERT_TRUE(WaitUntil([this] { return window->StartupDone() && !window->PreviewPending(); }));
    ASSERT_EQ(Text(kWidthPixels), QString::number(width));
  }
  void TearDown() override { window.reset(); }

  QLineEdit* Box(int id) const { return window->ItemAs<QLineEdit>(id); }
  QString Text(int id) const { return Box(id)->text(); }
  void SetText(int id, const char* text) { Box(id)->setText(text); }
  void SetLocked(bool locked) {
    window->ItemAs<QAbstractButton>(kLockAspectRatio)->setChecked(locked);
  }
  // Types into a box and leaves it by moving the focus to another box.
  void TypeAndLeave(int id, const char* text, int next) {
    Box(id)->setFocus();
    ASSERT_TRUE(WaitUntil([&] { return Box(id)->hasFocus(); }, 2000));
    Box(id)->selectAll();
    QTest::keyClicks(Box(id), text);
    Box(next)->setFocus();
    ASSERT_TRUE(WaitUntil([&] { return Box(next)->hasFocus(); }, 2000));
  }

  GuiTestEnvironment env;
  std::unique_ptr<MainWindow> window;
};

TEST_F(SizeBoxesTest, LockedWidthInPixelsSetsBothPercentagesAndTheHeight) {
  OpenWith(800, 600);
  SetLocked(true);
  window->activateWindow();
  TypeAndLeave(kWidthPixels, "400", kTilesAcross);
  EXPECT_EQ(Text(kWidthPercent), "50.0 %");
  EXPECT_EQ(Text(kHeightPercent), "50.0 %");
  EXPECT_EQ(Text(kHeightPixels), "300");
  EXPECT_EQ(Text(kWidthPixels), "400");
}

TEST_F(SizeBoxesTest, UnlockedWidthChangesOnlyItsOwnPercentage) {
  OpenWith(800, 600);
  SetLocked(false);
  SetText(kWidthPixels, "400");
  window->findChild<SizeBoxes*>()->LeavePixelBox(kWidthPixels);
  EXPECT_EQ(Text(kWidthPercent), "50.0 %");
  EXPECT_EQ(Text(kHeightPercent), "100.0 %");
  EXPECT_EQ(Text(kHeightPixels), "600");
}

TEST_F(SizeBoxesTest, LockedPercentageRewritesItselfAndBothPixelBoxes) {
  OpenWith(800, 600);
  SetLocked(true);
  window->activateWindow();
  TypeAndLeave(kWidthPercent, "33", kTilesAcross);
  EXPECT_EQ(Text(kWidthPercent), "33.0 %");
  EXPECT_EQ(Text(kWidthPixels), "264");
  EXPECT_EQ(Text(kHeightPixels), "198");
  EXPECT_EQ(Text(kHeightPercent), "33.0 %");
}

TEST_F(SizeBoxesTest, LettersReadAsZero) {
  OpenWith(640, 480);
  SetLocked(true);
  SetText(kHeightPixels, "abc");
  window->findChild<SizeBoxes*>()->LeavePixelBox(kHeightPixels);
  EXPECT_EQ(Text(kHeightPercent), "0.0 %");
  EXPECT_EQ(Text(kWidthPixels), "0");
  EXPECT_EQ(Text(kWidthPercent), "0.0 %");
  EXPECT_EQ(Text(kHeightPixels), "abc");
}

TEST_F(SizeBoxesTest, TypedPercentSignAndFractionsAreRead) {
  OpenWith(800, 600);
  SetLocked(false);
  auto* boxes = window->findChild<SizeBoxes*>();
  SetText(kWidthPercent, "75.5 %");
  boxes->LeavePercentBox(kWidthPercent);
  EXPECT_EQ(Text(kWidthPercent), "75.5 %");
  EXPECT_EQ(Text(kWidthPixels), "604");
  EXPECT_EQ(Text(kHeightPixels), "600");

  // Fractions count when the pixel box is left, but not when the controls are collected.
  SetText(kHeightPixels, "640.7");
  boxes->LeavePixelBox(kHeightPixels);
  EXPECT_EQ(Text(kHeightPercent), "106.8 %");
  window->CollectControls();
  EXPECT_EQ(settings.outputWidth, 604);
  EXPECT_EQ(settings.outputHeight, 640);
  EXPECT_EQ(settings.widthPercent, 75.5f);
  EXPECT_EQ(settings.heightPercent, 106.8f);
}

TEST_F(SizeBoxesTest, LeavingAnUnchangedBoxRewritesItsDependents) {
  OpenWith(800, 600);
  SetLocked(true);
  SetText(kHeightPixels, "123");
  SetText(kHeightPercent, "whatever");
  window->findChild<SizeBoxes*>()->LeavePixelBox(kWidthPixels);
  EXPECT_EQ(Text(kWidthPercent), "100.0 %");
  EXPECT_EQ(Text(kHeightPercent), "100.0 %");
  EXPECT_EQ(Text(kHeightPixels), "600");
}

TEST_F(SizeBoxesTest, TypingAloneChangesNothing) {
  OpenWith(800, 600);
  SetLocked(true);
  window->activateWindow();
  Box(kWidthPixels)->setFocus();
  QTest::keyClicks(Box(kWidthPixels), "9");
  EXPECT_EQ(Text(kWidthPercent), "100.0 %");
  EXPECT_EQ(Text(kHeightPixels), "600");
}

}  // namespace

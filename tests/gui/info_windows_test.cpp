// SPDX-FileCopyrightText: The Quillane developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The splash window and the About window.
#include <gtest/gtest.h>

#include <QDesktopServices>
#include <QElapsedTimer>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QUrl>

#include "companions_test_window.h"
#include "gui/about_window.h"
#include "gui/dialog_layout.h"
#include "gui/splash_window.h"

// Receives the web addresses the program asks the desktop to open.
class UrlCatcher : public QObject {
  Q_OBJECT
 public:
  QList<QUrl> opened;
 public slots:
  void Open(const QUrl& url) { opened << url; }
};

namespace {

TEST(SplashWindowTest, ShowsTheTitlePictureAndClosesByItself) {
  bool seen = false;
  WhenModalOpens([&](QWidget* splash) {
    seen = true;
    EXPECT_TRUE(splash->windowFlags().testFlag(Qt::FramelessWindowHint));
    auto* picture = GetDlgItem(splash, 103);
    auto* label = qobject_cast<QLabel*>(picture);
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(label->pixmap().size(), QSize(410, 250));
    EXPECT_EQ(label->geometry(), splash->rect());
    EXPECT_EQ(splash->size(), QSize(410, 250));
    const QPoint centre = QGuiApplication::primaryScreen()->geometry().center();
    EXPECT_LE((splash->frameGeometry().center() - centre).manhattanLength(), 2);
  });
  QElapsedTimer clock;
  clock.start();
  ShowSplashWindow(nullptr);
  const qint64 elapsed = clock.elapsed();
  EXPECT_TRUE(seen);
  EXPECT_GE(elapsed, 2490);
  EXPECT_LT(elapsed, 10000);
}

TEST(SplashWindowTest, ALeftClickClosesItAtOnce) {
  WhenModalOpens([](QWidget* splash) {
    QTest::mouseClick(GetDlgItem(splash, 103), Qt::LeftButton, Qt::NoModifier, QPoint(50, 50));
  });
  QElapsedTimer clock;
  clock.start();
  ShowSplashWindow(nullptr);
  EXPECT_LT(clock.elapsed(), 2000);
}

TEST(LinkHitTest, TheBordersBelongToTheLink) {
  const QRect link(100, 50, 40, 10);  // spans x 100..140 and y 50..60 with its borders
  EXPECT_TRUE(IsOnLinkControl(link, QPoint(100, 50)));
  EXPECT_TRUE(IsOnLinkControl(link, QPoint(140, 60)));
  EXPECT_TRUE(IsOnLinkControl(link, QPoint(140, 55)));
  EXPECT_TRUE(IsOnLinkControl(link, QPoint(120, 60)));
  EXPECT_FALSE(IsOnLinkControl(link, QPoint(99, 55)));
  EXPECT_FALSE(IsOnLinkControl(link, QPoint(141, 55)));
  EXPECT_FALSE(IsOnLinkControl(link, QPoint(120, 49)));
  EXPECT_FALSE(IsOnLinkControl(link, QPoint(120, 61)));
}

class AboutWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    QDesktopServices::setUrlHandler(QStringLiteral("https"), &catcher_, "Open");
  }
  void TearDown() override { QDesktopServices::unsetUrlHandler(QStringLiteral("https")); }

  // Opens the About window, runs `body` on it, and expects `body` to have closed it.
  void WithAboutWindow(std::function<void(TableDialog*)> body) {
    bool seen = false;
    WhenModalOpens([&](QWidget* modal) {
      auto* about = qobject_cast<TableDialog*>(modal);
      ASSERT_NE(about, nullptr);
      seen = true;
      body(about);
      if (about->isVisible()) about->reject();
    });
    ShowAboutWindow(&owner_);
    EXPECT_TRUE(seen);
  }

  CompanionTestWindow owner_;
  UrlCatcher catcher_;
};

TEST_F(AboutWindowTest, ShowsTheProductLineWithItsFontsAndTheBlueLink) {
  WithAboutWindow([](TableDialog* about) {
    EXPECT_EQ(about->windowTitle(), "关于");
    EXPECT_TRUE(about->isModal());
    auto* product = about->ItemAs<QLabel>(1037);
    ASSERT_NE(product, nullptr);
    EXPECT_EQ(product->text(), "Quillane V1.00");
    // 15 pixels is the heading's cell height, its line spacing included.
    const QFontMetrics heading(product->font());
    EXPECT_LE(heading.height(), 15);
    EXPECT_GE(heading.height(), 13);
    EXPECT_EQ(product->font().weight(), QFont::Bold);
    EXPECT_FALSE(product->font().underline());
    EXPECT_EQ(about->ItemAs<QLabel>(1038)->font(), product->font());
    auto* link = about->ItemAs<QLabel>(1163);
    // The link shows the site it opens.
    EXPECT_EQ(link->text(), QUrl(QString::fromLatin1(kMakerWebAddress)).host());
    EXPECT_TRUE(link->font().underline());
    EXPECT_EQ(link->font().pixelSize(), product->font().pixelSize());
    const QFontMetrics linkMetrics(link->font());
    EXPECT_GT(link->height(), linkMetrics.ascent() + linkMetrics.underlinePos());
    EXPECT_EQ(link->palette().color(QPalette::WindowText), QColor(0, 0, 200));
    EXPECT_EQ(about->ItemAs<QPushButton>(1036)->text(), "网站(&W)");
    EXPECT_EQ(about->ItemAs<QPushButton>(1)->text(), "确定");
    QTest::mouseClick(about->ItemAs<QPushButton>(1), Qt::LeftButton);
    EXPECT_FALSE(about->isVisible());
  });
}

TEST_F(AboutWindowTest, TheHandShowsOnTheLinksBorderAndGoesWhenThePointerLeaves) {
  WithAboutWindow([](TableDialog* about) {
    QWidget* link = about->Item(1163);
    const QPoint corner = link->mapToGlobal(QPoint(link->width(), link->height()));
    QCursor::setPos(corner);
    QTest::qWait(150);
    const QCursor* hand = QGuiApplication::overrideCursor();
    ASSERT_NE(hand, nullptr);
    EXPECT_EQ(hand->hotSpot(), QPoint(10, 10));
    EXPECT_EQ(hand->pixmap().size(), QSize(32, 32));
    QCursor::setPos(corner + QPoint(1, 0));
    QTest::qWait(150);
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
    QCursor::setPos(link->mapToGlobal(QPoint(0, 0)));
    QTest::qWait(150);
    EXPECT_NE(QGuiApplication::overrideCursor(), nullptr);
  });
  // Closing the window gives the pointer back its arrow.
  EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
}

TEST_F(AboutWindowTest, TheLinkAndTheWebSiteButtonOpenTheSameAddress) {
  WithAboutWindow([this](TableDialog* about) {
    QTest::mouseClick(about->Item(1163), Qt::LeftButton, Qt::NoModifier, QPoint(3, 3));
    ASSERT_EQ(catcher_.opened.size(), 1);
    QTest::mouseClick(about->ItemAs<QPushButton>(1036), Qt::LeftButton);
    ASSERT_EQ(catcher_.opened.size(), 2);
    // A click elsewhere on the window opens nothing.
    QTest::mouseClick(about, Qt::LeftButton, Qt::NoModifier, QPoint(4, about->height() - 4));
    EXPECT_EQ(catcher_.opened.size(), 2);
  });
  ASSERT_EQ(catcher_.opened.size(), 2);
  EXPECT_EQ(catcher_.opened[0], QUrl(QString::fromLatin1(kMakerWebAddress)));
  EXPECT_EQ(catcher_.opened[1], catcher_.opened[0]);
}

}  // namespace

#include "info_windows_test.moc"

// SPDX-FileCopyrightText: The Quillane developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The main window driven as the user drives it: opening, enabling rules, the preview, painting
// from it, and leaving it.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QSignalSpy>
#include <QTest>
#include <cstring>
#include <memory>

#include "app/settings.h"
#include "gui/gui_test_helpers.h"
#include "gui/main_window.h"
#include "gui/output_window.h"
#include "gui/picture_list.h"
#include "gui/size_boxes.h"

using namespace main_ids;

namespace {

class MainWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(WriteTestPicture(env.ExamplePicture(), 80, 60));
    SetDefaultSettings();
  }
  void TearDown() override { window.reset(); }

  MainWindow* Open() {
    window = std::make_unique<MainWindow>();
    window->show();
    return window.get();
  }
  // The start-up timer has fired and the start picture it loads is shown.
  bool WaitForStartup() {
    return WaitUntil([this] { return window->StartupDone() && !window->PreviewPending(); });
  }
  QString Text(int id) const { return window->ItemAs<QLineEdit>(id)->text(); }
  void SetText(int id, const char* text) { window->ItemAs<QLineEdit>(id)->setText(text); }
  bool Checked(int id) const { return window->ItemAs<QAbstractButton>(id)->isChecked(); }
  bool Enabled(int id) const { return window->Item(id)->isEnabled(); }
  void Click(int id) { window->ItemAs<QAbstractButton>(id)->click(); }
  // A file named like a JPEG that holds text; empty when it cannot be written.
  std::string BrokenPicture() {
    const std::string path = env.Folder().File("broken.jpg");
    QFile file(QString::fromStdString(path));
    if (!file.open(QIODevice::WriteOnly)) return std::string();
    file.write("this is not a picture at all");
    return path;
  }

  GuiTestEnvironment env;
  std::unique_ptr<MainWindow> window;
};

const int kStep4[] = {kUseYourPictureList, kUsePictureLibrary, kAutoSizeTilesDown, kPictureList,
                      kAddPictures,        kRemovePictures,    kPictureListLabel,  kTilesAcross,
                      kTilesAcrossLabel,   kTilesDown,         kTilesDownLabel};

TEST_F(MainWindowTest, FirstStartShowsDefaultsThenTheExamplePicture) {
  ASSERT_FALSE(QFile::exists(QString::fromStdString(env.SettingsFile())));
  Open();
  EXPECT_EQ(window->windowTitle(), "Quillane");
  EXPECT_TRUE(window->windowFlags() & Qt::WindowContextHelpButtonHint);
  EXPECT_EQ(messageOwner, window.get());
  EXPECT_EQ(mainWindowHandle, window.get());

  // Until the example picture has loaded, the sizes are the nominal ones.
  EXPECT_EQ(Text(kWidthPixels), "1024");
  EXPECT_EQ(Text(kHeightPixels), "768");
  EXPECT_EQ(Text(kWidthPercent), "100.0 %");
  EXPECT_EQ(Text(kHeightPercent), "100.0 %");
  EXPECT_TRUE(Checked(kPictureMosaic));
  for (int id : {kVanGogh, kPointillism, kColoredPencil, kCharcoalPencil, kBlackAndWhitePhoto}) {
    EXPECT_FALSE(Checked(id)) << id;
  }
  EXPECT_TRUE(Checked(kLockAspectRatio));
  EXPECT_TRUE(Checked(kUseYourPictureList));
  EXPECT_TRUE(Checked(kUsePictureLibrary));
  EXPECT_TRUE(Checked(kAutoSizeTilesDown));
  EXPECT_EQ(Text(kTilesAcross), "15");
  EXPECT_EQ(Text(kTilesDown), "15");
  for (int id : kStep4) {
    const bool tilesDown = id == kTilesDown || id == kTilesDownLabel;
    EXPECT_EQ(Enabled(id), !tilesDown) << id;
  }
  EXPECT_FALSE(window->HasPreview());

  ASSERT_TRUE(WaitForStartup());
  EXPECT_TRUE(window->HasPreview());
  EXPECT_EQ(Text(kWidthPixels), "80");
  EXPECT_EQ(Text(kHeightPixels), "60");
  EXPECT_EQ(Text(kWidthPercent), "100.0 %");
  EXPECT_EQ(Text(kHeightPercent), "100.0 %");
  EXPECT_EQ(settings.sourceWidth, 80);
  EXPECT_EQ(settings.sourceHeight, 60);
  EXPECT_EQ(Text(kStartPictureName), "Example Picture.jpg");
}

TEST_F(MainWindowTest, PreviewFitsTheAreaCentredWithItsProportions) {
  Open();
  ASSERT_TRUE(WaitForStartup());
  const QRect area = window->PreviewArea();
  const Rect r = window->PreviewRect();
  ASSERT_GT(r.Width(), 0);
  ASSERT_GT(r.Height(), 0);
  EXPECT_GE(r.left, area.left());
  EXPECT_GE(r.top, area.top());
  EXPECT_LE(r.right, area.left() + area.width());
  EXPECT_LE(r.bottom, area.top() + area.height());
  // One side fills the area, the other is centred.
  EXPECT_TRUE(r.Width() == area.width() || r.Height() == area.height());
  EXPECT_LE(std::abs((r.left - area.left()) - (area.left() + area.width() - r.right)), 1);
  EXPECT_LE(std::abs((r.top - area.top()) - (area.top() + area.height() - r.bottom)), 1);
  EXPECT_NEAR(static_cast<double>(r.Width()) / r.Height(), 80.0 / 60.0, 0.03);
  EXPECT_EQ(window->PreviewImage().size(), QSize(r.Width(), r.Height()));

  // The preview is drawn where the rectangle says.
  const QImage shot = window->Item(kPreview)->grab().toImage();
  const QImage expected = MakeTestImage(80, 60).scaled(r.Width(), r.Height());
  // A point in the plain gradient, away from the blocks; the preview frame's border is 1 pixel.
  const int x = r.Width() / 8;
  const int y = r.Height() * 7 / 8;
  const QRgb centre = shot.pixel(r.left + x + 1, r.top + y + 1);
  const QRgb wanted = expected.pixel(x, y);
  EXPECT_NEAR(qRed(centre), qRed(wanted), 40);
  EXPECT_NEAR(qGreen(centre), qGreen(wanted), 40);
  EXPECT_NEAR(qBlue(centre), qBlue(wanted), 40);
}

TEST_F(MainWindowTest, EnablingRulesFollowTheEffectAndTheTwoBoxes) {
  Open();
  Click(kVanGogh);
  for (int id : kStep4) EXPECT_FALSE(Enabled(id)) << id;
  Click(kPictureMosaic);
  for (int id : kStep4) {
    EXPECT_EQ(Enabled(id), id != kTilesDown && id != kTilesDownLabel) << id;
  }
  Click(kUseYourPictureList);  // now unchecked
  for (int id : {kPictureList, kAddPictures, kRemovePictures, kPictureListLabel}) {
    EXPECT_FALSE(Enabled(id)) << id;
  }
  EXPECT_TRUE(Enabled(kTilesAcross));
  Click(kAutoSizeTilesDown);  // now unchecked
  EXPECT_TRUE(Enabled(kTilesDown));
  EXPECT_TRUE(Enabled(kTilesDownLabel));
  Click(kBlackAndWhitePhoto);
  for (int id : kStep4) EXPECT_FALSE(Enabled(id)) << id;
  Click(kPictureMosaic);
  EXPECT_FALSE(Enabled(kPictureList));
  EXPECT_TRUE(Enabled(kTilesDown));
  // Library and lock change nothing by themselves.
  Click(kUsePictureLibrary);
  Click(kLockAspectRatio);
  EXPECT_TRUE(Enabled(kUsePictureLibrary));
  EXPECT_EQ(Text(kWidthPixels), "1024");
  // An effect click does not change the setting until the controls are collected.
  Click(kPointillism);
  EXPECT_EQ(settings.effect, 0);
  window->CollectControls();
  EXPECT_EQ(settings.effect, 2);
}

TEST_F(MainWindowTest, UnknownEffectChecksNoButtonAndIsKept) {
  settings.effect = 7;
  Open();
  for (const EffectEntry& effect : kEffectTable)
    EXPECT_FALSE(Checked(effect.button)) << effect.button;
  for (int id : kStep4) EXPECT_FALSE(Enabled(id)) << id;
  window->CollectControls();
  EXPECT_EQ(settings.effect, 7);
  Click(kCharcoalPencil);
  window->CollectControls();
  EXPECT_EQ(settings.effect, 4);
}

TEST_F(MainWindowTest, MissingStartPictureIsForgottenSilently) {
  std::strcpy(settings.startPicture, env.Folder().File("gone/photo.jpg").c_str());
  ModalWatcher watcher;
  Open();
  ASSERT_TRUE(WaitForStartup());
  EXPECT_EQ(Text(kStartPictureName), "");
  EXPECT_FALSE(window->HasPreview());
  window->CollectControls();
  EXPECT_STREQ(settings.startPicture, "");
  EXPECT_TRUE(watcher.Messages().isEmpty());
}

TEST_F(MainWindowTest, PictureThatDoesNotDecodeWarnsAndKeepsTheSizes) {
  const std::string bad = BrokenPicture();
  ASSERT_FALSE(bad.empty());
  std::strcpy(settings.startPicture, bad.c_str());

  ModalWatcher watcher;
  Open();
  ASSERT_TRUE(WaitForStartup());
  ASSERT_TRUE(WaitUntil([&] { return !watcher.Messages().isEmpty(); }, 5000));
  EXPECT_EQ(watcher.Messages(),
            QStringList{"File is format not recognized.\n" + QString::fromStdString(bad)});
  EXPECT_EQ(watcher.Captions(), QStringList{"Limnora"});
  EXPECT_FALSE(window->HasPreview());
  EXPECT_EQ(Text(kWidthPixels), "1024");
  EXPECT_EQ(Text(kHeightPixels), "768");
  // The chosen path still becomes the start picture, but Paint! refuses it with the same
  // warning and opens no output window.
  window->CollectControls();
  EXPECT_EQ(std::string(settings.startPicture), bad);
  bool outputOpened = false;
  ModalWatcher paintWatcher([&](QWidget* modal) {
    outputOpened = outputOpened || qobject_cast<OutputWindow*>(modal) != nullptr;
    return false;
  });
  window->Paint();
  EXPECT_FALSE(outputOpened);
  const QStringList shown = watcher.Messages() + paintWatcher.Messages();
  ASSERT_EQ(shown.size(), 2);
  EXPECT_EQ(shown[1], shown[0]);
}

TEST_F(MainWindowTest, NewStartPictureThatDoesNotDecodeShowsItsNameBesideTheEmptyPreview) {
  const std::string bad = BrokenPicture();
  ASSERT_FALSE(bad.empty());
  Open();
  ASSERT_TRUE(WaitForStartup());
  ASSERT_TRUE(window->HasPreview());
  ModalWatcher watcher;
  window->UseStartPicture(bad);  // as a file dropped on the window
  // The name and the emptied preview show at once, the warning when the load has failed.
  EXPECT_EQ(Text(kStartPictureName), "broken.jpg");
  EXPECT_FALSE(window->HasPreview());
  ASSERT_TRUE(WaitUntil([&] { return !window->PreviewPending(); }));
  EXPECT_EQ(watcher.Messages(),
            QStringList{"File is format not recognized.\n" + QString::fromStdString(bad)});
  EXPECT_FALSE(window->HasPreview());
  EXPECT_EQ(Text(kStartPictureName), "broken.jpg");

  // A path too long for the start picture is refused with the reason; nothing changes.
  window->UseStartPicture("/" + std::string(299, 'p'));
  ASSERT_EQ(watcher.Messages().size(), 2);
  EXPECT_TRUE(watcher.Messages()[1].startsWith(
      "This file name is too long to be used (at most 299 characters):\n/ppp"));
  EXPECT_EQ(Text(kStartPictureName), "broken.jpg");
}

TEST_F(MainWindowTest, LaterChoiceSupersedesALoadStillRunningAndPaintWaitsForIt) {
  const std::string first = env.Folder().File("first.png");
  const std::string second = env.Folder().File("second.jpg");
  ASSERT_TRUE(WriteTestPicture(first, 1600, 1200));
  ASSERT_TRUE(WriteTestPicture(second, 90, 120));
  Open();
  ASSERT_TRUE(WaitForStartup());
  Click(kBlackAndWhitePhoto);
  // Run twice: once looking at the preview when it has loaded, once pressing Paint! at once.
  for (const bool paintAtOnce : {false, true}) {
    SCOPED_TRACE(paintAtOnce ? "Paint! at once" : "waiting");
    QSignalSpy loaded(window.get(), &MainWindow::PreviewLoaded);
    window->UseStartPicture(first);
    window->UseStartPicture(second);
    EXPECT_EQ(Text(kStartPictureName), "second.jpg");
    EXPECT_TRUE(window->PreviewPending());
    EXPECT_EQ(window->cursor().shape(), Qt::BusyCursor);
    std::string painted;
    ModalWatcher watcher([&](QWidget* modal) {
      auto* output = qobject_cast<OutputWindow*>(modal);
      if (output == nullptr) return false;
      painted = std::string(settings.startPicture) + " " + std::to_string(settings.outputWidth) +
                "x" + std::to_string(settings.outputHeight);
      output->done(0);
      return true;
    });
    if (paintAtOnce) {
      Click(kPaint);  // returns when the output window has closed
      EXPECT_EQ(painted, second + " 90x120");
    }
    ASSERT_TRUE(WaitUntil([&] { return !window->PreviewPending(); }));
    // Let a late signal of the superseded load arrive if it would.
    WaitUntil([] { return false; }, 100);
    EXPECT_EQ(loaded.count(), 1);
    EXPECT_EQ(window->cursor().shape(), Qt::ArrowCursor);
    EXPECT_TRUE(watcher.Messages().isEmpty());
    EXPECT_EQ(Text(kWidthPixels), "90");
    EXPECT_EQ(Text(kHeightPixels), "120");
    EXPECT_EQ(settings.sourceWidth, 90);
    EXPECT_EQ(settings.sourceHeight, 120);
    EXPECT_EQ(Text(kStartPictureName), "second.jpg");
    // The preview fills the height with the second picture's proportions.
    const Rect r = window->PreviewRect();
    EXPECT_EQ(r.Height(), window->PreviewArea().height());
    EXPECT_NEAR(static_cast<double>(r.Width()) / r.Height(), 90.0 / 120.0, 0.03);
    EXPECT_EQ(window->PreviewImage().size(), QSize(r.Width(), r.Height()));
    window->UseStartPicture(env.ExamplePicture());
    ASSERT_TRUE(WaitUntil([&] { return !window->PreviewPending(); }));
  }
  // The window may close while a load runs.
  window->UseStartPicture(first);
}

TEST_F(MainWindowTest, PaintRefusesSizesThatCannotBeMadeWithoutOpeningTheOutputWindow) {
  const struct {
    const char* width;
    const char* height;
    const char* shown;
  } cases[] = {
      {"0", "60", "0 x 60"},         {"-5", "60", "-5 x 60"},           {"abc", "60", "0 x 60"},
      {"80", "65536", "80 x 65536"}, {"20000", "5001", "20000 x 5001"},  // each side allowed, too
                                                                         // many pixels in all
  };
  Open();
  ASSERT_TRUE(WaitForStartup());
  Click(kBlackAndWhitePhoto);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.shown);
    SetText(kWidthPixels, c.width);
    SetText(kHeightPixels, c.height);
    bool sawOutput = false;
    ModalWatcher watcher([&](QWidget* modal) {
      auto* output = qobject_cast<OutputWindow*>(modal);
      if (output == nullptr) return false;
      sawOutput = true;
      output->done(0);
      return true;
    });
    Click(kPaint);
    EXPECT_FALSE(sawOutput);
    ASSERT_EQ(watcher.Messages().size(), 1);
    EXPECT_EQ(watcher.Messages()[0],
              QString("The output size %1 cannot be painted.\nWidth and height must each be from "
                      "1 to 65535 pixels, and the picture at most 100,000,000 pixels in all.")
                  .arg(c.shown));
    EXPECT_EQ(watcher.Captions(), QStringList{"Limnora"});
    // The boxes keep what was typed.
    EXPECT_EQ(Text(kWidthPixels), c.width);
    EXPECT_EQ(messageOwner, window.get());
  }
}

// Each change reaches the settings file soon after, without Exit: what is on disk matches the
// window after a crash or a kill.
TEST_F(MainWindowTest, ChoicesAndTheListAreSavedAsTheyChange) {
  Open();
  ASSERT_TRUE(WaitForStartup());
  const auto onDisk = [&] {
    Settings saved{};
    QFile file(QString::fromStdString(env.SettingsFile()));
    if (!file.open(QIODevice::ReadOnly)) return saved;
    const QByteArray bytes = file.readAll();
    DecodeSettingsRecord(reinterpret_cast<const uint8_t*>(bytes.constData()),
                         static_cast<size_t>(bytes.size()), &saved);
    saved.pictureListLength = bytes.size() >= 564 ? static_cast<int32_t>(bytes.size() - 564) : 0;
    return saved;
  };
  Click(kCharcoalPencil);
  ASSERT_TRUE(WaitUntil([&] { return onDisk().effect == CharcoalPencil; }, 5000));
  DropFilesOnList(window.get(), {"/p/a.jpg", "/p/b.jpg"});
  ASSERT_TRUE(WaitUntil([&] { return onDisk().pictureListLength == 600; }, 5000));
  QTest::keyClicks(window->ItemAs<QLineEdit>(kTilesAcross), "7");
  ASSERT_TRUE(WaitUntil(
      [&] { return onDisk().tilesAcross == ReadInteger(Text(kTilesAcross).toStdString()); }, 5000));
  EXPECT_TRUE(window->isVisible());
}

TEST_F(MainWindowTest, ExitSavesTheChoicesAndTheNextStartShowsThem) {
  Open();
  ASSERT_TRUE(WaitForStartup());
  Click(kUsePictureLibrary);
  Click(kColoredPencil);
  Click(kLockAspectRatio);
  SetText(kWidthPixels, "64");
  SetText(kHeightPixels, "50");
  SetText(kWidthPercent, "80.0 %");
  SetText(kHeightPercent, "83.3 %");
  SetText(kTilesAcross, "21");
  SetText(kTilesDown, "9");
  Click(kExit);
  EXPECT_FALSE(window->isVisible());
  QFile saved(QString::fromStdString(env.SettingsFile()));
  ASSERT_TRUE(saved.exists());
  EXPECT_EQ(saved.size(), 564);
  window.reset();

  std::memset(&settings, 0, sizeof settings);
  SetDefaultSettings();
  EXPECT_EQ(settings.effect, 3);
  EXPECT_EQ(settings.outputWidth, 64);
  EXPECT_EQ(settings.heightPercent, 83.3f);
  Open();
  EXPECT_TRUE(Checked(kColoredPencil));
  EXPECT_FALSE(Checked(kPictureMosaic));
  EXPECT_FALSE(Checked(kLockAspectRatio));
  EXPECT_FALSE(Checked(kUsePictureLibrary));
  EXPECT_TRUE(Checked(kUseYourPictureList));
  EXPECT_EQ(Text(kTilesAcross), "21");
  EXPECT_EQ(Text(kTilesDown), "9");
  EXPECT_EQ(Text(kWidthPercent), "80.0 %");
  EXPECT_EQ(Text(kHeightPercent), "83.3 %");
  // The pixel sizes always start from the nominal 1024 x 768.
  EXPECT_EQ(Text(kWidthPixels), "1024");
  EXPECT_EQ(Text(kStartPictureName), "Example Picture.jpg");
}

TEST_F(MainWindowTest, EscapeAndTheCloseBoxSaveLikeExit) {
  const QString file = QString::fromStdString(env.SettingsFile());
  Open();
  Click(kBlackAndWhitePhoto);
  QTest::keyClick(window.get(), Qt::Key_Escape);
  EXPECT_FALSE(window->isVisible());
  ASSERT_TRUE(QFile::exists(file));
  EXPECT_EQ(settings.effect, 5);

  ASSERT_TRUE(QFile::remove(file));
  Open();
  Click(kVanGogh);
  window->close();
  EXPECT_FALSE(window->isVisible());
  ASSERT_TRUE(QFile::exists(file));
  EXPECT_EQ(settings.effect, 1);
}

// Enter or Alt+P in a size box paints what the boxes show once the box being edited has been
// committed, as leaving it would commit it.
class MainWindowPaintKeyTest : public MainWindowTest,
                               public ::testing::WithParamInterface<QKeyCombination> {};

TEST_P(MainWindowPaintKeyTest, CommitsTheBoxBeingEditedThenPaints) {
  Open();
  ASSERT_TRUE(WaitForStartup());
  Click(kBlackAndWhitePhoto);
  QLineEdit* width = window->ItemAs<QLineEdit>(kWidthPixels);
  // Alt+P is the button's mnemonic, which only an active window hears.
  window->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
  width->setFocus();
  width->selectAll();
  QTest::keyClicks(width, "40");

  int seenWidth = -1, seenHeight = -1;
  float seenPercent = -1;
  bool sawOutput = false;
  FrontWindow* frontDuringPainting = nullptr;
  ModalWatcher watcher([&](QWidget* modal) {
    auto* output = qobject_cast<OutputWindow*>(modal);
    if (output == nullptr) return false;
    if (!sawOutput) {
      sawOutput = true;
      seenWidth = settings.outputWidth;
      seenHeight = settings.outputHeight;
      seenPercent = settings.widthPercent;
      frontDuringPainting = mainWindowHandle;
    }
    if (output->PaintingDone()) output->PressStopOrOk();
    return true;
  });
  // Enter paints at once; a mnemonic clicks the button a moment later.
  QTest::keyClick(width, GetParam().key(), GetParam().keyboardModifiers());
  ASSERT_TRUE(WaitUntil([&] { return sawOutput && QApplication::activeModalWidget() == nullptr; }));

  EXPECT_TRUE(sawOutput);
  EXPECT_EQ(seenWidth, 40);
  // Enter commits the box as leaving it would: the locked height and the percentage follow.
  EXPECT_EQ(seenHeight, 30);
  EXPECT_EQ(seenPercent, 50.0f);
  EXPECT_NE(frontDuringPainting, window.get());
  EXPECT_EQ(messageOwner, window.get());
  EXPECT_EQ(mainWindowHandle, window.get());
  EXPECT_TRUE(window->isVisible());
}

INSTANTIATE_TEST_SUITE_P(Keys, MainWindowPaintKeyTest,
                         ::testing::Values(QKeyCombination(Qt::Key_Return),
                                           QKeyCombination(Qt::AltModifier, Qt::Key_P)));

}  // namespace

// SPDX-FileCopyrightText: The Quillane developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The output window: sizing, painting on its worker thread, Stop and "OK", Save and Print.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLabel>
#include <QMenu>
#include <QPainter>
#include <QPrinter>
#include <QScreen>
#include <QTest>
#include <atomic>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <thread>

#include "app/paint_driver.h"
#include "app/settings.h"
#include "effects/effect_engine.h"
#include "gui/bitmap_image.h"
#include "gui/gui_test_helpers.h"
#include "gui/main_window.h"
#include "gui/output_window.h"
#include "gui/print_layout.h"
#include "imaging/imaging.h"

using namespace output_ids;

namespace {

class OutputWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(WriteTestPicture(env.ExamplePicture(), 64, 48));
    // A small picture library for the mosaic's tiles.
    const std::string library = env.ExecutableFolder() + "/Picture Library";
    ASSERT_TRUE(QDir().mkpath(QString::fromStdString(library)));
    for (int i = 0; i < 3; ++i) {
      QImage tile = MakeTestImage(16 + 4 * i, 12 + 2 * i).mirrored(i == 1, i == 2);
      ASSERT_TRUE(
          tile.save(QString::fromStdString(library + "/tile" + std::to_string(i) + ".png")));
    }
    SetDefaultSettings();
    // The main window owns the output window and is the front until it opens.
    owner = std::make_unique<MainWindow>();
    start = env.Folder().File("start.png");
    ASSERT_TRUE(WriteTestPicture(start, 64, 48));
    std::strcpy(settings.startPicture, start.c_str());
    settings.outputWidth = 48;
    settings.outputHeight = 36;
  }
  void TearDown() override {
    window.reset();
    owner.reset();
  }

  // Opens the window and waits until its start picture is ready.
  OutputWindow* OpenWindow() {
    window = std::make_unique<OutputWindow>(owner.get());
    if (!window->Open()) return nullptr;
    if (!WaitUntil([this] { return !window->PicturePreparing(); })) return nullptr;
    return window.get();
  }
  // Saves and waits until the file is written; the path written, empty on failure.
  QString SaveAndWait(const std::string& path, const QString& filter = QString()) {
    QString written;
    bool finished = false;
    QObject::connect(window.get(), &OutputWindow::SaveFinished, window.get(),
                     [&](const QString& target, bool saved) {
                       written = saved ? target : QString();
                       finished = true;
                     });
    if (window->SaveTo(QString::fromStdString(path), filter).isEmpty()) return QString();
    WaitUntil([&] { return finished; });
    QObject::disconnect(window.get(), &OutputWindow::SaveFinished, nullptr, nullptr);
    return written;
  }
  // Saves the time-lapse and waits until it is written; the path written, empty on failure.
  QString SaveTimelapseAndWait(const std::string& path) {
    QString written;
    bool finished = false;
    auto connection = QObject::connect(window.get(), &OutputWindow::TimelapseSaveFinished,
                                       [&](const QString& target, bool saved) {
                                         written = saved ? target : QString();
                                         finished = true;
                                       });
    if (window->SaveTimelapseTo(QString::fromStdString(path)).isEmpty()) return QString();
    WaitUntil([&] { return finished; }, 60000);
    QObject::disconnect(connection);
    return written;
  }
  // Paints and waits until the time-lapse is offered; false when it never is, or is offered
  // while the painting still runs.
  bool PaintTimelapse(int effect) {
    settings.effect = effect;
    if (OpenWindow() == nullptr || window->TimelapseAction()->isEnabled()) return false;
    window->show();
    bool early = false;
    return WaitUntil(
               [&] {
                 early =
                     early || (window->TimelapseAction()->isEnabled() && !window->PaintingDone());
                 return window->TimelapseAction()->isEnabled();
               },
               60000) &&
           !early;
  }
  // Starts a painting long enough to be stopped (Pointillism's eight passes at 600 x 450) and
  // waits until it runs.
  bool StartLongPainting() {
    if (!WriteTestPicture(start, 600, 450)) return false;
    settings.outputWidth = 600;
    settings.outputHeight = 450;
    settings.effect = 2;
    if (OpenWindow() == nullptr) return false;
    window->show();
    return WaitUntil([this] { return window->PaintingRunning(); });
  }
  // Opens, shows and waits for the painting to end.
  bool Paint(int effect) {
    settings.effect = effect;
    if (OpenWindow() == nullptr) return false;
    window->show();
    return WaitUntil([this] { return window->PaintingDone(); }, 60000);
  }
  bool Enabled(int id) const { return window->Item(id)->isEnabled(); }
  QString Label(int id) const {
    if (auto* b = window->ItemAs<QAbstractButton>(id)) return b->text();
    return window->ItemAs<QLabel>(id)->text();
  }

  GuiTestEnvironment env;
  std::unique_ptr<MainWindow> owner;
  std::unique_ptr<OutputWindow> window;
  std::string start;
};

TEST_F(OutputWindowTest, MissingStartPictureWarnsAndDoesNotOpen) {
  ModalWatcher watcher;
  settings.startPicture[0] = '\0';
  EXPECT_EQ(OpenWindow(), nullptr);
  std::strcpy(settings.startPicture, env.Folder().File("nothing.png").c_str());
  EXPECT_EQ(OpenWindow(), nullptr);
  EXPECT_EQ(watcher.Messages(),
            QStringList({"No 'Start Picture' specified.", "No 'Start Picture' specified."}));
  EXPECT_EQ(messageOwner, owner.get());
}

TEST_F(OutputWindowTest, OpensAsLaidOutWithSaveAndPrintDisabled) {
  ASSERT_NE(OpenWindow(), nullptr);
  EXPECT_EQ(messageOwner, window.get());
  EXPECT_EQ(mainWindowHandle, window.get());
  EXPECT_EQ(window->windowTitle(), "Quillane");
  EXPECT_EQ(Label(kSave), "保存(&S)...");
  EXPECT_EQ(Label(kPrint), "打印(&P)...");
  EXPECT_EQ(Label(kStop), "停止(&S)");
  EXPECT_FALSE(Enabled(kSave));
  EXPECT_FALSE(Enabled(kPrint));
  EXPECT_TRUE(Enabled(kStop));
  const DibHandle& picture = window->Picture();
  ASSERT_TRUE(picture);
  EXPECT_EQ(picture.Header()->biWidth, 48);
  EXPECT_EQ(picture.Header()->biHeight, 36);
  EXPECT_EQ(picture.Header()->biBitCount, 24);
}

TEST_F(OutputWindowTest, SmallPictureKeepsTheWindowButNarrowsFrameAndStatus) {
  OutputWindow reference(nullptr);
  ASSERT_NE(OpenWindow(), nullptr);
  EXPECT_EQ(window->size(), reference.size());
  const QSize frame = reference.Item(kFrame)->size();
  EXPECT_EQ(window->Item(kFrame)->size(), frame - QSize(4, 4));
  EXPECT_EQ(window->Item(kStatus)->width(), reference.Item(kStatus)->width() - 4);
  EXPECT_EQ(window->Item(kStatus)->height(), reference.Item(kStatus)->height());
  EXPECT_EQ(window->Item(kFrame)->pos(), reference.Item(kFrame)->pos());

  // The picture is shown centred at its own size inside the frame.
  const QImage shown = window->FrameImage();
  const QSize inside = window->Item(kFrame)->size() - QSize(4, 4);
  const int left = 2 + (inside.width() - 48) / 2;
  const int top = 2 + (inside.height() - 36) / 2;
  const QImage expected =
      MakeTestImage(64, 48).scaled(48, 36, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
  const QRgb a = shown.pixel(left + 5, top + 30);
  const QRgb b = expected.pixel(5, 30);
  EXPECT_NEAR(qRed(a), qRed(b), 30);
  EXPECT_NEAR(qGreen(a), qGreen(b), 30);
  EXPECT_EQ(shown.pixel(left - 2, top + 10), shown.pixel(1, 1) | 0);
}

TEST_F(OutputWindowTest, PictureLargerThanTheWorkAreaFillsIt) {
  const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
  settings.outputWidth = area.width() + 300;
  settings.outputHeight = area.height() + 200;
  ASSERT_NE(OpenWindow(), nullptr);
  EXPECT_EQ(window->size(), area.size());
  EXPECT_EQ(window->pos(), QGuiApplication::primaryScreen()->geometry().topLeft());
}

TEST_F(OutputWindowTest, DoubleClickFitsTheWholePictureAndZoomKeepsThePointUnderThePointer) {
  const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
  settings.outputWidth = area.width() * 2;
  settings.outputHeight = area.height() * 3;
  ASSERT_TRUE(Paint(5));
  window->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
  const QRect display = window->DisplayRect();
  const QImage canvas = window->CanvasImage();
  ASSERT_EQ(canvas.size(), QSize(settings.outputWidth, settings.outputHeight));
  auto shownAt = [&](const QPoint& p) { return window->FrameImage().pixel(p); };
  auto canvasAt = [&](const QPointF& p) {
    return canvas.pixel(((p - window->ViewOrigin()) / window->Zoom()).toPoint());
  };
  // The first view is 100 %, centred.
  EXPECT_EQ(window->Zoom(), 1.0);
  EXPECT_EQ(shownAt(display.center()), canvasAt(display.center()));

  QTest::mouseDClick(window->Item(kFrame), Qt::LeftButton, Qt::NoModifier, display.center());
  const double fit = std::min(double(display.width()) / canvas.width(),
                              double(display.height()) / canvas.height());
  EXPECT_DOUBLE_EQ(window->Zoom(), fit);
  // The whole picture, as large as the frame allows and centred in it.
  const QRectF shown(window->ViewOrigin(), QSizeF(canvas.size()) * fit);
  EXPECT_NEAR(shown.top(), display.top(), 1);
  EXPECT_NEAR(shown.bottom(), display.bottom() + 1, 1);
  EXPECT_NEAR(shown.center().x(), display.center().x() + 0.5, 1);
  const QImage frame = window->FrameImage();
  for (const QPointF& corner :
       {shown.topLeft() + QPointF(2, 2), shown.bottomRight() - QPointF(3, 3)}) {
    const QRgb a = frame.pixel(corner.toPoint());
    const QRgb b = canvasAt(corner);
    EXPECT_NEAR(qRed(a), qRed(b), 40);
    EXPECT_NEAR(qBlue(a), qBlue(b), 40);
  }

  // Zooming in about a point keeps the picture's point there.
  const QPointF pointer = display.topLeft() + QPointF(display.width() / 3, display.height() / 4);
  const QPointF before = (pointer - window->ViewOrigin()) / window->Zoom();
  window->ZoomAbout(4, pointer);
  EXPECT_DOUBLE_EQ(window->Zoom(), fit * std::pow(1.25, 4));
  const QPointF after = (pointer - window->ViewOrigin()) / window->Zoom();
  EXPECT_NEAR(after.x(), before.x(), 0.01);
  EXPECT_NEAR(after.y(), before.y(), 0.01);

  // Ctrl 0 goes back to 100 %.
  QTest::keyClick(window.get(), Qt::Key_0, Qt::ControlModifier);
  EXPECT_EQ(window->Zoom(), 1.0);
}

TEST_F(OutputWindowTest, ReducedViewsOfFinePatternsAreEvenWithoutMoire) {
  // Black and white pixel by pixel: every view smaller than 100 % shows an even grey.
  const struct {
    const char* name;
    bool (*white)(int x, int y);
  } patterns[] = {{"columns", [](int x, int) { return x % 2 == 0; }},
                  {"rows", [](int, int y) { return y % 2 == 0; }},
                  {"checks", [](int x, int y) { return (x + y) % 2 == 0; }}};
  const int width = 5000, height = 3750;
  settings.outputWidth = width;
  settings.outputHeight = height;
  for (const auto& pattern : patterns) {
    SCOPED_TRACE(pattern.name);
    QImage image(width, height, QImage::Format_Grayscale8);
    for (int y = 0; y < height; ++y) {
      uchar* row = image.scanLine(y);
      for (int x = 0; x < width; ++x) row[x] = pattern.white(x, y) ? 255 : 0;
    }
    ASSERT_TRUE(image.save(QString::fromStdString(start)));
    // Not shown: the view shows the start picture, and no painting runs.
    ASSERT_NE(OpenWindow(), nullptr);
    window->ToggleFitAnd100();
    for (int step = 0; step < 3; ++step) {
      SCOPED_TRACE(window->Zoom());
      ASSERT_LT(window->Zoom(), 0.25);
      const QRectF shown(window->ViewOrigin(), QSizeF(width, height) * window->Zoom());
      const QImage frame = window->FrameImage().copy(
          shown.intersected(QRectF(window->DisplayRect())).toAlignedRect().adjusted(2, 2, -2, -2));
      int darkest = 255, lightest = 0;
      for (int y = 0; y < frame.height(); ++y) {
        for (int x = 0; x < frame.width(); ++x) {
          darkest = std::min(darkest, qGreen(frame.pixel(x, y)));
          lightest = std::max(lightest, qGreen(frame.pixel(x, y)));
        }
      }
      EXPECT_GE(darkest, 112);
      EXPECT_LE(lightest, 143);
      window->ZoomAbout(1, QRectF(window->DisplayRect()).center());
    }
    window.reset();
  }
}

TEST_F(OutputWindowTest, EachEffectPaintsToTheEndAndLeavesOkSaveAndPrint) {
  settings.useYourPictureList = 0;
  settings.usePictureLibrary = 1;
  settings.tilesAcross = 4;
  settings.autoSizeTilesDown = 1;
  for (int effect = 0; effect <= 5; ++effect) {
    SCOPED_TRACE(effect);
    ModalWatcher watcher;
    ASSERT_TRUE(Paint(effect));
    EXPECT_TRUE(watcher.Messages().isEmpty()) << watcher.Messages().join("; ").toStdString();
    EXPECT_EQ(window->PaintResult(), kPaintFinished);
    EXPECT_EQ(Label(kStop), "OK");
    EXPECT_TRUE(Enabled(kSave));
    EXPECT_TRUE(Enabled(kPrint));
    EXPECT_TRUE(window->CloseOnPress());
    EXPECT_TRUE(Label(kStatus).startsWith(
        QString::fromUtf8(effect == 0 ? "Mosaic completed." : "绘画已经完成。")))
        << Label(kStatus).toStdString();
    ASSERT_TRUE(window->Picture());
    EXPECT_EQ(window->Picture().Header()->biWidth, 48);
    EXPECT_EQ(window->Picture().Header()->biHeight, 36);

    // The frame shows the result centred in it (stretched by the odd pixel, if any).
    const QImage result = ImageFromDib(window->Picture());
    const QSize frame = window->Item(kFrame)->size();
    Rect source, destination;
    FitPictureRects(Rect{0, 0, 48, 36}, Rect{2, 2, frame.width() - 2, frame.height() - 2}, &source,
                    &destination);
    QImage expected(destination.Width(), destination.Height(), QImage::Format_RGB32);
    QPainter(&expected).drawImage(expected.rect(), result);
    EXPECT_EQ(window->FrameImage().copy(destination.left, destination.top, destination.Width(),
                                        destination.Height()),
              expected);

    window->PressStopOrOk();
    EXPECT_FALSE(window->isVisible());
    window.reset();
  }
}

TEST_F(OutputWindowTest, PicturesFromThePaintingThreadAreOnShowWhenTheCallReturns) {
  // Not shown, so that no painting of its own starts.
  ASSERT_NE(OpenWindow(), nullptr);
  ImgBitmap bitmap;
  ASSERT_EQ(ImgCreate(&bitmap, 1, 40, 30, 24), 1);
  for (int y = 0; y < 30; ++y) {
    uint8_t* row = bitmap.Row(y);
    for (int x = 0; x < 40; ++x) {
      row[3 * x] = 200;  // blue
      row[3 * x + 1] = static_cast<uint8_t>(x * 6);
      row[3 * x + 2] = static_cast<uint8_t>(y * 8);
    }
  }
  // The effects draw into the display rectangle, 2 pixels in from the frame they are told of.
  const QImage before = window->CanvasImage();
  const Rect source{0, 0, 40, 30};
  const Rect destination{2, 2, 42, 32};
  const QRect target(0, 0, 40, 30);
  std::atomic<int> stageShown{0};
  QImage atStage2, atStage5;
  std::thread painter([&] {
    for (int stage = 1; stage <= 5; ++stage) {
      window->ShowPicture(bitmap, source, destination, stage);
      stageShown = stage;
      while (stageShown != 0) std::this_thread::yield();
    }
  });
  for (int stage = 1; stage <= 5; ++stage) {
    ASSERT_TRUE(WaitUntil([&] { return stageShown == stage; }));
    if (stage == 2) atStage2 = window->CanvasImage().copy(target);
    if (stage == 5) atStage5 = window->CanvasImage().copy(target);
    stageShown = 0;
  }
  painter.join();
  EXPECT_EQ(atStage5, ImageFromBitmap(bitmap));
  // Part way through, the picture is dissolving in: some pixels new, some still the old ones.
  int fresh = 0, old = 0;
  const QImage previous = before.copy(target);
  for (int y = 0; y < 30; ++y) {
    for (int x = 0; x < 40; ++x) {
      if (atStage2.pixel(x, y) == atStage5.pixel(x, y)) ++fresh;
      if (atStage2.pixel(x, y) == previous.pixel(x, y)) ++old;
    }
  }
  EXPECT_GT(fresh, 200);
  EXPECT_GT(old, 400);
  EXPECT_EQ(fresh + old, 1200);
  ImgFree(&bitmap);
}

TEST_F(OutputWindowTest, StopLeavesTheStoppedPictureAndOnePressOfOkCloses) {
  ASSERT_TRUE(StartLongPainting());
  window->PressStopOrOk();
  ASSERT_TRUE(WaitUntil([this] { return window->PaintingDone(); }));
  EXPECT_EQ(window->PaintResult(), kPaintStopped);
  EXPECT_TRUE(window->isVisible());
  EXPECT_EQ(Label(kStop), "OK");
  EXPECT_TRUE(Enabled(kSave));
  EXPECT_TRUE(Enabled(kPrint));
  EXPECT_TRUE(Label(kStatus).startsWith(QString::fromUtf8("绘画已被取消。")));
  // The stopped canvas comes back with its margin, and the window shows it so.
  ASSERT_TRUE(window->Picture());
  EXPECT_EQ(window->Picture().Header()->biWidth, 620);
  EXPECT_EQ(window->Picture().Header()->biHeight, 470);
  // Saved, it is the painted picture at the output size, without the black margin: its edges
  // are what the canvas holds inside the margin.
  const std::string saved = env.Folder().File("stopped.png");
  ASSERT_EQ(SaveAndWait(saved).toStdString(), saved);
  ImgBitmap loaded;
  ImgInitHandle(&loaded);
  ASSERT_EQ(ImgLoadFile(saved.c_str(), &loaded), 1);
  const QImage file = ImageFromBitmap(loaded);
  ImgFree(&loaded);
  EXPECT_EQ(file, ImageFromDib(window->Picture()).copy(10, 10, 600, 450));
  EXPECT_EQ(window->CanvasImage().size(), QSize(620, 470));
  window->PressStopOrOk();
  EXPECT_FALSE(window->isVisible());
}

TEST_F(OutputWindowTest, AStartPictureThatDoesNotDecodeLeavesSaveAndPrintOff) {
  QFile file(QString::fromStdString(start));
  ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
  file.write("not a picture");
  file.close();
  ModalWatcher watcher;
  ASSERT_TRUE(Paint(1));
  EXPECT_FALSE(window->Picture());
  EXPECT_EQ(Label(kStop), "OK");
  EXPECT_FALSE(Enabled(kSave));
  EXPECT_FALSE(Enabled(kPrint));
}

TEST_F(OutputWindowTest, OkClosesOnTheFirstClickAfterAnyPaintingThatWasNotStopped) {
  const struct {
    const char* name;
    const char* startContent;  // replaces the start picture when set
    int width;
    int warnings;
  } cases[] = {{"finished", nullptr, 48, 0},
               {"undecodable", "not a picture", 48, 1},
               {"beyond the picture limits", nullptr, 20000, 1}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_TRUE(WriteTestPicture(start, 64, 48));
    if (c.startContent != nullptr) {
      QFile file(QString::fromStdString(start));
      ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
      file.write(c.startContent);
    }
    settings.outputWidth = c.width;
    settings.outputHeight = c.width * 3 / 4;
    ModalWatcher watcher;
    ASSERT_TRUE(Paint(1));
    EXPECT_EQ(watcher.Messages().size(), c.warnings) << watcher.Messages().join("; ").toStdString();
    QTest::mouseClick(window->Item(kStop), Qt::LeftButton);
    EXPECT_FALSE(window->isVisible());
    window.reset();
  }
}

TEST_F(OutputWindowTest, SaveDialogStartsWhereTheLastSaveSucceededNeverInSystemFolders) {
  ASSERT_TRUE(Paint(5));
  const QString startFolder = QFileInfo(QString::fromStdString(start)).absolutePath();
  const QString other = QString::fromStdString(env.Folder().File("other"));
  ASSERT_TRUE(QDir().mkpath(other));
  // One save after the other, through the dialog (the folder it starts in, then the file chosen)
  // or not; a dialog is never taken into /proc, whose files can block the dialog.
  const struct {
    bool viaDialog;
    QString dialogFolder;
    QString chosen;
    int warnings;
  } cases[] = {{true, startFolder, "/sys/quillane.png", 1},
               {true, startFolder, other + "/out.png", 0},
               {false, "", "/proc/quillane.png", 1},
               {true, other, "/sys/kernel/quillane.png", 1},
               {true, other, "", 0}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.chosen.toStdString());
    QString shown;
    ModalWatcher watcher([&](QWidget* modal) {
      auto* dialog = qobject_cast<QFileDialog*>(modal);
      if (dialog == nullptr) return false;
      shown = dialog->directory().absolutePath();
      if (c.chosen.isEmpty()) {
        dialog->reject();
      } else {
        dialog->selectFile(c.chosen);
        static_cast<QDialog*>(dialog)->accept();
      }
      return true;
    });
    if (c.viaDialog) {
      QTest::mouseClick(window->Item(kSave), Qt::LeftButton);
    } else {
      window->SaveTo(c.chosen);
    }
    ASSERT_TRUE(WaitUntil([&] { return !window->Saving(); }));
    EXPECT_EQ(shown, c.dialogFolder);
    EXPECT_EQ(watcher.Messages().size(), c.warnings);
  }
}

TEST_F(OutputWindowTest, PressBeforePaintingOnlyArmsTheClose) {
  settings.effect = 5;
  ASSERT_NE(OpenWindow(), nullptr);
  window->PressStopOrOk();
  EXPECT_TRUE(window->CloseOnPress());
  window->show();
  ASSERT_TRUE(WaitUntil([this] { return window->PaintingDone(); }));
  EXPECT_EQ(window->PaintResult(), kPaintFinished);
  EXPECT_TRUE(window->isVisible());
  window->PressStopOrOk();
  EXPECT_FALSE(window->isVisible());
}

TEST_F(OutputWindowTest, WarningDuringPaintingIsOwnedByTheWindowAndWaitedFor) {
  settings.effect = 1;
  ASSERT_NE(OpenWindow(), nullptr);
  // The start picture disappears between opening and painting: the driver warns from the
  // painting thread.
  ASSERT_TRUE(QFile::remove(QString::fromStdString(start)));
  QWidget* boxOwner = nullptr;
  bool paintingWaited = false;
  ModalWatcher watcher([&](QWidget* modal) {
    if (boxOwner == nullptr && modal != window.get()) {
      boxOwner = modal->parentWidget();
      paintingWaited = window->PaintingRunning();
    }
    return false;
  });
  window->show();
  ASSERT_TRUE(WaitUntil([this] { return window->PaintingDone(); }));
  EXPECT_EQ(watcher.Messages(), QStringList{"No 'Start Picture' specified."});
  EXPECT_EQ(watcher.Captions(), QStringList{"Limnora"});
  EXPECT_EQ(boxOwner, window.get());
  EXPECT_TRUE(paintingWaited);
  EXPECT_EQ(window->PaintResult(), kPaintRefused);
  EXPECT_TRUE(window->CloseOnPress());
  EXPECT_EQ(Label(kStop), "OK");
}

TEST_F(OutputWindowTest, CloseBoxDuringPaintingStopsAndCloses) {
  ASSERT_TRUE(StartLongPainting());
  // The window asks the painting to stop and goes when it has stopped.
  window->close();
  ASSERT_TRUE(WaitUntil([this] { return !window->isVisible(); }));
  EXPECT_TRUE(window->PaintingDone());
  EXPECT_EQ(window->PaintResult(), kPaintStopped);
}

TEST_F(OutputWindowTest, SaveWritesFilesThatLoadBackWithTheSamePixels) {
  ASSERT_TRUE(Paint(1));
  const QImage painted = ImageFromDib(window->Picture());
  for (const char* name : {"out.png", "out.bmp", "out.tif"}) {
    SCOPED_TRACE(name);
    const std::string path = env.Folder().File(name);
    EXPECT_EQ(SaveAndWait(path).toStdString(), path);
    ImgBitmap loaded;
    ImgInitHandle(&loaded);
    ASSERT_EQ(ImgLoadFile(path.c_str(), &loaded), 1);
    EXPECT_EQ(ImageFromBitmap(loaded), painted);
    ImgFree(&loaded);
  }
  // Without an extension, the chosen filter gives the format.
  const QString jpeg = SaveAndWait(env.Folder().File("photo"), "JPEG Image (*.jpg *.jpeg)");
  EXPECT_TRUE(jpeg.endsWith(".jpg"));
  ImgBitmap loaded;
  ImgInitHandle(&loaded);
  ASSERT_EQ(ImgLoadFile(jpeg.toUtf8().constData(), &loaded), 1);
  EXPECT_EQ(loaded.width, 48);
  EXPECT_EQ(loaded.height, 36);
  ImgFree(&loaded);
}

TEST_F(OutputWindowTest, SaveToAPlaceThatCannotBeWrittenWarns) {
  ASSERT_TRUE(Paint(5));
  ModalWatcher watcher;
  const std::string path = env.Folder().File("no/such/folder/out.png");
  EXPECT_TRUE(SaveAndWait(path).isEmpty());
  ASSERT_EQ(watcher.Messages().size(), 1);
  EXPECT_TRUE(watcher.Messages()[0].contains(QString::fromStdString(path)));
  EXPECT_EQ(watcher.Captions(), QStringList{"Limnora"});
  EXPECT_FALSE(QFile::exists(QString::fromStdString(path)));
}

// The time-lapse's frame count, and its last frame.
std::pair<int, QImage> LastFrame(const std::string& path) {
  VidHandle video;
  ImgBitmap last;
  ImgInitHandle(&last);
  if (VidOpen(path.c_str(), &video) != 1 ||
      VidReadFrame(&video, &last, video.frameCount - 1) != 1) {
    return {0, QImage()};
  }
  return {video.frameCount, ImageFromBitmap(last)};
}

TEST_F(OutputWindowTest, TimelapseEndsOnThePaintedPictureInTheFormatOfItsEnding) {
  ASSERT_TRUE(PaintTimelapse(1));
  EXPECT_TRUE(window->FrameMenu()->actions().contains(window->TimelapseAction()));
  EXPECT_EQ(window->TimelapseAction()->shortcut(), QKeySequence("Ctrl+T"));
  const QImage painted = ImageFromDib(window->Picture());
  // 8 seconds at 30 frames a second, then the finished picture for 1.5 seconds.
  for (const char* name : {"painting.mkv", "painting.mp4"}) {
    SCOPED_TRACE(name);
    const std::string path = env.Folder().File(name);
    ASSERT_EQ(SaveTimelapseAndWait(path).toStdString(), path);
    const auto [frames, last] = LastFrame(path);
    EXPECT_EQ(frames, 285);
    EXPECT_EQ(last.size(), painted.size());
    if (QString(name).endsWith(".mkv")) EXPECT_EQ(last, painted);
  }
}

TEST_F(OutputWindowTest, StoppedPaintingsTimelapseEndsOnTheStoppedPicture) {
  ASSERT_TRUE(StartLongPainting());
  window->PressStopOrOk();
  ASSERT_TRUE(WaitUntil([this] { return window->PaintingDone(); }));
  ASSERT_EQ(window->PaintResult(), kPaintStopped);
  const std::string path = env.Folder().File("stopped.mkv");
  ASSERT_EQ(SaveTimelapseAndWait(path).toStdString(), path);
  const auto [frames, last] = LastFrame(path);
  EXPECT_GT(frames, 46);
  EXPECT_LT(frames, 285);
  EXPECT_EQ(last, ImageFromDib(window->Picture()).copy(10, 10, 600, 450));
}

TEST_F(OutputWindowTest, TimelapseThatCannotBeWrittenWarnsAndLeavesNoFile) {
  ASSERT_TRUE(PaintTimelapse(5));
  const QDir out(QString::fromStdString(env.Folder().File("out")));
  ASSERT_TRUE(out.mkpath("folder.mp4"));
  struct Case {
    const char* name;
    bool changeStart;  // the start picture changes after the painting
  } const cases[] = {
      {"no/such/folder/out.mp4", false}, {"out/folder.mp4", false}, {"out/changed.mkv", true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    if (c.changeStart) ASSERT_TRUE(WriteTestPicture(start, 64, 40));
    ModalWatcher watcher;
    const std::string path = env.Folder().File(c.name);
    EXPECT_TRUE(SaveTimelapseAndWait(path).isEmpty());
    ASSERT_EQ(watcher.Messages().size(), 1);
    EXPECT_TRUE(watcher.Messages()[0].contains(QString::fromStdString(path)));
    EXPECT_EQ(out.entryList(QDir::NoDotAndDotDot | QDir::AllEntries | QDir::Hidden),
              QStringList{"folder.mp4"});
  }
}

TEST_F(OutputWindowTest, PrintToPdfWritesAPdf) {
  ASSERT_TRUE(Paint(5));
  const QString pdf = QString::fromStdString(env.Folder().File("print.pdf"));
  QPrinter printer(QPrinter::HighResolution);
  printer.setOutputFormat(QPrinter::PdfFormat);
  printer.setOutputFileName(pdf);
  ASSERT_TRUE(window->PrintTo(&printer));
  QFile file(pdf);
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  EXPECT_TRUE(file.read(5).startsWith("%PDF-"));
  EXPECT_GT(file.size(), 1000);
}

TEST_F(OutputWindowTest, PrintsPagesWithTheTitleAndTheLosslessPicture) {
  ASSERT_TRUE(Paint(5));
  PrintOptions poster;
  poster.fit = PrintFit::kPoster;
  poster.columns = 3;
  poster.rows = 2;
  PrintOptions width;
  width.fit = PrintFit::kWidth;
  width.widthMm = 300;
  const struct {
    const char* name;
    PrintOptions options;
    int pages;
  } cases[] = {{"fitted", PrintOptions(), 1}, {"poster", poster, 6}, {"width", width, 2}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const QString pdf = QString::fromStdString(env.Folder().File(std::string(c.name) + ".pdf"));
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(pdf);
    printer.setPageSize(QPageSize(QPageSize::A4));
    printer.setPageMargins(QMarginsF(10, 10, 10, 10), QPageLayout::Millimeter);
    ASSERT_TRUE(window->PrintTo(&printer, c.options));
    QFile file(pdf);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    EXPECT_EQ(bytes.count("/Type /Page\n") + bytes.count("/Type /Page\r"), c.pages);
    // The title is the picture's name, in UTF-16 as PDF strings carry it.
    const QString title = "start - Black & White Photo";
    EXPECT_EQ(window->PictureTitle(), title);
    QByteArray utf16("\xfe\xff", 2);
    for (QChar ch : title) utf16 += QByteArray{char(ch.unicode() >> 8), char(ch.unicode() & 0xff)};
    EXPECT_TRUE(bytes.contains(utf16));
    EXPECT_TRUE(bytes.contains("/Subtype /Image"));
    EXPECT_FALSE(bytes.contains("/DCTDecode"));
  }
}

}  // namespace

// SPDX-FileCopyrightText: The Quillane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "painting/gui/output_window.h"

#include <QAbstractButton>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QFrame>
#include <QGuiApplication>
#include <QLabel>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QScreen>
#include <QThread>
#include <QTimerEvent>
#include <array>
#include <cstdio>

#include "app/gui/bitmap_image.h"
#include "app/gui/warning_box.h"
#include "app/settings.h"
#include "base/paths.h"
#include "effects/effect_engine.h"
#include "imaging/imaging.h"
#include "painting/paint_driver.h"
#include "painting/start_picture.h"

using namespace output_ids;

namespace {

constexpr std::array kOutputControls = {
    ControlEntry{kSave, ControlKind::PushButton, "保存(&S)...", 6, 6, 50, 14},
    ControlEntry{kPrint, ControlKind::PushButton, "打印(&P)...", 60, 6, 50, 14},
    ControlEntry{kStop, ControlKind::DefaultPushButton, "停止(&S)", 114, 6, 50, 14},
    ControlEntry{kStatus, ControlKind::BorderLabel, "", 168, 6, 151, 14},
    ControlEntry{kFrame, ControlKind::BlackFrame, "", 6, 27, 313, 219},
};

constexpr DialogLayout kOutputWindowLayout{"Quillane", 325, 250, kOutputControls};

constexpr char kSaveFilters[] =
    "PNG Image (*.png);;JPEG Image (*.jpg *.jpeg);;Windows BMP Image (*.bmp);;"
    "TIFF Image (*.tif *.tiff)";

QRect ToQRect(const Rect& r) {
  return QRect(r.left, r.top, r.Width(), r.Height());
}

// Which of the five stages of a staged refresh reveals the pixel: a fixed scatter, so that the
// picture dissolves in and stage 5 shows all of it.
int DissolveStage(int x, int y) {
  uint32_t h = static_cast<uint32_t>(x) * 73856093u ^ static_cast<uint32_t>(y) * 19349663u;
  h ^= h >> 13;
  h *= 0x5bd1e995u;
  h ^= h >> 15;
  return static_cast<int>(h % 5) + 1;
}

// The file's format from its extension, or the filter's when the extension names none.
QString SaveSuffix(const QString& path, const QString& filter) {
  if (SaveFormatForName(path.toStdString()) != SaveFormat::kNone) return QString();
  if (filter.contains(QLatin1String("*.jpg"))) return QStringLiteral(".jpg");
  if (filter.contains(QLatin1String("*.bmp"))) return QStringLiteral(".bmp");
  if (filter.contains(QLatin1String("*.tif"))) return QStringLiteral(".tif");
  return QStringLiteral(".png");
}

}  // namespace

void RunOutputWindow(QWidget* owner) {
  OutputWindow window(owner);
  if (!window.Open()) return;
  window.exec();
}

OutputWindow::OutputWindow(QWidget* parent) : TableDialog(kOutputWindowLayout, parent) {
  setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                 Qt::WindowCloseButtonHint);
  setModal(true);
  if (QWidget* frame = Item(kFrame)) frame->installEventFilter(this);
  if (auto* b = ItemAs<QAbstractButton>(kStop)) {
    connect(b, &QAbstractButton::clicked, this, [this] { PressStopOrOk(); });
  }
  if (auto* b = ItemAs<QAbstractButton>(kSave)) {
    connect(b, &QAbstractButton::clicked, this, [this] { Save(); });
  }
  if (auto* b = ItemAs<QAbstractButton>(kPrint)) {
    connect(b, &QAbstractButton::clicked, this, [this] { Print(); });
  }
}

OutputWindow::~OutputWindow() {
  StopAndWait();
  if (QWidget* frame = Item(kFrame)) frame->removeEventFilter(this);
  if (paintTimer_ != 0) killTimer(paintTimer_);
  pictureDib_.Free();
  if (messageOwner == this) messageOwner = nullptr;
  if (mainWindowHandle == this) mainWindowHandle = nullptr;
}

bool OutputWindow::Open() {
  pictureDib_.Free();
  pictureHeader_ = nullptr;
  picturePixels_ = nullptr;
  windowPainted_ = false;
  closeOnPress_ = false;
  ClearStop();

  settings.startPicture[kStartPictureSize - 1] = '\0';
  if (settings.startPicture[0] == '\0' || !FileOpensForReading(settings.startPicture)) {
    ShowWarning("No 'Start Picture' specified.");
    return false;
  }
  messageOwner = this;
  mainWindowHandle = this;
  paintTimer_ = startTimer(1);
  LoadPicture();
  SizeToPicture();
  if (QWidget* w = Item(kSave)) w->setEnabled(false);
  if (QWidget* w = Item(kPrint)) w->setEnabled(false);
  ShowHeldPicture();
  return true;
}

void OutputWindow::LoadPicture() {
  // A picture that does not decode here (the main window has already refused such files), or
  // an output size without pixels, leaves nothing to show, and the painting then stops at once.
  if (settings.outputWidth <= 0 || settings.outputHeight <= 0) return;
  pictureDib_ =
      PrepareStartPicture(settings.startPicture, settings.outputWidth, settings.outputHeight)
          .picture;
  LockPicture();
}

void OutputWindow::LockPicture() {
  pictureHeader_ = pictureDib_ ? pictureDib_.Header() : nullptr;
  picturePixels_ = pictureDib_ ? pictureDib_.Pixels() : nullptr;
}

void OutputWindow::SizeToPicture() {
  QWidget* frame = Item(kFrame);
  QWidget* status = Item(kStatus);
  if (frame == nullptr || status == nullptr) return;

  QScreen* screen = parentWidget() ? parentWidget()->screen() : QGuiApplication::primaryScreen();
  if (screen == nullptr) screen = QGuiApplication::primaryScreen();
  const QRect workArea = screen ? screen->availableGeometry() : QRect(0, 0, 1024, 768);
  const QPoint screenOrigin = screen ? screen->geometry().topLeft() : QPoint();
  const float AW = static_cast<float>(workArea.width());
  const float AH = static_cast<float>(workArea.height());

  // The window's outer size counts its title bar and borders, which are those of the window
  // underneath it until this one has been shown.
  QSize decoration(0, 0);
  if (QWidget* owner = parentWidget(); owner && owner->isVisible()) {
    decoration = owner->frameGeometry().size() - owner->size();
  }

  const float FW = static_cast<float>(frame->width() - 4);
  const float FH = static_cast<float>(frame->height() - 4);
  const float DW = static_cast<float>(width() + decoration.width());
  const float DH = static_cast<float>(height() + decoration.height());
  float TW = static_cast<float>(settings.outputWidth);
  float TH = static_cast<float>(settings.outputHeight);
  if (TW < FW) TW = FW;
  if (TH < FH) TH = FH;
  float NW = TW - FW + DW;
  float NH = TH - FH + DH;
  if (NW > AW) NW = AW;
  if (NH > AH) NH = AH;
  const float GW = NW - DW + FW;
  const float GH = NH - DH + FH;

  const int x = static_cast<int>((AW - NW) * 0.5f);
  const int y = static_cast<int>((AH - NH) * 0.5f);
  setFixedSize(static_cast<int>(NW) - decoration.width(),
               static_cast<int>(NH) - decoration.height());
  move(screenOrigin + QPoint(x, y));

  const int OW = frame->width();
  frame->resize(static_cast<int>(GW), static_cast<int>(GH));
  status->resize(static_cast<int>(GW) - OW + status->width(), status->height());
}

void OutputWindow::ShowHeldPicture() {
  QWidget* frame = Item(kFrame);
  if (frame == nullptr) return;
  screen_ = QImage(frame->size(), QImage::Format_RGB32);
  screen_.fill(palette().color(QPalette::Window));
  if (picturePixels_ != nullptr) {
    const QImage picture = ImageFromDib(pictureDib_);
    const Rect display{2, 2, frame->width() - 2, frame->height() - 2};
    Rect source, destination;
    FitPictureRects(Rect{0, 0, picture.width(), picture.height()}, display, &source, &destination);
    QPainter painter(&screen_);
    painter.drawImage(ToQRect(destination), picture, ToQRect(source));
  }
  frame->update();
}

void OutputWindow::paintEvent(QPaintEvent* event) {
  windowPainted_ = true;
  TableDialog::paintEvent(event);
}

bool OutputWindow::eventFilter(QObject* watched, QEvent* event) {
  // The picture lies under the black frame's own border.
  if (event->type() == QEvent::Paint && watched == Item(kFrame) && !screen_.isNull()) {
    QPainter painter(static_cast<QWidget*>(watched));
    painter.drawImage(0, 0, screen_);
  }
  return TableDialog::eventFilter(watched, event);
}

void OutputWindow::timerEvent(QTimerEvent* event) {
  if (event->timerId() != paintTimer_) {
    TableDialog::timerEvent(event);
    return;
  }
  if (!windowPainted_) return;
  killTimer(paintTimer_);
  paintTimer_ = 0;
  StartPainting();
}

void OutputWindow::StartPainting() {
  QWidget* frame = Item(kFrame);
  frameWidth_ = frame ? frame->width() : 0;
  frameHeight_ = frame ? frame->height() : 0;
  painting_ = true;
  // The painting runs beside the window's thread, so that the window keeps repainting and Stop
  // is heard at once; everything it shows arrives here as queued calls.
  worker_ = std::thread([this] {
    const int result = PaintDriver(this, this, &pictureDib_, pictureHeader_, picturePixels_);
    QMetaObject::invokeMethod(
        this, [this, result] { FinishPainting(result); }, Qt::QueuedConnection);
  });
}

void OutputWindow::FinishPainting(int result) {
  if (worker_.joinable()) worker_.join();
  painting_ = false;
  done_ = true;
  result_ = result;
  LockPicture();
  ShowHeldPicture();
  if (QWidget* w = Item(kSave)) w->setEnabled(true);
  if (QWidget* w = Item(kPrint)) w->setEnabled(true);
  if (auto* b = ItemAs<QAbstractButton>(kStop)) b->setText(QStringLiteral("OK"));
  if (result != kPaintStopped) closeOnPress_ = true;
  emit PaintingFinished(result);
  // A press of Stop during the painting counts as a press that comes after it.
  if (pressWhilePainting_ && !closing_) {
    pressWhilePainting_ = false;
    PressStopOrOk();
  }
}

void OutputWindow::StopAndWait() {
  if (!painting_) return;
  closing_ = true;
  RequestStop();
  // Warnings and pictures the painting still hands over need this thread to answer them.
  while (painting_) QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
}

void OutputWindow::PressStopOrOk() {
  if (painting_) {
    RequestStop();
    pressWhilePainting_ = true;
    return;
  }
  if (closeOnPress_) {
    done(0);
    return;
  }
  closeOnPress_ = true;
}

void OutputWindow::reject() {
  PressStopOrOk();
}

void OutputWindow::closeEvent(QCloseEvent* event) {
  StopAndWait();
  done(0);
  event->accept();
}

void OutputWindow::FrameClientSize(int* width, int* height) {
  *width = frameWidth_;
  *height = frameHeight_;
}

void OutputWindow::ShowStatus(const std::string& text) {
  const QString line = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
  QMetaObject::invokeMethod(
      this,
      [this, line] {
        if (auto* label = ItemAs<QLabel>(kStatus)) label->setText(line);
      },
      Qt::AutoConnection);
}

void OutputWindow::ShowPicture(const ImgBitmap& bitmap, const Rect& source, const Rect& destination,
                               int stage) {
  auto show = [this, &bitmap, &source, &destination, stage] {
    // The stages of one refresh come one after the other for the same unchanged canvas, so
    // stages 2 to 4 reuse the copy of stage 1; stage 5 copies afresh to end on the exact picture.
    const bool sameRefresh = stage >= 2 && stage <= 4 && stage == lastStage_ + 1 &&
                             lastBitmap_ == bitmap.dib.Lock() && lastSource_ == source &&
                             lastDestination_ == destination;
    if (!sameRefresh) lastPart_ = ImageFromBitmap(bitmap, source);
    lastStage_ = stage;
    lastBitmap_ = bitmap.dib.Lock();
    lastSource_ = source;
    lastDestination_ = destination;
    if (!lastPart_.isNull()) ApplyPicture(lastPart_, ToQRect(destination), stage);
    if (stage == 0 || stage >= 5) {
      lastPart_ = QImage();
      lastBitmap_ = nullptr;
    }
  };
  if (QThread::currentThread() == thread()) {
    show();
    return;
  }
  // The painting waits until its picture is on show: it never runs ahead of what the user sees,
  // so Stop acts on the picture in view, and the bitmap stays valid while it is copied.
  QMetaObject::invokeMethod(this, show, Qt::BlockingQueuedConnection);
}

void OutputWindow::ApplyPicture(const QImage& image, const QRect& destination, int stage) {
  if (screen_.isNull() || destination.isEmpty()) return;
  if (stage <= 0 || stage >= 5) {
    QPainter painter(&screen_);
    painter.drawImage(destination, image);
  } else {
    const QImage scaled =
        image.size() == destination.size()
            ? image
            : image.scaled(destination.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    const QRect visible = destination.intersected(screen_.rect());
    for (int y = visible.top(); y <= visible.bottom(); ++y) {
      auto* out = reinterpret_cast<QRgb*>(screen_.scanLine(y));
      const auto* in = reinterpret_cast<const QRgb*>(scaled.constScanLine(y - destination.top()));
      for (int x = visible.left(); x <= visible.right(); ++x) {
        if (DissolveStage(x, y) <= stage) out[x] = in[x - destination.left()];
      }
    }
  }
  if (QWidget* frame = Item(kFrame)) frame->update(destination);
}

void OutputWindow::ShowWarningBox(const std::string& text) {
  ShowWarningMessageBox(this, text);
}

void OutputWindow::Save() {
  if (!pictureDib_ || painting_) return;
  QString filter;
  // The dialog starts in the start picture's folder.
  const QString folder = QFileInfo(QString::fromUtf8(settings.startPicture)).absolutePath();
  const QString path =
      QFileDialog::getSaveFileName(this, QStringLiteral("Save Picture File"), folder,
                                   QString::fromLatin1(kSaveFilters), &filter);
  if (path.isEmpty()) return;
  SaveTo(path, filter);
}

QString OutputWindow::SaveTo(const QString& path, const QString& filter) {
  if (!pictureDib_ || painting_) return QString();
  const QString target = path + SaveSuffix(path, filter);
  ImgBitmap bitmap;
  ImgInitHandle(&bitmap);
  int saved = 0;
  if (ImgFromDibBits(&bitmap, pictureHeader_, picturePixels_) == 1) {
    saved = ImgSaveFile(target.toUtf8().constData(), bitmap);
  }
  if (bitmap.hasImage) ImgFree(&bitmap);
  if (saved != 1) {
    ShowWarningMessageBox(this, "The picture could not be saved to\n" + target.toStdString());
    return QString();
  }
  return target;
}

void OutputWindow::Print() {
  if (!pictureDib_ || painting_) return;
  QPrinter printer(QPrinter::HighResolution);
  QPrintDialog dialog(&printer, this);
  if (dialog.exec() != QDialog::Accepted) return;
  if (!PrintTo(&printer)) {
    ShowWarningMessageBox(this, "The picture could not be printed.");
  }
}

bool OutputWindow::PrintTo(QPrinter* printer) {
  const QImage picture = ImageFromDib(pictureDib_);
  if (picture.isNull()) return false;
  QPainter painter;
  if (!painter.begin(printer)) return false;
  const QRect page = painter.viewport();
  QSize size = picture.size();
  size.scale(page.size(), Qt::KeepAspectRatio);
  const QRect target(page.left() + (page.width() - size.width()) / 2,
                     page.top() + (page.height() - size.height()) / 2, size.width(), size.height());
  painter.setRenderHint(QPainter::SmoothPixmapTransform);
  painter.drawImage(target, picture);
  return painter.end();
}

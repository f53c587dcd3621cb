// SPDX-FileCopyrightText: The Quillane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "gui/output_window.h"

#include <QCloseEvent>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFrame>
#include <QGuiApplication>
#include <QKeySequence>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPrinter>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <QTimerEvent>
#include <QWheelEvent>
#include <algorithm>
#include <array>
#include <cmath>
#include <limits>

#include "app/painting_request.h"
#include "app/settings.h"
#include "base/language.h"
#include "base/paths.h"
#include "effects/effect_engine.h"
#include "gui/bitmap_image.h"
#include "gui/file_dialogs.h"
#include "gui/picture_printing.h"
#include "gui/warning_box.h"
#include "imaging/imaging.h"
#include "painting/effect_table.h"
#include "painting/painted_picture.h"

using namespace output_ids;

namespace {

constexpr std::array kOutputControls = {
    ControlEntry{kSave, ControlKind::PushButton, TrNoop("保存(&S)..."), 6, 6, 50, 14},
    ControlEntry{kPrint, ControlKind::PushButton, TrNoop("打印(&P)..."), 60, 6, 50, 14},
    ControlEntry{kStop, ControlKind::DefaultPushButton, TrNoop("停止(&S)"), 114, 6, 50, 14},
    ControlEntry{kStatus, ControlKind::BorderLabel, "", 168, 6, 151, 14, TrNoop("Progress")},
    ControlEntry{kFrame, ControlKind::BlackFrame, "", 6, 27, 313, 219, TrNoop("Picture")},
};

constexpr DialogLayout kOutputWindowLayout{"Quillane", 325, 250, kOutputControls};

constexpr char kFrameHelp[] = TrNoop(
    "Ctrl + mouse wheel, Ctrl + and Ctrl - zoom the picture.\n"
    "Drag with the left mouse button, or turn the mouse wheel, to move it.\n"
    "Double-click or Ctrl 0 switches between the whole picture and 100 %.");

constexpr double kZoomStep = 1.25;
constexpr double kLargestZoom = 16.0;
constexpr int kZoomLevelMilliseconds = 1200;
constexpr int kFrameMilliseconds = 16;

// The folder of the last successful save, for the next Save in this session.
QString lastSaveFolder;

// Where Save's dialog starts: the last successful save's folder, else the start picture's, else
// the home folder.
QString SaveDialogFolder(const RenderRequest& request) {
  for (const QString& folder :
       {lastSaveFolder, QFileInfo(QString::fromStdString(request.startPath)).absolutePath()}) {
    if (!folder.isEmpty() && QFileInfo(folder).isDir() && !IsSystemFolder(folder)) return folder;
  }
  return QDir::homePath();
}

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

// The Save dialog's filters: the formats the program writes, each with its endings.
QString SaveFilters() {
  QStringList filters;
  for (const PictureFormat& format : kPictureFormats) {
    if (format.saveLabel == nullptr) continue;
    QStringList endings;
    for (int i = 0; i < format.writtenEndings; ++i) {
      endings << QLatin1Char('*') + QLatin1String(format.endings[i]);
    }
    filters << QString::fromUtf8(Tr(format.saveLabel)) + QStringLiteral(" (") +
                   endings.join(QLatin1Char(' ')) + QLatin1Char(')');
  }
  return filters.join(QStringLiteral(";;"));
}

// The file's ending when it names a format written, else the first ending of the format whose
// filter was chosen, else PNG's.
QString SaveSuffix(const QString& path, const QString& filter) {
  if (SaveFormatForName(path.toStdString()) != SaveFormat::kNone) return QString();
  for (const PictureFormat& format : kPictureFormats) {
    if (format.writtenEndings > 0 &&
        filter.contains(QLatin1Char('*') + QLatin1String(format.endings[0]))) {
      return QLatin1String(format.endings[0]);
    }
  }
  return QLatin1String(kPictureFormats[0].endings[0]);
}

// The time-lapse formats of the Save dialog, by ending.
struct TimelapseFilter {
  const char* label;
  const char* ending;
};
constexpr std::array kTimelapseFilters = {
    TimelapseFilter{TrNoop("MP4 Video (H.264)"), ".mp4"},
    TimelapseFilter{TrNoop("WebM Video (VP9)"), ".webm"},
    TimelapseFilter{TrNoop("Animated GIF"), ".gif"},
    TimelapseFilter{TrNoop("Lossless Matroska Video (FFV1)"), ".mkv"},
};

QString TimelapseFilters() {
  QStringList filters;
  for (const TimelapseFilter& format : kTimelapseFilters) {
    filters << QString::fromUtf8(Tr(format.label)) + QStringLiteral(" (*") +
                   QLatin1String(format.ending) + QLatin1Char(')');
  }
  return filters.join(QStringLiteral(";;"));
}

// The file's ending when it names a time-lapse format, else the chosen filter's, else MP4's.
QString TimelapseSuffix(const QString& path, const QString& filter) {
  for (const TimelapseFilter& format : kTimelapseFilters) {
    if (path.endsWith(QLatin1String(format.ending), Qt::CaseInsensitive)) return QString();
  }
  for (const TimelapseFilter& format : kTimelapseFilters) {
    if (filter.contains(QLatin1Char('*') + QLatin1String(format.ending))) {
      return QLatin1String(format.ending);
    }
  }
  return QLatin1String(kTimelapseFilters[0].ending);
}

// A menu entry's text with its keys shown beside it.
QString WithKeys(const QString& text, const QKeySequence& keys) {
  return text + QLatin1Char('\t') + keys.toString(QKeySequence::NativeText);
}

// The painted picture's name: the start picture's name and the effect.
QString PictureName(const RenderRequest& request) {
  QString name = QFileInfo(QString::fromStdString(request.startPath)).completeBaseName();
  if (const EffectEntry* effect = FindEffect(request.effect)) {
    name += QStringLiteral(" - ") + QString::fromUtf8(effect->title);
  }
  return name;
}

}  // namespace

void RunOutputWindow(QWidget* owner, const std::string& tileIndexFile) {
  OutputWindow window(owner, tileIndexFile);
  if (!window.Open()) return;
  window.exec();
}

OutputWindow::OutputWindow(QWidget* parent, std::string tileIndexFile)
    : TableDialog(kOutputWindowLayout, parent),
      saveButton_(Control<QPushButton>(kSave)),
      printButton_(Control<QPushButton>(kPrint)),
      stopButton_(Control<QPushButton>(kStop)),
      status_(Control<QLabel>(kStatus)),
      frame_(Control<QFrame>(kFrame)),
      zoomLevel_(new QLabel(frame_)),
      frameMenu_(new QMenu(this)),
      tileIndexFile_(std::move(tileIndexFile)) {
  setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                 Qt::WindowCloseButtonHint);
  setModal(true);

  frame_->installEventFilter(this);
  frame_->setToolTip(QString::fromUtf8(Tr(kFrameHelp)));
  frame_->setAccessibleDescription(frame_->toolTip());
  frame_->setFocusPolicy(Qt::NoFocus);
  zoomLevel_->setObjectName(QStringLiteral("zoomLevel"));
  zoomLevel_->setAccessibleName(QString::fromUtf8(Tr("Zoom")));
  zoomLevel_->setStyleSheet(
      QStringLiteral("QLabel { background: rgba(0, 0, 0, 160); color: white; padding: 2px 6px; }"));
  zoomLevel_->hide();
  zoomLevelTimer_.setSingleShot(true);
  connect(&zoomLevelTimer_, &QTimer::timeout, zoomLevel_, &QWidget::hide);
  reducedTimer_.setSingleShot(true);
  connect(&reducedTimer_, &QTimer::timeout, frame_, qOverload<>(&QWidget::update));

  // The picture frame's context menu: Save and Print as the buttons have them, and the
  // time-lapse, which has no button (the window's layout stays as it is).
  saveAction_ = frameMenu_->addAction(WithKeys(saveButton_->text(), QKeySequence::Save), this,
                                      [this] { Save(); });
  printAction_ = frameMenu_->addAction(WithKeys(printButton_->text(), QKeySequence::Print), this,
                                       [this] { Print(); });
  frameMenu_->addSeparator();
  timelapseAction_ = frameMenu_->addAction(QString::fromUtf8(Tr("Save time-lapse...")), this,
                                           [this] { SaveTimelapse(); });
  timelapseAction_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_T));
  addAction(timelapseAction_);  // for its keys anywhere in the window
  frame_->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(frame_, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
    UpdateMenu();
    frameMenu_->popup(frame_->mapToGlobal(at));
  });
  UpdateMenu();

  connect(stopButton_, &QPushButton::clicked, this, [this] { PressStopOrOk(); });
  connect(saveButton_, &QPushButton::clicked, this, [this] { Save(); });
  connect(printButton_, &QPushButton::clicked, this, [this] { Print(); });
  auto shortcut = [this](const QKeySequence& keys, auto slot) {
    connect(new QShortcut(keys, this), &QShortcut::activated, this, slot);
  };
  shortcut(QKeySequence::Save, [this] {
    if (saveButton_->isEnabled()) Save();
  });
  shortcut(QKeySequence::Print, [this] {
    if (printButton_->isEnabled()) Print();
  });
  // Ctrl + is Ctrl Shift = on many keyboards; Ctrl = does as well.
  for (const QKeySequence& keys :
       {QKeySequence(QKeySequence::ZoomIn), QKeySequence(Qt::CTRL | Qt::Key_Equal)}) {
    shortcut(keys, [this] { ZoomAbout(1, QRectF(DisplayRect()).center()); });
  }
  shortcut(QKeySequence::ZoomOut, [this] { ZoomAbout(-1, QRectF(DisplayRect()).center()); });
  shortcut(QKeySequence(Qt::CTRL | Qt::Key_0), [this] { ToggleFitAnd100(); });
}

OutputWindow::~OutputWindow() {
  // The session's work ends before the window goes: its signals no longer reach the window.
  if (session_) session_->disconnect(this);
  session_.reset();
  frame_->removeEventFilter(this);
  if (paintTimer_ != 0) killTimer(paintTimer_);
  if (messageOwner == this) messageOwner = nullptr;
  if (mainWindowHandle == this) mainWindowHandle = nullptr;
}

bool OutputWindow::Open() {
  windowPainted_ = false;
  closeOnPress_ = false;
  ClearStop();

  // The painting is read from the settings once, here; the session is handed nothing else.
  RenderRequest request = PaintingRequest(settings, tileIndexFile_);
  if (request.startPath.empty() || !FileOpensForReading(request.startPath.c_str())) {
    ShowWarning(Tr("No 'Start Picture' specified."));
    return false;
  }
  messageOwner = this;
  mainWindowHandle = this;
  paintTimer_ = startTimer(1);
  outputWidth_ = request.width;
  outputHeight_ = request.height;
  SizeToPicture();
  saveButton_->setEnabled(false);
  printButton_->setEnabled(false);

  // Until the picture is ready the frame shows the picture's place empty.
  canvas_ = QImage(std::max(outputWidth_, 1), std::max(outputHeight_, 1), QImage::Format_RGB32);
  canvas_.fill(palette().color(QPalette::Window));
  reduced_.Reset();
  FirstView();

  session_ = std::make_unique<PaintingSession>(std::move(request));
  PaintingSession* session = session_.get();
  connect(session, &PaintingSession::PictureReady, this, &OutputWindow::PictureReady);
  connect(session, &PaintingSession::StatusChanged, status_, &QLabel::setText);
  connect(session, &PaintingSession::PictureShown, this, &OutputWindow::ShowPicture);
  connect(session, &PaintingSession::WarningShown, this, &OutputWindow::ShowWarningBox);
  connect(session, &PaintingSession::PaintingFinished, this, &OutputWindow::FinishPainting);
  connect(session, &PaintingSession::SaveFinished, this, &OutputWindow::SaveEnded);
  connect(session, &PaintingSession::TimelapseSaveProgress, this,
          [this](const QString& path, int percent) {
            status_->setText(QString::fromUtf8(Tr("Saving %1... %2 %"))
                                 .arg(QFileInfo(path).fileName())
                                 .arg(percent));
          });
  connect(session, &PaintingSession::TimelapseSaved, this, &OutputWindow::TimelapseSaveEnded);
  // Decoding and resizing a large picture takes seconds: the window shows at once, with a busy
  // cursor, and the painting starts when the picture is ready.
  session->Prepare();
  UpdateBusyCursor();
  return true;
}

const DibHandle& OutputWindow::Picture() const {
  static const DibHandle none;
  return session_ ? session_->Picture() : none;
}

void OutputWindow::PictureReady(const QString& warning) {
  if (!warning.isEmpty()) ShowWarning(warning.toStdString().c_str());
  ShowHeldPicture();
  UpdateBusyCursor();
  if (closeWhenIdle_) {
    CloseWhenIdle();
    return;
  }
  TryStartPainting();
}

void OutputWindow::SizeToPicture() {
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

  const float FW = static_cast<float>(frame_->width() - 4);
  const float FH = static_cast<float>(frame_->height() - 4);
  const float DW = static_cast<float>(width() + decoration.width());
  const float DH = static_cast<float>(height() + decoration.height());
  float TW = static_cast<float>(outputWidth_);
  float TH = static_cast<float>(outputHeight_);
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

  const int OW = frame_->width();
  frame_->resize(static_cast<int>(GW), static_cast<int>(GH));
  status_->resize(static_cast<int>(GW) - OW + status_->width(), status_->height());
}

QRect OutputWindow::DisplayRect() const {
  return frame_->rect().adjusted(2, 2, -2, -2);
}

void OutputWindow::ShowHeldPicture() {
  if (!Picture()) return;
  const QImage picture = ImageFromDib(Picture());
  if (picture.isNull()) return;
  // A stopped stroke painting hands back its canvas with the margin: the picture keeps its place
  // in the view, the margin around it.
  const QPointF grown((picture.width() - canvas_.width()) / 2,
                      (picture.height() - canvas_.height()) / 2);
  canvas_ = picture;
  reduced_.Reset();
  if (viewMoved_) {
    SetView(zoom_, origin_ - grown * zoom_);
  } else {
    FirstView();
  }
}

void OutputWindow::paintEvent(QPaintEvent* event) {
  windowPainted_ = true;
  TableDialog::paintEvent(event);
}

bool OutputWindow::eventFilter(QObject* watched, QEvent* event) {
  if (watched == frame_ && FrameEvent(event)) return true;
  return TableDialog::eventFilter(watched, event);
}

bool OutputWindow::FrameEvent(QEvent* event) {
  switch (event->type()) {
    case QEvent::Paint: {
      // The picture lies under the black frame's own border, which the frame draws next.
      QPainter painter(frame_);
      DrawView(&painter);
      return false;
    }
    case QEvent::Wheel: {
      auto* wheel = static_cast<QWheelEvent*>(event);
      const QPoint delta = wheel->angleDelta();
      if (wheel->modifiers() & Qt::ControlModifier) {
        ZoomAbout(delta.y() / 120.0, wheel->position());
      } else if (wheel->modifiers() & Qt::ShiftModifier) {
        MoveView(QPointF(delta.y() / 2.0, delta.x() / 2.0));
      } else {
        MoveView(QPointF(delta.x() / 2.0, delta.y() / 2.0));
      }
      return true;
    }
    case QEvent::MouseButtonPress: {
      auto* mouse = static_cast<QMouseEvent*>(event);
      if (mouse->button() != Qt::LeftButton) return false;
      dragging_ = true;
      dragFrom_ = mouse->position();
      frame_->setCursor(Qt::ClosedHandCursor);
      return true;
    }
    case QEvent::MouseMove: {
      auto* mouse = static_cast<QMouseEvent*>(event);
      if (!dragging_) return false;
      MoveView(mouse->position() - dragFrom_);
      dragFrom_ = mouse->position();
      return true;
    }
    case QEvent::MouseButtonRelease:
      if (!dragging_) return false;
      dragging_ = false;
      frame_->unsetCursor();
      return true;
    case QEvent::MouseButtonDblClick:
      if (static_cast<QMouseEvent*>(event)->button() != Qt::LeftButton) return false;
      ToggleFitAnd100();
      return true;
    case QEvent::Resize:
      zoomLevel_->move(DisplayRect().topLeft() + QPoint(4, 4));
      return false;
    default:
      return false;
  }
}

void OutputWindow::DrawView(QPainter* painter) {
  const QRect display = DisplayRect();
  painter->fillRect(frame_->rect(), palette().color(QPalette::Window));
  if (canvas_.isNull()) return;
  painter->setClipRect(display);
  if (!viewMoved_) {
    // The first view: the picture centred at its own size, cut equally on both sides where it is
    // larger than the frame; an odd difference stretches it by one pixel.
    Rect source, destination;
    FitPictureRects(Rect{0, 0, canvas_.width(), canvas_.height()},
                    Rect{display.left(), display.top(), display.right() + 1, display.bottom() + 1},
                    &source, &destination);
    painter->drawImage(ToQRect(destination), canvas_, ToQRect(source));
    return;
  }
  const QRectF target(origin_, QSizeF(canvas_.size()) * zoom_);
  if (zoom_ == 1.0 && origin_ == origin_.toPoint()) {
    painter->drawImage(origin_.toPoint(), canvas_);
    return;
  }
  // Only the part in view is scaled.
  const QRectF visible = target.intersected(QRectF(display));
  if (visible.isEmpty()) return;
  const QRectF source((visible.topLeft() - origin_) / zoom_, visible.size() / zoom_);
  if (zoom_ >= 1.0) {
    // Larger than 100 % shows the pixels as they are.
    painter->drawImage(visible, canvas_, source);
    return;
  }
  // While the painting runs, a repaint takes in only part of a large change: the rest follows
  // in the next frames.
  const qint64 budget =
      PaintingRunning() ? ReducedView::kPixelsPerFrame : std::numeric_limits<qint64>::max();
  if (!reduced_.Draw(painter, canvas_, visible, source, budget) && !reducedTimer_.isActive()) {
    reducedTimer_.start(kFrameMilliseconds);
  }
}

QImage OutputWindow::FrameImage() {
  QImage image(frame_->size(), QImage::Format_RGB32);
  QPainter painter(&image);
  DrawView(&painter);
  return image;
}

void OutputWindow::FirstView() {
  // 100 % with the picture centred, as the first view shows it (DrawView) but for the odd pixel.
  const QRect display = DisplayRect();
  Rect source, destination;
  FitPictureRects(Rect{0, 0, canvas_.width(), canvas_.height()},
                  Rect{display.left(), display.top(), display.right() + 1, display.bottom() + 1},
                  &source, &destination);
  zoom_ = 1.0;
  origin_ = QPointF(destination.left - source.left, destination.top - source.top);
  viewMoved_ = false;
  frame_->update();
}

double OutputWindow::FitZoom() const {
  const QRect display = DisplayRect();
  if (canvas_.isNull() || display.isEmpty()) return 1.0;
  return std::min(static_cast<double>(display.width()) / canvas_.width(),
                  static_cast<double>(display.height()) / canvas_.height());
}

void OutputWindow::SetView(double zoom, const QPointF& origin) {
  const QRectF display(DisplayRect());
  zoom = std::clamp(zoom, std::min(FitZoom(), 1.0), kLargestZoom);
  const QSizeF shown = QSizeF(canvas_.size()) * zoom;
  // A picture smaller than the frame stays centred; a larger one always fills the frame.
  auto place = [](double wanted, double low, double length, double shownLength) {
    if (shownLength <= length) return low + std::trunc((length - shownLength) / 2);
    return std::clamp(wanted, low + length - shownLength, low);
  };
  zoom_ = zoom;
  origin_ = QPointF(place(origin.x(), display.left(), display.width(), shown.width()),
                    place(origin.y(), display.top(), display.height(), shown.height()));
  viewMoved_ = true;
  frame_->update();
}

void OutputWindow::ZoomAbout(double steps, const QPointF& framePoint) {
  if (steps == 0) return;
  const double zoom = zoom_ * std::pow(kZoomStep, steps);
  const double clamped = std::clamp(zoom, std::min(FitZoom(), 1.0), kLargestZoom);
  // The picture point under framePoint stays there.
  SetView(clamped, framePoint - (framePoint - origin_) * (clamped / zoom_));
  ShowZoomLevel();
}

void OutputWindow::ToggleFitAnd100() {
  if (zoom_ == 1.0) {
    SetView(FitZoom(), origin_);
  } else {
    // 100 % about the frame's centre.
    const QPointF centre = QRectF(DisplayRect()).center();
    SetView(1.0, QPointF((centre - (centre - origin_) / zoom_).toPoint()));
  }
  ShowZoomLevel();
}

void OutputWindow::MoveView(const QPointF& by) {
  SetView(zoom_, origin_ + by);
}

void OutputWindow::ShowZoomLevel() {
  zoomLevel_->setText(QStringLiteral("%1 %").arg(std::lround(zoom_ * 100)));
  zoomLevel_->adjustSize();
  zoomLevel_->move(DisplayRect().topLeft() + QPoint(4, 4));
  zoomLevel_->show();
  zoomLevel_->raise();
  zoomLevelTimer_.start(kZoomLevelMilliseconds);
}

void OutputWindow::timerEvent(QTimerEvent* event) {
  if (event->timerId() != paintTimer_) {
    TableDialog::timerEvent(event);
    return;
  }
  if (!windowPainted_) return;
  killTimer(paintTimer_);
  paintTimer_ = 0;
  TryStartPainting();
}

void OutputWindow::TryStartPainting() {
  // Once, when the window has been drawn and the picture is ready. The painting runs beside the
  // window's thread, so that the window keeps repainting and Stop is heard at once.
  if (paintTimer_ != 0 || !session_) return;
  session_->StartPainting();
}

void OutputWindow::FinishPainting(int result) {
  ShowHeldPicture();
  // Whatever the result, as long as there is a picture: buttons that would do nothing stay off.
  saveButton_->setEnabled(static_cast<bool>(Picture()));
  printButton_->setEnabled(static_cast<bool>(Picture()));
  stopButton_->setText(QString::fromUtf8(Tr("OK")));
  UpdateMenu();
  // Only a stop the user asked for waits for the press that follows the stopping one: a painting
  // that failed or was refused closes on the first press, as a finished one does.
  if (result != kPaintStopped || !pressWhilePainting_) closeOnPress_ = true;
  emit PaintingFinished(result);
  if (closeWhenIdle_) {
    CloseWhenIdle();
    return;
  }
  // A press of Stop during the painting counts as a press that comes after it.
  if (pressWhilePainting_) {
    pressWhilePainting_ = false;
    PressStopOrOk();
  }
}

void OutputWindow::CloseWhenIdle() {
  closeWhenIdle_ = true;
  if (PaintingRunning()) session_->Stop();
  if (!Busy()) done(0);
}

void OutputWindow::UpdateBusyCursor() {
  if (PicturePreparing() || Saving()) {
    setCursor(Qt::BusyCursor);
  } else {
    unsetCursor();
  }
}

void OutputWindow::PressStopOrOk() {
  if (PaintingRunning()) {
    session_->Stop();
    pressWhilePainting_ = true;
    return;
  }
  if (closeOnPress_) {
    CloseWhenIdle();
    return;
  }
  closeOnPress_ = true;
}

void OutputWindow::reject() {
  PressStopOrOk();
}

void OutputWindow::closeEvent(QCloseEvent* event) {
  // The window goes when the painting has stopped and the files being saved are written.
  event->ignore();
  CloseWhenIdle();
}

void OutputWindow::FrameClientSize(int* width, int* height) {
  // The effects show the whole picture at its own size; the window scales and moves it into
  // the frame.
  *width = outputWidth_ + 4;
  *height = outputHeight_ + 4;
}

void OutputWindow::ShowStatus(const std::string& text) {
  status_->setText(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
}

void OutputWindow::ShowPicture(const ImgBitmap& bitmap, const Rect& source, const Rect& destination,
                               int stage) {
  // The painting waits until its picture is on show (see PaintingSession::PictureShown): Stop
  // acts on the picture in view, and the bitmap stays valid while it is copied.
  {
    // The effects draw into a display rectangle inset by 2 from the frame they were told of, a
    // frame as large as the picture: the canvas takes their pixels one to one.
    const QRect target = ToQRect(destination).translated(-2, -2);
    const QRect from = ToQRect(source);
    if (canvas_.isNull() || target.isEmpty() || from.isEmpty() || !bitmap.dib) return;
    if (target.size() != from.size()) {
      QPainter(&canvas_).drawImage(target, ImageFromBitmap(bitmap, source));
      ShowCanvasPart(target);
      return;
    }
    if (stage <= 0 || stage >= 5) {
      CopyDibBitsInto(bitmap.dib.Header(), bitmap.dib.Pixels(), source, &canvas_, target.topLeft());
      lastPart_ = QImage();
      lastBitmap_ = nullptr;
      lastStage_ = stage;
      ShowCanvasPart(target);
      return;
    }
    // Stages 1 to 4 dissolve the part in view only; stage 5 brings the whole picture.
    const QRect visible = target.intersected(canvas_.rect()).intersected(CanvasInView());
    const QRect part = visible.translated(from.topLeft() - target.topLeft());
    // The stages of one refresh come one after the other for the same unchanged canvas, so
    // stages 2 to 4 reuse the copy of stage 1.
    const bool sameRefresh = stage == lastStage_ + 1 && lastBitmap_ == bitmap.dib.Lock() &&
                             lastPartRect_ == part && !lastPart_.isNull();
    if (!sameRefresh && !part.isEmpty()) {
      lastPart_ = ImageFromBitmap(
          bitmap, Rect{part.left(), part.top(), part.right() + 1, part.bottom() + 1});
    }
    lastStage_ = stage;
    lastBitmap_ = bitmap.dib.Lock();
    lastPartRect_ = part;
    if (part.isEmpty() || lastPart_.size() != visible.size()) return;
    for (int y = visible.top(); y <= visible.bottom(); ++y) {
      auto* out = reinterpret_cast<QRgb*>(canvas_.scanLine(y));
      const auto* in = reinterpret_cast<const QRgb*>(lastPart_.constScanLine(y - visible.top()));
      for (int x = visible.left(); x <= visible.right(); ++x) {
        if (DissolveStage(x, y) <= stage) out[x] = in[x - visible.left()];
      }
    }
    ShowCanvasPart(visible);
  }
}

QRect OutputWindow::CanvasInView() const {
  const QRectF display(DisplayRect());
  return QRectF((display.topLeft() - origin_) / zoom_, display.size() / zoom_)
      .toAlignedRect()
      .adjusted(-1, -1, 1, 1);
}

void OutputWindow::ShowCanvasPart(const QRect& part) {
  reduced_.Invalidate(part);
  const QRectF shown(origin_ + QPointF(part.topLeft()) * zoom_, QSizeF(part.size()) * zoom_);
  frame_->update(shown.toAlignedRect().adjusted(-2, -2, 2, 2));
}

void OutputWindow::ShowWarningBox(const std::string& text) {
  ShowWarningMessageBox(this, text);
}

QString OutputWindow::AskSaveName(const QString& title, const QString& ending,
                                  const QString& filters, QString* filter) {
  const QString path =
      QFileDialog::getSaveFileName(this, title,
                                   SaveDialogFolder(session_->Request()) + QLatin1Char('/') +
                                       PictureName(session_->Request()) + ending,
                                   filters, filter);
  // Back from the dialog, the window takes the keyboard again for Ctrl S and the zoom keys.
  activateWindow();
  return path;
}

void OutputWindow::Save() {
  if (!Picture() || PaintingRunning()) return;
  QString filter;
  const QString path = AskSaveName(QString::fromUtf8(Tr("Save Picture File")),
                                   QStringLiteral(".png"), SaveFilters(), &filter);
  if (!path.isEmpty()) SaveTo(path, filter);
}

QString OutputWindow::SaveTo(const QString& path, const QString& filter) {
  if (!Picture() || PaintingRunning()) return QString();
  const QString target = path + SaveSuffix(path, filter);
  if (!Saving()) statusBeforeSaving_ = status_->text();
  if (!session_->Save(target)) return QString();
  status_->setText(QString::fromUtf8(Tr("Saving %1...")).arg(QFileInfo(target).fileName()));
  UpdateBusyCursor();
  return target;
}

void OutputWindow::SavesEnded() {
  if (!Saving()) {
    status_->setText(statusBeforeSaving_);
    UpdateBusyCursor();
  }
}

void OutputWindow::SaveEnded(const QString& path, bool saved) {
  SavesEnded();
  if (saved) {
    lastSaveFolder = QFileInfo(path).absolutePath();
    savedName_ = QFileInfo(path).completeBaseName();
  } else {
    ShowWarningMessageBox(this, Tr("The picture could not be saved to\n") + path.toStdString());
  }
  emit SaveFinished(path, saved);
  if (closeWhenIdle_) CloseWhenIdle();
}

void OutputWindow::UpdateMenu() {
  saveAction_->setEnabled(saveButton_->isEnabled());
  printAction_->setEnabled(printButton_->isEnabled());
  timelapseAction_->setEnabled(session_ && session_->HasTimelapse());
}

void OutputWindow::SaveTimelapse() {
  if (!timelapseAction_->isEnabled()) return;
  QString filter;
  const QString path = AskSaveName(QString::fromUtf8(Tr("Save Time-lapse")), QStringLiteral(".mp4"),
                                   TimelapseFilters(), &filter);
  if (!path.isEmpty()) SaveTimelapseTo(path, filter);
}

QString OutputWindow::SaveTimelapseTo(const QString& path, const QString& filter) {
  if (!timelapseAction_->isEnabled()) return QString();
  const QString target = path + TimelapseSuffix(path, filter);
  if (!Saving()) statusBeforeSaving_ = status_->text();
  if (!session_->SaveTimelapse(target)) return QString();
  status_->setText(QString::fromUtf8(Tr("Saving %1...")).arg(QFileInfo(target).fileName()));
  UpdateBusyCursor();
  return target;
}

void OutputWindow::TimelapseSaveEnded(const QString& path, const QString& problem) {
  SavesEnded();
  if (problem.isEmpty()) {
    lastSaveFolder = QFileInfo(path).absolutePath();
  } else {
    ShowWarningMessageBox(this, Tr("The time-lapse could not be saved to\n") + path.toStdString() +
                                    "\n" + problem.toStdString());
  }
  emit TimelapseSaveFinished(path, problem.isEmpty());
  if (closeWhenIdle_) CloseWhenIdle();
}

QString OutputWindow::PictureTitle() const {
  if (!savedName_.isEmpty() || !session_) return savedName_;
  return PictureName(session_->Request());
}

QImage OutputWindow::PaintedImage() const {
  ImgBitmap painted;
  if (!session_ || TakePaintedPicture(Picture(), session_->OutputWidth(), session_->OutputHeight(),
                                      &painted) != 1) {
    return QImage();
  }
  QImage picture = ImageFromBitmap(painted);
  ImgFree(&painted);
  return picture;
}

void OutputWindow::Print() {
  if (!Picture() || PaintingRunning()) return;
  const QImage picture = PaintedImage();
  if (picture.isNull()) {
    ShowWarningMessageBox(this, Tr("The picture could not be printed."));
    return;
  }
  RunPrintPreview(this, picture, PictureTitle());
  activateWindow();
}

bool OutputWindow::PrintTo(QPrinter* printer, const PrintOptions& options) {
  const QImage picture = PaintedImage();
  if (picture.isNull()) return false;
  printer->setDocName(PictureTitle());
  return PrintPicture(printer, picture, options);
}

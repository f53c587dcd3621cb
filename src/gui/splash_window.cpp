// SPDX-FileCopyrightText: The Quillane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "gui/splash_window.h"

#include <QEvent>
#include <QGuiApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QPixmap>
#include <QScreen>
#include <QTimer>
#include <array>

#include "gui/dialog_layout.h"
#include "gui/info_resources.h"

namespace {

constexpr int kSplashMilliseconds = 2500;

constexpr std::array<ControlEntry, 1> kSplashControls = {{
    {103, ControlKind::Picture, "", 0, 0, 273, 153, "Quillane"},
}};

const DialogLayout kSplashLayout = {"", 273, 153, kSplashControls};

// A left click anywhere on the splash ends it early; the picture passes its clicks on.
class CloseOnLeftClick : public QObject {
 public:
  explicit CloseOnLeftClick(QDialog* dialog) : QObject(dialog), dialog_(dialog) {}

 protected:
  bool eventFilter(QObject* /*watched*/, QEvent* event) override {
    if (event->type() == QEvent::MouseButtonPress &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
      dialog_->done(0);
      return true;
    }
    return false;
  }

 private:
  QDialog* dialog_;
};

}  // namespace

void ShowSplashWindow(QWidget* owner) {
  LoadInfoResources();
  TableDialog splash(kSplashLayout, owner);
  splash.setObjectName(QStringLiteral("splashWindow"));
  splash.setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint);
  splash.setModal(true);

  // The picture covers the window entirely. Its dialog units come out a little smaller or larger
  // with the fonts at hand, so the window takes the picture's own size.
  auto* picture = splash.Control<QLabel>(103);
  const QPixmap title(QStringLiteral(":/quillane/splash.png"));
  picture->setPixmap(title);
  picture->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  if (!title.isNull()) {
    splash.setFixedSize(title.size());
    picture->setGeometry(QRect(QPoint(0, 0), title.size()));
  }

  auto* closer = new CloseOnLeftClick(&splash);
  splash.installEventFilter(closer);
  picture->installEventFilter(closer);

  QScreen* screen = owner ? owner->screen() : QGuiApplication::primaryScreen();
  if (screen != nullptr) {
    QRect frame = splash.frameGeometry();
    frame.moveCenter(screen->geometry().center());
    splash.move(frame.topLeft());
  }

  QTimer timer;
  timer.setSingleShot(true);
  timer.setTimerType(Qt::PreciseTimer);
  QObject::connect(&timer, &QTimer::timeout, &splash, [&splash] { splash.done(0); });
  timer.start(kSplashMilliseconds);
  splash.exec();
  timer.stop();
}

// SPDX-FileCopyrightText: The Quillane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "gui/gui_test_helpers.h"

#include <QApplication>
#include <QColor>
#include <QDir>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QPainter>
#include <QTimer>
#include <cstdlib>

#include "base/paths.h"
#include "gui/main_window.h"

GuiTestEnvironment::GuiTestEnvironment() {
  QDir().mkpath(QString::fromStdString(ConfigFolder()));
  QDir().mkpath(QString::fromStdString(ExecutableFolder()));
  if (const char* old = std::getenv("XDG_CONFIG_HOME")) {
    hadConfig_ = true;
    previousConfig_ = old;
  }
  setenv("XDG_CONFIG_HOME", ConfigFolder().c_str(), 1);
  SetExecutableFolder(ExecutableFolder());
  SetSplashAtOpening(false);
}

GuiTestEnvironment::~GuiTestEnvironment() {
  if (hadConfig_) {
    setenv("XDG_CONFIG_HOME", previousConfig_.c_str(), 1);
  } else {
    unsetenv("XDG_CONFIG_HOME");
  }
  SetExecutableFolder("");
}

QImage MakeTestImage(int width, int height) {
  QImage image(width, height, QImage::Format_RGB32);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      image.setPixel(x, y,
                     qRgb((x * 255) / std::max(1, width - 1), (y * 255) / std::max(1, height - 1),
                          ((x + y) * 7) % 256));
    }
  }
  QPainter painter(&image);
  painter.fillRect(width / 4, height / 4, width / 4 + 1, height / 4 + 1, QColor(250, 250, 20));
  painter.fillRect(width / 2, height / 2, width / 5 + 1, height / 6 + 1, QColor(10, 40, 200));
  return image;
}

bool WriteTestPicture(const std::string& path, int width, int height) {
  return MakeTestImage(width, height).save(QString::fromStdString(path), nullptr, 95);
}

bool WaitUntil(const std::function<bool()>& done, int timeoutMs) {
  QElapsedTimer clock;
  clock.start();
  while (!done()) {
    if (clock.elapsed() > timeoutMs) return false;
    QApplication::processEvents(QEventLoop::AllEvents, 10);
  }
  return true;
}

ModalWatcher::ModalWatcher(std::function<bool(QWidget*)> handler)
    : timer_(std::make_unique<QTimer>()), handler_(std::move(handler)) {
  timer_->setInterval(10);
  QObject::connect(timer_.get(), &QTimer::timeout, [this] {
    QWidget* modal = QApplication::activeModalWidget();
    if (modal == nullptr || !modal->isVisible()) return;
    if (handler_ && handler_(modal)) return;
    if (auto* box = qobject_cast<QMessageBox*>(modal)) {
      messages_ << box->text();
      captions_ << box->windowTitle();
      box->done(QMessageBox::Ok);
    }
  });
  timer_->start();
}

ModalWatcher::~ModalWatcher() {
  timer_->stop();
}

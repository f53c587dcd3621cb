// SPDX-FileCopyrightText: The Quillane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "gui/warning_box.h"

#include <QCoreApplication>
#include <QMessageBox>
#include <QMetaObject>
#include <QThread>

namespace {

void ShowOnOwnThread(QWidget* owner, const QString& text) {
  QMessageBox box(QMessageBox::Warning, QStringLiteral("Limnora"), text, QMessageBox::Ok, owner);
  box.exec();
}

}  // namespace

void ShowWarningMessageBox(QWidget* owner, const std::string& text) {
  const QString message = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
  QObject* home = owner ? static_cast<QObject*>(owner) : QCoreApplication::instance();
  if (home == nullptr) return;
  if (QThread::currentThread() == home->thread()) {
    ShowOnOwnThread(owner, message);
    return;
  }
  // The painting thread waits here until the user has closed the box on the window's thread.
  QMetaObject::invokeMethod(
      home, [owner, message] { ShowOnOwnThread(owner, message); }, Qt::BlockingQueuedConnection);
}

// SPDX-FileCopyrightText: The Quillane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

// Helpers for driving the real windows on the offscreen platform.

#include <QImage>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <string>

#include "support/test_support.h"

class QWidget;
class QTimer;

// A fresh configuration folder (the settings file) and executable folder (the example picture)
// for one test; the splash window is skipped so that tests do not wait for it.
class GuiTestEnvironment {
 public:
  GuiTestEnvironment();
  ~GuiTestEnvironment();

  const ScratchFolder& Folder() const { return folder_; }
  std::string ConfigFolder() const { return folder_.File("config"); }
  std::string ExecutableFolder() const { return folder_.File("bin"); }
  std::string ExamplePicture() const { return folder_.File("bin/Example Picture.jpg"); }
  std::string SettingsFile() const { return folder_.File("config/Quillane.dat"); }

 private:
  ScratchFolder folder_;
  std::string previousConfig_;
  bool hadConfig_ = false;
};

// A colourful test picture: a gradient with a few blocks, so that pixels differ everywhere.
QImage MakeTestImage(int width, int height);
// Writes MakeTestImage to `path` (format from the extension); true on success.
bool WriteTestPicture(const std::string& path, int width, int height);

// Runs the event loop until `done` holds or `timeoutMs` passes; returns `done()`.
bool WaitUntil(const std::function<bool()>& done, int timeoutMs = 20000);

// Watches for modal windows while a test runs a nested modal loop. Every 10 ms the handler is
// given the active modal window (if any); message boxes are recorded and closed unless the
// handler has dealt with them.
class ModalWatcher {
 public:
  explicit ModalWatcher(std::function<bool(QWidget*)> handler = nullptr);
  ~ModalWatcher();

  // Texts of the message boxes seen and closed, in order.
  const QStringList& Messages() const { return messages_; }
  // Titles of those boxes.
  const QStringList& Captions() const { return captions_; }

 private:
  std::unique_ptr<QTimer> timer_;
  std::function<bool(QWidget*)> handler_;
  QStringList messages_;
  QStringList captions_;
};

// SPDX-FileCopyrightText: The Quillane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

// A stand-in for the main window in the tests of its companions: a window built from a control
// table with the controls they work on, acting as the window in front. Warnings are recorded
// instead of shown, so that tests can read them.

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <QWidget>
#include <array>
#include <functional>
#include <string>
#include <vector>

#include "gui/dialog_layout.h"
#include "app/owner_windows.h"

inline constexpr std::array<ControlEntry, 12> kCompanionTestControls = {{
    {-1, ControlKind::GroupBox, "选择开始图片(步骤2)", 6, 61, 167, 170},
    {1048, ControlKind::Label, "开始图片:", 13, 73, 42, 9},
    {1000, ControlKind::ReadOnlyEdit, "", 13, 85, 130, 12},
    {1010, ControlKind::PushButton, "...", 144, 85, 20, 12},
    {1050, ControlKind::Label, "图片宽度:", 186, 36, 46, 8},
    {1011, ControlKind::Edit, "", 241, 34, 40, 12},
    {1034, ControlKind::Label, "你的图样列表: (拖曳并放下)", 186, 111, 109, 9},
    {1002, ControlKind::ListBox, "", 186, 123, 140, 40},
    {1005, ControlKind::PushButton, "增加图片(&A)...", 186, 166, 69, 12},
    {1006, ControlKind::PushButton, "移去图片(&R)", 257, 166, 69, 12},
    {1, ControlKind::DefaultPushButton, "绘画!(&P)", 13, 237, 50, 14},
    {2, ControlKind::PushButton, "离开(&E)", 277, 237, 50, 14},
}};

class CompanionTestWindow : public TableDialog, public FrontWindow {
 public:
  CompanionTestWindow()
      : TableDialog(DialogLayout{"Quillane", 340, 255, kCompanionTestControls}, nullptr) {
    messageOwner = this;
    mainWindowHandle = this;
  }
  ~CompanionTestWindow() override {
    if (messageOwner == this) messageOwner = nullptr;
    if (mainWindowHandle == this) mainWindowHandle = nullptr;
  }
  void ShowWarningBox(const std::string& text) override { warnings.push_back(text); }

  std::vector<std::string> warnings;
};

// Runs `body` on the first modal window that opens within `timeoutMs` (while the caller sits in
// its own modal loop). The body is responsible for closing the window.
inline void WhenModalOpens(std::function<void(QWidget*)> body, int timeoutMs = 5000) {
  auto* poll = new QTimer;
  auto* clock = new QElapsedTimer;
  clock->start();
  poll->setInterval(10);
  QObject::connect(poll, &QTimer::timeout, [poll, clock, body, timeoutMs] {
    QWidget* modal = QApplication::activeModalWidget();
    if (modal == nullptr && clock->elapsed() < timeoutMs) return;
    poll->stop();
    poll->deleteLater();
    delete clock;
    if (modal != nullptr) body(modal);
  });
  poll->start();
}

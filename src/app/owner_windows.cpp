// SPDX-FileCopyrightText: The Quillane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/owner_windows.h"

#include <algorithm>
#include <cstdio>

FrontWindow* messageOwner = nullptr;
FrontWindow* mainWindowHandle = nullptr;

void ShowWarning(std::string& text) {
  FrontWindow* owner = messageOwner;
  if (owner == nullptr) return;
  std::replace(text.begin(), text.end(), '|', '\n');
  owner->ShowWarningBox(text);
}

void ShowWarning(const char* text) {
  std::string copy(text ? text : "");
  ShowWarning(copy);
}

void ShowPaintStatus(const std::string& text) {
  FrontWindow* window = mainWindowHandle;
  if (window != nullptr) window->ShowStatus(text);
}

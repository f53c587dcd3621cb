// SPDX-FileCopyrightText: The Quillane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

// The program's warning box: modal, captioned "Limnora", with the warning icon and an OK button.

#include <string>

class QWidget;

// Shows the warning owned by `owner` and returns when the user has closed it. Callable from any
// thread: a painting thread hands the box to the owner's thread and waits for it.
void ShowWarningMessageBox(QWidget* owner, const std::string& text);

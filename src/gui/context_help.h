// SPDX-FileCopyrightText: The Quillane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

// Help on every control of the main window.

#include <string>

class TableDialog;

// The help text of a control of the main window, or null (group boxes).
const char* HelpTextFor(int controlId);
// The text wrapped into lines as the information box shows it.
std::string WrapHelpText(const std::string& text);
// Shows the wrapped text in an information box captioned "Limnora", owned by messageOwner.
void ShowInfo(const char* text);
// The title-bar help button and F1 on the focused control lead to ShowInfo.
void InstallContextHelp(TableDialog* mainWindow);

// SPDX-FileCopyrightText: The Quillane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

// The choice of language inside the program: the main window's context menu (a right click on
// the window outside its boxes), so that no control of the window moves. The choice is written
// to the language file and takes effect at the next start.

class QWidget;

void InstallLanguageMenu(QWidget* window);

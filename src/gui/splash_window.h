// SPDX-FileCopyrightText: The Quillane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

class QWidget;

// Shows the title picture modally; returns after 2.5 seconds or a left click.
void ShowSplashWindow(QWidget* owner);

// SPDX-FileCopyrightText: The Quillane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

class QPoint;
class QRect;
class QWidget;

// The maker's web site, opened by the link and by "网站(&W)".
extern const char kMakerWebAddress[];

// Shows the About window modally.
void ShowAboutWindow(QWidget* owner);

// Whether a point lies on the link control, whose rectangle on screen is given; the right and
// bottom borders belong to it as much as the left and top ones.
bool IsOnLinkControl(const QRect& linkOnScreen, const QPoint& point);

// SPDX-FileCopyrightText: The Quillane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The desktop program's window in front: the window that owns message boxes, and the window
// whose status field and Stop button its paintings reach. Both unset at start-up; set together
// by the windows as they open. Only the program's entry points read them; a painting gets its
// windows handed over in its PaintContext.

#include <string>

#include "base/front_window.h"

extern FrontWindow* messageOwner;
extern FrontWindow* mainWindowHandle;

// Shows a warning owned by messageOwner; '|' in the text becomes a line break, in place.
// Nothing is shown while no window is set.
void ShowWarning(std::string& text);
void ShowWarning(const char* text);

// 1 when the user has pressed Stop in the window in front, 0 otherwise.
inline int PollStop() {
  FrontWindow* w = mainWindowHandle;
  return (w != nullptr && w->StopPressed()) ? 1 : 0;
}

// Writes a status line into the status field of the window in front.
void ShowPaintStatus(const std::string& text);

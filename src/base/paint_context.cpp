// SPDX-FileCopyrightText: The Quillane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "base/paint_context.h"

#include <algorithm>

void PaintContext::Warn(std::string text) {
  std::replace(text.begin(), text.end(), '|', '\n');
  refusal = text;
  if (owner != nullptr) owner->ShowWarningBox(text);
}

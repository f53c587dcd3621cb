// SPDX-FileCopyrightText: The Quillane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "gui/info_resources.h"

#include <QtGlobal>

// The resources are linked from a static library, where nothing else would pull them in.
static void RegisterQuillaneResources() {
  Q_INIT_RESOURCE(quillane);
}

void LoadInfoResources() {
  static const bool registered = (RegisterQuillaneResources(), true);
  (void)registered;
}

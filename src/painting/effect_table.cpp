// SPDX-FileCopyrightText: The Quillane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "painting/effect_table.h"

#include <cstring>

static_assert(
    [] {
      for (int i = 0; i < kEffectCount; ++i) {
        if (kEffectTable[i].kind != i) return false;
      }
      return true;
    }(),
    "kEffectTable is in the order of EffectKind");

const EffectEntry* FindEffectByName(const char* cliName) {
  if (cliName == nullptr) return nullptr;
  for (const EffectEntry& e : kEffectTable) {
    if (std::strcmp(e.cliName, cliName) == 0) return &e;
  }
  return nullptr;
}

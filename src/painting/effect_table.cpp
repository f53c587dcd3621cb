// SPDX-FileCopyrightText: The Quillane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "painting/effect_table.h"

#include <cstring>

// The two pencils run each other's engine number: Colored Pencil is style 3, Charcoal Pencil 2.
const EffectEntry kEffectTable[6] = {
    {PictureMosaic, "mosaic", "Picture Mosaic", kNoPaintStyle},
    {VanGogh, "van-gogh", "Van Gogh", 0},
    {Pointillism, "pointillism", "Pointillism", 1},
    {ColoredPencil, "colored-pencil", "Colored Pencil", 3},
    {CharcoalPencil, "charcoal-pencil", "Charcoal Pencil", 2},
    {BlackAndWhitePhoto, "black-and-white", "Black & White Photo", 4},
};

const EffectEntry* FindEffect(int32_t kind) {
  if (kind < 0 || kind > 5) return nullptr;
  return &kEffectTable[kind];
}

const EffectEntry* FindEffectByName(const char* cliName) {
  if (cliName == nullptr) return nullptr;
  for (const EffectEntry& e : kEffectTable) {
    if (std::strcmp(e.cliName, cliName) == 0) return &e;
  }
  return nullptr;
}

// SPDX-FileCopyrightText: The Quillane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <cstdint>

// The effects in the order of the main window's radio buttons (the Settings field `effect`).
enum EffectKind : int32_t {
  PictureMosaic = 0,
  VanGogh = 1,
  Pointillism = 2,
  ColoredPencil = 3,
  CharcoalPencil = 4,
  BlackAndWhitePhoto = 5,
};

constexpr int kNoPaintStyle = -1;  // the mosaic is not a stroke style

// One row of the dispatch table that the paint driver and the command-line renderer share.
struct EffectEntry {
  EffectKind kind;
  const char* cliName;  // name on the command line, e.g. "van-gogh"
  const char* title;    // name shown to the user, e.g. "Van Gogh"
  int paintStyle;       // PaintStyle run by the painterly engine, or kNoPaintStyle
};

extern const EffectEntry kEffectTable[6];

// The entry for an `effect` value, or null outside 0 to 5.
const EffectEntry* FindEffect(int32_t kind);
// The entry for a command-line name, or null.
const EffectEntry* FindEffectByName(const char* cliName);

// SPDX-FileCopyrightText: The Quillane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "painting/random.h"

namespace {
uint32_t randomState = 1;
}

int32_t randomSeeded = 0;

void SeedRandom(uint32_t seed) {
  randomState = seed;
}

int DrawRandom() {
  randomState = randomState * 214013u + 2531011u;
  return static_cast<int>((randomState >> 16) & 0x7FFF);
}

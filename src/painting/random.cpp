// SPDX-FileCopyrightText: The Quillane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "painting/random.h"

namespace {
Random programRandom;
}

int32_t randomSeeded = 0;

Random& ProgramRandom() {
  return programRandom;
}

void SeedRandom(uint32_t seed) {
  programRandom.Seed(seed);
}

int DrawRandom() {
  return programRandom.Draw();
}

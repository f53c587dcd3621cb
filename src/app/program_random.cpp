// SPDX-FileCopyrightText: The Quillane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/program_random.h"

#include <ctime>

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

uint32_t NextPaintingSeed() {
  // One seeding per run of the program: later paintings continue the same sequence.
  if (randomSeeded == 0) {
    SeedRandom(static_cast<uint32_t>(std::time(nullptr)));
    randomSeeded = 1;
  }
  return programRandom.State();
}

void ContinueRandom(uint32_t state) {
  programRandom.Seed(state);
}

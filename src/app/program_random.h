// SPDX-FileCopyrightText: The Quillane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <cstdint>

#include "base/random.h"

// The desktop program's generator, shared by its paintings: each painting starts from its state
// and hands back where it left it, so that later paintings of the same run go on with the same
// sequence.
Random& ProgramRandom();
void SeedRandom(uint32_t seed);
// The next draw of the program's generator, 0 to 32767.
int DrawRandom();
// Set when the generator has been seeded from the calendar time; never cleared.
extern int32_t randomSeeded;

// The state the next painting starts from: the generator's, seeded from the calendar time first
// when this is the run's first painting.
uint32_t NextPaintingSeed();
// Takes back the state a painting left, for the next one.
void ContinueRandom(uint32_t state);

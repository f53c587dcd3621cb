// SPDX-FileCopyrightText: The Quillane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <cstdint>

#include "base/random.h"

// The desktop program's generator, shared by its paintings: the paint driver hands its state to
// each painting and takes back what the painting left, so that later paintings of the same run
// go on with the same sequence.
Random& ProgramRandom();
void SeedRandom(uint32_t seed);
// The next draw of the program's generator, 0 to 32767.
int DrawRandom();
// Set when the paint driver has seeded the generator; never cleared.
extern int32_t randomSeeded;

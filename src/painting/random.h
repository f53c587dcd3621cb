// SPDX-FileCopyrightText: The Quillane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <cstdint>

// The program's random generator: a linear congruential generator shared by all paintings.
void SeedRandom(uint32_t seed);
// state = state x 214013 + 2531011 (mod 2^32); returns (state >> 16) & 0x7FFF, 0 to 32767.
int DrawRandom();
// Set when the paint driver has seeded the generator; never cleared.
extern int32_t randomSeeded;

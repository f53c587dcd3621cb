// SPDX-FileCopyrightText: The Quillane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>

// The program's random generator, a linear congruential generator: state = state x 214013 +
// 2531011 (mod 2^32), each draw (state >> 16) & 0x7FFF, 0 to 32767. Its whole state is one
// number, so a generator seeded with another's state continues that one's sequence.
class Random {
 public:
  explicit Random(uint32_t state = 1) : state_(state) {}

  // One draw steps the state by x -> kMultiplier x + kIncrement, modulo 2^32.
  static constexpr uint32_t kMultiplier = 214013u;
  static constexpr uint32_t kIncrement = 2531011u;

  void Seed(uint32_t seed) { state_ = seed; }
  int Draw() {
    state_ = state_ * kMultiplier + kIncrement;
    return static_cast<int>((state_ >> 16) & 0x7FFF);
  }
  uint32_t State() const { return state_; }

 private:
  uint32_t state_;
};

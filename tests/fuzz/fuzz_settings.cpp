// SPDX-FileCopyrightText: The Quillane developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The settings file is read at every start, and the user (or a crash, or a full disk) may have
// left anything in it.

#include <cstddef>
#include <cstdint>

#include "fuzz_setup.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzzsetup::LimitImageLibraries();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzzsetup::Require(inputcheck::CheckSettingsBytes(data, size));
  return 0;
}

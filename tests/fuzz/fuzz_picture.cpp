// SPDX-FileCopyrightText: The Quillane developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Pictures come from anywhere: the start picture, the picture list and the picture library.
// The first input byte picks the file's extension (our own Microsoft Paint reader most often)
// and whether a size hint is passed.

#include <cstddef>
#include <cstdint>

#include "fuzz_setup.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzzsetup::LimitImageLibraries();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzzsetup::Require(inputcheck::CheckPictureBytes(data, size));
  return 0;
}

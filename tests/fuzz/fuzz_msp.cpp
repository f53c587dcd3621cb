// SPDX-FileCopyrightText: The Quillane developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Microsoft Paint files are read by the program's own reader, whose pictures then go to
// ImageMagick: sizes just past ImageMagick's limits once ended the whole process there. The
// input picks the sizes from around the limits and supplies the rows.

#include <cstddef>
#include <cstdint>

#include "fuzz_setup.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzzsetup::LimitImageLibraries();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzzsetup::Require(inputcheck::CheckMspSizeBytes(data, size));
  return 0;
}

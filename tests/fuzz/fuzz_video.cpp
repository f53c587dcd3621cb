// SPDX-FileCopyrightText: The Quillane developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Every entry of the picture list and the picture library is first tried as a video, so the
// video reader sees every kind of file.

#include <cstddef>
#include <cstdint>

extern "C" {
#include <libavutil/log.h>
}

#include "fuzz_setup.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzzsetup::LimitImageLibraries();
  // The decoders describe every damaged packet; at fuzzing speed that is mostly noise.
  av_log_set_level(AV_LOG_QUIET);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzzsetup::Require(inputcheck::CheckVideoBytes(data, size));
  return 0;
}

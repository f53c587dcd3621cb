// SPDX-FileCopyrightText: The Quillane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

// What the decoders that read a format straight into the 24-bit bitmap (JPEG, PNG, TIFF) have in
// common. They hold no more than the bitmap and a few rows besides, so only the program's own
// limits on a bitmap apply to them, not the smaller ones ImageMagick's 8-bytes-per-pixel images
// are held to. Internal to the imaging library.

#include <cstdint>

#include "imaging/dib.h"

namespace imaging_internal {

enum class DirectDecode {
  kDecoded,     // the bitmap holds the picture
  kNotHandled,  // a file this decoder leaves to ImageMagick (unusual layouts, damaged data, ...)
  kTooLarge,    // the picture exceeds the program's limits; refused before anything was allocated
  kDamaged,     // a layout the decoder takes, whose data is damaged
};

}  // namespace imaging_internal

// SPDX-FileCopyrightText: The Quillane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

// Reader of Microsoft Paint pictures (both the uncompressed first version and the run-length
// encoded second one). Internal to the imaging library.

#include <cstddef>
#include <cstdint>

#include "imaging/imaging.h"

namespace imaging_internal {

// True when the bytes begin like a Microsoft Paint file of either version.
bool LooksLikeMsp(const uint8_t* data, size_t size);

// The width and height the header declares; false when there is no whole header.
bool MspDeclaredSize(const uint8_t* data, size_t size, int32_t* width, int32_t* height);

// Decodes the file's bytes into the bitmap (black and white, 24 bits). False, with the bitmap
// left alone, for a damaged file or one beyond the picture limits.
bool ReadMsp(const uint8_t* data, size_t size, ImgBitmap* bitmap);

}  // namespace imaging_internal

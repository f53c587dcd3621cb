// SPDX-FileCopyrightText: The Quillane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

// Resizing without ImageMagick, for pictures with a side longer than ImageMagick builds here
// (its policy may hold sides to 16000 pixels, the program's pictures reach 65535). Internal to
// the imaging library.

#include <cstdint>

#include "imaging/imaging.h"

namespace imaging_internal {

// The filters ImgResize chooses between, by how the picture's sides change.
enum class ResizeFilter { kBox, kCatmullRom, kLanczos };
ResizeFilter FilterForSizes(int32_t fromWidth, int32_t fromHeight, int32_t width, int32_t height);

// Resizes in place with `filter`, in two passes (one per direction) through 16-bit samples, as
// ImageMagick does: the pictures look alike, though they are not the same to the bit. Never
// throws. 1 on success; 0 leaves the bitmap as it was.
int ResampleWithoutMagick(ImgBitmap* bitmap, int32_t width, int32_t height, ResizeFilter filter);

}  // namespace imaging_internal

// SPDX-FileCopyrightText: The Quillane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The largest picture the program takes, worked out from the resource limits ImageMagick
// enforces on this machine. Every picture is checked against them before it is built, decoded
// or handed to ImageMagick: past them ImageMagick fails to build the image, and some of its
// callers then abort the whole process instead of reporting the failure.

#include <cstdint>
#include <string>

struct PictureLimits {
  int32_t maxWidth = 0;
  int32_t maxHeight = 0;
  int64_t maxPixels = 0;          // width x height
  uint64_t pixelMemoryBytes = 0;  // ImageMagick's memory for pixels, of which one picture fits
};

// Read once, after the limits of the program have been set (see EnsureMagickReady).
const PictureLimits& GetPictureLimits();

// True when a picture of width x height fits the limits (both sides at least 1).
bool WithinPictureLimits(int64_t width, int64_t height);

// "at most 16000 x 16000 pixels and 26843545 pixels in all (JPEG, PNG and TIFF pictures:
// 100000000 pixels)": for messages. The limits above apply to the pictures ImageMagick decodes; the
// formats the program decodes itself are held only to the bitmap's limits (dib.h).
std::string DescribePictureLimits();

namespace imaging_internal {

// Sets ImageMagick's resource limits for this program: pixels are kept in memory within a
// budget and never spill into files in the temporary folder, so an interrupted run leaves
// nothing behind and a full temporary folder cannot end it. Called once, by EnsureMagickReady.
void ApplyMagickResourceLimits();

}  // namespace imaging_internal

// SPDX-FileCopyrightText: The Quillane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

// Passing pictures between the program's 24-bit bitmaps and ImageMagick images. Internal to the
// imaging library; every function here may throw Magick++ exceptions, which the callers catch.

#include <Magick++.h>

#include "imaging/imaging.h"

namespace imaging_internal {

// Starts ImageMagick once per process and sets its resource limits (resource_limits.h), so
// that a hostile file can take neither unbounded memory nor any disk.
void EnsureMagickReady();

// The picture as an ImageMagick image (8 bits per channel, no alpha). Throws past the picture
// limits or when ImageMagick's pixel memory is used up.
Magick::Image ImageFromBitmap(const ImgBitmap& bitmap);

// Replaces the bitmap's image with the image's pixels as 24-bit colour. Returns false (and
// leaves the bitmap alone) when the image is empty or too large.
bool BitmapFromImage(Magick::Image& image, ImgBitmap* bitmap);

// ImgResize for large pictures: resizes strip by strip, each strip's images holding about
// stripPixels pixels, to the same pixels as one resize of the whole picture. Throws like
// Magick++. 1 on success.
int ResizeInStrips(ImgBitmap* bitmap, int32_t width, int32_t height, int64_t stripPixels);

}  // namespace imaging_internal

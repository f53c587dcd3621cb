// SPDX-FileCopyrightText: The Quillane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

// Passing pictures between the program's 24-bit bitmaps and ImageMagick images. Internal to the
// imaging library; every function here may throw Magick++ exceptions, which the callers catch.

#include <Magick++.h>

#include <string>
#include <vector>

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

// Reads a picture file's content in ImageMagick's format `format` into the bitmap: the
// program's way of reading every picture but for PNG and TIFF files, which have their own
// decoders and come here when those leave them. Most JPEG files are handed on to their own decoder
// after the size has been read. Warnings about damaged data (a truncated JPEG, say) count as
// failures: the picture would be partly grey. Other warnings leave a usable picture. Sets problem
// to kTooLarge when the picture exceeds the limits (resource_limits.h).
bool DecodeWithMagick(const std::vector<uint8_t>& data, const std::string& format,
                      int32_t hintWidth, int32_t hintHeight, ImgBitmap* bitmap,
                      PictureProblem* problem);

// ImgResize for large pictures: resizes strip by strip, each strip's images holding about
// stripPixels pixels, to the same pixels as one resize of the whole picture; up to `threads`
// strips at once. 1 on success, 0 when ImageMagick failed.
int ResizeInStrips(ImgBitmap* bitmap, int32_t width, int32_t height, int64_t stripPixels,
                   int threads = 1);

}  // namespace imaging_internal

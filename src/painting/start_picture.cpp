// SPDX-FileCopyrightText: The Quillane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "painting/start_picture.h"

#include <cstdio>
#include <string>

#include "base/output_size.h"
#include "imaging/imaging.h"
#include "imaging/resource_limits.h"

namespace {

PreparedPicture Failed(int code, std::string reason) {
  PreparedPicture out;
  out.code = code;
  out.reason = std::move(reason);
  return out;
}

// Takes the bitmap's image: 24 bits at the output size.
PreparedPicture Finish(ImgBitmap* bitmap, int32_t width, int32_t height) {
  const OutputSize size = OutputSizeFor(bitmap->width, bitmap->height, width, height);
  if (!WithinPictureLimits(size.width, size.height)) {
    ImgFree(bitmap);
    return Failed(2, "A picture of " + std::to_string(size.width) + " x " +
                         std::to_string(size.height) + " pixels is too large; " +
                         DescribePictureLimits() + ".");
  }
  // No size hint and no reduced decode: the whole picture, resized by one filter, so that every
  // caller paints from the same pixels.
  const int32_t fromWidth = bitmap->width, fromHeight = bitmap->height;
  if (ImgSetColorDepth(bitmap, bitmap, 24, 0) != 1 ||
      ImgResize(bitmap, size.width, size.height, 2) != 1) {
    if (bitmap->hasImage) ImgFree(bitmap);
    // Within the limits, what fails is room in ImageMagick's pixel memory for the picture,
    // the result and the step between them.
    char text[192];
    std::snprintf(text, sizeof text,
                  "cannot make a picture of %d x %d pixels from one of %d x %d within the %llu MiB "
                  "of pixel memory ImageMagick may use here",
                  size.width, size.height, fromWidth, fromHeight,
                  static_cast<unsigned long long>(GetPictureLimits().pixelMemoryBytes >> 20));
    return Failed(1, text);
  }
  PreparedPicture out;
  out.picture = ImgToDib(bitmap);
  if (!out.picture) return Failed(1, "out of memory");
  return out;
}

}  // namespace

PreparedPicture PrepareStartPicture(const std::string& path, int32_t width, int32_t height) {
  ImgBitmap bitmap;
  ImgInitHandle(&bitmap, 0, 0, 0);
  PictureProblem problem = PictureProblem::kNotRecognized;
  if (path.empty() || ImgLoadPictureFile(path.c_str(), &bitmap, &problem) != 1) {
    switch (problem) {
      case PictureProblem::kUnreadable:
        return Failed(2, "The start picture cannot be read (permission denied).");
      case PictureProblem::kTooLarge:
        return Failed(2, "The picture is too large; " + DescribePictureLimits() + ".");
      default:
        return Failed(2, "File is format not recognized.");
    }
  }
  return Finish(&bitmap, width, height);
}

PreparedPicture PrepareStartPicture(const DibHandle& picture, int32_t width, int32_t height) {
  ImgBitmap bitmap;
  ImgInitHandle(&bitmap, 0, 0, 0);
  if (!picture || ImgFromDibBits(&bitmap, picture.Header(), picture.Pixels()) != 1) {
    return Failed(2, "File is format not recognized.");
  }
  return Finish(&bitmap, width, height);
}

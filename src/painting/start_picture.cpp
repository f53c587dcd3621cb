// SPDX-FileCopyrightText: The Quillane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "painting/start_picture.h"

#include <cstdio>
#include <string>

#include "base/output_size.h"
#include "imaging/imaging.h"
#include "imaging/resource_limits.h"
#include "painting/painting_memory.h"

namespace {

PreparedPicture Failed(int code, std::string reason) {
  PreparedPicture out;
  out.code = code;
  out.reason = std::move(reason);
  return out;
}

// Takes the bitmap's image: 24 bits at the output size.
PreparedPicture Finish(ImgBitmap* bitmap, int32_t width, int32_t height, int32_t effect) {
  const OutputSize size = OutputSizeFor(bitmap->width, bitmap->height, width, height);
  // Sizes beyond the picture limits are refused by the resize itself.
  if (WithinProgramLimits(size.width, size.height)) {
    std::string problem =
        PaintingMemoryProblem(effect, bitmap->width, bitmap->height, size.width, size.height);
    if (!problem.empty()) {
      ImgFree(bitmap);
      PreparedPicture out = Failed(2, std::move(problem));
      out.tooLarge = true;
      return out;
    }
  }
  // No size hint and no reduced decode: the whole picture, resized by one filter, so that every
  // caller paints from the same pixels.
  const int32_t fromWidth = bitmap->width, fromHeight = bitmap->height;
  if (ImgSetColorDepth(bitmap, bitmap, 24, 0) != 1 ||
      ImgResize(bitmap, size.width, size.height, 2) != 1) {
    if (bitmap->hasImage) ImgFree(bitmap);
    // Past ImageMagick's limits on a side, no strip of the picture can be built.
    char text[192];
    std::snprintf(text, sizeof text,
                  "cannot make a picture of %d x %d pixels from one of %d x %d (ImageMagick takes "
                  "at most %d x %d here)",
                  size.width, size.height, fromWidth, fromHeight, GetPictureLimits().maxWidth,
                  GetPictureLimits().maxHeight);
    return Failed(1, text);
  }
  PreparedPicture out;
  out.picture = ImgToDib(bitmap);
  if (!out.picture) return Failed(1, "out of memory");
  return out;
}

}  // namespace

PreparedPicture PrepareStartPicture(const std::string& path, int32_t width, int32_t height,
                                    int32_t effect) {
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
  return Finish(&bitmap, width, height, effect);
}

PreparedPicture PrepareStartPicture(const DibHandle& picture, int32_t width, int32_t height,
                                    int32_t effect) {
  ImgBitmap bitmap;
  ImgInitHandle(&bitmap, 0, 0, 0);
  if (!picture || ImgFromDibBits(&bitmap, picture.Header(), picture.Pixels()) != 1) {
    return Failed(2, "File is format not recognized.");
  }
  return Finish(&bitmap, width, height, effect);
}

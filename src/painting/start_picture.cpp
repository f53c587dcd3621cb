// SPDX-FileCopyrightText: The Quillane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "painting/start_picture.h"

#include <filesystem>
#include <string>
#include <system_error>

#include "base/language.h"
#include "base/output_size.h"
#include "base/paint_context.h"
#include "base/processors.h"
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

// 100000000 as 100,000,000: long numbers in messages are read at a glance.
std::string GroupDigits(uint64_t number) {
  std::string digits = std::to_string(number);
  for (size_t at = digits.size(); at > 3; at -= 3) digits.insert(at - 3, 1, ',');
  return digits;
}

// Takes the bitmap's image: 24 bits at the output size.
PreparedPicture Finish(ImgBitmap* bitmap, int32_t width, int32_t height, int32_t effect,
                       int threads) {
  const OutputSize size = OutputSizeFor(bitmap->width, bitmap->height, width, height);
  // Refused before anything of the output size is made: beyond the limits, or beyond memory.
  std::string refusal = OutputSizeRefusal(size.width, size.height);
  if (refusal.empty()) {
    refusal = PaintingMemoryProblem(effect, bitmap->width, bitmap->height, size.width, size.height);
  }
  if (!refusal.empty()) {
    ImgFree(bitmap);
    PreparedPicture out = Failed(kPaintRefused, std::move(refusal));
    out.tooLarge = true;
    return out;
  }
  // No size hint and no reduced decode: the whole picture, resized by one filter, so that every
  // caller paints from the same pixels.
  if (ImgSetColorDepth(bitmap, bitmap, 24, 0) != 1 ||
      ImgResize(bitmap, size.width, size.height, 2, ThreadsOrAll(threads)) != 1) {
    if (bitmap->hasImage) ImgFree(bitmap);
    return Failed(kPaintFailed, Tr("There is not enough memory to make a picture of ") +
                                    std::to_string(size.width) + " x " +
                                    std::to_string(size.height) + Tr(" pixels."));
  }
  PreparedPicture out;
  out.picture = ImgToDib(bitmap);
  if (!out.picture) return Failed(kPaintFailed, "out of memory");
  return out;
}

// Why the start picture at `path` did not load, naming it: a file that is not there or is a
// folder is no picture in an unknown format.
std::string StartPictureRefusal(const std::string& path, PictureProblem problem) {
  std::error_code error;
  const std::filesystem::file_status status = std::filesystem::status(path, error);
  std::string text;
  if (problem == PictureProblem::kUnreadable) {
    text = Tr("The start picture cannot be read (permission denied).");
  } else if (problem == PictureProblem::kTooLarge) {
    text = Tr("The picture is too large; ") + DescribePictureLimits() + ".";
  } else if (path.empty() || status.type() == std::filesystem::file_type::not_found) {
    text = Tr("The start picture does not exist.");
  } else if (std::filesystem::is_directory(status)) {
    text = Tr("The start picture is a folder, not a picture file.");
  } else {
    text = Tr("File is format not recognized.");
  }
  return text + " (" + path + ")";
}

}  // namespace

std::string OutputSizeRefusal(int32_t width, int32_t height) {
  if (WithinProgramLimits(width, height)) return std::string();
  return Tr("The output size ") + std::to_string(width) + " x " + std::to_string(height) +
         Tr(" cannot be painted.|Width and height must each be from 1 to ") +
         std::to_string(kMaxPictureSide) + Tr(" pixels, and the picture at most ") +
         GroupDigits(kMaxPicturePixels) + Tr(" pixels in all.");
}

PreparedPicture PrepareStartPicture(const std::string& path, int32_t width, int32_t height,
                                    int32_t effect, int threads) {
  ImgBitmap bitmap;
  ImgInitHandle(&bitmap, 0, 0, 0);
  PictureProblem problem = PictureProblem::kNotRecognized;
  if (path.empty() || ImgLoadPictureFile(path.c_str(), &bitmap, &problem) != 1) {
    return Failed(kPaintRefused, StartPictureRefusal(path, problem));
  }
  return Finish(&bitmap, width, height, effect, threads);
}

PreparedPicture PrepareStartPicture(const DibHandle& picture, int32_t width, int32_t height,
                                    int32_t effect, int threads) {
  ImgBitmap bitmap;
  ImgInitHandle(&bitmap, 0, 0, 0);
  if (!picture || ImgFromDibBits(&bitmap, picture.Header(), picture.Pixels()) != 1) {
    return Failed(kPaintRefused, Tr("File is format not recognized."));
  }
  return Finish(&bitmap, width, height, effect, threads);
}

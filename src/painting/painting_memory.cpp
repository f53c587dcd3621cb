// SPDX-FileCopyrightText: The Quillane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "painting/painting_memory.h"

#include <algorithm>
#include <cstdio>

#include "base/language.h"
#include "effects/stroke_placement.h"
#include "imaging/imaging.h"
#include "painting/effect_table.h"

namespace {

// Libraries, status texts, tile pictures and the other small blocks of a run.
constexpr int64_t kRunningRoom = 64ll << 20;

int64_t PictureBytes(int64_t width, int64_t height) {
  return DibRowBytes(width, 24) * height;
}

}  // namespace

int64_t PaintingMemoryNeed(int32_t effect, int32_t sourceWidth, int32_t sourceHeight, int32_t width,
                           int32_t height) {
  const int64_t source = PictureBytes(sourceWidth, sourceHeight);
  const int64_t picture = PictureBytes(width, height);
  const int64_t framed =
      PictureBytes(int64_t{width} + 2 * kCanvasMargin, int64_t{height} + 2 * kCanvasMargin);
  // Resizing holds the start picture, the result and, between the two passes, 16-bit samples
  // of the start picture filtered in one direction.
  int64_t need = source;
  if (width != sourceWidth || height != sourceHeight) {
    const bool acrossFirst =
        static_cast<double>(width) / sourceWidth > static_cast<double>(height) / sourceHeight;
    const int64_t middle =
        6 * (acrossFirst ? int64_t{width} * sourceHeight : int64_t{sourceWidth} * height);
    need = source + middle + picture;
  }
  // The stroke styles paint on a framed canvas beside the framed reference picture; the pencils
  // keep a colour copy of it as well.
  if (const EffectEntry* entry = FindEffect(effect)) {
    need = std::max(need, entry->framedPictures * framed);
  }
  // The JPEG writer keeps two bytes for every sample of the picture to optimise its coding.
  need = std::max(need, 3 * picture);
  return need + kRunningRoom;
}

std::string PaintingMemoryProblem(int32_t effect, int32_t sourceWidth, int32_t sourceHeight,
                                  int32_t width, int32_t height) {
  const int64_t need = PaintingMemoryNeed(effect, sourceWidth, sourceHeight, width, height);
  const int64_t allowance = ImgMemoryAllowance();
  if (need <= allowance) return std::string();
  constexpr int64_t kMiB = 1 << 20;
  char text[256];
  // It is the start picture, read and resized, that needs the memory when a start picture of the
  // painting's size would fit, or when reading and resizing it adds more than the painting
  // itself needs (so little memory is left that neither fits): the message names it.
  const int64_t sameSize = PaintingMemoryNeed(effect, width, height, width, height);
  const bool startPicture = sameSize <= allowance || need - sameSize > sameSize;
  std::snprintf(
      text, sizeof text,
      startPicture ? Tr("The start picture of %d x %d pixels needs about %lld MB of memory "
                        "to be read and resized, but only %lld MB can be had. Choose a "
                        "smaller start picture.")
                   : Tr("A picture of %d x %d pixels needs about %lld MB of memory, but "
                        "only %lld MB can be had. Choose a smaller size."),
      startPicture ? sourceWidth : width, startPicture ? sourceHeight : height,
      static_cast<long long>((need + kMiB - 1) / kMiB), static_cast<long long>(allowance / kMiB));
  return text;
}

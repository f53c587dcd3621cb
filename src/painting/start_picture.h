// SPDX-FileCopyrightText: The Quillane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The start picture as a painting needs it: decoded in full, 24 bits per pixel, at the output
// size. The output window and the renderer prepare it here, so that both paint the same pixels.

#include <cstdint>
#include <string>

#include "imaging/dib.h"

struct PreparedPicture {
  DibHandle picture;      // empty on failure
  int code = 0;           // 0 prepared; kPaintRefused (not a picture, or too large); kPaintFailed
  std::string reason;     // why it failed; a start picture that does not load is named in it,
                          // "(path)" at the end; '|' marks where a warning box breaks the line
  bool tooLarge = false;  // refused: the size is beyond the limits, or painting `effect` at it
                          // needs more memory than the process can have; the reason says which
};

// Empty when a picture of width x height can be painted (the limits of dib.h); otherwise the
// message that refuses it, naming the limits.
std::string OutputSizeRefusal(int32_t width, int32_t height);

// Loads the picture file and brings it to width x height (see OutputSizeFor: a side of 0 or
// less follows the other, both 0 keep the picture's own size). A size whose painting with
// `effect` (EffectKind) would not fit in memory is refused before the picture is resized. A
// large resize runs on up to `threads` threads (0: every usable processor).
PreparedPicture PrepareStartPicture(const std::string& path, int32_t width, int32_t height,
                                    int32_t effect, int threads = 0);
// The same for a picture already in memory (any bit depth that ImgFromDibBits reads).
PreparedPicture PrepareStartPicture(const DibHandle& picture, int32_t width, int32_t height,
                                    int32_t effect, int threads = 0);

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
  int code = 0;           // 0 prepared; 2 refused (not a picture, or too large); 1 another failure
  std::string reason;     // why it failed
  bool tooLarge = false;  // refused: painting `effect` at this size needs more memory than
                          // the process can have; the reason tells the user so
};

// Loads the picture file and brings it to width x height (see OutputSizeFor: a side of 0 or
// less follows the other, both 0 keep the picture's own size). A size whose painting with
// `effect` (EffectKind) would not fit in memory is refused before the picture is resized.
PreparedPicture PrepareStartPicture(const std::string& path, int32_t width, int32_t height,
                                    int32_t effect);
// The same for a picture already in memory (any bit depth that ImgFromDibBits reads).
PreparedPicture PrepareStartPicture(const DibHandle& picture, int32_t width, int32_t height,
                                    int32_t effect);

// SPDX-FileCopyrightText: The Quillane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The picture that leaves the program after a painting: what the window's Save and the renderer
// write.

#include <cstdint>

#include "imaging/dib.h"

// Writes the painted picture held in `held` to `path` (the extension picks the format) at the
// output size. A stroke painting stopped half-way hands back its whole canvas, the picture inside
// the black margin its strokes may run into; only the picture is written, cut centred to
// width x height. A picture no larger than that is written as it is. 1 on success.
int SavePaintedPicture(const char* path, const DibHandle& held, int32_t width, int32_t height);

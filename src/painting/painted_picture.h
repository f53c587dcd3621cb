// SPDX-FileCopyrightText: The Quillane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The picture that leaves the program after a painting: what the window's Save and Print and the
// renderer write.

#include <cstdint>
#include <string>

#include "imaging/dib.h"
#include "imaging/imaging.h"

// The painted picture held in `held`, at the output size, into `bitmap` (which the caller frees).
// A stroke painting stopped half-way hands back its whole canvas, the picture inside the black
// margin its strokes may run into; only the picture is taken, cut centred to width x height. A
// picture no larger than that is taken as it is. 1 on success.
int TakePaintedPicture(const DibHandle& held, int32_t width, int32_t height, ImgBitmap* bitmap);

// Writes that picture to `path`; the extension picks the format. 1 on success; otherwise the
// reason is in `problem` when given and known.
int SavePaintedPicture(const char* path, const DibHandle& held, int32_t width, int32_t height,
                       std::string* problem = nullptr);
// The same, taking the picture over: it is cut and written in place, without a copy, which at
// poster sizes is the difference between the writer fitting in memory or not.
int SavePaintedPicture(const char* path, DibHandle&& held, int32_t width, int32_t height,
                       std::string* problem = nullptr);

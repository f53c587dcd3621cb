// SPDX-FileCopyrightText: The Quillane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

// Whether a painting fits in the memory the program can have, worked out before any picture of
// the output size is made, so that a poster too large for this machine is refused with a reason
// instead of failing part way through.

#include <cstdint>
#include <string>

// Bytes a painting with `effect` (EffectKind) holds at its peak: its start picture of
// sourceWidth x sourceHeight resized to width x height, the painting itself and the writing of
// the result, with room for the program's own needs.
int64_t PaintingMemoryNeed(int32_t effect, int32_t sourceWidth, int32_t sourceHeight, int32_t width,
                           int32_t height);

// Empty when the painting fits in the memory the process can have (ImgMemoryAllowance);
// otherwise the message that tells the user why the picture is refused.
std::string PaintingMemoryProblem(int32_t effect, int32_t sourceWidth, int32_t sourceHeight,
                                  int32_t width, int32_t height);

// SPDX-FileCopyrightText: The Quillane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Comparing paintings with the reference pictures in tests/data, pixel for pixel.

#include <gtest/gtest.h>

#include <string>

#include "imaging/dib.h"

// A picture file decoded to a packed 24-bit bitmap, or an empty handle.
DibHandle DecodePicture(const std::string& path);

// Whether the picture file `painted` has exactly the pixels of `reference`. When it has not,
// the painted picture and a difference picture (black where the two agree) are written to the
// folder reference-failures of the build folder as <name>-painted.png and
// <name>-difference.png, and the message names them.
::testing::AssertionResult MatchesReference(const std::string& painted,
                                            const std::string& reference, const std::string& name);

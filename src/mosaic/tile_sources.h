// SPDX-FileCopyrightText: The Quillane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <cstdint>

struct MosaicOptions;
struct MosaicRun;
struct PaintContext;

// Offers every tile source of the options' picture list and picture library to the run, one at
// a time, with a progress line in the status field after each. 0 when all were offered, else
// the first non-zero result of MatchTileSource.
int32_t WalkTileSources(MosaicRun& run, PaintContext& paint, const MosaicOptions& options);

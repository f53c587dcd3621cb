// SPDX-FileCopyrightText: The Quillane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// What a picture mosaic is made of: the grid and the tile sources. A plain value; new choices
// are added as fields with defaults that keep today's mosaic.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "mosaic/tile_limits.h"
#include "mosaic/tile_report.h"

struct MosaicOptions {
  int32_t tilesAcross = 15;
  int32_t tilesDown = 15;                // used when autoSizeTilesDown is off
  bool autoSizeTilesDown = true;         // rows that make the tiles about 4 : 3
  std::vector<std::string> pictureList;  // pictures and AVI files, in this order
  bool useList = true;
  // Folder of the picture library. Empty: the stock "Picture Library" folder beside the
  // executable.
  std::string libraryFolder;
  bool useLibrary = true;
  // How many tile sources may be loaded ahead of the one being matched, on a thread of their
  // own; 0 loads each one when it is needed. The mosaic is the same either way.
  int lookahead = 8;
  // Threads that decode ahead; 0 for one per core. Paintings that run side by side share the
  // cores between them.
  int decoders = 0;
  // Limits on repeats of a tile source; none by default.
  TileLimits limits;
  // Called once at the end of the run, finished or stopped, with the tiles as they stand and
  // the tile source each shows; not called when the run was refused. Asking for it leaves the
  // mosaic as it is.
  std::function<void(const TileAssignment&)> receiveTiles;
  // The picture index that keeps prepared tile pictures between runs (an SQLite file, made
  // when missing); empty for none. The mosaic is the same with or without it.
  std::string indexFile;
};

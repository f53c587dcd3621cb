// SPDX-FileCopyrightText: The Quillane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <cstdint>
#include <string>

// Folder of the picture library, ending in '/'. Empty means the stock "Picture Library" folder
// beside the executable; the command-line renderer may point it elsewhere.
extern std::string pictureLibraryFolder;

// Offers every tile source of the picture list and the picture library to the mosaic, one at a
// time. 0 when all were offered, else the first non-zero result of MatchTileSource.
int32_t WalkTileSources();

// SPDX-FileCopyrightText: The Quillane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Which tile source went where in a finished (or stopped) mosaic, and its file form.

#include <cstdint>
#include <string>
#include <vector>

// One tile of the mosaic as drawn.
struct MosaicTile {
  int32_t column = 0;  // from 0, left to right
  int32_t row = 0;     // from 0, top to bottom
  // The tile's own pixels in the picture; the tile picture drawn there reaches one pixel
  // further to the right and down, under the next tile's picture.
  int32_t left = 0;
  int32_t top = 0;
  int32_t width = 0;
  int32_t height = 0;
  std::string source;  // path of the tile source shown there; empty: the start picture
  int32_t frame = -1;  // the video frame shown; -1 for a still picture or none
};

// The tiles in tile-walk order: rows top to bottom, each left to right.
using TileAssignment = std::vector<MosaicTile>;

// The assignment as CSV: the line "column,row,left,top,width,height,source,frame", then one
// line per tile. A path holding a comma, a double quote or a line break is quoted.
std::string TileReportText(const TileAssignment& tiles);

// Writes the report to `path` as every file of the program is written (see ReplaceFileWith):
// the file is either the whole report or left as it was. False with the reason in *problem when
// it cannot be written.
bool WriteTileReport(const std::string& path, const TileAssignment& tiles, std::string* problem);

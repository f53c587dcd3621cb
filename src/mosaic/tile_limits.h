// SPDX-FileCopyrightText: The Quillane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Which tile source holds each tile of a mosaic, and the optional limits on how often and how
// close together one tile source may appear.

#include <cstddef>
#include <cstdint>
#include <vector>

// Limits on repeats. Neither is on by default: the plain mosaic lets a tile source fill any
// number of tiles, side by side.
struct TileLimits {
  int32_t maxUses = 0;      // most tiles one tile source holds; 0: no limit
  int32_t minDistance = 0;  // least distance, in tiles, between two tiles of one source; 0, 1: none

  bool Any() const { return maxUses > 0 || minDistance > 1; }
};

// Holder of a tile that still shows the start picture.
constexpr int32_t kNoTileSource = -1;

// A tile that a tile source would win under the plain rule.
struct TileWin {
  int64_t tile = 0;       // index in tile-walk order
  bool empty = false;     // nothing placed there yet (or only black): taken whatever the distance
  float improvement = 0;  // distance in place minus the source's distance; for an empty tile,
                          // minus the source's distance, so that the closest match comes first
};

class TileHolders {
 public:
  // A grid of columns x rows tiles, all showing the start picture.
  TileHolders(int64_t columns, int64_t rows, TileLimits limits);

  int64_t Columns() const { return columns_; }
  int64_t Rows() const { return rows_; }
  int32_t Holder(int64_t tile) const { return holder_[static_cast<size_t>(tile)]; }
  int64_t Uses(int32_t source) const;

  // The tile source `source` (a number from 0 up, the same number for the same picture or
  // frame) takes what it can of `wins`, which lists each tile at most once, in tile-walk order;
  // `wins` is left holding the tiles taken, in tile-walk order, for drawing.
  //
  // Without limits every win is taken. With limits the source takes its wins best first: every
  // empty tile before any other, the empty ones by closeness of the match and the others by how
  // much the source improves on the picture in place, equal cases in tile-walk order. A win is
  // skipped when taking it would give the source more than maxUses tiles, or a tile nearer than
  // minDistance (the larger of the column and row differences) to one it holds already. A tile
  // taken from another source no longer counts for that one, so a picture offered again, or a
  // picture's tile that a later source took, may be used again. The order depends on the
  // distances and the tile numbers alone, so the mosaic is the same on every run.
  void Take(int32_t source, std::vector<TileWin>* wins);

 private:
  bool Allowed(int32_t source, int64_t tile) const;
  void Assign(int64_t tile, int32_t source);

  int64_t columns_;
  int64_t rows_;
  TileLimits limits_;
  std::vector<int32_t> holder_;             // per tile
  std::vector<size_t> slot_;                // per tile, its place in its holder's held_ list
  std::vector<std::vector<int64_t>> held_;  // per source, the tiles it holds, in no order
};

// SPDX-FileCopyrightText: The Quillane developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The limits on repeats work inside the matching walk: each tile source is still matched once
// against every tile, in the order the walk offers them, and still only competes with the
// picture in place. The limits only decide which of the tiles it would win it may keep, so with
// no limit set the mosaic is the plain one.

#include "mosaic/tile_limits.h"

#include <algorithm>

TileHolders::TileHolders(int64_t columns, int64_t rows, TileLimits limits)
    : columns_(std::max<int64_t>(columns, 0)),
      rows_(std::max<int64_t>(rows, 0)),
      limits_(limits),
      holder_(static_cast<size_t>(columns_ * rows_), kNoTileSource),
      slot_(holder_.size(), 0) {}

int64_t TileHolders::Uses(int32_t source) const {
  if (source < 0 || static_cast<size_t>(source) >= held_.size()) return 0;
  return static_cast<int64_t>(held_[static_cast<size_t>(source)].size());
}

void TileHolders::Assign(int64_t tile, int32_t source) {
  const size_t t = static_cast<size_t>(tile);
  const int32_t previous = holder_[t];
  if (previous == source) return;
  if (previous != kNoTileSource) {
    // The tile leaves its former holder's list; the last entry fills the gap.
    std::vector<int64_t>& list = held_[static_cast<size_t>(previous)];
    const size_t at = slot_[t];
    list[at] = list.back();
    slot_[static_cast<size_t>(list[at])] = at;
    list.pop_back();
  }
  if (static_cast<size_t>(source) >= held_.size()) held_.resize(static_cast<size_t>(source) + 1);
  std::vector<int64_t>& list = held_[static_cast<size_t>(source)];
  slot_[t] = list.size();
  list.push_back(tile);
  holder_[t] = source;
}

bool TileHolders::Allowed(int32_t source, int64_t tile) const {
  // A tile the source holds already is only drawn again.
  if (holder_[static_cast<size_t>(tile)] == source) return true;
  const int64_t uses = Uses(source);
  if (limits_.maxUses > 0 && uses >= limits_.maxUses) return false;
  if (limits_.minDistance <= 1 || uses == 0) return true;

  const int64_t reach = static_cast<int64_t>(limits_.minDistance) - 1;
  const int64_t column = tile % columns_, row = tile / columns_;
  const int64_t left = std::max<int64_t>(column - reach, 0);
  const int64_t right = std::min(column + reach, columns_ - 1);
  const int64_t top = std::max<int64_t>(row - reach, 0);
  const int64_t bottom = std::min(row + reach, rows_ - 1);
  // Whichever is shorter: the tiles around this one, or the list of the source's tiles.
  if ((right - left + 1) * (bottom - top + 1) <= uses) {
    for (int64_t r = top; r <= bottom; ++r) {
      for (int64_t c = left; c <= right; ++c) {
        if (holder_[static_cast<size_t>(r * columns_ + c)] == source) return false;
      }
    }
    return true;
  }
  for (const int64_t other : held_[static_cast<size_t>(source)]) {
    const int64_t dc = other % columns_ - column, dr = other / columns_ - row;
    if (std::max(dc < 0 ? -dc : dc, dr < 0 ? -dr : dr) <= reach) return false;
  }
  return true;
}

void TileHolders::Take(int32_t source, std::vector<TileWin>* wins) {
  if (source < 0) {
    wins->clear();
    return;
  }
  if (!limits_.Any()) {
    for (const TileWin& win : *wins) Assign(win.tile, source);
    return;
  }
  std::sort(wins->begin(), wins->end(), [](const TileWin& a, const TileWin& b) {
    if (a.empty != b.empty) return a.empty;
    if (a.improvement != b.improvement) return a.improvement > b.improvement;
    return a.tile < b.tile;
  });
  size_t kept = 0;
  for (const TileWin& win : *wins) {
    if (!Allowed(source, win.tile)) continue;
    Assign(win.tile, source);
    (*wins)[kept++] = win;
  }
  wins->resize(kept);
  std::sort(wins->begin(), wins->end(),
            [](const TileWin& a, const TileWin& b) { return a.tile < b.tile; });
}

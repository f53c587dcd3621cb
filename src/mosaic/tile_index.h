// SPDX-FileCopyrightText: The Quillane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// A persistent index of prepared tile sources, so that a photo collection used again and again
// is decoded once. For every file it remembers what the walk found in it (nothing, a picture, or
// so many frames of a video), and for every tile size in use the tile pictures exactly as the
// matching reads them: the packed bitmap at the cover size and its signature. A file is known
// by its canonical path, size, modification time, inode change time and inode number; any
// change and it is decoded again. Nothing read back is trusted that can be checked: a row whose
// values, sizes or checksum do not hold is passed over and its file decoded again.
//
// The index is a cache: whatever goes wrong with it (a damaged, locked or unwritable file) gives
// it up for the run, with a reason for the caller to show once, and the mosaic goes on decoding.
// A file that is not an index of this program is never written, marked or deleted; only a
// missing path or an empty file becomes a new index.

#include <cstdint>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "mosaic/mosaic_internals.h"

struct sqlite3;
struct sqlite3_stmt;

constexpr int64_t kDefaultTileIndexBytes = int64_t{1} << 30;

// The index the desktop program uses: "tile-index.sqlite" in $XDG_CACHE_HOME/quillane/, or in
// ~/.cache/quillane/ when that is not set. Empty when neither can be told.
std::string DefaultTileIndexPath();

// A file as the index knows it.
struct TileSourceFile {
  std::string path;      // canonical: absolute, no symbolic links
  int64_t size = 0;      // bytes
  int64_t modified = 0;  // modification time, nanoseconds
  int64_t changed = 0;   // inode change time, nanoseconds: tools that keep the modification
                         // time cannot keep this one
  int64_t inode = 0;
};
// The identity of the plain file at `path`; false for anything else or a file that has gone.
bool IdentifyTileSourceFile(const std::string& path, TileSourceFile* file);

// What the walk found in a file.
enum class TileSourceKind : int32_t { kNone = 0, kPicture = 1, kVideo = 2 };
struct TileSourceOutcome {
  TileSourceKind kind = TileSourceKind::kNone;
  int32_t frameCount = 0;   // a video's frame count
  int32_t framesTaken = 0;  // tile sources it gave: 1 for a picture, frames 0, 15, ... for a video
};

// The tile size that tile pictures were prepared for, compared bit for bit.
struct TileSize {
  float width = 0;
  float height = 0;
};

class TileIndex {
 public:
  // Opens the index file, making it and its folder when they do not exist. Never fails: an index
  // that cannot be used says why in Problem() and answers every question with "not known".
  explicit TileIndex(const std::string& file, int64_t maxBytes = kDefaultTileIndexBytes);
  ~TileIndex();
  TileIndex(const TileIndex&) = delete;
  TileIndex& operator=(const TileIndex&) = delete;

  bool Usable() const { return db_ != nullptr; }
  // Why the index was given up; empty while it is in use.
  const std::string& Problem() const { return problem_; }
  // Whether the file was found damaged and made anew, empty.
  bool Rebuilt() const { return rebuilt_; }

  // What the index holds for the file, when it holds the file as it is now and, for a picture or
  // a video, all its tile pictures at this size. *id is the handle for ReadTile.
  bool Find(const TileSourceFile& file, TileSize size, TileSourceOutcome* outcome, int64_t* id);
  // The tile picture of frame `frame` (0 for a picture) of a file that Find reported.
  bool ReadTile(int64_t id, int32_t frame, TileSize size, PreparedTile* tile);

  // Remembers a file with its outcome and tile pictures (frame number, packed bitmap bytes and
  // signature); written by the next Flush.
  struct Tile {
    int32_t frame = 0;
    std::vector<uint8_t> block;
    int32_t patchCount = 0;
    ColorRef colors[kMaxSignaturePatches] = {};
  };
  void Add(const TileSourceFile& file, const TileSourceOutcome& outcome, TileSize size,
           std::vector<Tile> tiles);
  // Files of `folder` (canonical, without a trailing '/') not among `present` are dropped by the
  // next Flush; files in folders below it are not touched.
  void ForgetMissing(const std::string& folder, std::set<std::string> present);

  // Writes what was added, marks what was found as used, and keeps the index within its size by
  // dropping the tile pictures used least recently.
  void Flush();

  // Bytes of tile pictures and signatures held; -1 when unusable.
  int64_t StoredBytes();

 private:
  void Open(const std::string& file);
  bool CreateIndexFile(const std::string& file);
  bool Prepare(bool isNew);
  bool MakeReady(bool isNew);
  // `error`: SQLite's code for the reason, when it is no longer the connection's last one.
  void GiveUp(const std::string& what, int error = -1);
  bool Exec(const char* sql);
  void WriteAdded();
  void Trim();
  void Compact();

  sqlite3* db_ = nullptr;
  std::string file_;
  int64_t maxBytes_;
  int64_t stamp_ = 0;  // use time of this run
  std::string problem_;
  bool rebuilt_ = false;
  int lastError_ = 0;  // SQLite's code for the failure that gave the index up

  sqlite3_stmt* findFile_ = nullptr;
  sqlite3_stmt* countTiles_ = nullptr;
  sqlite3_stmt* readTile_ = nullptr;

  struct Added {
    TileSourceFile file;
    TileSourceOutcome outcome;
    TileSize size;
    std::vector<Tile> tiles;
  };
  std::vector<Added> added_;
  size_t addedBytes_ = 0;  // waiting to be written
  int64_t runBytes_ = 0;   // found or added during this run
  int64_t stored_ = -1;    // bytes in the index as far as known; -1 not counted yet
  struct Used {
    int64_t id;
    TileSize size;
  };
  std::vector<Used> used_;
  std::vector<std::pair<std::string, std::set<std::string>>> forget_;
};

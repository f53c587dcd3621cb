// SPDX-FileCopyrightText: The Quillane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "mosaic/tile_index.h"

#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "imaging/imaging.h"

namespace {

// Marks the file as this program's index, so that a damaged one may be replaced without fear of
// destroying a file the user named by mistake.
constexpr int32_t kApplicationId = 0x51544958;
// Bumped whenever what a row means changes; with the library versions it decides whether the
// stored pictures are still what a decoding would make.
constexpr const char* kLayout = "tile index 1";
// Added files are written once this many bytes wait, so that a long cold run keeps little in
// memory and loses little when it is stopped.
constexpr size_t kWriteBatchBytes = 8u << 20;
// How long a run waits for another one that is writing to the same index.
constexpr int kBusyMilliseconds = 5000;
// Bytes counted for a row besides its blobs.
constexpr int64_t kRowOverhead = 64;
// Free space in the file past which the file is made smaller at the end of a run.
constexpr int64_t kCompactBytes = 64 << 20;

int32_t FloatBits(float value) {
  int32_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  return bits;
}

// Whether the file starts as an SQLite database carrying this program's mark.
bool IsOwnIndexFile(const std::string& file) {
  std::ifstream in(file, std::ios::binary);
  unsigned char header[72] = {};
  if (!in.read(reinterpret_cast<char*>(header), sizeof header)) return false;
  if (std::memcmp(header, "SQLite format 3", 16) != 0) return false;
  const int32_t id = (header[68] << 24) | (header[69] << 16) | (header[70] << 8) | header[71];
  return id == kApplicationId;
}

void RemoveIndexFiles(const std::string& file) {
  for (const char* suffix : {"", "-wal", "-shm"}) ::unlink((file + suffix).c_str());
}

// A prepared statement that resets itself when it goes out of use.
class Statement {
 public:
  Statement(sqlite3* db, const char* sql) { sqlite3_prepare_v2(db, sql, -1, &s_, nullptr); }
  // One of the index's kept statements; it may be finalized while in use when the index is
  // given up, hence the address.
  explicit Statement(sqlite3_stmt** shared) : s_(*shared), shared_(shared) {}
  ~Statement() {
    if (shared_ == nullptr) {
      sqlite3_finalize(s_);
    } else if (*shared_ != nullptr) {
      sqlite3_reset(s_);
      sqlite3_clear_bindings(s_);
    }
  }
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;

  bool Ok() const { return s_ != nullptr; }
  Statement& Bind(int i, int64_t v) {
    sqlite3_bind_int64(s_, i, v);
    return *this;
  }
  Statement& Bind(int i, const std::string& v) {
    sqlite3_bind_text(s_, i, v.data(), static_cast<int>(v.size()), SQLITE_TRANSIENT);
    return *this;
  }
  Statement& BindBlob(int i, const void* data, size_t bytes) {
    sqlite3_bind_blob64(s_, i, data, bytes, SQLITE_STATIC);
    return *this;
  }
  // SQLITE_ROW, SQLITE_DONE or an error code.
  int Step() { return s_ ? sqlite3_step(s_) : SQLITE_ERROR; }
  int64_t Int(int column) const { return sqlite3_column_int64(s_, column); }
  std::string Text(int column) const {
    const auto* text = sqlite3_column_text(s_, column);
    return text ? reinterpret_cast<const char*>(text) : "";
  }
  const uint8_t* Blob(int column, size_t* bytes) const {
    const void* data = sqlite3_column_blob(s_, column);
    *bytes = static_cast<size_t>(sqlite3_column_bytes(s_, column));
    return static_cast<const uint8_t*>(data);
  }

 private:
  sqlite3_stmt* s_ = nullptr;
  sqlite3_stmt** shared_ = nullptr;
};

// Bytes a tile picture's row is counted with.
int64_t RowBytes(const TileIndex::Tile& tile) {
  return static_cast<int64_t>(tile.block.size()) + 4 * tile.patchCount + kRowOverhead;
}

// Whether a stored block is a 24-bit packed bitmap as ImgToDib makes them.
bool IsTileBlock(const uint8_t* data, size_t bytes) {
  if (data == nullptr || bytes < kDibHeaderSize) return false;
  BitmapInfoHeader header;
  std::memcpy(&header, data, sizeof header);
  if (header.biSize != kDibHeaderSize || header.biBitCount != 24 || header.biWidth <= 0 ||
      header.biHeight <= 0 || header.biWidth > kMaxPictureSide ||
      header.biHeight > kMaxPictureSide) {
    return false;
  }
  return bytes == kDibHeaderSize + static_cast<size_t>(DibRowBytes(header.biWidth, 24)) *
                                       static_cast<size_t>(header.biHeight);
}

}  // namespace

std::string DefaultTileIndexPath() {
  std::string folder;
  const char* cache = std::getenv("XDG_CACHE_HOME");
  const char* home = std::getenv("HOME");
  // A relative XDG_CACHE_HOME is invalid and to be ignored.
  if (cache != nullptr && cache[0] == '/') {
    folder = cache;
  } else if (home != nullptr && home[0] != '\0') {
    folder = std::string(home) + "/.cache";
  } else {
    return std::string();
  }
  return folder + "/quillane/tile-index.sqlite";
}

bool IdentifyTileSourceFile(const std::string& path, TileSourceFile* file) {
  struct stat info;
  if (::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return false;
  char* canonical = ::realpath(path.c_str(), nullptr);
  if (canonical == nullptr) return false;
  file->path = canonical;
  std::free(canonical);
  file->size = static_cast<int64_t>(info.st_size);
  file->modified = static_cast<int64_t>(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec;
  return true;
}

TileIndex::TileIndex(const std::string& file, int64_t maxBytes) : file_(file), maxBytes_(maxBytes) {
  stamp_ = std::chrono::duration_cast<std::chrono::microseconds>(
               std::chrono::system_clock::now().time_since_epoch())
               .count();
  Open(file);
}

TileIndex::~TileIndex() {
  Flush();
  Compact();
  GiveUp(std::string());
}

void TileIndex::Open(const std::string& file) {
  std::error_code error;
  const std::filesystem::path parent = std::filesystem::path(file).parent_path();
  if (!parent.empty()) std::filesystem::create_directories(parent, error);
  if (error) {
    problem_ = "cannot make the folder " + parent.string() + ": " + error.message();
    return;
  }
  // A damaged index of this program, or one in the program's own cache folder, is made anew;
  // any other damaged file is left alone, since it may be something else named by mistake.
  const bool mayReplace = file == DefaultTileIndexPath() || IsOwnIndexFile(file);
  for (int attempt = 0; attempt < 2; ++attempt) {
    const int opened =
        sqlite3_open_v2(file.c_str(), &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
    if (opened == SQLITE_OK && Prepare()) return;
    if (db_ != nullptr) GiveUp(sqlite3_errmsg(db_));
    if (attempt == 0 && mayReplace &&
        (lastError_ == SQLITE_NOTADB || lastError_ == SQLITE_CORRUPT)) {
      RemoveIndexFiles(file);
      problem_.clear();
      rebuilt_ = true;
      continue;
    }
    return;
  }
}

bool TileIndex::Exec(const char* sql) {
  if (db_ == nullptr) return false;
  if (sqlite3_exec(db_, sql, nullptr, nullptr, nullptr) == SQLITE_OK) return true;
  GiveUp(sqlite3_errmsg(db_));
  return false;
}

bool TileIndex::Prepare() {
  sqlite3_busy_timeout(db_, kBusyMilliseconds);
  // Fails on a file that is no database at all.
  if (!Exec("PRAGMA auto_vacuum = INCREMENTAL") || !Exec("PRAGMA journal_mode = WAL") ||
      !Exec("PRAGMA synchronous = NORMAL") || !Exec("PRAGMA mmap_size = 268435456")) {
    return false;
  }
  // Pictures prepared by other library versions, or rows of another layout, may not be what a
  // decoding would make now: they all go. An index in use needs no writing here, so that a run
  // never waits for another one to open it.
  const std::string version = std::string(kLayout) + "; " + ImgLibraryVersions();
  auto sameVersion = [&] {
    Statement read(db_, "SELECT value FROM meta WHERE key = 'version'");
    return read.Ok() && read.Step() == SQLITE_ROW && read.Text(0) == version;
  };
  if (!sameVersion()) {
    char mark[64];
    std::snprintf(mark, sizeof mark, "PRAGMA application_id = %d", kApplicationId);
    if (!Exec("BEGIN IMMEDIATE") || !Exec(mark) ||
        !Exec("CREATE TABLE IF NOT EXISTS meta (key TEXT PRIMARY KEY, value TEXT NOT NULL)") ||
        !Exec("CREATE TABLE IF NOT EXISTS files (id INTEGER PRIMARY KEY, path TEXT UNIQUE NOT "
              "NULL, size INTEGER NOT NULL, modified INTEGER NOT NULL, kind INTEGER NOT NULL, "
              "frame_count INTEGER NOT NULL, frames_taken INTEGER NOT NULL)") ||
        !Exec("CREATE TABLE IF NOT EXISTS tiles (file INTEGER NOT NULL, tile_width INTEGER NOT "
              "NULL, tile_height INTEGER NOT NULL, frame INTEGER NOT NULL, used INTEGER NOT "
              "NULL, bytes INTEGER NOT NULL, colors BLOB NOT NULL, block BLOB NOT NULL, "
              "UNIQUE (file, tile_width, tile_height, frame))") ||
        !Exec("CREATE INDEX IF NOT EXISTS tiles_by_use ON tiles (used)")) {
      return false;
    }
    // Another run may have done the same meanwhile.
    if (!sameVersion()) {
      Statement write(db_, "INSERT OR REPLACE INTO meta (key, value) VALUES ('version', ?)");
      write.Bind(1, version);
      if (!Exec("DELETE FROM tiles") || !Exec("DELETE FROM files")) return false;
      if (write.Step() != SQLITE_DONE) {
        GiveUp(sqlite3_errmsg(db_));
        return false;
      }
    }
    if (!Exec("COMMIT")) return false;
  }

  sqlite3_prepare_v3(db_,
                     "SELECT id, size, modified, kind, frame_count, frames_taken FROM files "
                     "WHERE path = ?",
                     -1, SQLITE_PREPARE_PERSISTENT, &findFile_, nullptr);
  sqlite3_prepare_v3(db_,
                     "SELECT COUNT(*), COALESCE(SUM(bytes), 0) FROM tiles WHERE file = ? AND "
                     "tile_width = ? AND tile_height = ?",
                     -1, SQLITE_PREPARE_PERSISTENT, &countTiles_, nullptr);
  sqlite3_prepare_v3(db_,
                     "SELECT colors, block FROM tiles WHERE file = ? AND tile_width = ? AND "
                     "tile_height = ? AND frame = ?",
                     -1, SQLITE_PREPARE_PERSISTENT, &readTile_, nullptr);
  if (findFile_ == nullptr || countTiles_ == nullptr || readTile_ == nullptr) {
    GiveUp(sqlite3_errmsg(db_));
    return false;
  }
  return true;
}

void TileIndex::GiveUp(const std::string& what) {
  if (db_ != nullptr) {
    const int code = sqlite3_errcode(db_);
    lastError_ = code;
    sqlite3_finalize(findFile_);
    sqlite3_finalize(countTiles_);
    sqlite3_finalize(readTile_);
    findFile_ = countTiles_ = readTile_ = nullptr;
    sqlite3_close_v2(db_);
    db_ = nullptr;
    // Damage found on the way in an index of this program: the next run makes it anew.
    if (!what.empty() && (code == SQLITE_CORRUPT || code == SQLITE_NOTADB) &&
        IsOwnIndexFile(file_)) {
      RemoveIndexFiles(file_);
    }
  }
  added_.clear();
  used_.clear();
  forget_.clear();
  if (problem_.empty() && !what.empty()) problem_ = what;
}

bool TileIndex::Find(const TileSourceFile& file, TileSize size, TileSourceOutcome* outcome,
                     int64_t* id) {
  if (db_ == nullptr) return false;
  Statement find(&findFile_);
  find.Bind(1, file.path);
  const int step = find.Step();
  if (step != SQLITE_ROW) {
    if (step != SQLITE_DONE) GiveUp(sqlite3_errmsg(db_));
    return false;
  }
  if (find.Int(1) != file.size || find.Int(2) != file.modified) return false;
  *id = find.Int(0);
  outcome->kind = static_cast<TileSourceKind>(find.Int(3));
  outcome->frameCount = static_cast<int32_t>(find.Int(4));
  outcome->framesTaken = static_cast<int32_t>(find.Int(5));
  if (outcome->kind == TileSourceKind::kNone) return true;

  Statement count(&countTiles_);
  count.Bind(1, *id).Bind(2, FloatBits(size.width)).Bind(3, FloatBits(size.height));
  if (count.Step() != SQLITE_ROW) {
    GiveUp(sqlite3_errmsg(db_));
    return false;
  }
  if (count.Int(0) != outcome->framesTaken) return false;
  used_.push_back({*id, size});
  runBytes_ += count.Int(1);
  return true;
}

bool TileIndex::ReadTile(int64_t id, int32_t frame, TileSize size, PreparedTile* tile) {
  if (db_ == nullptr) return false;
  Statement read(&readTile_);
  read.Bind(1, id).Bind(2, FloatBits(size.width)).Bind(3, FloatBits(size.height)).Bind(4, frame);
  const int step = read.Step();
  if (step != SQLITE_ROW) {
    if (step != SQLITE_DONE) GiveUp(sqlite3_errmsg(db_));
    return false;
  }
  size_t colorBytes = 0, blockBytes = 0;
  const uint8_t* colors = read.Blob(0, &colorBytes);
  const uint8_t* block = read.Blob(1, &blockBytes);
  if (!IsTileBlock(block, blockBytes) || colorBytes % 4 != 0 || colorBytes > sizeof tile->colors) {
    return false;
  }
  tile->block = DibHandle::Allocate(blockBytes);
  if (!tile->block) return false;
  std::memcpy(tile->block.Lock(), block, blockBytes);
  tile->patchCount = static_cast<int32_t>(colorBytes / 4);
  for (int32_t j = 0; j < tile->patchCount; ++j) {
    const uint8_t* c = colors + 4 * j;
    tile->colors[j] = static_cast<ColorRef>(c[0] | (c[1] << 8) | (c[2] << 16) |
                                            (static_cast<uint32_t>(c[3]) << 24));
  }
  return true;
}

void TileIndex::Add(const TileSourceFile& file, const TileSourceOutcome& outcome, TileSize size,
                    std::vector<Tile> tiles) {
  if (db_ == nullptr) return;
  int64_t bytes = 0;
  for (const Tile& tile : tiles) bytes += RowBytes(tile);
  // What one run uses or adds is never dropped in the same run, so once the run has filled the
  // index the rest of its pictures stay out: writing them would only push out its own.
  if (runBytes_ + bytes > maxBytes_) return;
  runBytes_ += bytes;
  addedBytes_ += static_cast<size_t>(bytes);
  added_.push_back({file, outcome, size, std::move(tiles)});
  if (addedBytes_ >= kWriteBatchBytes) Flush();
}

void TileIndex::ForgetMissing(const std::string& folder, std::set<std::string> present) {
  if (db_ == nullptr) return;
  forget_.emplace_back(folder, std::move(present));
}

void TileIndex::WriteAdded() {
  for (const Added& a : added_) {
    int64_t id = 0;
    bool known = false;
    {
      Statement find(&findFile_);
      find.Bind(1, a.file.path);
      if (find.Step() == SQLITE_ROW) {
        known = true;
        id = find.Int(0);
        // Tile pictures of an earlier state of the file are of no more use at any size.
        if (find.Int(1) != a.file.size || find.Int(2) != a.file.modified ||
            find.Int(3) != static_cast<int64_t>(a.outcome.kind) ||
            find.Int(5) != a.outcome.framesTaken) {
          Statement drop(db_, "DELETE FROM tiles WHERE file = ?");
          if (drop.Bind(1, id).Step() != SQLITE_DONE) return GiveUp(sqlite3_errmsg(db_));
        }
      }
    }
    Statement file(db_, known ? "UPDATE files SET size = ?2, modified = ?3, kind = ?4, "
                                "frame_count = ?5, frames_taken = ?6 WHERE id = ?1"
                              : "INSERT INTO files (id, size, modified, kind, frame_count, "
                                "frames_taken, path) VALUES (NULL, ?2, ?3, ?4, ?5, ?6, ?7)");
    if (known) file.Bind(1, id);
    file.Bind(2, a.file.size)
        .Bind(3, a.file.modified)
        .Bind(4, static_cast<int64_t>(a.outcome.kind))
        .Bind(5, a.outcome.frameCount)
        .Bind(6, a.outcome.framesTaken);
    if (!known) file.Bind(7, a.file.path);
    if (file.Step() != SQLITE_DONE) return GiveUp(sqlite3_errmsg(db_));
    if (!known) id = sqlite3_last_insert_rowid(db_);

    for (const Tile& tile : a.tiles) {
      uint8_t colors[4 * kMaxSignaturePatches];
      for (int32_t j = 0; j < tile.patchCount; ++j) {
        for (int b = 0; b < 4; ++b)
          colors[4 * j + b] = static_cast<uint8_t>(tile.colors[j] >> (8 * b));
      }
      const size_t colorBytes = 4 * static_cast<size_t>(tile.patchCount);
      Statement insert(db_,
                       "INSERT OR REPLACE INTO tiles (file, tile_width, tile_height, frame, used, "
                       "bytes, colors, block) VALUES (?, ?, ?, ?, ?, ?, ?, ?)");
      insert.Bind(1, id)
          .Bind(2, FloatBits(a.size.width))
          .Bind(3, FloatBits(a.size.height))
          .Bind(4, tile.frame)
          .Bind(5, stamp_)
          .Bind(6, RowBytes(tile))
          .BindBlob(7, colors, colorBytes)
          .BindBlob(8, tile.block.data(), tile.block.size());
      if (insert.Step() != SQLITE_DONE) return GiveUp(sqlite3_errmsg(db_));
      // A replaced row is counted twice: the index is trimmed a little early, never late.
      if (stored_ >= 0) stored_ += RowBytes(tile);
    }
  }
}

void TileIndex::Trim() {
  if (stored_ < 0) {
    Statement sum(db_, "SELECT COALESCE(SUM(bytes), 0) FROM tiles");
    if (sum.Step() != SQLITE_ROW) return GiveUp(sqlite3_errmsg(db_));
    stored_ = sum.Int(0);
  }
  if (stored_ <= maxBytes_) return;
  std::vector<int64_t> dropped;
  {
    // Least recently used first: what this run has used and added comes last and stays, since
    // the run keeps what it uses and adds within the size.
    Statement oldest(db_, "SELECT rowid, bytes FROM tiles ORDER BY used, rowid");
    while (stored_ > maxBytes_ && oldest.Step() == SQLITE_ROW) {
      dropped.push_back(oldest.Int(0));
      stored_ -= oldest.Int(1);
    }
  }
  for (int64_t rowid : dropped) {
    Statement drop(db_, "DELETE FROM tiles WHERE rowid = ?");
    if (drop.Bind(1, rowid).Step() != SQLITE_DONE) return GiveUp(sqlite3_errmsg(db_));
  }
}

void TileIndex::Compact() {
  if (db_ == nullptr) return;
  Statement free(db_,
                 "SELECT freelist_count * page_size FROM pragma_freelist_count, pragma_page_size");
  if (free.Step() == SQLITE_ROW && free.Int(0) > kCompactBytes) {
    sqlite3_exec(db_, "PRAGMA incremental_vacuum", nullptr, nullptr, nullptr);
  }
}

void TileIndex::Flush() {
  if (db_ == nullptr || (added_.empty() && used_.empty() && forget_.empty())) return;
  if (!Exec("BEGIN IMMEDIATE")) return;
  WriteAdded();
  for (const Used& u : used_) {
    if (db_ == nullptr) return;
    Statement touch(db_,
                    "UPDATE tiles SET used = ? WHERE file = ? AND tile_width = ? AND "
                    "tile_height = ?");
    touch.Bind(1, stamp_).Bind(2, u.id).Bind(3, FloatBits(u.size.width));
    if (touch.Bind(4, FloatBits(u.size.height)).Step() != SQLITE_DONE) {
      return GiveUp(sqlite3_errmsg(db_));
    }
  }
  for (const auto& [folder, present] : forget_) {
    if (db_ == nullptr) return;
    std::vector<int64_t> gone;
    {
      // Paths below folder + "/" sort before folder + "0", '0' following '/'.
      Statement list(db_, "SELECT id, path FROM files WHERE path > ? AND path < ?");
      list.Bind(1, folder + "/").Bind(2, folder + "0");
      while (list.Step() == SQLITE_ROW) {
        const std::string path = list.Text(1);
        if (path.find('/', folder.size() + 1) != std::string::npos) continue;
        if (present.count(path) == 0) gone.push_back(list.Int(0));
      }
    }
    if (!gone.empty()) stored_ = -1;  // counted again when needed
    for (int64_t id : gone) {
      Statement tiles(db_, "DELETE FROM tiles WHERE file = ?");
      Statement file(db_, "DELETE FROM files WHERE id = ?");
      if (tiles.Bind(1, id).Step() != SQLITE_DONE || file.Bind(1, id).Step() != SQLITE_DONE) {
        return GiveUp(sqlite3_errmsg(db_));
      }
    }
  }
  // Also without additions: the index may hold more than its size allows, left by a run with a
  // larger size.
  if (db_ != nullptr) Trim();
  if (db_ == nullptr || !Exec("COMMIT")) return;
  added_.clear();
  addedBytes_ = 0;
  used_.clear();
  forget_.clear();
}

int64_t TileIndex::StoredBytes() {
  if (db_ == nullptr) return -1;
  Statement sum(db_, "SELECT COALESCE(SUM(bytes), 0) FROM tiles");
  return sum.Step() == SQLITE_ROW ? sum.Int(0) : -1;
}

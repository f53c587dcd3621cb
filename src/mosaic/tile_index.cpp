// SPDX-FileCopyrightText: The Quillane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "mosaic/tile_index.h"

#include <fcntl.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <vector>

#include "base/language.h"
#include "imaging/imaging.h"
#include "mosaic/tile_source_loader.h"

namespace {

// Marks the file as this program's index, so that a damaged one may be replaced without fear of
// destroying a file the user named by mistake.
constexpr int32_t kApplicationId = 0x51544958;
// Bumped whenever what a row means changes; with the library versions it decides whether the
// stored pictures are still what a decoding would make.
constexpr const char* kLayout = "tile index 2";
// The index's tables, in the order they are made. A file of this program whose tables are
// described otherwise is of an older layout, or damaged, and they are made anew.
constexpr const char* kSchema[] = {
    "CREATE TABLE meta (key TEXT PRIMARY KEY, value TEXT NOT NULL)",
    "CREATE TABLE files (id INTEGER PRIMARY KEY, path TEXT UNIQUE NOT NULL, size INTEGER NOT "
    "NULL, modified INTEGER NOT NULL, changed INTEGER NOT NULL, inode INTEGER NOT NULL, kind "
    "INTEGER NOT NULL, frame_count INTEGER NOT NULL, frames_taken INTEGER NOT NULL)",
    "CREATE TABLE tiles (file INTEGER NOT NULL, tile_width INTEGER NOT NULL, tile_height INTEGER "
    "NOT NULL, frame INTEGER NOT NULL, used INTEGER NOT NULL, bytes INTEGER NOT NULL, checksum "
    "INTEGER NOT NULL, colors BLOB NOT NULL, block BLOB NOT NULL, UNIQUE (file, tile_width, "
    "tile_height, frame))",
    "CREATE INDEX tiles_by_use ON tiles (used)",
};
constexpr const char* kNotAnIndex =
    TrNoop("it is not a picture index of this program and is left alone");
constexpr char kCannotMake[] = TrNoop("cannot make %1: %2");
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

enum class IndexFile { kMissing, kEmpty, kOwn, kOther, kNotRegular, kUnreadable };

// What is at `file`, told before SQLite opens it: its type first, so that a pipe or a device is
// never read, then the mark in the header of a regular file.
IndexFile ExamineIndexFile(const std::string& file, int* error) {
  struct stat info {};
  if (::stat(file.c_str(), &info) != 0) {
    *error = errno;
    return errno == ENOENT ? IndexFile::kMissing : IndexFile::kUnreadable;
  }
  if (!S_ISREG(info.st_mode)) return IndexFile::kNotRegular;
  if (info.st_size == 0) return IndexFile::kEmpty;
  // Without waiting, and checked again once open: the path may have changed in between.
  const int fd = ::open(file.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) {
    *error = errno;
    return IndexFile::kUnreadable;
  }
  unsigned char header[72] = {};
  const bool regular = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
  const bool read = regular && ::pread(fd, header, sizeof header, 0) == sizeof header;
  ::close(fd);
  if (!regular) return IndexFile::kNotRegular;
  if (!read || std::memcmp(header, "SQLite format 3", 16) != 0) return IndexFile::kOther;
  const int32_t id = (header[68] << 24) | (header[69] << 16) | (header[70] << 8) | header[71];
  return id == kApplicationId ? IndexFile::kOwn : IndexFile::kOther;
}

bool IsOwnIndexFile(const std::string& file) {
  int error = 0;
  return ExamineIndexFile(file, &error) == IndexFile::kOwn;
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

// How SQLite describes the tables of the open database; SQLITE_DONE, or the error that
// stopped the reading.
int SchemaOf(sqlite3* db, std::string* text) {
  Statement list(db,
                 "SELECT type, name, tbl_name, COALESCE(sql, '') FROM sqlite_master ORDER BY "
                 "type, name");
  int step;
  while ((step = list.Step()) == SQLITE_ROW) {
    for (int column = 0; column < 4; ++column) *text += list.Text(column) + '\x1f';
    *text += '\x1e';
  }
  return step;
}

// The description of the index's own tables, as made in an empty database.
const std::string& OwnSchema() {
  static const std::string schema = [] {
    sqlite3* db = nullptr;
    std::string text;
    if (sqlite3_open(":memory:", &db) == SQLITE_OK) {
      for (const char* sql : kSchema) sqlite3_exec(db, sql, nullptr, nullptr, nullptr);
      SchemaOf(db, &text);
    }
    sqlite3_close(db);
    return text;
  }();
  return schema;
}

// What an open database holds; read inside a transaction. For kUnreadable, *error is SQLite's
// code for the reason.
enum class Content { kNew, kCurrent, kStale, kDamaged, kForeign, kUnreadable };
Content Classify(sqlite3* db, const std::string& version, int* error) {
  int64_t id = 0;
  {
    Statement mark(db, "PRAGMA application_id");
    const int step = mark.Step();
    if (step != SQLITE_ROW) {
      *error = mark.Ok() ? step : sqlite3_errcode(db);
      return Content::kUnreadable;
    }
    id = mark.Int(0);
  }
  std::string schema;
  if (const int step = SchemaOf(db, &schema); step != SQLITE_DONE) {
    *error = step == SQLITE_ERROR ? sqlite3_errcode(db) : step;
    return Content::kUnreadable;
  }
  if (id == 0 && schema.empty()) return Content::kNew;
  if (id != kApplicationId) return Content::kForeign;
  Statement read(db, "SELECT value FROM meta WHERE key = 'version'");
  const bool hasVersion = read.Ok() && read.Step() == SQLITE_ROW;
  const std::string stored = hasVersion ? read.Text(0) : std::string();
  // Other tables under another version are those of an older layout; under this version, or
  // without one, they are damage.
  if (schema == OwnSchema()) {
    if (!hasVersion) return Content::kDamaged;
    return stored == version ? Content::kCurrent : Content::kStale;
  }
  return hasVersion && stored != version ? Content::kStale : Content::kDamaged;
}

// Whether an outcome read back is one the walk can have found.
bool PlausibleOutcome(const TileSourceOutcome& o) {
  switch (o.kind) {
    case TileSourceKind::kNone:
      return o.frameCount == 0 && o.framesTaken == 0;
    case TileSourceKind::kPicture:
      return o.frameCount == 0 && o.framesTaken == 1;
    case TileSourceKind::kVideo:
      return o.framesTaken >= 1 && o.frameCount >= 0 &&
             (o.framesTaken == 1 ||
              static_cast<int64_t>(o.framesTaken - 1) * kFrameStep < o.frameCount);
  }
  return false;
}

// The checksum a tile picture's row carries: of its key as well, so that a row moved to
// another file, size or frame fails it too.
int64_t TileChecksum(int64_t file, int32_t width, int32_t height, int32_t frame,
                     const uint8_t* colors, size_t colorBytes, const uint8_t* block,
                     size_t blockBytes) {
  uint8_t key[20];
  for (int b = 0; b < 8; ++b) key[b] = static_cast<uint8_t>(static_cast<uint64_t>(file) >> (8 * b));
  for (int b = 0; b < 4; ++b) {
    key[8 + b] = static_cast<uint8_t>(static_cast<uint32_t>(width) >> (8 * b));
    key[12 + b] = static_cast<uint8_t>(static_cast<uint32_t>(height) >> (8 * b));
    key[16 + b] = static_cast<uint8_t>(static_cast<uint32_t>(frame) >> (8 * b));
  }
  uLong sum = crc32_z(0, key, sizeof key);
  if (colorBytes > 0) sum = crc32_z(sum, colors, colorBytes);
  if (blockBytes > 0) sum = crc32_z(sum, block, blockBytes);
  return static_cast<int64_t>(sum);
}

// Bytes a tile picture's row is counted with.
int64_t RowBytes(const TileIndex::Tile& tile) {
  return static_cast<int64_t>(tile.block.size()) + 4 * tile.patchCount + kRowOverhead;
}

// Whether a stored block is a 24-bit packed bitmap as ImgToDib makes them for tiles of this
// size, with as many signature colours as its size gives.
bool IsTileBlock(const uint8_t* data, size_t bytes, TileSize size, size_t colorBytes) {
  if (data == nullptr || bytes < kDibHeaderSize) return false;
  BitmapInfoHeader header;
  std::memcpy(&header, data, sizeof header);
  if (header.biSize != kDibHeaderSize || header.biBitCount != 24 || header.biWidth <= 0 ||
      header.biHeight <= 0 || header.biWidth > kMaxPictureSide ||
      header.biHeight > kMaxPictureSide ||
      !CoversTileSize(header.biWidth, header.biHeight, size.width, size.height) ||
      colorBytes != 4 * static_cast<size_t>(SignaturePatchCount(header.biWidth, header.biHeight))) {
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
  file->changed = static_cast<int64_t>(info.st_ctim.tv_sec) * 1000000000 + info.st_ctim.tv_nsec;
  file->inode = static_cast<int64_t>(info.st_ino);
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
    problem_ = TrFormat("cannot make the folder %1: %2", {parent.string(), error.message()});
    return;
  }
  // Only a missing path or an empty file becomes a new index. A file of the program's own cache
  // folder that is no index is its index damaged past the header, and made anew; any other
  // file may be something else named by mistake, and is left alone.
  bool isNew = false;   // an empty file, made an index in place
  bool create = false;  // made whole under another name and moved into place
  int failure = 0;
  switch (ExamineIndexFile(file, &failure)) {
    case IndexFile::kMissing:
      create = true;
      break;
    case IndexFile::kEmpty:
      isNew = true;
      break;
    case IndexFile::kOwn:
      break;
    case IndexFile::kNotRegular:
      problem_ = Tr("it is not a regular file");
      return;
    case IndexFile::kUnreadable:
      problem_ = TrFormat("it cannot be read: %1", {std::strerror(failure)});
      return;
    case IndexFile::kOther:
      if (file != DefaultTileIndexPath()) {
        problem_ = Tr(kNotAnIndex);
        return;
      }
      RemoveIndexFiles(file);
      rebuilt_ = create = true;
      break;
  }
  for (int attempt = 0; attempt < 2; ++attempt) {
    if (create && !CreateIndexFile(file)) return;
    const int opened = sqlite3_open_v2(
        file.c_str(), &db_, SQLITE_OPEN_READWRITE | (isNew ? SQLITE_OPEN_CREATE : 0), nullptr);
    if (opened == SQLITE_OK && Prepare(isNew)) return;
    if (db_ != nullptr) GiveUp(sqlite3_errmsg(db_));
    if (attempt == 0 && (lastError_ == SQLITE_NOTADB || lastError_ == SQLITE_CORRUPT) &&
        IsOwnIndexFile(file)) {
      RemoveIndexFiles(file);
      problem_.clear();
      rebuilt_ = create = true;
      isNew = false;
      continue;
    }
    return;
  }
}

// A new index is made whole under a name of its own and then put in place unless another run
// put its own there first, so that no run ever finds a half-made file at the index's path and
// takes it for someone else's.
bool TileIndex::CreateIndexFile(const std::string& file) {
  std::string temporary = file + ".new-XXXXXX";
  const int fd = ::mkstemp(temporary.data());
  if (fd < 0) {
    problem_ = TrFormat(kCannotMake, {file, std::strerror(errno)});
    return false;
  }
  ::fchmod(fd, 0644);
  ::close(fd);
  bool made = sqlite3_open_v2(temporary.c_str(), &db_, SQLITE_OPEN_READWRITE, nullptr) == SQLITE_OK;
  if (made) {
    sqlite3_busy_timeout(db_, kBusyMilliseconds);
    // WAL mode is kept in the file: the index needs no switching, which would wait for others.
    made = Exec("PRAGMA auto_vacuum = INCREMENTAL") && Exec("PRAGMA journal_mode = WAL") &&
           MakeReady(true);
  }
  if (db_ != nullptr) {
    if (!made) GiveUp(sqlite3_errmsg(db_));
    sqlite3_close_v2(db_);
    db_ = nullptr;
  }
  if (made &&
      ::renameat2(AT_FDCWD, temporary.c_str(), AT_FDCWD, file.c_str(), RENAME_NOREPLACE) != 0) {
    // Where the file system cannot rename without replacing, a hard link does the same.
    if (errno == EINVAL && ::link(temporary.c_str(), file.c_str()) != 0 && errno != EEXIST) {
      made = false;
    } else if (errno != EEXIST && errno != EINVAL) {
      made = false;
    }
    if (!made) problem_ = TrFormat(kCannotMake, {file, std::strerror(errno)});
  }
  RemoveIndexFiles(temporary);
  rebuilt_ = rebuilt_ && made;
  return made;
}

bool TileIndex::Exec(const char* sql) {
  if (db_ == nullptr) return false;
  if (sqlite3_exec(db_, sql, nullptr, nullptr, nullptr) == SQLITE_OK) return true;
  GiveUp(sqlite3_errmsg(db_));
  return false;
}

// Makes sure the open file is an index of this program in the current layout, or makes it one
// when it is new. Nothing is written before that is known.
bool TileIndex::MakeReady(bool isNew) {
  const std::string version = std::string(kLayout) + "; " + ImgLibraryVersions();
  auto foreign = [this] {
    sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
    problem_ = Tr(kNotAnIndex);
    GiveUp(std::string());
    return false;
  };
  int error = SQLITE_OK;
  auto unreadable = [this, &error] {
    GiveUp(sqlite3_errstr(error), error);
    return false;
  };
  // An index in use is only read here, so that a run never waits for another one to open it.
  if (!isNew) {
    if (!Exec("BEGIN")) return false;
    const Content content = Classify(db_, version, &error);
    if (content == Content::kUnreadable) return unreadable();
    if (content == Content::kForeign) return foreign();
    if (!Exec("COMMIT")) return false;
    if (content == Content::kCurrent) return true;
  }
  if (!Exec("BEGIN IMMEDIATE")) return false;
  // Another run may have done the same meanwhile.
  const Content content = Classify(db_, version, &error);
  switch (content) {
    case Content::kCurrent:
      return Exec("COMMIT");
    case Content::kForeign:
      return foreign();
    case Content::kUnreadable:
      return unreadable();
    case Content::kDamaged:
      rebuilt_ = true;
      break;
    case Content::kNew:
    case Content::kStale:
      break;
  }
  // Pictures prepared by other library versions, or rows of another layout, may not be what a
  // decoding would make now: they all go, with the tables that held them.
  std::vector<std::string> drops;
  {
    Statement list(db_,
                   "SELECT type, name FROM sqlite_master WHERE type IN ('table', 'view', "
                   "'trigger') AND name NOT LIKE 'sqlite\\_%' ESCAPE '\\'");
    while (list.Step() == SQLITE_ROW) {
      std::string name;
      for (const char c : list.Text(1)) name += c == '"' ? std::string("\"\"") : std::string(1, c);
      drops.push_back("DROP " + list.Text(0) + " IF EXISTS \"" + name + "\"");
    }
  }
  for (const std::string& drop : drops) {
    if (!Exec(drop.c_str())) return false;
  }
  char mark[64];
  std::snprintf(mark, sizeof mark, "PRAGMA application_id = %d", kApplicationId);
  if (!Exec(mark)) return false;
  for (const char* sql : kSchema) {
    if (!Exec(sql)) return false;
  }
  Statement write(db_, "INSERT INTO meta (key, value) VALUES ('version', ?)");
  if (write.Bind(1, version).Step() != SQLITE_DONE) {
    GiveUp(sqlite3_errmsg(db_));
    return false;
  }
  return Exec("COMMIT");
}

bool TileIndex::Prepare(bool isNew) {
  sqlite3_busy_timeout(db_, kBusyMilliseconds);
  // Only takes effect before the first table is made.
  if (isNew && !Exec("PRAGMA auto_vacuum = INCREMENTAL")) return false;
  if (!MakeReady(isNew)) return false;
  // Only now that the file is known to be an index of this program: WAL mode writes to it.
  if (!Exec("PRAGMA journal_mode = WAL") || !Exec("PRAGMA synchronous = NORMAL") ||
      !Exec("PRAGMA mmap_size = 268435456")) {
    return false;
  }

  sqlite3_prepare_v3(db_,
                     "SELECT id, size, modified, changed, inode, kind, frame_count, frames_taken "
                     "FROM files WHERE path = ?",
                     -1, SQLITE_PREPARE_PERSISTENT, &findFile_, nullptr);
  sqlite3_prepare_v3(db_,
                     "SELECT COUNT(*), COALESCE(SUM(bytes), 0) FROM tiles WHERE file = ? AND "
                     "tile_width = ? AND tile_height = ?",
                     -1, SQLITE_PREPARE_PERSISTENT, &countTiles_, nullptr);
  sqlite3_prepare_v3(db_,
                     "SELECT colors, block, checksum FROM tiles WHERE file = ? AND tile_width = ? "
                     "AND tile_height = ? AND frame = ?",
                     -1, SQLITE_PREPARE_PERSISTENT, &readTile_, nullptr);
  if (findFile_ == nullptr || countTiles_ == nullptr || readTile_ == nullptr) {
    GiveUp(sqlite3_errmsg(db_));
    return false;
  }
  return true;
}

void TileIndex::GiveUp(const std::string& what, int error) {
  if (db_ != nullptr) {
    const int code = error >= 0 ? error : sqlite3_errcode(db_);
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
  if (find.Int(1) != file.size || find.Int(2) != file.modified || find.Int(3) != file.changed ||
      find.Int(4) != file.inode) {
    return false;
  }
  // Values no walk writes are damage: the file is decoded again and its row written anew.
  const int64_t kind = find.Int(5), frameCount = find.Int(6), framesTaken = find.Int(7);
  if (kind < 0 || kind > 2 || frameCount < 0 || frameCount > INT32_MAX || framesTaken < 0 ||
      framesTaken > INT32_MAX) {
    return false;
  }
  TileSourceOutcome stored{static_cast<TileSourceKind>(kind), static_cast<int32_t>(frameCount),
                           static_cast<int32_t>(framesTaken)};
  if (!PlausibleOutcome(stored)) return false;
  *id = find.Int(0);
  *outcome = stored;
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
  // A row that fails is read from its file instead, and replaced when that is written.
  if (!IsTileBlock(block, blockBytes, size, colorBytes) || colorBytes > sizeof tile->colors ||
      read.Int(2) != TileChecksum(id, FloatBits(size.width), FloatBits(size.height), frame, colors,
                                  colorBytes, block, blockBytes)) {
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
            find.Int(3) != a.file.changed || find.Int(4) != a.file.inode ||
            find.Int(5) != static_cast<int64_t>(a.outcome.kind) ||
            find.Int(7) != a.outcome.framesTaken) {
          Statement drop(db_, "DELETE FROM tiles WHERE file = ?");
          if (drop.Bind(1, id).Step() != SQLITE_DONE) return GiveUp(sqlite3_errmsg(db_));
        }
      }
    }
    Statement file(db_, known ? "UPDATE files SET size = ?2, modified = ?3, changed = ?4, inode = "
                                "?5, kind = ?6, frame_count = ?7, frames_taken = ?8 WHERE id = ?1"
                              : "INSERT INTO files (id, size, modified, changed, inode, kind, "
                                "frame_count, frames_taken, path) VALUES (NULL, ?2, ?3, ?4, ?5, "
                                "?6, ?7, ?8, ?9)");
    if (known) file.Bind(1, id);
    file.Bind(2, a.file.size)
        .Bind(3, a.file.modified)
        .Bind(4, a.file.changed)
        .Bind(5, a.file.inode)
        .Bind(6, static_cast<int64_t>(a.outcome.kind))
        .Bind(7, a.outcome.frameCount)
        .Bind(8, a.outcome.framesTaken);
    if (!known) file.Bind(9, a.file.path);
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
                       "bytes, checksum, colors, block) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?)");
      const int32_t width = FloatBits(a.size.width), height = FloatBits(a.size.height);
      insert.Bind(1, id)
          .Bind(2, width)
          .Bind(3, height)
          .Bind(4, tile.frame)
          .Bind(5, stamp_)
          .Bind(6, RowBytes(tile))
          .Bind(7, TileChecksum(id, width, height, tile.frame, colors, colorBytes,
                                tile.block.data(), tile.block.size()))
          .BindBlob(8, colors, colorBytes)
          .BindBlob(9, tile.block.data(), tile.block.size());
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

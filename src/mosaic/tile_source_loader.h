// SPDX-FileCopyrightText: The Quillane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

// Loading the tile sources of a mosaic run in walk order: each path is tried as a video and
// then as a picture; a video gives frames 0, 15, 30, ... below its frame count. Paths are
// decoded by a pool of threads ahead of the matching, one path per thread at a time, while the
// tile sources still come out one by one in the order of the paths. With a tile index, a file
// that the index holds as it is now is not decoded at all, and what is decoded is added to it.

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "imaging/imaging.h"
#include "mosaic/mosaic_internals.h"
#include "mosaic/tile_index.h"

// Frames between the frames taken from a video.
constexpr int32_t kFrameStep = 15;

// One path to try, with the numbers that its progress text shows.
struct TileSourcePath {
  std::string path;
  bool inLibrary = false;  // false: an entry of the picture list
  int32_t number = 0;      // list entry i + 1, or the library number
  int32_t total = 0;       // list total or library total
};

// One tile source, loaded and prepared.
struct LoadedTileSource {
  PreparedTile tile;
  size_t pathIndex = 0;
  bool videoFrame = false;
  int32_t frame = 0;  // the frame that was read
  int32_t frameCount = 0;
};

// Asked, from any of the loading threads, whether the run is to stop.
using StopCheck = std::function<bool()>;

// The tile sources of one path, read one after the other.
class PathReader {
 public:
  // `stopCheck`, when given, is asked before the path is opened and by every read of a video,
  // so that a read waiting for the file gives up once the run is stopped.
  PathReader(const std::string& path, TileSize size, int32_t hintWidth, int32_t hintHeight,
             StopCheck stopCheck = {});
  ~PathReader();
  PathReader(const PathReader&) = delete;
  PathReader& operator=(const PathReader&) = delete;

  // The next tile source of the path; false when there are no more.
  bool Next(LoadedTileSource* out);
  // What the path has given so far; all of it once Next has returned false.
  const TileSourceOutcome& Outcome() const { return outcome_; }
  // True when the path ended because the run was stopped: the outcome is then not all of it.
  bool Stopped() const { return stopped_; }

 private:
  void CloseVideo();
  bool Halted();

  const std::string path_;
  const TileSize size_;
  const int32_t hintWidth_;
  const int32_t hintHeight_;
  const StopCheck stopCheck_;
  bool started_ = false;
  bool stopped_ = false;
  bool finished_ = false;
  VidHandle video_;
  bool videoOpen_ = false;
  int32_t nextFrame_ = 0;
  TileSourceOutcome outcome_;
};

class TileSourceLoader {
 public:
  // Tile sources are prepared for tiles of tileWidth x tileHeight; pictures are decoded with
  // the size hint hintWidth x hintHeight. The index, when given, must outlive the loader and is
  // used on the thread that calls Next only. `stopCheck` is asked on every loading thread; once
  // it says so, videos being read give up and Next ends.
  TileSourceLoader(std::vector<TileSourcePath> paths, float tileWidth, float tileHeight,
                   int32_t hintWidth, int32_t hintHeight, TileIndex* index = nullptr,
                   StopCheck stopCheck = {});
  ~TileSourceLoader();
  TileSourceLoader(const TileSourceLoader&) = delete;
  TileSourceLoader& operator=(const TileSourceLoader&) = delete;

  // Lets a pool of `decoders` decoding threads (0: one per core) work ahead, holding up to
  // `lookahead` prepared tile sources not yet taken. Without a call, with 0, or when no thread
  // can be had, each path is read by Next when it is needed.
  void Start(int lookahead, int decoders = 0);
  // The next tile source in walk order; false when there are no more.
  bool Next(LoadedTileSource* out);
  // Ends the loading early; videos still open are closed.
  void Stop();
  // True when Next ended because the stop check said so, not because the paths ran out.
  bool Stopped() const { return stopped_; }

  const TileSourcePath& Path(size_t index) const { return paths_[index]; }

 private:
  struct Slot {
    // Settled before any decoding.
    bool identified = false;  // `file` holds the file's identity for the index
    TileSourceFile file;
    bool indexed = false;     // the index holds the file as it is: the decoders leave it alone
    bool readInline = false;  // an indexed file whose stored pictures could not be had
    int64_t indexId = 0;
    TileSourceOutcome outcome;
    // Guarded by mutex_ for the paths that the decoders read.
    bool done = false;
    bool stopped = false;  // the path was cut short by the stop check
    std::deque<LoadedTileSource> ready;
  };

  void Identify();
  void Decode();
  // Reads all tile sources of an indexed path from the index into its slot; false when one of
  // them cannot be had, and the path must be decoded after all.
  bool TakeFromIndex(size_t index);
  // Hands what was decoded of a finished path to the index.
  void AddToIndex(size_t index, std::vector<TileIndex::Tile> tiles);
  static TileIndex::Tile IndexCopy(const LoadedTileSource& source);

  const std::vector<TileSourcePath> paths_;
  const TileSize size_;
  const int32_t hintWidth_;
  const int32_t hintHeight_;
  TileIndex* const index_;
  const StopCheck stopCheck_;
  bool stopped_ = false;

  std::vector<Slot> slots_;
  size_t current_ = 0;  // the path whose tile sources Next hands out
  std::unique_ptr<PathReader> inlineReader_;
  std::vector<TileIndex::Tile> indexCopies_;  // of the current path, for the index

  std::vector<std::thread> decoders_;
  std::mutex mutex_;
  std::condition_variable changed_;
  size_t nextClaim_ = 0;
  size_t held_ = 0;  // prepared tile sources in all slots
  size_t lookahead_ = 0;
  bool stopping_ = false;
};

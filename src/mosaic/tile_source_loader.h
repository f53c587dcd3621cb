// SPDX-FileCopyrightText: The Quillane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

// Loading the tile sources of a mosaic run in walk order: each path is tried as a video and
// then as a picture; a video gives frames 0, 15, 30, ... below its frame count. Loading and
// preparing can run ahead of the matching on a thread of its own, while the tile sources still
// come out one by one in the order of the paths.

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "imaging/imaging.h"
#include "mosaic/mosaic_internals.h"

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

class TileSourceLoader {
 public:
  // Tile sources are prepared for tiles of tileWidth x tileHeight; pictures are decoded with
  // the size hint hintWidth x hintHeight. `userStop` (may be empty; asked from the loading
  // thread) says when the user has pressed Stop: a video read that waits then gives way.
  TileSourceLoader(std::vector<TileSourcePath> paths, float tileWidth, float tileHeight,
                   int32_t hintWidth, int32_t hintHeight, std::function<bool()> userStop = {});
  ~TileSourceLoader();
  TileSourceLoader(const TileSourceLoader&) = delete;
  TileSourceLoader& operator=(const TileSourceLoader&) = delete;

  // Lets up to `lookahead` tile sources be prepared ahead on a second thread. Without a call,
  // or when no thread can be had, each is loaded by Next.
  void Start(int lookahead);
  // The next tile source in walk order; false when there are no more.
  bool Next(LoadedTileSource* out);
  // Ends the loading early; a video still open is closed.
  void Stop();

  const TileSourcePath& Path(size_t index) const { return paths_[index]; }

 private:
  // Advances the walk to the next tile source that loads. Runs on one thread at a time.
  bool LoadNext(LoadedTileSource* out);
  void CloseVideo();
  void RunAhead();

  const std::vector<TileSourcePath> paths_;
  const float tileWidth_;
  const float tileHeight_;
  const int32_t hintWidth_;
  const int32_t hintHeight_;

  // The walk: the path being read and, while a video is open, its next frame.
  size_t pathIndex_ = 0;
  VidHandle video_;
  bool videoOpen_ = false;
  int32_t nextFrame_ = 0;
  int32_t frameCount_ = 0;

  std::thread thread_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<LoadedTileSource> ready_;
  size_t lookahead_ = 0;
  bool finished_ = false;
  // Also read by the video's stop check, on the loading thread, without the lock.
  std::atomic<bool> stopping_{false};
};

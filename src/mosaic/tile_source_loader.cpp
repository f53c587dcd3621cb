// SPDX-FileCopyrightText: The Quillane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "mosaic/tile_source_loader.h"

#include <sys/stat.h>

#include <system_error>
#include <utility>

namespace {

// Only plain files are read: opening a named pipe or a device would wait for ever, and folders
// never hold a picture.
bool IsPlainFile(const std::string& path) {
  struct stat info;
  return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

}  // namespace

TileSourceLoader::TileSourceLoader(std::vector<TileSourcePath> paths, float tileWidth,
                                   float tileHeight, int32_t hintWidth, int32_t hintHeight,
                                   std::function<bool()> userStop)
    : paths_(std::move(paths)),
      tileWidth_(tileWidth),
      tileHeight_(tileHeight),
      hintWidth_(hintWidth),
      hintHeight_(hintHeight) {
  VidInitHandle(&video_);
  // A video that makes a read wait (a file that turns out to be a pipe, a device) gives way
  // when the run ends early or the user presses Stop.
  video_.stopCheck = [this, userStop = std::move(userStop)] {
    return stopping_.load() || (userStop && userStop());
  };
}

TileSourceLoader::~TileSourceLoader() {
  Stop();
}

void TileSourceLoader::Start(int lookahead) {
  if (lookahead <= 0 || thread_.joinable()) return;
  lookahead_ = static_cast<size_t>(lookahead);
  try {
    thread_ = std::thread(&TileSourceLoader::RunAhead, this);
  } catch (const std::system_error&) {
    lookahead_ = 0;  // load on the caller's thread instead
  }
}

bool TileSourceLoader::Next(LoadedTileSource* out) {
  if (!thread_.joinable()) return !stopping_ && LoadNext(out);
  std::unique_lock<std::mutex> lock(mutex_);
  changed_.wait(lock, [&] { return !ready_.empty() || finished_; });
  if (ready_.empty()) return false;
  *out = std::move(ready_.front());
  ready_.pop_front();
  changed_.notify_all();
  return true;
}

void TileSourceLoader::Stop() {
  if (thread_.joinable()) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      stopping_ = true;
    }
    changed_.notify_all();
    thread_.join();
  }
  stopping_ = true;
  CloseVideo();
}

void TileSourceLoader::RunAhead() {
  for (;;) {
    LoadedTileSource item;
    const bool more = LoadNext(&item);
    std::unique_lock<std::mutex> lock(mutex_);
    if (!more) {
      finished_ = true;
      changed_.notify_all();
      return;
    }
    changed_.wait(lock, [&] { return ready_.size() < lookahead_ || stopping_; });
    if (stopping_) {
      finished_ = true;
      changed_.notify_all();
      return;
    }
    ready_.push_back(std::move(item));
    changed_.notify_all();
  }
}

void TileSourceLoader::CloseVideo() {
  if (!videoOpen_) return;
  VidClose(&video_);
  videoOpen_ = false;
}

bool TileSourceLoader::LoadNext(LoadedTileSource* out) {
  ImgBitmap bitmap;
  while (true) {
    if (videoOpen_) {
      // Every fifteenth frame below the frame count; a frame that cannot be read ends the video.
      if (nextFrame_ < frameCount_) {
        ImgInitHandle(&bitmap, 0, 0, 0);
        if (VidReadFrame(&video_, &bitmap, nextFrame_) == 1) {
          out->pathIndex = pathIndex_;
          out->videoFrame = true;
          out->frame = nextFrame_;
          out->frameCount = frameCount_;
          nextFrame_ += kFrameStep;
          PrepareTilePicture(&bitmap, tileWidth_, tileHeight_, &out->tile);
          return true;
        }
      }
      CloseVideo();
      ++pathIndex_;
      continue;
    }

    if (pathIndex_ >= paths_.size()) return false;
    const char* path = paths_[pathIndex_].path.c_str();
    if (!IsPlainFile(paths_[pathIndex_].path)) {
      ++pathIndex_;
      continue;
    }
    VidInitHandle(&video_);
    ImgInitHandle(&bitmap, 0, 0, 0);
    if (VidOpen(path, &video_, 1) == 1) {
      videoOpen_ = true;
      if (video_.usableVideo == 0) {
        CloseVideo();
        ++pathIndex_;
        continue;
      }
      frameCount_ = video_.frameCount;
      if (VidReadFrame(&video_, &bitmap, 0) != 1) {
        CloseVideo();
        ++pathIndex_;
        continue;
      }
      out->pathIndex = pathIndex_;
      out->videoFrame = true;
      out->frame = 0;
      out->frameCount = frameCount_;
      nextFrame_ = kFrameStep;
      PrepareTilePicture(&bitmap, tileWidth_, tileHeight_, &out->tile);
      return true;
    }
    if (ImgLoadFile(path, &bitmap, 0, 1, 0, hintWidth_, hintHeight_) == 1) {
      out->pathIndex = pathIndex_;
      out->videoFrame = false;
      out->frame = 0;
      out->frameCount = 0;
      ++pathIndex_;
      PrepareTilePicture(&bitmap, tileWidth_, tileHeight_, &out->tile);
      return true;
    }
    ++pathIndex_;
  }
}

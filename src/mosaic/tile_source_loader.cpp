// SPDX-FileCopyrightText: The Quillane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "mosaic/tile_source_loader.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstring>
#include <system_error>
#include <utility>

#include "base/paths.h"
#include "base/processors.h"

namespace {

// Only plain files are read: opening a named pipe or a device would wait for ever, and folders
// never hold a picture.
bool IsPlainFile(const std::string& path) {
  struct stat info;
  return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

bool SameState(const TileSourceFile& a, const TileSourceFile& b) {
  return a.path == b.path && a.size == b.size && a.modified == b.modified;
}

}  // namespace

PathReader::PathReader(const std::string& path, TileSize size, int32_t hintWidth,
                       int32_t hintHeight, StopCheck stopCheck)
    : path_(path),
      size_(size),
      hintWidth_(hintWidth),
      hintHeight_(hintHeight),
      stopCheck_(std::move(stopCheck)) {}

PathReader::~PathReader() {
  CloseVideo();
}

void PathReader::CloseVideo() {
  if (!videoOpen_) return;
  VidClose(&video_);
  videoOpen_ = false;
}

bool PathReader::Halted() {
  if (!stopped_ && stopCheck_ && stopCheck_()) stopped_ = true;
  return stopped_;
}

bool PathReader::Next(LoadedTileSource* out) {
  if (finished_) return false;
  ImgBitmap bitmap;
  ImgInitHandle(&bitmap, 0, 0, 0);
  auto give = [&](bool videoFrame, int32_t frame) {
    out->videoFrame = videoFrame;
    out->frame = frame;
    out->frameCount = videoFrame ? outcome_.frameCount : 0;
    PrepareTilePicture(&bitmap, size_.width, size_.height, &out->tile);
    return true;
  };

  if (!started_) {
    started_ = true;
    finished_ = true;  // unless a video turns out to have frames left
    if (Halted() || !IsPlainFile(path_)) return false;
    VidInitHandle(&video_);
    video_.stopCheck = stopCheck_;
    if (VidOpen(path_.c_str(), &video_, 1) == 1) {
      videoOpen_ = true;
      if (video_.usableVideo == 0 || VidReadFrame(&video_, &bitmap, 0) != 1) {
        CloseVideo();
        Halted();
        return false;
      }
      outcome_ = {TileSourceKind::kVideo, video_.frameCount, 1};
      nextFrame_ = kFrameStep;
      finished_ = false;
      return give(true, 0);
    }
    // A video whose opening was given up is no picture either.
    if (Halted()) return false;
    if (ImgLoadFile(path_.c_str(), &bitmap, 0, 1, 0, hintWidth_, hintHeight_) != 1) return false;
    outcome_ = {TileSourceKind::kPicture, 0, 1};
    return give(false, 0);
  }

  // Every fifteenth frame below the frame count; a frame that cannot be read ends the video.
  if (nextFrame_ < outcome_.frameCount && VidReadFrame(&video_, &bitmap, nextFrame_) == 1) {
    const int32_t frame = nextFrame_;
    nextFrame_ += kFrameStep;
    ++outcome_.framesTaken;
    return give(true, frame);
  }
  CloseVideo();
  Halted();
  finished_ = true;
  return false;
}

TileSourceLoader::TileSourceLoader(std::vector<TileSourcePath> paths, float tileWidth,
                                   float tileHeight, int32_t hintWidth, int32_t hintHeight,
                                   TileIndex* index, StopCheck stopCheck)
    : paths_(std::move(paths)),
      size_{tileWidth, tileHeight},
      hintWidth_(hintWidth),
      hintHeight_(hintHeight),
      index_(index),
      stopCheck_(std::move(stopCheck)),
      slots_(paths_.size()) {
  Identify();
}

TileSourceLoader::~TileSourceLoader() {
  Stop();
}

void TileSourceLoader::Identify() {
  if (index_ == nullptr || !index_->Usable()) return;
  for (size_t i = 0; i < paths_.size(); ++i) {
    Slot& slot = slots_[i];
    slot.identified = IdentifyTileSourceFile(paths_[i].path, &slot.file);
    slot.indexed = slot.identified && index_->Find(slot.file, size_, &slot.outcome, &slot.indexId);
  }
}

void TileSourceLoader::Start(int lookahead, int decoders) {
  if (lookahead <= 0 || !decoders_.empty()) return;
  lookahead_ = static_cast<size_t>(lookahead);
  const unsigned threads = static_cast<unsigned>(ThreadsOrAll(decoders));
  for (unsigned i = 0; i < threads; ++i) {
    try {
      decoders_.emplace_back(&TileSourceLoader::Decode, this);
    } catch (const std::system_error&) {
      break;
    }
  }
  if (!decoders_.empty()) return;
  lookahead_ = 0;  // read on the caller's thread instead
}

void TileSourceLoader::Decode() {
  for (;;) {
    size_t i;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      while (nextClaim_ < slots_.size() && slots_[nextClaim_].indexed) ++nextClaim_;
      if (stopping_ || nextClaim_ >= slots_.size()) return;
      i = nextClaim_++;
    }
    Slot& slot = slots_[i];
    PathReader reader(paths_[i].path, size_, hintWidth_, hintHeight_, stopCheck_);
    LoadedTileSource item;
    for (;;) {
      const bool more = reader.Next(&item);
      std::unique_lock<std::mutex> lock(mutex_);
      if (!more) {
        slot.outcome = reader.Outcome();
        slot.stopped = reader.Stopped();
        slot.done = true;
        changed_.notify_all();
        break;
      }
      item.pathIndex = i;
      // The path being handed out only waits for its own tile sources to be taken; the others
      // wait for room among all of them.
      changed_.wait(lock, [&] {
        return stopping_ || (i == current_ ? slot.ready.size() < lookahead_ : held_ < lookahead_);
      });
      if (stopping_) return;
      slot.ready.push_back(std::move(item));
      ++held_;
      changed_.notify_all();
    }
  }
}

bool TileSourceLoader::TakeFromIndex(size_t index) {
  Slot& slot = slots_[index];
  for (int32_t k = 0; k < slot.outcome.framesTaken; ++k) {
    LoadedTileSource source;
    source.pathIndex = index;
    source.videoFrame = slot.outcome.kind == TileSourceKind::kVideo;
    source.frame = source.videoFrame ? k * kFrameStep : 0;
    source.frameCount = source.videoFrame ? slot.outcome.frameCount : 0;
    if (!index_->ReadTile(slot.indexId, source.frame, size_, &source.tile)) {
      slot.ready.clear();
      return false;
    }
    slot.ready.push_back(std::move(source));
  }
  return true;
}

TileIndex::Tile TileSourceLoader::IndexCopy(const LoadedTileSource& source) {
  TileIndex::Tile copy;
  copy.frame = source.frame;
  const uint8_t* block = source.tile.block.Lock();
  if (block != nullptr) copy.block.assign(block, block + source.tile.block.Size());
  copy.patchCount = source.tile.patchCount;
  std::copy(source.tile.colors, source.tile.colors + source.tile.patchCount, copy.colors);
  return copy;
}

void TileSourceLoader::AddToIndex(size_t index, std::vector<TileIndex::Tile> tiles) {
  const Slot& slot = slots_[index];
  if (index_ == nullptr || !index_->Usable() || !slot.identified) return;
  // What was read may not be what the file holds now if it changed meanwhile; and a file that
  // could not be opened may read well later.
  TileSourceFile now;
  if (!IdentifyTileSourceFile(paths_[index].path, &now) || !SameState(now, slot.file)) return;
  if (slot.outcome.kind == TileSourceKind::kNone &&
      !FileOpensForReading(paths_[index].path.c_str())) {
    return;
  }
  if (tiles.size() != static_cast<size_t>(slot.outcome.framesTaken)) return;
  for (const TileIndex::Tile& tile : tiles) {
    if (tile.block.empty()) return;
  }
  index_->Add(slot.file, slot.outcome, size_, std::move(tiles));
}

bool TileSourceLoader::Next(LoadedTileSource* out) {
  while (current_ < slots_.size()) {
    Slot& slot = slots_[current_];
    if (slot.indexed && !slot.readInline && !slot.done) {
      slot.done = TakeFromIndex(current_);
      // A stored picture that cannot be had is read from its file after all.
      slot.readInline = !slot.done;
    }
    if (slot.indexed && !slot.readInline) {
      if (!slot.ready.empty()) {
        *out = std::move(slot.ready.front());
        slot.ready.pop_front();
        return true;
      }
    } else if (decoders_.empty() || slot.readInline) {
      if (stopping_ || stopped_) return false;
      if (!inlineReader_) {
        inlineReader_ = std::make_unique<PathReader>(paths_[current_].path, size_, hintWidth_,
                                                     hintHeight_, stopCheck_);
      }
      if (inlineReader_->Next(out)) {
        out->pathIndex = current_;
        if (slot.identified) indexCopies_.push_back(IndexCopy(*out));
        return true;
      }
      slot.outcome = inlineReader_->Outcome();
      // A path cut short ends the run, and the index is not told of it: the file holds more.
      stopped_ = inlineReader_->Stopped();
      inlineReader_.reset();
      if (stopped_) return false;
      AddToIndex(current_, std::move(indexCopies_));
    } else {
      std::unique_lock<std::mutex> lock(mutex_);
      changed_.wait(lock, [&] { return !slot.ready.empty() || slot.done || stopping_; });
      if (!slot.ready.empty()) {
        *out = std::move(slot.ready.front());
        slot.ready.pop_front();
        --held_;
        changed_.notify_all();
        lock.unlock();
        if (slot.identified) indexCopies_.push_back(IndexCopy(*out));
        return true;
      }
      if (!slot.done) return false;
      if (slot.stopped) {
        stopped_ = true;
        return false;
      }
      lock.unlock();
      AddToIndex(current_, std::move(indexCopies_));
    }
    indexCopies_.clear();
    std::lock_guard<std::mutex> lock(mutex_);
    ++current_;
    changed_.notify_all();
  }
  return false;
}

void TileSourceLoader::Stop() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
  }
  changed_.notify_all();
  for (std::thread& decoder : decoders_) {
    if (decoder.joinable()) decoder.join();
  }
  inlineReader_.reset();
}

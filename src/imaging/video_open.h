// SPDX-FileCopyrightText: The Quillane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Opening a video file for FFmpeg's demuxers so that no file can make a read wait for ever.
// FFmpeg follows what a file names: a concat list or a playlist names other files, pipes or
// devices, and reading those blocks until something writes to them. Here the file is opened by
// the program itself and must be a plain file; FFmpeg reads it through the program's own
// callbacks, may open nothing else, and only the demuxers of real video containers take part.
// Every read asks the caller's stop check first.

#include <cstddef>
#include <functional>

struct AVFormatContext;
struct AVIOContext;

namespace imaging_internal {

class VideoInput {
 public:
  VideoInput() = default;
  ~VideoInput();
  VideoInput(const VideoInput&) = delete;
  VideoInput& operator=(const VideoInput&) = delete;

  // Opens the file; false when it is not a plain file (without waiting on a pipe).
  bool OpenFile(const char* path);
  // Up to `size` of the file's first bytes; how many there were.
  size_t Head(unsigned char* buffer, size_t size) const;
  // Opens the container of the file opened. False when it is no video container the program
  // reads, or `stop` returned true meanwhile. `stop` may be empty. `path` lends its name only.
  bool OpenContainer(const char* path, std::function<bool()> stop);

  AVFormatContext* Format() const { return format_; }
  // True once the stop check has said so: every read fails from then on.
  bool Stopped() const { return stopped_; }

 private:
  static int Read(void* opaque, unsigned char* buffer, int size);
  static int64_t Seek(void* opaque, int64_t offset, int whence);
  static int Interrupted(void* opaque);
  bool CheckStop();

  int fd_ = -1;
  AVIOContext* io_ = nullptr;
  AVFormatContext* format_ = nullptr;
  std::function<bool()> stop_;
  bool stopped_ = false;
};

}  // namespace imaging_internal

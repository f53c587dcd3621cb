// SPDX-FileCopyrightText: The Quillane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "imaging/video_open.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>

extern "C" {
#include <libavformat/avformat.h>
#include <libavutil/dict.h>
#include <libavutil/mem.h>
}

namespace imaging_internal {

namespace {

// The demuxers of the containers a video file of the program can be. Concat lists, playlists,
// image sequences and devices are left out: they open further files by name.
constexpr char kVideoDemuxers[] = "avi,mov,matroska,mpeg,mpegts,asf,flv,ogg,dv,nut";
constexpr int kBufferSize = 64 * 1024;

// The demuxers above need no second file; any attempt to open one is refused.
int RefuseNestedOpen(AVFormatContext*, AVIOContext**, const char*, int, AVDictionary**) {
  return AVERROR(EPERM);
}

}  // namespace

VideoInput::~VideoInput() {
  avformat_close_input(&format_);
  if (io_ != nullptr) av_freep(&io_->buffer);
  avio_context_free(&io_);
  if (fd_ >= 0) close(fd_);
}

bool VideoInput::CheckStop() {
  if (!stopped_ && stop_ && stop_()) stopped_ = true;
  return stopped_;
}

int VideoInput::Read(void* opaque, unsigned char* buffer, int size) {
  auto* self = static_cast<VideoInput*>(opaque);
  if (self->CheckStop()) return AVERROR_EXIT;
  for (;;) {
    const ssize_t got = read(self->fd_, buffer, static_cast<size_t>(size));
    if (got > 0) return static_cast<int>(got);
    if (got == 0) return AVERROR_EOF;
    if (errno != EINTR) return AVERROR(errno);
    if (self->CheckStop()) return AVERROR_EXIT;
  }
}

int64_t VideoInput::Seek(void* opaque, int64_t offset, int whence) {
  auto* self = static_cast<VideoInput*>(opaque);
  if (whence == AVSEEK_SIZE) {
    struct stat info {};
    return fstat(self->fd_, &info) == 0 ? static_cast<int64_t>(info.st_size) : AVERROR(errno);
  }
  whence &= ~AVSEEK_FORCE;
  const off_t at = lseek(self->fd_, static_cast<off_t>(offset), whence);
  return at < 0 ? AVERROR(errno) : static_cast<int64_t>(at);
}

int VideoInput::Interrupted(void* opaque) {
  return static_cast<VideoInput*>(opaque)->CheckStop() ? 1 : 0;
}

bool VideoInput::OpenFile(const char* path) {
  // Without O_NONBLOCK, opening a named pipe waits for a writer; a pipe or device found here
  // is refused before any read.
  fd_ = open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd_ < 0) return false;
  struct stat info {};
  if (fstat(fd_, &info) != 0 || !S_ISREG(info.st_mode)) return false;
  const int flags = fcntl(fd_, F_GETFL);
  return flags >= 0 && fcntl(fd_, F_SETFL, flags & ~O_NONBLOCK) == 0;
}

size_t VideoInput::Head(unsigned char* buffer, size_t size) const {
  const ssize_t got = fd_ >= 0 ? pread(fd_, buffer, size, 0) : -1;
  return got > 0 ? static_cast<size_t>(got) : 0;
}

bool VideoInput::OpenContainer(const char* path, std::function<bool()> stop) {
  if (fd_ < 0) return false;
  stop_ = std::move(stop);
  auto* buffer = static_cast<unsigned char*>(av_malloc(kBufferSize));
  if (buffer == nullptr) return false;
  io_ = avio_alloc_context(buffer, kBufferSize, 0, this, &VideoInput::Read, nullptr,
                           &VideoInput::Seek);
  if (io_ == nullptr) {
    av_free(buffer);
    return false;
  }
  format_ = avformat_alloc_context();
  if (format_ == nullptr) return false;
  format_->pb = io_;
  format_->flags |= AVFMT_FLAG_CUSTOM_IO;
  format_->interrupt_callback.callback = &VideoInput::Interrupted;
  format_->interrupt_callback.opaque = this;
  format_->io_open = RefuseNestedOpen;

  AVDictionary* options = nullptr;
  av_dict_set(&options, "protocol_whitelist", "file", 0);
  av_dict_set(&options, "format_whitelist", kVideoDemuxers, 0);
  // The path only lends its name to the probe; the bytes come through the callbacks. On
  // failure avformat_open_input frees the context (not the program's own I/O context).
  const int opened = avformat_open_input(&format_, path, nullptr, &options);
  av_dict_free(&options);
  return opened >= 0 && !CheckStop();
}

}  // namespace imaging_internal

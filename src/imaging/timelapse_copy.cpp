// SPDX-FileCopyrightText: The Quillane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "imaging/timelapse_copy.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <vector>

#include "base/language.h"
#include "imaging/file_replacing.h"
#include "imaging/imaging.h"

namespace {

const char kUnreadableText[] = TrNoop("the recorded time-lapse could not be read");

std::string EndingOf(const std::string& path) {
  const size_t dot = path.rfind('.');
  const size_t slash = path.rfind('/');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return "";
  std::string ending = path.substr(dot + 1);
  std::transform(ending.begin(), ending.end(), ending.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return ending;
}

bool WriteAll(int fd, const char* data, ssize_t size) {
  while (size > 0) {
    const ssize_t written = write(fd, data, static_cast<size_t>(size));
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return false;
    data += written;
    size -= written;
  }
  return true;
}

// Copies the recording into the file being written, whose name `partial` is.
bool CopyInto(const std::string& recording, const char* partial,
              const std::function<void(double)>& progress) {
  const int in = open(recording.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
  struct stat about {};
  if (in < 0) return false;
  const int out = open(partial, O_WRONLY | O_TRUNC | O_CLOEXEC);
  bool ok = out >= 0 && fstat(in, &about) == 0 && S_ISREG(about.st_mode);
  std::vector<char> buffer(1 << 20);
  int64_t copied = 0;
  while (ok) {
    const ssize_t got = read(in, buffer.data(), buffer.size());
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) {
      ok = got == 0;
      break;
    }
    ok = WriteAll(out, buffer.data(), got);
    copied += got;
    if (progress && about.st_size > 0) progress(static_cast<double>(copied) / about.st_size);
  }
  const int error = errno;
  close(in);
  if (out >= 0 && close(out) != 0) ok = false;
  if (!ok && errno == 0) errno = error != 0 ? error : EIO;
  return ok;
}

// Decodes the recording and encodes each of its frames into `target`.
bool Reencode(const std::string& recording, const std::string& target,
              const TimelapseSettings& settings, const std::function<void(double)>& progress,
              std::string* problem) {
  VidHandle video;
  VidInitHandle(&video);
  if (VidOpen(recording.c_str(), &video) != 1 || video.usableVideo == 0) {
    *problem = Tr(kUnreadableText);
    return false;
  }
  TimelapseWriter writer;
  if (!writer.Start(target, video.width, video.height, settings, problem)) return false;
  const Rect whole{0, 0, video.width, video.height};
  ImgBitmap frame;
  ImgInitHandle(&frame);
  int32_t read = 0;
  bool added = true;
  bool damaged = false;
  while (added && VidReadFrame(&video, &frame, read) == 1) {
    // Only frames of the recording's own size go on; anything else means it was damaged.
    damaged = frame.width != video.width || frame.height != video.height;
    if (damaged) break;
    added = writer.Add(frame, whole, 1);
    ++read;
    if (progress && read % 4 == 0)
      progress(std::min(1.0, static_cast<double>(read) / video.frameCount));
  }
  ImgFree(&frame);
  // A failed Add has its reason, which Finish gives; a recording that ends early has not.
  if (added && (damaged || read < video.frameCount)) {
    writer.Abandon();
    *problem = Tr(kUnreadableText);
    return false;
  }
  return writer.Finish(problem);
}

}  // namespace

bool WriteTimelapseAs(const std::string& recording, const std::string& target,
                      const TimelapseSettings& settings,
                      const std::function<void(double)>& progress, std::string* problem) {
  if (!CanWriteTimelapse(target, problem) || !CanWriteFileAt(target, problem)) return false;
  if (EndingOf(recording) != EndingOf(target)) {
    return Reencode(recording, target, settings, progress, problem);
  }
  return ReplaceFileByWriting(
      target, [&](const char* partial) { return CopyInto(recording, partial, progress); }, problem);
}

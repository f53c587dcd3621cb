// SPDX-FileCopyrightText: The Quillane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "mosaic/tile_report.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace {

// A field as CSV: quoted, with its quotes doubled, when it holds a separator, a quote or a line
// break; as it is otherwise.
void AppendField(std::string* text, const std::string& field) {
  if (field.find_first_of(",\"\r\n") == std::string::npos) {
    *text += field;
    return;
  }
  *text += '"';
  for (const char c : field) {
    if (c == '"') *text += '"';
    *text += c;
  }
  *text += '"';
}

bool WriteAll(int fd, const std::string& text) {
  size_t done = 0;
  while (done < text.size()) {
    const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

}  // namespace

std::string TileReportText(const TileAssignment& tiles) {
  std::string text = "column,row,left,top,width,height,source,frame\n";
  char numbers[96];
  for (const MosaicTile& tile : tiles) {
    std::snprintf(numbers, sizeof numbers, "%d,%d,%d,%d,%d,%d,", tile.column, tile.row, tile.left,
                  tile.top, tile.width, tile.height);
    text += numbers;
    AppendField(&text, tile.source);
    text += ',';
    if (tile.frame >= 0) text += std::to_string(tile.frame);
    text += '\n';
  }
  return text;
}

bool WriteTileReport(const std::string& path, const TileAssignment& tiles, std::string* problem) {
  const std::string text = TileReportText(tiles);
  // A name of our own beside the target; created anew, with the permissions a new file gets.
  std::string temporary;
  int fd = -1;
  for (int attempt = 0; fd < 0 && attempt < 100; ++attempt) {
    temporary = path + ".partial-" + std::to_string(::getpid()) + "-" + std::to_string(attempt);
    fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0 && errno != EEXIST) break;
  }
  if (fd < 0) {
    *problem = std::string("cannot write ") + path + ": " + std::strerror(errno);
    return false;
  }
  bool ok = WriteAll(fd, text);
  int error = ok ? 0 : errno;
  if (ok && ::fsync(fd) != 0) ok = false, error = errno;
  if (::close(fd) != 0 && ok) ok = false, error = errno;
  if (ok && std::rename(temporary.c_str(), path.c_str()) != 0) ok = false, error = errno;
  if (!ok) {
    ::unlink(temporary.c_str());
    *problem = std::string("cannot write ") + path + ": " +
               (error != 0 ? std::strerror(error) : "the disk is full");
    return false;
  }
  return true;
}

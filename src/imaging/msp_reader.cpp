// SPDX-FileCopyrightText: The Quillane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "imaging/msp_reader.h"

#include <cstring>
#include <vector>

#include "imaging/resource_limits.h"

namespace imaging_internal {

namespace {

// The 32-byte header: two key words, the size, aspect ratios and printer data, a checksum and
// padding, all little-endian 16-bit words.
constexpr size_t kHeaderSize = 32;

uint16_t Word(const uint8_t* data, size_t at) {
  return static_cast<uint16_t>(data[at] | (data[at + 1] << 8));
}

// Unpacks one run-length encoded row: a zero byte starts a run (count, value); any other byte is
// the number of literal bytes that follow. False when the row's data runs out or overflows.
bool UnpackRow(const uint8_t* in, size_t inSize, uint8_t* out, size_t outSize) {
  size_t i = 0, o = 0;
  while (o < outSize) {
    if (i >= inSize) return false;
    const uint8_t type = in[i++];
    if (type == 0) {
      if (i + 2 > inSize) return false;
      const size_t count = in[i];
      const uint8_t value = in[i + 1];
      i += 2;
      if (count > outSize - o) return false;
      std::memset(out + o, value, count);
      o += count;
    } else {
      const size_t count = type;
      if (i + count > inSize || count > outSize - o) return false;
      std::memcpy(out + o, in + i, count);
      i += count;
      o += count;
    }
  }
  return true;
}

}  // namespace

bool LooksLikeMsp(const uint8_t* data, size_t size) {
  return size >= 4 && (std::memcmp(data, "DanM", 4) == 0 || std::memcmp(data, "LinS", 4) == 0);
}

bool MspDeclaredSize(const uint8_t* data, size_t size, int32_t* width, int32_t* height) {
  if (size < kHeaderSize || !LooksLikeMsp(data, size)) return false;
  *width = Word(data, 4);
  *height = Word(data, 6);
  return true;
}

bool ReadMsp(const uint8_t* data, size_t size, ImgBitmap* bitmap) {
  int32_t width = 0, height = 0;
  if (!MspDeclaredSize(data, size, &width, &height)) return false;
  const bool compressed = std::memcmp(data, "LinS", 4) == 0;
  // A 32-byte header may claim 65535 x 65535, or a row wider than ImageMagick builds: refuse
  // what the program will not hold before anything is allocated for it.
  if (!WithinPictureLimits(width, height)) return false;
  const size_t rowBytes = (static_cast<size_t>(width) + 7) / 8;
  if (!compressed && size < kHeaderSize + rowBytes * static_cast<size_t>(height)) return false;

  // All rows, top first, one bit per pixel with set bits white.
  std::vector<uint8_t> rows(rowBytes * static_cast<size_t>(height));
  if (!compressed) {
    std::memcpy(rows.data(), data + kHeaderSize, rows.size());
  } else {
    // The scan-line map gives the encoded length of every row; the rows follow it.
    const size_t mapEnd = kHeaderSize + 2 * static_cast<size_t>(height);
    if (size < mapEnd) return false;
    size_t at = mapEnd;
    for (int32_t y = 0; y < height; ++y) {
      const size_t length = Word(data, kHeaderSize + 2 * static_cast<size_t>(y));
      if (length > size - at) return false;
      uint8_t* row = rows.data() + rowBytes * static_cast<size_t>(y);
      if (length == 0) {
        // An empty entry stands for a row left white.
        std::memset(row, 0xFF, rowBytes);
      } else if (!UnpackRow(data + at, length, row, rowBytes)) {
        return false;
      }
      at += length;
    }
  }

  ImgBitmap result;
  if (!ImgFromDib(&result, DibHandle::Create24(width, height))) return false;
  for (int32_t y = 0; y < height; ++y) {
    const uint8_t* in = rows.data() + rowBytes * static_cast<size_t>(y);
    uint8_t* out = result.Row(y);
    for (int32_t x = 0; x < width; ++x) {
      const uint8_t level = (in[x >> 3] >> (7 - (x & 7))) & 1 ? 255 : 0;
      out[3 * x] = out[3 * x + 1] = out[3 * x + 2] = level;
    }
  }
  *bitmap = std::move(result);
  return true;
}

}  // namespace imaging_internal

// SPDX-FileCopyrightText: The Quillane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "imaging/dib.h"

#include <cstdlib>

DibHandle DibHandle::Allocate(size_t bytes) {
  DibHandle h;
  if (bytes == 0) return h;
  // calloc: a large block comes zeroed from the system and its pages become resident only as
  // they are written.
  uint8_t* p = static_cast<uint8_t*>(std::calloc(bytes, 1));
  if (p == nullptr) return h;
  h.data_.reset(p);
  h.size_ = bytes;
  return h;
}

DibHandle DibHandle::Create24(int32_t width, int32_t height) {
  if (!WithinBitmapLimits(width, height)) return DibHandle();
  const int64_t image = DibRowBytes(width, 24) * height;
  DibHandle h = Allocate(static_cast<size_t>(kDibHeaderSize + image));
  if (!h) return h;
  BitmapInfoHeader* hdr = h.Header();
  hdr->biSize = kDibHeaderSize;
  hdr->biWidth = width;
  hdr->biHeight = height;
  hdr->biPlanes = 1;
  hdr->biBitCount = 24;
  hdr->biCompression = kBiRgb;
  hdr->biSizeImage = static_cast<uint32_t>(image);
  return h;
}

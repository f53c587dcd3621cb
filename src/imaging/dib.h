// SPDX-FileCopyrightText: The Quillane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

// Packed device-independent bitmaps: the form in which a picture travels between the output
// window, the paint driver and the effects. A 40-byte header is followed (for the 24-bit pictures
// this program makes) directly by the pixel rows, bottom-up, blue-green-red, each row padded to a
// multiple of 4 bytes. The effects read pixels straight from this layout.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>

struct BitmapInfoHeader {
  uint32_t biSize;
  int32_t biWidth;
  int32_t biHeight;  // positive: rows stored bottom-up; negative: top-down
  uint16_t biPlanes;
  uint16_t biBitCount;
  uint32_t biCompression;
  uint32_t biSizeImage;
  int32_t biXPelsPerMeter;
  int32_t biYPelsPerMeter;
  uint32_t biClrUsed;
  uint32_t biClrImportant;
};
static_assert(sizeof(BitmapInfoHeader) == 40, "the header is stored byte for byte");

constexpr uint32_t kDibHeaderSize = 40;
constexpr uint32_t kBiRgb = 0;  // no compression

// Largest picture the program agrees to hold: bounds memory for absurd files and sizes.
constexpr int64_t kMaxPicturePixels = 100'000'000;
constexpr int32_t kMaxPictureSide = 65535;

// True when a picture of width x height is within those limits (both sides at least 1).
constexpr bool WithinProgramLimits(int64_t width, int64_t height) {
  return width > 0 && height > 0 && width <= kMaxPictureSide && height <= kMaxPictureSide &&
         width * height <= kMaxPicturePixels;
}

// The stroke styles paint on the picture framed by a black margin; a bitmap the program holds may
// be a picture within the limits above with such a frame around it.
constexpr int32_t kMaxFrameMargin = 10;
constexpr int32_t kMaxBitmapSide = kMaxPictureSide + 2 * kMaxFrameMargin;
constexpr bool WithinBitmapLimits(int64_t width, int64_t height) {
  return WithinProgramLimits(width, height) ||
         (width > 2 * kMaxFrameMargin && height > 2 * kMaxFrameMargin &&
          WithinProgramLimits(width - 2 * kMaxFrameMargin, height - 2 * kMaxFrameMargin));
}

// Bytes in one row of `width` pixels at `bitCount` bits, padded to a multiple of 4.
constexpr int64_t DibRowBytes(int64_t width, int bitCount) {
  return ((width * bitCount + 31) / 32) * 4;
}

// Owner of one packed bitmap block (what the program calls a DibHandle). Movable, not copyable:
// handing it to ImgFromDib passes the block on, and an empty handle stands for "none".
class DibHandle {
 public:
  DibHandle() = default;
  DibHandle(DibHandle&& other) noexcept : data_(std::move(other.data_)), size_(other.size_) {
    other.size_ = 0;
  }
  DibHandle& operator=(DibHandle&& other) noexcept {
    data_ = std::move(other.data_);
    size_ = other.size_;
    other.size_ = 0;
    return *this;
  }
  DibHandle(const DibHandle&) = delete;
  DibHandle& operator=(const DibHandle&) = delete;

  // A zero-filled block of `bytes` bytes; an empty handle when the memory cannot be had.
  static DibHandle Allocate(size_t bytes);
  // A 24-bit bottom-up bitmap of width x height with its header filled in and black pixels;
  // an empty handle for a size of 0 or less, above the bitmap limits, or when out of memory.
  static DibHandle Create24(int32_t width, int32_t height);

  explicit operator bool() const { return data_ != nullptr; }
  size_t Size() const { return size_; }
  // The block's address (GlobalLock); null for an empty handle. The block never moves.
  uint8_t* Lock() const { return data_.get(); }
  BitmapInfoHeader* Header() const { return reinterpret_cast<BitmapInfoHeader*>(data_.get()); }
  // The pixel rows of a bitmap without palette: header + 40.
  uint8_t* Pixels() const { return data_ ? data_.get() + kDibHeaderSize : nullptr; }
  // Releases the block (GlobalFree); the handle becomes empty.
  void Free() {
    data_.reset();
    size_ = 0;
  }

 private:
  struct FreeBlock {
    void operator()(uint8_t* block) const { std::free(block); }
  };
  std::unique_ptr<uint8_t[], FreeBlock> data_;
  size_t size_ = 0;
};

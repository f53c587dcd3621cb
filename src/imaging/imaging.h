// SPDX-FileCopyrightText: The Quillane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

// The imaging library: bitmaps, conversions, resizing, picture files and AVI video frames.
// Operations return 1 on success where a result is relied on, and never throw: errors of the
// libraries underneath are caught here and become failure results.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "base/rect.h"
#include "imaging/dib.h"
#include "imaging/picture_formats.h"

class DrawingContext;

// A picture held by the library. The image is kept as a 24-bit packed bitmap, so that
// ImgToDib and ImgFromDib hand it over without copying.
struct ImgBitmap {
  int32_t width = 0;
  int32_t height = 0;
  int32_t hasImage = 0;  // set while the record holds an image
  DibHandle dib;         // the image (24 bits, bottom-up) while hasImage is set

  int32_t Stride() const { return static_cast<int32_t>(DibRowBytes(width, 24)); }
  // Row y counted from the top (row 0 is the top row).
  uint8_t* Row(int32_t y) const {
    return dib.Pixels() + static_cast<int64_t>(height - 1 - y) * Stride();
  }
};

constexpr uint32_t SRCCOPY = 0x00CC0020;
constexpr int kColorDepthDither = 0x20;  // ImgSetColorDepth option for 1 bit per pixel

// Kernel module.
void ImgInitHandle(ImgBitmap* bitmap, int a = 0, int b = 0, int c = 0);
void ImgFree(ImgBitmap* bitmap);
// Resizes in place with a library filter (area averaging / Lanczos when shrinking, bicubic when
// enlarging); the same size leaves every pixel as it is. A large picture is resized in strips,
// on up to `threads` threads, with the same pixels on any number of them. 1 on success.
int ImgResize(ImgBitmap* bitmap, int32_t width, int32_t height, int mode = 2, int threads = 1);
// 24 bits with option 0 (the image stays or becomes 24-bit colour); 1 bit with option 0x20
// leaves only black and white pixels (still stored at 24 bits). Other pairs are refused. 1 on
// success.
int ImgSetColorDepth(ImgBitmap* destination, ImgBitmap* source, int bitsPerPixel, int option,
                     int = 0, int = 0, int = 0, int = 0, int = 0);
// The 1-bit conversion of ImgSetColorDepth in place, on up to `threads` threads, with the same
// pixels on any number of them.
void ImgDiffuseToBlackAndWhite(ImgBitmap* bitmap, int threads);
// Moves the image into a new DibHandle and leaves the bitmap empty.
DibHandle ImgToDib(ImgBitmap* bitmap);
// Takes over the DibHandle (a 24-bit packed bitmap); overwrites the record without releasing
// anything. 1 on success.
int ImgFromDib(ImgBitmap* bitmap, DibHandle dib);
// Copies a packed bitmap given by header and pixel rows (1, 4, 8, 24 or 32 bits). 1 on success.
int ImgFromDibBits(ImgBitmap* bitmap, const BitmapInfoHeader* header, const uint8_t* pixels);
int ImgCopy(ImgBitmap* destination, const ImgBitmap* source);
// A new black 24-bit image of width x height; other bit depths are refused. 1 on success.
int ImgCreate(ImgBitmap* bitmap, int one, int32_t width, int32_t height, int bitsPerPixel, int = 1,
              int = 0, int = 0, int = 0, int = 0);
// A drawing context on the bitmap's pixels; null on failure. The bitmap must keep its image
// until ImgDeleteDC.
DrawingContext* ImgCreateDC(ImgBitmap* bitmap);
void ImgDeleteDC(DrawingContext* context);
// Grey levels by luminance; a grey picture stays as it is. 1 on success.
int ImgGrayscale(ImgBitmap* bitmap, int bits = 8);
// The same for the rows top to bottom (excluded) alone, so that bands of rows can be converted
// side by side.
int ImgGrayscaleRows(ImgBitmap* bitmap, int32_t top, int32_t bottom);
// Crops in place to the rectangle at (left, top) of width x height. 1 on success.
int ImgTrim(ImgBitmap* bitmap, int32_t left, int32_t top, int32_t width, int32_t height);

// File module. Reads any picture format the program offers. With a size hint (the size the
// caller will resize to), large JPEGs are decoded at a reduced scale. 1 on success.
int ImgLoadFile(const char* path, ImgBitmap* bitmap, int a = 0, int b = 1, int c = 0,
                int32_t hintWidth = 0, int32_t hintHeight = 0);
// Why a picture file did not load.
enum class PictureProblem {
  kNone,
  kNotRecognized,  // missing, not a plain file, damaged, or a format the program does not read
  kUnreadable,     // there, but this user may not read it
  kTooLarge,       // larger than the picture limits (resource_limits.h), checked before decoding
};
// ImgLoadFile that also tells why it failed; `problem` may be null.
int ImgLoadPictureFile(const char* path, ImgBitmap* bitmap, PictureProblem* problem,
                       int32_t hintWidth = 0, int32_t hintHeight = 0);

// Writes the picture to a file whose extension picks the format (.png, .jpg/.jpeg, .bmp,
// .tif/.tiff), 24 bits per pixel. 1 on success; a failed write leaves no partial file behind,
// and says why in `problem` when given.
int ImgSaveFile(const char* path, const ImgBitmap& bitmap, std::string* problem = nullptr);

// Names and versions of the libraries that decode and resize pictures and frames.
std::string ImgLibraryVersions();

// Display module, for drawing contexts on bitmaps: draws the source rectangle of the bitmap
// scaled into the destination rectangle. The clips equal their rectangles.
int ImgPaint(DrawingContext* context, const ImgBitmap& bitmap, const Rect& source,
             const Rect& sourceClip, const Rect& destination, const Rect& destinationClip,
             uint32_t rop = SRCCOPY);

// Video module.
struct VideoDecoder;
struct VidHandle {
  int32_t usableVideo = 0;  // zero: the file has no video the program can use
  int32_t frameCount = 0;
  int32_t width = 0;
  int32_t height = 0;
  std::unique_ptr<VideoDecoder> decoder;
  // Asked before every read of the file while it is opened and read; true abandons the read,
  // which then fails. Set it before VidOpen; VidInitHandle and VidClose keep it.
  std::function<bool()> stopCheck;

  VidHandle();
  ~VidHandle();
  VidHandle(VidHandle&&) noexcept;
  VidHandle& operator=(VidHandle&&) noexcept;
};
void VidInitHandle(VidHandle* video);
// Opens an AVI (or any video the decoder reads). 1 on success.
int VidOpen(const char* path, VidHandle* video, int one = 1);
// Reads frame `index` into the bitmap. Increasing indexes decode forward without seeking.
// 1 on success.
int VidReadFrame(VidHandle* video, ImgBitmap* bitmap, int32_t index);
void VidClose(VidHandle* video);

// How many more bytes of memory this process can have: the least of the machine's available
// memory, the process's limits and its control groups' limits.
int64_t ImgMemoryAllowance();

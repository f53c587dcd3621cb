// SPDX-FileCopyrightText: The Quillane developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Resizing with ImageMagick's resampling filters.
//
// ImageMagick resizes in two passes, one per direction, through an intermediate image held at
// 16 bits per sample, and keeps every image at 8 bytes per pixel. For a large picture that is
// several times the picture's own size in memory, so large resizes are cut into strips: each
// pass filters every row (or column) on its own, so running it on a strip of rows (or columns)
// gives the same samples as running it on the whole picture. The intermediate samples are kept
// at their full 16 bits between the passes, and the result is the same to the last bit as one
// resize of the whole picture.

#include <algorithm>
#include <atomic>
#include <cstring>
#include <exception>
#include <functional>
#include <thread>
#include <vector>

#include "imaging/imaging.h"
#include "imaging/magick_images.h"
#include "imaging/resample.h"
#include "imaging/resource_limits.h"

using imaging_internal::BitmapFromImage;
using imaging_internal::EnsureMagickReady;
using imaging_internal::ImageFromBitmap;

namespace {

// Resizes whose pictures all stay below this many pixels go through ImageMagick in one piece.
constexpr int64_t kWholePixels = 4'000'000;
// About how many pixels one strip's images hold.
constexpr int64_t kStripPixels = 1'000'000;
// Strips resized at once at most: each holds a few dozen megabytes of ImageMagick's images.
constexpr int kMaxStripThreads = 4;

// Shrinking averages the area each new pixel covers, which keeps the mean colours the mosaic
// matches on and is several times cheaper than Lanczos on its many small tiles. Enlarging uses
// Catmull-Rom, the usual bicubic. A resize that shrinks one side and enlarges the other takes
// Lanczos, which does both well.
Magick::FilterTypes FilterFor(int32_t fromWidth, int32_t fromHeight, int32_t width,
                              int32_t height) {
  switch (imaging_internal::FilterForSizes(fromWidth, fromHeight, width, height)) {
    case imaging_internal::ResizeFilter::kBox:
      return Magick::BoxFilter;
    case imaging_internal::ResizeFilter::kCatmullRom:
      return Magick::CatromFilter;
    case imaging_internal::ResizeFilter::kLanczos:
      break;
  }
  return Magick::LanczosFilter;
}

bool ResizeImage(Magick::Image* image, Magick::FilterTypes filter, size_t width, size_t height) {
  image->filterType(filter);
  Magick::Geometry size(width, height);
  size.aspect(true);
  image->resize(size);
  return image->columns() == width && image->rows() == height;
}

// Samples of the intermediate image: red, green and blue at 16 bits, rows top-down.
struct Samples {
  size_t width = 0;
  size_t height = 0;
  std::vector<uint16_t> data;
  uint16_t* At(size_t x, size_t y) { return data.data() + (y * width + x) * 3; }
};

// Rows [top, top + count) of the bitmap as an ImageMagick image.
Magick::Image RowsOfBitmap(const ImgBitmap& bitmap, int32_t top, int32_t count) {
  const size_t rowBytes = static_cast<size_t>(bitmap.width) * 3;
  std::vector<uint8_t> rows(rowBytes * static_cast<size_t>(count));
  for (int32_t y = 0; y < count; ++y) {
    std::memcpy(rows.data() + rowBytes * y, bitmap.Row(top + y), rowBytes);
  }
  return Magick::Image(static_cast<size_t>(bitmap.width), static_cast<size_t>(count), "BGR",
                       Magick::CharPixel, rows.data());
}

// Columns [left, left + count) of the bitmap as an ImageMagick image.
Magick::Image ColumnsOfBitmap(const ImgBitmap& bitmap, int32_t left, int32_t count) {
  const size_t rowBytes = static_cast<size_t>(count) * 3;
  std::vector<uint8_t> columns(rowBytes * static_cast<size_t>(bitmap.height));
  for (int32_t y = 0; y < bitmap.height; ++y) {
    std::memcpy(columns.data() + rowBytes * y, bitmap.Row(y) + static_cast<size_t>(left) * 3,
                rowBytes);
  }
  return Magick::Image(rowBytes / 3, static_cast<size_t>(bitmap.height), "BGR", Magick::CharPixel,
                       columns.data());
}

Magick::Image RowsOfSamples(Samples& samples, size_t top, size_t count) {
  return Magick::Image(samples.width, count, "RGB", Magick::ShortPixel, samples.At(0, top));
}

Magick::Image ColumnsOfSamples(Samples& samples, size_t left, size_t count) {
  std::vector<uint16_t> columns(count * 3 * samples.height);
  for (size_t y = 0; y < samples.height; ++y) {
    std::copy_n(samples.At(left, y), count * 3, columns.data() + count * 3 * y);
  }
  return Magick::Image(count, samples.height, "RGB", Magick::ShortPixel, columns.data());
}

// Writes the image's samples into the intermediate at (left, top).
void StoreSamples(Magick::Image& image, Samples* samples, size_t left, size_t top) {
  for (size_t y = 0; y < image.rows(); ++y) {
    image.write(0, static_cast<ssize_t>(y), image.columns(), 1, "RGB", Magick::ShortPixel,
                samples->At(left, top + y));
  }
}

// Writes the image's pixels into the bitmap at (left, top).
void StorePixels(Magick::Image& image, ImgBitmap* bitmap, int32_t left, int32_t top) {
  for (size_t y = 0; y < image.rows(); ++y) {
    image.write(0, static_cast<ssize_t>(y), image.columns(), 1, "BGR", Magick::CharPixel,
                bitmap->Row(top + static_cast<int32_t>(y)) + static_cast<size_t>(left) * 3);
  }
}

// Runs work(start, count) for the strips [start, start + count) of `total` lines, `size` lines
// each, on up to `threads` threads; every strip writes its own part of the output, so they may
// run in any order. False when one failed (an exception counts as a failure).
bool ForEachStrip(size_t total, size_t size, int threads,
                  const std::function<bool(size_t start, size_t count)>& work) {
  const size_t strips = (total + size - 1) / size;
  std::atomic<size_t> next{0};
  std::atomic<bool> failed{false};
  auto run = [&] {
    for (size_t strip; !failed.load() && (strip = next.fetch_add(1)) < strips;) {
      const size_t start = strip * size;
      try {
        if (!work(start, std::min(size, total - start))) failed = true;
      } catch (const std::exception&) {
        failed = true;
      }
    }
  };
  std::vector<std::thread> helpers;
  try {
    const size_t wanted = static_cast<size_t>(std::clamp(threads, 1, kMaxStripThreads));
    for (size_t t = 1; t < std::min(wanted, strips); ++t) {
      helpers.emplace_back(run);
    }
  } catch (const std::exception&) {
    // The threads that started share the strips.
  }
  run();
  for (std::thread& helper : helpers) helper.join();
  return !failed.load();
}

// The strip-wise resize of a large picture into `result` (already width x height).
bool ResizeStripwise(const ImgBitmap& source, Magick::FilterTypes filter, int64_t stripPixels,
                     int threads, ImgBitmap* result) {
  auto StripSize = [stripPixels](size_t across) {
    return static_cast<size_t>(std::max<int64_t>(1, stripPixels / static_cast<int64_t>(across)));
  };
  const size_t fromWidth = static_cast<size_t>(source.width);
  const size_t fromHeight = static_cast<size_t>(source.height);
  const size_t width = static_cast<size_t>(result->width);
  const size_t height = static_cast<size_t>(result->height);
  const double xFactor = static_cast<double>(width) / static_cast<double>(fromWidth);
  const double yFactor = static_cast<double>(height) / static_cast<double>(fromHeight);
  // One pass: strips of `lines` lines each, made by take(start, count), resized along the
  // lines to `length` (rows: across; columns: down) and handed to put(strip, start).
  auto pass = [&](size_t lines, size_t size, bool rows, size_t length, auto take, auto put) {
    return ForEachStrip(lines, size, threads, [&](size_t start, size_t count) {
      Magick::Image strip = take(start, count);
      if (!ResizeImage(&strip, filter, rows ? length : count, rows ? count : length)) {
        return false;
      }
      put(strip, start);
      return true;
    });
  };
  Samples middle;
  // ImageMagick filters first in the direction that grows more (or shrinks less), vertically
  // when both scale alike.
  if (xFactor > yFactor) {
    // Rows to the new width, then the columns of that to the new height.
    middle.width = width;
    middle.height = fromHeight;
    middle.data.resize(middle.width * middle.height * 3);
    return pass(
               fromHeight, StripSize(std::max(fromWidth, width)), true, width,
               [&](size_t top, size_t count) {
                 return RowsOfBitmap(source, static_cast<int32_t>(top),
                                     static_cast<int32_t>(count));
               },
               [&](Magick::Image& strip, size_t top) { StoreSamples(strip, &middle, 0, top); }) &&
           pass(
               width, StripSize(std::max(fromHeight, height)), false, height,
               [&](size_t left, size_t count) { return ColumnsOfSamples(middle, left, count); },
               [&](Magick::Image& strip, size_t left) {
                 StorePixels(strip, result, static_cast<int32_t>(left), 0);
               });
  }
  // Columns to the new height, then the rows of that to the new width.
  middle.width = fromWidth;
  middle.height = height;
  middle.data.resize(middle.width * middle.height * 3);
  return pass(
             fromWidth, StripSize(std::max(fromHeight, height)), false, height,
             [&](size_t left, size_t count) {
               return ColumnsOfBitmap(source, static_cast<int32_t>(left),
                                      static_cast<int32_t>(count));
             },
             [&](Magick::Image& strip, size_t left) { StoreSamples(strip, &middle, left, 0); }) &&
         pass(
             height, StripSize(std::max(fromWidth, width)), true, width,
             [&](size_t top, size_t count) { return RowsOfSamples(middle, top, count); },
             [&](Magick::Image& strip, size_t top) {
               StorePixels(strip, result, 0, static_cast<int32_t>(top));
             });
}

}  // namespace

namespace imaging_internal {

int ResizeInStrips(ImgBitmap* bitmap, int32_t width, int32_t height, int64_t stripPixels,
                   int threads) {
  ImgBitmap result;
  if (ImgCreate(&result, 1, width, height, 24) != 1) return 0;
  const Magick::FilterTypes filter = FilterFor(bitmap->width, bitmap->height, width, height);
  if (!ResizeStripwise(*bitmap, filter, stripPixels, threads, &result)) return 0;
  *bitmap = std::move(result);
  return 1;
}

}  // namespace imaging_internal

int ImgResize(ImgBitmap* bitmap, int32_t width, int32_t height, int, int threads) {
  if (bitmap == nullptr || !bitmap->hasImage || !bitmap->dib) return 0;
  if (!WithinProgramLimits(width, height)) return 0;
  // A picture kept at its own size needs no ImageMagick image, whatever its sides.
  if (width == bitmap->width && height == bitmap->height) return 1;
  // Every strip is as wide or as tall as the picture: no side may exceed what ImageMagick
  // builds, or building a strip would end the process. Longer sides are resized by the program.
  const PictureLimits& limits = GetPictureLimits();
  if (std::max(width, bitmap->width) > limits.maxWidth ||
      std::max(height, bitmap->height) > limits.maxHeight) {
    return imaging_internal::ResampleWithoutMagick(
        bitmap, width, height,
        imaging_internal::FilterForSizes(bitmap->width, bitmap->height, width, height));
  }
  try {
    EnsureMagickReady();
    if (std::max(static_cast<int64_t>(bitmap->width) * bitmap->height,
                 static_cast<int64_t>(width) * height) <= kWholePixels) {
      Magick::Image image = ImageFromBitmap(*bitmap);
      const Magick::FilterTypes filter = FilterFor(bitmap->width, bitmap->height, width, height);
      if (!ResizeImage(&image, filter, static_cast<size_t>(width), static_cast<size_t>(height))) {
        return 0;
      }
      return BitmapFromImage(image, bitmap) ? 1 : 0;
    }
    return imaging_internal::ResizeInStrips(bitmap, width, height, kStripPixels, threads);
  } catch (const std::exception&) {
    return 0;
  }
}

// SPDX-FileCopyrightText: The Quillane developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Drawing a tile picture into the mosaic, tinted towards the colour of the tile it fills.

#include <algorithm>
#include <cstdlib>
#include <vector>

#include "effects/pixel_primitives.h"
#include "mosaic/mosaic_internals.h"

namespace {

// How many source pixels to skip between samples when a picture is shrunk by `scale`.
int SampleStep(float scale, int coarse) {
  if (coarse == 0) return 1;
  if (scale > 8) return 8;
  if (scale > 4) return 4;
  if (scale > 2) return 2;
  return 1;
}

// A channel's values after the shift, clamped to 0..255.
struct ChannelShift {
  uint8_t to[256];
  explicit ChannelShift(int shift) {
    for (int v = 0; v < 256; ++v) to[v] = static_cast<uint8_t>(std::clamp(v + shift, 0, 255));
  }
};

// Row y of the surface's bitmap, counted from the top.
uint8_t* SurfaceRow(const DrawingContext* dc, int y) {
  const ImgBitmap* bitmap = dc->Bitmap();
  const int64_t stride = bitmap->Stride();
  const bool bottomUp = bitmap->dib.Header()->biHeight > 0;
  return bitmap->dib.Pixels() + (bottomUp ? bitmap->height - 1 - y : y) * stride;
}

// The source positions sampled for each destination row (or column) along one axis: the block
// of destination index i runs from the i-th position of s = 0, s + scale, ... (repeated
// single-precision addition) to the next one or the source's end, and is sampled at s, s + step,
// ... below that. Only indices from `from` to below `to` keep their samples; the walk stops at
// `to`. Sample k of index i is positions[first[i - from] + k].
struct AxisSamples {
  std::vector<int32_t> first;
  std::vector<int32_t> positions;

  void Build(float size, float scale, float step, int64_t from, int64_t to) {
    first.clear();
    positions.clear();
    int64_t index = 0;
    for (float s = 0; s < size && index < to; s += scale, ++index) {
      if (index >= from) {
        first.push_back(static_cast<int32_t>(positions.size()));
        const float end = std::min(s + scale, size);
        for (float v = s; v < end; v += step) positions.push_back(static_cast<int32_t>(v));
      }
      if (s + scale == s) break;  // a step lost to rounding would never reach the end
    }
    first.push_back(static_cast<int32_t>(positions.size()));
  }
  int64_t Count() const { return static_cast<int64_t>(first.size()) - 1; }
  // True when every block has exactly one sample, as when the picture is enlarged.
  bool Single() const { return static_cast<int64_t>(positions.size()) == Count(); }
};

}  // namespace

void DrawShiftedTile(DrawingContext* dc, const BitmapInfoHeader* header, const uint8_t* pixels,
                     int x0, int y0, int w, int h, int clipLeft, int clipTop, int clipRight,
                     int clipBottom, ColorRef fromColor, ColorRef toColor, int coarse) {
  if (dc == nullptr || dc->Bitmap() == nullptr || !dc->Bitmap()->hasImage) return;
  if (header == nullptr || pixels == nullptr) return;
  // Sizes come from truncated sizes that are never negative in the mosaic; a negative one would
  // make the walk run backwards.
  if (w <= 0 || h <= 0) return;
  const float sw = static_cast<float>(header->biWidth);
  const float sh = static_cast<float>(std::abs(header->biHeight));
  if (!(sw > 0) || !(sh > 0)) return;
  // The surface sets no pixel outside its own clip rectangle either.
  const Rect& surfaceClip = dc->ClipRect();
  clipLeft = std::max(clipLeft, surfaceClip.left);
  clipTop = std::max(clipTop, surfaceClip.top);
  clipRight = std::min(clipRight, surfaceClip.right);
  clipBottom = std::min(clipBottom, surfaceClip.bottom);
  if (clipRight <= clipLeft || clipBottom <= clipTop) return;

  const ChannelShift red(static_cast<int>(ColorRed(toColor)) -
                         static_cast<int>(ColorRed(fromColor)));
  const ChannelShift green(static_cast<int>(ColorGreen(toColor)) -
                           static_cast<int>(ColorGreen(fromColor)));
  const ChannelShift blue(static_cast<int>(ColorBlue(toColor)) -
                          static_cast<int>(ColorBlue(fromColor)));
  const float xScale = sw / static_cast<float>(w);
  const float yScale = sh / static_cast<float>(h);
  const float xStep = static_cast<float>(SampleStep(xScale, coarse));
  const float yStep = static_cast<float>(SampleStep(yScale, coarse));

  // Every destination pixel is the mean of the source block it stands for. The blocks of a row
  // are the same in every row, so the sampled columns and rows are worked out once, and only
  // for the destination pixels inside the clip rectangle.
  thread_local AxisSamples columns, rows;
  const int64_t firstColumn = std::max<int64_t>(0, static_cast<int64_t>(clipLeft) - x0);
  const int64_t firstRow = std::max<int64_t>(0, static_cast<int64_t>(clipTop) - y0);
  columns.Build(sw, xScale, xStep, firstColumn, static_cast<int64_t>(clipRight) - x0);
  rows.Build(sh, yScale, yStep, firstRow, static_cast<int64_t>(clipBottom) - y0);
  if (columns.Count() <= 0 || rows.Count() <= 0) return;

  const bool packed24 = header->biBitCount == 24 && header->biCompression == kBiRgb;
  const int64_t rowBytes = DibRowBytes(header->biWidth, 24);
  const int64_t height = std::abs(static_cast<int64_t>(header->biHeight));
  auto sourceRow = [&](int32_t y) {
    return pixels + (header->biHeight > 0 ? height - 1 - y : y) * rowBytes;
  };
  const int xFirst = static_cast<int>(x0 + firstColumn);
  const int yFirst = static_cast<int>(y0 + firstRow);
  const int32_t* xs = columns.positions.data();
  const int64_t columnCount = columns.Count();
  const int64_t rowCount = rows.Count();
  const bool singleColumns = columns.Single();

  for (int64_t i = 0; i < rowCount; ++i) {
    uint8_t* out = SurfaceRow(dc, static_cast<int>(yFirst + i)) + xFirst * 3;
    const int32_t* ys = rows.positions.data() + rows.first[i];
    const int32_t ny = rows.first[i + 1] - rows.first[i];
    if (packed24 && ny == 1 && singleColumns) {
      // One sample per pixel: a straight copy through the shift.
      const uint8_t* line = sourceRow(ys[0]);
      for (int64_t j = 0; j < columnCount; ++j, out += 3) {
        const uint8_t* p = line + static_cast<int64_t>(xs[j]) * 3;
        out[0] = blue.to[p[0]];
        out[1] = green.to[p[1]];
        out[2] = red.to[p[2]];
      }
      continue;
    }
    for (int64_t j = 0; j < columnCount; ++j, out += 3) {
      const int32_t* cx = xs + columns.first[j];
      const int32_t nx = columns.first[j + 1] - columns.first[j];
      int r = 0, g = 0, b = 0;
      for (int32_t a = 0; a < ny; ++a) {
        if (packed24) {
          const uint8_t* line = sourceRow(ys[a]);
          for (int32_t k = 0; k < nx; ++k) {
            const uint8_t* p = line + static_cast<int64_t>(cx[k]) * 3;
            b += p[0];
            g += p[1];
            r += p[2];
          }
        } else {
          for (int32_t k = 0; k < nx; ++k) {
            const ColorRef c = ReadDibPixel(header, pixels, cx[k], ys[a]);
            r += static_cast<int>(ColorRed(c));
            g += static_cast<int>(ColorGreen(c));
            b += static_cast<int>(ColorBlue(c));
          }
        }
      }
      const int count = nx * ny;
      if (count > 0) {
        r /= count;
        g /= count;
        b /= count;
      }
      out[0] = blue.to[b];
      out[1] = green.to[g];
      out[2] = red.to[r];
    }
  }
}

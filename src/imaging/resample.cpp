// SPDX-FileCopyrightText: The Quillane developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Separable resampling of 24-bit bitmaps with the filters ImageMagick uses for resizing, for the
// sides it cannot take. FFmpeg's scaler, the other resizing library at hand, refuses the large
// ratios between sides that such pictures come with (a 1024 x 768 picture made 65535 x 10).

#include "imaging/resample.h"

#include <algorithm>
#include <cmath>
#include <new>
#include <numbers>
#include <vector>

namespace imaging_internal {

namespace {

struct Kernel {
  double support;
  double (*weight)(double x);
};

double Sinc(double x) {
  if (x == 0.0) return 1.0;
  const double a = std::numbers::pi * x;
  return std::sin(a) / a;
}

Kernel KernelOf(ResizeFilter filter) {
  switch (filter) {
    case ResizeFilter::kBox:
      return {0.5, [](double) { return 1.0; }};
    case ResizeFilter::kCatmullRom:
      // The cubic with B = 0 and C = 1/2.
      return {2.0, [](double x) {
                x = std::fabs(x);
                if (x < 1.0) return 1.5 * x * x * x - 2.5 * x * x + 1.0;
                if (x < 2.0) return -0.5 * x * x * x + 2.5 * x * x - 4.0 * x + 2.0;
                return 0.0;
              }};
    case ResizeFilter::kLanczos:
      return {3.0, [](double x) { return std::fabs(x) < 3.0 ? Sinc(x) * Sinc(x / 3.0) : 0.0; }};
  }
  return {0.5, [](double) { return 1.0; }};
}

// Which samples of the old side make each sample of the new one, and how much of each.
struct Contributions {
  std::vector<int32_t> first;   // per new sample: its first old sample
  std::vector<int32_t> count;   // per new sample: how many old samples
  std::vector<int64_t> offset;  // per new sample: where its weights start
  std::vector<float> weights;
};

// Like ImageMagick: a shrinking filter is widened by the ratio so that it averages every old
// sample the new one covers; the weights of each new sample add up to 1.
Contributions ContributionsFor(int32_t from, int32_t to, const Kernel& kernel) {
  Contributions c;
  const double factor = static_cast<double>(to) / from;
  double scale = std::max(1.0 / factor, 1.0);
  double support = scale * kernel.support;
  if (support < 0.5) {
    support = 0.5;
    scale = 1.0;
  }
  c.first.resize(static_cast<size_t>(to));
  c.count.resize(static_cast<size_t>(to));
  c.offset.resize(static_cast<size_t>(to));
  std::vector<double> row;
  for (int32_t i = 0; i < to; ++i) {
    const double centre = (i + 0.5) / factor;
    const int32_t start = std::max(static_cast<int32_t>(centre - support + 0.5), 0);
    const int32_t stop = std::min(static_cast<int32_t>(centre + support + 0.5), from);
    row.clear();
    double density = 0.0;
    for (int32_t j = start; j < stop; ++j) {
      const double w = kernel.weight((j - centre + 0.5) / scale);
      row.push_back(w);
      density += w;
    }
    // The centre lies inside the old side and the support is at least half a sample: every new
    // sample has an old one.
    c.first[static_cast<size_t>(i)] = start;
    c.count[static_cast<size_t>(i)] = static_cast<int32_t>(row.size());
    c.offset[static_cast<size_t>(i)] = static_cast<int64_t>(c.weights.size());
    for (double w : row) c.weights.push_back(static_cast<float>(density != 0.0 ? w / density : w));
  }
  return c;
}

// 16-bit samples, rows top-down, blue-green-red as the bitmap.
struct Samples {
  int32_t width = 0;
  int32_t height = 0;
  std::vector<uint16_t> data;
  uint16_t* Row(int32_t y) { return data.data() + static_cast<size_t>(y) * width * 3; }
};

uint16_t ToSample(float v) {
  return static_cast<uint16_t>(std::clamp(v * 257.0f + 0.5f, 0.0f, 65535.0f));
}
uint8_t ToByte(float v) {
  return static_cast<uint8_t>(std::clamp(v / 257.0f + 0.5f, 0.0f, 255.0f));
}

// One row of `in` (n values of 3 channels) filtered along the row into `out`.
template <typename In, typename Out, typename Convert>
void FilterRow(const In* in, const Contributions& c, Out* out, Convert convert) {
  const size_t n = c.first.size();
  for (size_t i = 0; i < n; ++i) {
    const In* p = in + static_cast<size_t>(c.first[i]) * 3;
    const float* w = c.weights.data() + c.offset[i];
    float b = 0, g = 0, r = 0;
    for (int32_t k = 0; k < c.count[i]; ++k, p += 3) {
      b += w[k] * p[0];
      g += w[k] * p[1];
      r += w[k] * p[2];
    }
    out[i * 3] = convert(b);
    out[i * 3 + 1] = convert(g);
    out[i * 3 + 2] = convert(r);
  }
}

// Every column of the rows of `rowAt` filtered down the columns into rows of `out`.
template <typename RowAt, typename Out, typename Convert>
void FilterColumns(RowAt rowAt, int32_t rowSamples, const Contributions& c, Out outRow,
                   Convert convert) {
  std::vector<float> sum(static_cast<size_t>(rowSamples));
  for (size_t i = 0; i < c.first.size(); ++i) {
    std::fill(sum.begin(), sum.end(), 0.0f);
    const float* w = c.weights.data() + c.offset[i];
    for (int32_t k = 0; k < c.count[i]; ++k) {
      const auto* in = rowAt(c.first[i] + k);
      for (int32_t s = 0; s < rowSamples; ++s) sum[s] += w[k] * in[s];
    }
    auto* out = outRow(static_cast<int32_t>(i));
    for (int32_t s = 0; s < rowSamples; ++s) out[s] = convert(sum[s]);
  }
}

}  // namespace

ResizeFilter FilterForSizes(int32_t fromWidth, int32_t fromHeight, int32_t width, int32_t height) {
  if (width <= fromWidth && height <= fromHeight) return ResizeFilter::kBox;
  if (width >= fromWidth && height >= fromHeight) return ResizeFilter::kCatmullRom;
  return ResizeFilter::kLanczos;
}

int ResampleWithoutMagick(ImgBitmap* bitmap, int32_t width, int32_t height, ResizeFilter filter) {
  if (bitmap == nullptr || !bitmap->hasImage || !bitmap->dib) return 0;
  if (!WithinProgramLimits(width, height)) return 0;
  try {
    const Kernel kernel = KernelOf(filter);
    const Contributions across = ContributionsFor(bitmap->width, width, kernel);
    const Contributions down = ContributionsFor(bitmap->height, height, kernel);
    ImgBitmap result;
    if (ImgCreate(&result, 1, width, height, 24) != 1) return 0;
    const ImgBitmap& source = *bitmap;
    const auto toSample = [](float v) { return ToSample(v); };
    const auto toByte = [](float v) { return ToByte(v); };
    Samples middle;
    // The direction that grows more (or shrinks less) first, as ImageMagick does: the samples
    // between the passes then take the memory the program's estimate allows for.
    if (static_cast<double>(width) / source.width > static_cast<double>(height) / source.height) {
      middle.width = width;
      middle.height = source.height;
      middle.data.resize(static_cast<size_t>(middle.width) * middle.height * 3);
      for (int32_t y = 0; y < source.height; ++y) {
        FilterRow(source.Row(y), across, middle.Row(y), toSample);
      }
      FilterColumns([&](int32_t y) { return middle.Row(y); }, width * 3, down,
                    [&](int32_t y) { return result.Row(y); }, toByte);
    } else {
      middle.width = source.width;
      middle.height = height;
      middle.data.resize(static_cast<size_t>(middle.width) * middle.height * 3);
      FilterColumns([&](int32_t y) { return source.Row(y); }, source.width * 3, down,
                    [&](int32_t y) { return middle.Row(y); }, toSample);
      for (int32_t y = 0; y < height; ++y) FilterRow(middle.Row(y), across, result.Row(y), toByte);
    }
    *bitmap = std::move(result);
    return 1;
  } catch (const std::bad_alloc&) {
    return 0;
  } catch (const std::length_error&) {
    return 0;
  }
}

}  // namespace imaging_internal

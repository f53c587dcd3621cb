// SPDX-FileCopyrightText: The Quillane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "effects/pixel_primitives.h"

#include <cmath>
#include <cstdlib>
#include <utility>

namespace {

// Address of row y counted from the top, whatever the row order.
inline const uint8_t* RowAt(const BitmapInfoHeader* header, const uint8_t* pixels, int y) {
  const int64_t rowBytes = DibRowBytes(header->biWidth, header->biBitCount);
  const int64_t height = header->biHeight;
  const int64_t row = height > 0 ? height - y - 1 : y;
  return pixels + row * rowBytes;
}

// Reference picture rows are only read inside the picture; the pencil styles keep their strokes
// well inside it, so this never changes a painting, but a stray point cannot read past the block.
inline bool InsideBitmap(const BitmapInfoHeader* header, int x, int y) {
  const int64_t height =
      header->biHeight < 0 ? -static_cast<int64_t>(header->biHeight) : header->biHeight;
  return x >= 0 && y >= 0 && x < header->biWidth && y < height;
}

// The pencil only marks paper whose reference colour, lightened half-way to white, lies within
// 64 of the stroke colour in every channel.
inline bool MatchesReference(int red, int green, int blue, ColorRef reference) {
  const int tr = (static_cast<int>(ColorRed(reference)) + 255) / 2;
  const int tg = (static_cast<int>(ColorGreen(reference)) + 255) / 2;
  const int tb = (static_cast<int>(ColorBlue(reference)) + 255) / 2;
  return tr - 64 < red && red < tr + 64 && tg - 64 < green && green < tg + 64 && tb - 64 < blue &&
         blue < tb + 64;
}

struct PencilTarget {
  DrawingContext* surface;
  const BitmapInfoHeader* header;
  const uint8_t* pixels;
  int red;
  int green;
  int blue;

  void TestAndSet(int x, int y, int r, int g, int b) const {
    if (!InsideBitmap(header, x, y)) return;
    if (!MatchesReference(r, g, b, ReadDibPixel(header, pixels, x, y))) return;
    surface->SetPixel(
        x, y,
        MakeColor(static_cast<uint32_t>(r), static_cast<uint32_t>(g), static_cast<uint32_t>(b)));
  }

  void Plain(int x, int y) const { TestAndSet(x, y, red, green, blue); }

  // Blends the line colour over the surface with coverage weight / 256.
  void Blended(int x, int y, int weight) const {
    const float a = static_cast<float>(weight) / 256.0f;
    const float rest = 1.0f - a;
    const ColorRef under = surface->GetPixel(x, y);
    auto mix = [&](int line, uint32_t below) {
      const int v = static_cast<int>(static_cast<float>(line) * a) +
                    static_cast<int>(static_cast<float>(below) * rest);
      return v > 255 ? 255 : v;
    };
    TestAndSet(x, y, mix(red, ColorRed(under)), mix(green, ColorGreen(under)),
               mix(blue, ColorBlue(under)));
  }
};

}  // namespace

ColorRef ReadDibPixel(const BitmapInfoHeader* header, const uint8_t* pixels, int x, int y) {
  const uint8_t* row = RowAt(header, pixels, y);
  const int bits = header->biBitCount;
  if (bits == 24) {
    const uint8_t* p = row + static_cast<intptr_t>(x) * 3;
    return MakeColor(p[2], p[1], p[0]);
  }
  if (bits == 32) {
    const uint8_t* p = row + static_cast<intptr_t>(x) * 4;
    return MakeColor(p[2], p[1], p[0]);
  }
  unsigned index;
  if (bits == 1) {
    index = (row[x / 8] >> (7 - (x % 8))) & 1u;
  } else if (bits == 4) {
    const uint8_t byte = row[x / 2];
    index = (x % 2 == 0) ? (byte >> 4) : (byte & 0x0Fu);
  } else if (bits == 8) {
    index = row[x];
  } else {
    return 0;
  }
  const uint32_t entries = header->biClrUsed != 0 ? header->biClrUsed : (1u << bits);
  if (index >= entries) return 0;
  const uint8_t* entry = reinterpret_cast<const uint8_t*>(header) + kDibHeaderSize + index * 4;
  return MakeColor(entry[2], entry[1], entry[0]);
}

int AverageRegion(const BitmapInfoHeader* header, const uint8_t* pixels, int x0, int y0, int x1,
                  int y1, uint8_t* red, uint8_t* green, uint8_t* blue, int sparse) {
  const int step = sparse ? 2 : 1;
  int64_t sumRed = 0, sumGreen = 0, sumBlue = 0, count = 0;
  if (header->biBitCount == 24) {
    // The pictures the effects sample are 24-bit: read their bytes directly.
    for (int y = y0; y < y1; y += step) {
      const uint8_t* row = RowAt(header, pixels, y);
      for (int x = x0; x < x1; x += step) {
        const uint8_t* p = row + static_cast<intptr_t>(x) * 3;
        sumBlue += p[0];
        sumGreen += p[1];
        sumRed += p[2];
        ++count;
      }
    }
  } else {
    for (int y = y0; y < y1; y += step) {
      for (int x = x0; x < x1; x += step) {
        const ColorRef c = ReadDibPixel(header, pixels, x, y);
        sumRed += ColorRed(c);
        sumGreen += ColorGreen(c);
        sumBlue += ColorBlue(c);
        ++count;
      }
    }
  }
  if (count == 0) {
    *red = *green = *blue = 0;
    return 0;
  }
  if ((count & (count - 1)) == 0) {
    // The cells of the stroke styles sample 1 or 4 pixels: a shift divides them exactly, at a
    // fraction of the cost of a division.
    const int shift = __builtin_ctzll(static_cast<uint64_t>(count));
    *red = static_cast<uint8_t>(sumRed >> shift);
    *green = static_cast<uint8_t>(sumGreen >> shift);
    *blue = static_cast<uint8_t>(sumBlue >> shift);
    return 0;
  }
  *red = static_cast<uint8_t>(sumRed / count);
  *green = static_cast<uint8_t>(sumGreen / count);
  *blue = static_cast<uint8_t>(sumBlue / count);
  return 0;
}

void DrawPencilLine(DrawingContext* surface, int red, int green, int blue, int x0, int y0, int x1,
                    int y1, const BitmapInfoHeader* referenceHeader,
                    const uint8_t* referencePixels) {
  const PencilTarget target{surface, referenceHeader, referencePixels, red, green, blue};
  if (y0 > y1) {
    std::swap(x0, x1);
    std::swap(y0, y1);
  }
  int dx = x1 - x0;
  const int direction = dx >= 0 ? 1 : -1;
  dx = std::abs(dx);
  const int dy = y1 - y0;
  int x = x0;
  int y = y0;

  if (dy == 0) {
    for (int i = 0; i < dx; ++i) {
      x += direction;
      target.Plain(x, y);
    }
    return;
  }
  if (dx == 0) {
    for (int i = 0; i < dy; ++i) {
      ++y;
      target.Plain(x, y);
    }
    return;
  }
  if (dx == dy) {
    for (int i = 0; i < dy; ++i) {
      x += direction;
      ++y;
      target.Plain(x, y);
    }
    return;
  }

  uint16_t acc = 0;
  if (dy > dx) {
    const uint16_t adj =
        static_cast<uint16_t>((static_cast<uint32_t>(dx) << 16) / static_cast<uint32_t>(dy));
    for (int i = 0; i < dy - 1; ++i) {
      const uint16_t before = acc;
      acc = static_cast<uint16_t>(acc + adj);
      if (acc <= before) x += direction;
      ++y;
      const int k = acc >> 8;
      target.Blended(x, y, 256 - k);
      target.Blended(x + direction, y, 256 - (k ^ 255));
    }
  } else {
    const uint16_t adj =
        static_cast<uint16_t>((static_cast<uint32_t>(dy) << 16) / static_cast<uint32_t>(dx));
    for (int i = 0; i < dx - 1; ++i) {
      const uint16_t before = acc;
      acc = static_cast<uint16_t>(acc + adj);
      if (acc <= before) ++y;
      x += direction;
      const int k = acc >> 8;
      target.Blended(x, y, 256 - k);
      target.Blended(x, y + 1, 256 - (k ^ 255));
    }
  }
  target.Plain(x1, y1);
}

int PolarOffset(float* dx, float* dy, float angle, float length) {
  // The angle is converted with the single-precision factor; the trigonometry and the product
  // run in double precision and are stored as float.
  const float radians = angle * 0.017453292f;
  *dx = static_cast<float>(static_cast<double>(length) * std::cos(static_cast<double>(radians)));
  *dy = static_cast<float>(static_cast<double>(length) * std::sin(static_cast<double>(radians)));
  return 0;
}

int RoundHalfAway(double value) {
  if (value < 0)
    value -= 0.5;
  else if (value > 0)
    value += 0.5;
  return static_cast<int>(value);
}

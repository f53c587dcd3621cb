// SPDX-FileCopyrightText: The Quillane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "effects/stroke_placement.h"

#include "base/random.h"
#include "effects/pixel_primitives.h"
#include "imaging/drawing_surface.h"

namespace {

// Single-precision constants of the painting arithmetic: 1/3 and 1/255 as floats. They are
// multiplied out in double precision, which is what makes the charcoal grey-level tests hold
// exactly from the sums 288, 384 and 480 on (in single precision 288 x 1/3 would round to 96).
constexpr double kThird = double{0.33333334f};
constexpr double kInv255 = double{0.003921569f};

inline int ChannelOf(double v) {
  if (v > 255.0) {
    v = 255.0;
  } else if (v < 0.0) {
    v = 0.0;
  }
  return static_cast<int>(v);
}

}  // namespace

StyleParameters StyleParametersFor(int style) {
  StyleParameters p;
  if (style == kStylePointillism) {
    p.cellSize = 4;
    p.colorSpread = 50.0f;
    p.bandWidth = 32;
  } else if (style == kStyleCharcoalPencil || style == kStyleColoredPencil) {
    p.baseLength = 6;
    p.baseWidth = 1;
    p.widthSpread = 2.0f;
  }
  return p;
}

namespace {

// What a cell's first draws and its samples decide: whether it gets a stroke at all, and the
// values the stroke is made of.
struct CellChoice {
  int halfLength = 0;
  int red = 0;  // the stroke's base colour (Charcoal Pencil: a grey level)
  int green = 0;
  int blue = 0;
  float brightness = 0.0f;
};

// Samples the cell and makes draws 1 and 2. False when the cell gets no stroke: left out by the
// first draw, or outside the brightness band.
inline bool ChooseCell(int x0, int y0, int x1, int y1, int style, const StyleParameters& parameters,
                       int bandTop, int bandWidth, const StrokeTarget& target, Random& random,
                       CellChoice* choice) {
  // The sample changes nothing: a cell left out needs none.
  if (CellLeftOut(random.Draw())) return false;

  choice->halfLength =
      static_cast<int>(10.0 * RandomUnit(random.Draw()) - 5.0) + parameters.baseLength;

  uint8_t red = 0;
  uint8_t green = 0;
  uint8_t blue = 0;
  AverageRegion(target.referenceHeader, target.referencePixels, x0, y0, x1, y1, &red, &green, &blue,
                1);

  int cr = red;
  int cg = green;
  int cb = blue;
  int brightnessSum = cr + cg + cb;
  if (style == kStyleCharcoalPencil) {
    // The two-level reference gives the grey level; the colour copy gives the direction.
    const double mean = brightnessSum * kThird;
    int grey = -1;
    if (mean > 96.0) grey = 128;
    if (mean > 128.0) grey = 160;
    if (mean > 160.0) grey = 255;
    if (grey >= 0) cr = cg = cb = grey;
    uint8_t r2 = 0;
    uint8_t g2 = 0;
    uint8_t b2 = 0;
    AverageRegion(target.colorCopyHeader, target.colorCopyPixels, x0, y0, x1, y1, &r2, &g2, &b2, 1);
    brightnessSum = r2 + g2 + b2;
  }

  const double brightnessProduct = brightnessSum * kThird;
  const int b = static_cast<int>(brightnessProduct);  // equals brightnessSum / 3
  if (!(bandTop - bandWidth <= b && b < bandTop)) return false;
  choice->red = cr;
  choice->green = cg;
  choice->blue = cb;
  choice->brightness = static_cast<float>(brightnessProduct);
  return true;
}

}  // namespace

int CellBrightness(int x0, int y0, int x1, int y1, int style, const StrokeTarget& target) {
  const bool charcoal = style == kStyleCharcoalPencil;
  const BitmapInfoHeader* header = charcoal ? target.colorCopyHeader : target.referenceHeader;
  const uint8_t* pixels = charcoal ? target.colorCopyPixels : target.referencePixels;
  if (x0 < x1 && y0 < y1 && x1 - x0 <= 2 && y1 - y0 <= 2 && header->biBitCount == 24) {
    // Every second pixel of a cell of 2 x 2 or less is its top-left pixel alone: read it
    // straight, as every cell of a two-pixel sweep is measured.
    const int64_t height = header->biHeight;
    const int64_t row = height > 0 ? height - y0 - 1 : y0;
    const uint8_t* p = pixels + row * DibRowBytes(header->biWidth, 24) + int64_t{x0} * 3;
    return static_cast<int>((p[0] + p[1] + p[2]) * kThird);
  }
  uint8_t red = 0;
  uint8_t green = 0;
  uint8_t blue = 0;
  AverageRegion(header, pixels, x0, y0, x1, y1, &red, &green, &blue, 1);
  return static_cast<int>((red + green + blue) * kThird);
}

void PlaceStroke(int x0, int y0, int x1, int y1, int xc, int yc, int style,
                 const StyleParameters& parameters, int bandTop, int bandWidth,
                 const StrokeTarget& target, Random& random) {
  CellChoice choice;
  if (!ChooseCell(x0, y0, x1, y1, style, parameters, bandTop, bandWidth, target, random, &choice)) {
    return;
  }
  const int halfLength = choice.halfLength;
  const int cr = choice.red;
  const int cg = choice.green;
  const int cb = choice.blue;
  const float bf = choice.brightness;

  // Brightness 0 to 255 turns the stroke once round: horizontal at 0 and 128, vertical at about
  // 64 and 191, tilted at random by up to 5 degrees either way.
  const double angle = bf * kInv255 * 360.0 + (10.0 * RandomUnit(random.Draw()) - 5.0);
  float dx = 0.0f;
  float dy = 0.0f;
  PolarOffset(&dx, &dy, static_cast<float>(angle), static_cast<float>(halfLength));

  const ColorRef centre = target.canvas->GetPixel(xc, yc);

  // The centre plus the offset is formed exactly (in double) before it is truncated.
  const int ex1 = static_cast<int>(xc + static_cast<double>(dx));
  const int ey1 = static_cast<int>(yc + static_cast<double>(dy));
  const int ex2 = static_cast<int>(xc - static_cast<double>(dx));
  const int ey2 = static_cast<int>(yc - static_cast<double>(dy));
  const int maxX = target.canvasWidth - kCanvasMargin;
  const int maxY = target.canvasHeight - kCanvasMargin;
  // A stroke reaching into the margin is dropped whole rather than clipped.
  const bool dropped = ex1 < kCanvasMargin || ex1 > maxX || ex2 < kCanvasMargin || ex2 > maxX ||
                       ey1 < kCanvasMargin || ey1 > maxY || ey2 < kCanvasMargin || ey2 > maxY;

  // The two remaining draws are made even for a dropped stroke, so that what follows in the
  // random sequence does not depend on the drop. Each draw times its spread is rounded to single
  // precision before half the spread is taken off: for r = 32767 that rounding reaches the
  // full spread, which gives the widest pen and the largest colour offset.
  const float widthDraw =
      static_cast<float>(RandomUnit(random.Draw()) * static_cast<double>(parameters.widthSpread));
  const int penWidth =
      static_cast<int>(widthDraw - parameters.widthSpread * 0.5) + parameters.baseWidth;
  const float colorDraw =
      static_cast<float>(RandomUnit(random.Draw()) * static_cast<double>(parameters.colorSpread));
  const double offset = colorDraw - parameters.colorSpread * 0.5;

  // Half and half with what the canvas shows, except over pure black, which would only darken.
  const bool mix = centre != 0;
  auto strokeChannel = [&](int c, uint32_t canvasChannel) {
    double v = c + offset;
    if (mix) v = 0.5 * v + 0.5 * canvasChannel;
    return ChannelOf(v);
  };
  const int sr = strokeChannel(cr, ColorRed(centre));
  const int sg = strokeChannel(cg, ColorGreen(centre));
  const int sb = strokeChannel(cb, ColorBlue(centre));

  if (dropped) return;

  DrawingContext* dc = target.canvas;
  const ColorRef color = MakeColor(sr, sg, sb);
  switch (style) {
    case kStyleVanGogh: {
      const Pen previous = dc->SelectPen(Pen{penWidth, color});
      dc->MoveToEx(ex1, ey1);
      dc->LineTo(ex2, ey2);
      dc->SelectPen(previous);
      break;
    }
    case kStylePointillism: {
      const Pen previousPen = dc->SelectPen(Pen{penWidth, color});
      const Brush previousBrush = dc->SelectBrush(Brush{color});
      // A 5 x 5 dot at the stroke's midpoint; length and angle only decide whether it is kept.
      const int cx = static_cast<int>((ex1 + ex2) * 0.5 - 2.0);
      const int cy = static_cast<int>((ey1 + ey2) * 0.5 - 2.0);
      dc->Ellipse(cx, cy, cx + 5, cy + 5);
      dc->SelectBrush(previousBrush);
      dc->SelectPen(previousPen);
      break;
    }
    case kStyleCharcoalPencil:
    case kStyleColoredPencil:
      DrawPencilLine(dc, sr, sg, sb, ex1, ey1, ex2, ey2, target.referenceHeader,
                     target.referencePixels);
      break;
    default:
      break;
  }
}

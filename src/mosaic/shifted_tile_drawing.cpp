// Drawing a tile picture into the mosaic, tinted towards the colour of the tile it fills.

#include <algorithm>
#include <cstdlib>

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

uint8_t ShiftChannel(int mean, int shift) {
  return static_cast<uint8_t>(std::clamp(mean + shift, 0, 255));
}

}  // namespace

void DrawShiftedTile(DrawingContext* dc, const BitmapInfoHeader* header, const uint8_t* pixels,
                     int x0, int y0, int w, int h, int clipLeft, int clipTop, int clipRight,
                     int clipBottom, ColorRef fromColor, ColorRef toColor, int coarse) {
  if (dc == nullptr || header == nullptr || pixels == nullptr) return;
  // Widths come from truncated sizes that are never negative in the mosaic; a negative one
  // would make the walk below run backwards for ever.
  if (w <= 0 || h <= 0) return;

  const int shiftRed = static_cast<int>(ColorRed(toColor)) - static_cast<int>(ColorRed(fromColor));
  const int shiftGreen =
      static_cast<int>(ColorGreen(toColor)) - static_cast<int>(ColorGreen(fromColor));
  const int shiftBlue =
      static_cast<int>(ColorBlue(toColor)) - static_cast<int>(ColorBlue(fromColor));

  const float sw = static_cast<float>(header->biWidth);
  const float sh = static_cast<float>(std::abs(header->biHeight));
  const float xScale = sw / static_cast<float>(w);
  const float yScale = sh / static_cast<float>(h);
  const float xStep = static_cast<float>(SampleStep(xScale, coarse));
  const float yStep = static_cast<float>(SampleStep(yScale, coarse));
  if (!(sh > 0) || !(sw > 0)) return;

  // Every destination pixel is the mean of the source block it stands for. Destination rows and
  // columns only grow, so the walk ends as soon as it leaves the clip rectangle; pixels before
  // the clip are passed over without being sampled.
  int yd = y0;
  for (float sy = 0; sy < sh; sy += yScale, ++yd) {
    if (yd >= clipBottom) break;
    const float blockBottom = std::min(sy + yScale, sh);
    if (yd >= clipTop) {
      int xd = x0;
      for (float sx = 0; sx < sw; sx += xScale, ++xd) {
        if (xd >= clipRight) break;
        if (xd >= clipLeft) {
          const float blockRight = std::min(sx + xScale, sw);
          int red = 0, green = 0, blue = 0, count = 0;
          for (float yy = sy; yy < blockBottom; yy += yStep) {
            for (float xx = sx; xx < blockRight; xx += xStep) {
              const ColorRef c =
                  ReadDibPixel(header, pixels, static_cast<int>(xx), static_cast<int>(yy));
              red += static_cast<int>(ColorRed(c));
              green += static_cast<int>(ColorGreen(c));
              blue += static_cast<int>(ColorBlue(c));
              ++count;
            }
          }
          if (count > 0) {
            red /= count;
            green /= count;
            blue /= count;
          }
          dc->SetPixel(xd, yd,
                       MakeColor(ShiftChannel(red, shiftRed), ShiftChannel(green, shiftGreen),
                                 ShiftChannel(blue, shiftBlue)));
        }
        if (sx + xScale == sx) break;  // a step lost to rounding would never end the row
      }
    }
    if (sy + yScale == sy) break;
  }
}

// SPDX-FileCopyrightText: The Quillane developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The "Picture Mosaic" effect: the start picture is cut into tiles, each described by the mean
// colours of up to 5 x 5 patches (its signature), and every tile source takes the tiles whose
// signature it matches better than the picture already there, drawn tinted to the tile's mean.

#include "mosaic/picture_mosaic.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <new>
#include <string>
#include <utility>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "base/language.h"
#include "base/paint_context.h"
#include "base/paint_result.h"
#include "base/truncate.h"
#include "effects/effect_engine.h"
#include "effects/pixel_primitives.h"
#include "mosaic/mosaic_internals.h"
#include "mosaic/mosaic_options.h"
#include "mosaic/tile_limits.h"
#include "mosaic/tile_report.h"
#include "mosaic/tile_sources.h"

// Everything one run holds. The target signatures are stored patch number by patch number
// across all tiles (entry j * planeStride + tile), so that one tile source is compared with all
// tiles in long runs over contiguous bytes.
//
// For the picture in place a tile keeps only its distance to the tile and how many of its patch
// colours are black, not the colours themselves: a tile source that wins a tile leaves exactly
// the distance it had just been measured at, so the next comparison sees the same number it
// would get from the stored colours.
struct MosaicRun {
  PaintContext* paint = nullptr;
  FrontWindow* destDC = nullptr;  // the picture frame
  Rect display;
  float W = 0;
  float H = 0;
  int32_t Wi = 0;
  int32_t Hi = 0;
  MosaicGrid grid;

  int64_t tileCount = 0;
  int64_t planeStride = 0;  // tileCount rounded up to whole groups of four
  int maxPatches = 0;       // most patches of any tile; 0 when tiles are too small for any
  std::vector<uint8_t> patchCount;
  std::vector<uint8_t> targetRed, targetGreen, targetBlue;
  std::vector<float> placedDistance;
  std::vector<uint8_t> placedBlack;
  std::vector<float> sourceDistance;
  ColorRef sourceColors[kSourceColorSlots] = {};

  ImgBitmap working;
  DrawingContext* workingDC = nullptr;
  DibHandle heldTile;  // the tile picture being matched

  // The tile grid: the integer edges of its columns and rows, each list one longer than their
  // number, the last edge cut to the picture.
  std::vector<int32_t> columnEdges;
  std::vector<int32_t> rowEdges;

  // Who holds each tile, kept only when limits on repeats or the final assignment are asked
  // for; the plain mosaic draws each win as the walk meets it.
  std::unique_ptr<TileHolders> holders;
  std::vector<TileWin> wins;  // the tile source's wins, in tile-walk order
  // The tile sources by number, and the numbers by path and frame: a picture offered twice is
  // one tile source.
  std::vector<std::pair<std::string, int32_t>> sourceNames;
  std::map<std::pair<std::string, int32_t>, int32_t> sourceNumbers;
};

namespace {

// Tile origins, rows top to bottom and tiles left to right, by repeated addition.
template <typename TileFn>
void WalkTiles(const MosaicRun& r, TileFn&& visit) {
  for (float y = 0; y + 1 < r.H; y += r.grid.tileHeight) {
    for (float x = 0; x + 1 < r.W; x += r.grid.tileWidth) visit(x, y);
  }
}

// The patches of the tile at (x, y) in walk order; returns their number.
template <typename PatchFn>
int WalkPatches(const MosaicRun& r, float x, float y, PatchFn&& visit) {
  const MosaicGrid& g = r.grid;
  int n = 0;
  for (float py = y; py + 1 < y + g.tileHeight; py += g.patchHeight) {
    for (float px = x; px + 1 < x + g.tileWidth; px += g.patchWidth) {
      if (n == kSourceColorSlots) return n;
      Rect patch{TruncateToInt(px), TruncateToInt(py), TruncateToInt(px + g.patchWidth),
                 TruncateToInt(py + g.patchHeight)};
      if (patch.right > r.Wi) patch.right = r.Wi;
      if (patch.bottom > r.Hi) patch.bottom = r.Hi;
      visit(patch);
      ++n;
    }
  }
  return n;
}

ColorRef MeanColor(const BitmapInfoHeader* header, const uint8_t* pixels, const Rect& rect) {
  uint8_t red = 0, green = 0, blue = 0;
  AverageRegion(header, pixels, rect.left, rect.top, rect.right, rect.bottom, &red, &green, &blue,
                0);
  return MakeColor(red, green, blue);
}

// Lays out the grid and takes the signature of every tile of the start picture. False when
// the memory cannot be had.
bool ScanStartPicture(MosaicRun& r, const BitmapInfoHeader* header, const uint8_t* pixels) {
  int64_t tiles = 0;
  int maxPatches = 0;
  WalkTiles(r, [&](float x, float y) {
    ++tiles;
    maxPatches = std::max(maxPatches, WalkPatches(r, x, y, [](const Rect&) {}));
  });
  try {
    // The edges by the same additions as the walk, one step past the last tile.
    float x = 0, y = 0;
    for (; x + 1 < r.W; x += r.grid.tileWidth) r.columnEdges.push_back(TruncateToInt(x));
    r.columnEdges.push_back(std::min(TruncateToInt(x), r.Wi));
    for (; y + 1 < r.H; y += r.grid.tileHeight) r.rowEdges.push_back(TruncateToInt(y));
    r.rowEdges.push_back(std::min(TruncateToInt(y), r.Hi));
  } catch (const std::bad_alloc&) {
    return false;
  }
  r.tileCount = tiles;
  r.maxPatches = maxPatches;
  r.planeStride = (tiles + 3) / 4 * 4;
  // Tiles without patches always take the next tile source: nothing to keep for them.
  if (maxPatches == 0) return true;

  try {
    const size_t stride = static_cast<size_t>(r.planeStride);
    const size_t plane = stride * static_cast<size_t>(maxPatches);
    r.patchCount.assign(stride, 0);
    r.targetRed.assign(plane, 0);
    r.targetGreen.assign(plane, 0);
    r.targetBlue.assign(plane, 0);
    r.placedDistance.assign(stride, 0.0f);
    r.placedBlack.assign(stride, 0);
    r.sourceDistance.assign(stride, 0.0f);
  } catch (const std::bad_alloc&) {
    return false;
  }

  int64_t t = 0;
  WalkTiles(r, [&](float x, float y) {
    int j = 0;
    const int n = WalkPatches(r, x, y, [&](const Rect& patch) {
      const ColorRef c = MeanColor(header, pixels, patch);
      const size_t at = static_cast<size_t>(j) * r.planeStride + t;
      r.targetRed[at] = static_cast<uint8_t>(ColorRed(c));
      r.targetGreen[at] = static_cast<uint8_t>(ColorGreen(c));
      r.targetBlue[at] = static_cast<uint8_t>(ColorBlue(c));
      ++j;
    });
    r.patchCount[t] = static_cast<uint8_t>(n);
    // Nothing placed yet: every colour counts as black, so the first tile source wins.
    r.placedBlack[t] = static_cast<uint8_t>(n);
    ++t;
  });
  return true;
}

// Distance of the current source signature to every tile: per tile, the sum over its patches
// in walk order of the Euclidean distance between the paired colours, in single precision.
// Tiles are taken four at a time; each tile's sum still grows patch by patch in walk order, so
// the figures are those of a plain loop over one tile at a time.
void MeasureSourceDistances(MosaicRun& r) {
  float* sum = r.sourceDistance.data();
  const int64_t stride = r.planeStride;
  std::fill(sum, sum + stride, 0.0f);
  for (int j = 0; j < r.maxPatches; ++j) {
    const ColorRef c = r.sourceColors[j];
    const float cr = static_cast<float>(ColorRed(c));
    const float cg = static_cast<float>(ColorGreen(c));
    const float cb = static_cast<float>(ColorBlue(c));
    const uint8_t* red = r.targetRed.data() + j * stride;
    const uint8_t* green = r.targetGreen.data() + j * stride;
    const uint8_t* blue = r.targetBlue.data() + j * stride;
    const uint8_t* count = r.patchCount.data();
    int64_t t = 0;
#if defined(__SSE2__)
    const __m128i zero = _mm_setzero_si128();
    const __m128i patch = _mm_set1_epi32(j);
    const __m128 vr = _mm_set1_ps(cr), vg = _mm_set1_ps(cg), vb = _mm_set1_ps(cb);
    auto widen = [&](const uint8_t* p) {
      int32_t four;
      std::memcpy(&four, p, 4);
      __m128i v = _mm_cvtsi32_si128(four);
      v = _mm_unpacklo_epi8(v, zero);
      return _mm_unpacklo_epi16(v, zero);
    };
    for (; t + 4 <= stride; t += 4) {
      const __m128 dr = _mm_sub_ps(_mm_cvtepi32_ps(widen(red + t)), vr);
      const __m128 dg = _mm_sub_ps(_mm_cvtepi32_ps(widen(green + t)), vg);
      const __m128 db = _mm_sub_ps(_mm_cvtepi32_ps(widen(blue + t)), vb);
      const __m128 squares =
          _mm_add_ps(_mm_add_ps(_mm_mul_ps(dr, dr), _mm_mul_ps(dg, dg)), _mm_mul_ps(db, db));
      const __m128 inTile = _mm_castsi128_ps(_mm_cmpgt_epi32(widen(count + t), patch));
      const __m128 d = _mm_and_ps(_mm_sqrt_ps(squares), inTile);
      _mm_storeu_ps(sum + t, _mm_add_ps(_mm_loadu_ps(sum + t), d));
    }
#endif
    for (; t < stride; ++t) {
      if (j >= count[t]) continue;
      const float dr = static_cast<float>(red[t]) - cr;
      const float dg = static_cast<float>(green[t]) - cg;
      const float db = static_cast<float>(blue[t]) - cb;
      sum[t] += std::sqrt(dr * dr + dg * dg + db * db);
    }
  }
}

// Mean of n colours, each channel's sum divided by n and truncated; black for none.
template <typename ColorAt>
ColorRef MeanOf(int n, ColorAt&& colorAt) {
  if (n == 0) return 0;
  float red = 0, green = 0, blue = 0;
  for (int j = 0; j < n; ++j) {
    const ColorRef c = colorAt(j);
    red += static_cast<float>(ColorRed(c));
    green += static_cast<float>(ColorGreen(c));
    blue += static_cast<float>(ColorBlue(c));
  }
  const float count = static_cast<float>(n);
  return MakeColor(static_cast<uint32_t>(red / count), static_cast<uint32_t>(green / count),
                   static_cast<uint32_t>(blue / count));
}

void DrawWinningTile(const MosaicRun& r, const BitmapInfoHeader* header, const uint8_t* pixels,
                     int32_t left, int32_t top, ColorRef sourceMean, ColorRef targetMean) {
  const float tw = static_cast<float>(header->biWidth);
  const float th = static_cast<float>(std::abs(header->biHeight));
  if (!(tw > 0) || !(th > 0)) return;
  const TilePlacement at = PlaceTilePicture(r.grid, left, top, tw, th, r.Wi, r.Hi);
  // An enlarged tile wholly outside the picture draws nothing.
  if (at.clip.right <= at.clip.left || at.clip.bottom <= at.clip.top) return;
  DrawShiftedTile(r.workingDC, header, pixels, at.x0, at.y0, at.w, at.h, at.clip.left, at.clip.top,
                  at.clip.right, at.clip.bottom, sourceMean, targetMean, 1);
}

// The tile source takes tile t: its distance and black patches stay with the tile, and its
// picture is drawn there, tinted to the tile's mean colour.
void PlaceWin(MosaicRun& r, const BitmapInfoHeader* header, const uint8_t* pixels, int64_t t,
              int32_t left, int32_t top) {
  const int n = r.maxPatches > 0 ? r.patchCount[t] : 0;
  int black = 0;
  for (int j = 0; j < n; ++j) black += r.sourceColors[j] == 0 ? 1 : 0;
  if (n > 0) {
    r.placedDistance[t] = r.sourceDistance[t];
    r.placedBlack[t] = static_cast<uint8_t>(black);
  }
  const ColorRef targetMean = MeanOf(n, [&](int j) {
    const size_t at = static_cast<size_t>(j) * r.planeStride + t;
    return MakeColor(r.targetRed[at], r.targetGreen[at], r.targetBlue[at]);
  });
  const ColorRef sourceMean = MeanOf(n, [&](int j) { return r.sourceColors[j]; });
  DrawWinningTile(r, header, pixels, left, top, sourceMean, targetMean);
}

// The tiles as they stand, each with the path and frame of the tile source it shows.
TileAssignment AssignmentOf(const MosaicRun& r) {
  TileAssignment tiles;
  const int64_t columns = static_cast<int64_t>(r.columnEdges.size()) - 1;
  const int64_t rows = static_cast<int64_t>(r.rowEdges.size()) - 1;
  if (columns <= 0 || rows <= 0) return tiles;
  tiles.reserve(static_cast<size_t>(columns * rows));
  for (int64_t row = 0; row < rows; ++row) {
    for (int64_t column = 0; column < columns; ++column) {
      MosaicTile tile;
      tile.column = static_cast<int32_t>(column);
      tile.row = static_cast<int32_t>(row);
      tile.left = r.columnEdges[column];
      tile.top = r.rowEdges[row];
      tile.width = r.columnEdges[column + 1] - tile.left;
      tile.height = r.rowEdges[row + 1] - tile.top;
      const int32_t source = r.holders ? r.holders->Holder(row * columns + column) : -1;
      if (source >= 0) {
        tile.source = r.sourceNames[static_cast<size_t>(source)].first;
        tile.frame = r.sourceNames[static_cast<size_t>(source)].second;
      }
      tiles.push_back(std::move(tile));
    }
  }
  return tiles;
}

}  // namespace

int32_t TileSourceNumber(MosaicRun& r, const std::string& path, int32_t frame) {
  if (!r.holders) return -1;
  const auto key = std::make_pair(path, frame);
  const auto found = r.sourceNumbers.find(key);
  if (found != r.sourceNumbers.end()) return found->second;
  const int32_t number = static_cast<int32_t>(r.sourceNames.size());
  r.sourceNames.push_back(key);
  r.sourceNumbers.emplace(key, number);
  return number;
}

MosaicGrid MakeMosaicGrid(float W, float H, float tilesAcross, float tilesDown,
                          int autoSizeTilesDown) {
  tilesAcross = std::fabs(tilesAcross);
  tilesDown = std::fabs(tilesDown);
  MosaicGrid g;
  g.tileWidth = W / tilesAcross;
  if (autoSizeTilesDown == 0) {
    g.tileHeight = H / tilesDown;
  } else {
    // As many rows as make the tiles about 4 : 3. A very wide picture with few tiles across
    // would round to no row at all; it gets one.
    // The whole product in double precision: a single-precision H / W would round 4.5 rows
    // (320 x 72 at 15 across) down to 4.
    double rows = static_cast<double>(H) / static_cast<double>(W) *
                  static_cast<double>(tilesAcross) * 1.3333333333333333;
    rows = std::min(rows, 1e9);
    g.tileHeight = H / static_cast<float>(std::max(RoundHalfAway(rows), 1));
  }
  if (g.tileWidth < 1.0f) g.tileWidth = 1.0f;
  if (g.tileHeight < 1.0f) g.tileHeight = 1.0f;
  g.patchWidth = static_cast<float>(0.2 * g.tileWidth);
  g.patchHeight = static_cast<float>(0.2 * g.tileHeight);
  if (g.patchWidth < 1.0f) g.patchWidth = 1.0f;
  if (g.patchHeight < 1.0f) g.patchHeight = 1.0f;
  return g;
}

void CoverSize(float bw, float bh, const MosaicGrid& grid, int32_t* width, int32_t* height) {
  // As wide as a tile when that makes the picture at least a pixel higher than one, otherwise
  // as high as a tile.
  float ratio = grid.tileWidth / bw;
  float sw = bw * ratio;
  float sh = bh * ratio;
  if (sh < grid.tileHeight + 1) {
    ratio = grid.tileHeight / bh;
    sw = bw * ratio;
    sh = bh * ratio;
  }
  *width = TruncateToInt(sw);
  *height = TruncateToInt(sh);
}

// One pixel larger than the tile to the right and at the bottom, so that truncated tile edges
// leave no gaps; fitted to that width when it covers the tile's height, otherwise to that
// height, and centred across the other way.
TilePlacement PlaceTilePicture(const MosaicGrid& grid, int32_t left, int32_t top, float tw,
                               float th, int32_t Wi, int32_t Hi) {
  TilePlacement at;
  const float fitWidthHeight = (grid.tileWidth + 1) / tw * th;
  if (fitWidthHeight >= grid.tileHeight + 1) {
    at.x0 = left;
    at.y0 = TruncateToInt(top - (fitWidthHeight - grid.tileHeight) * 0.5);
    at.w = TruncateToInt(grid.tileWidth + 1);
    at.h = TruncateToInt(fitWidthHeight);
  } else {
    const float fitHeightWidth = (grid.tileHeight + 1) / th * tw;
    at.x0 = TruncateToInt(left - (fitHeightWidth - grid.tileWidth) * 0.5);
    at.y0 = top;
    at.w = TruncateToInt(fitHeightWidth);
    at.h = TruncateToInt(grid.tileHeight + 1);
  }
  at.clip = Rect{std::max(left, 0), std::max(top, 0),
                 std::min(TruncateToInt(left + grid.tileWidth + 1), Wi),
                 std::min(TruncateToInt(top + grid.tileHeight + 1), Hi)};
  return at;
}

namespace {

// The patches of a tile picture's signature, at most kMaxSignaturePatches of them: a fifth of
// its size, however small that is.
template <typename Visit>
void ForEachSignaturePatch(int32_t width, int32_t height, Visit visit) {
  const float tw = static_cast<float>(width);
  const float th = static_cast<float>(height);
  const float patchWidth = static_cast<float>(0.2 * tw);
  const float patchHeight = static_cast<float>(0.2 * th);
  const int32_t right = TruncateToInt(tw), bottom = TruncateToInt(th);
  int count = 0;
  for (float py = 0; py + 1 < th; py += patchHeight) {
    for (float px = 0; px + 1 < tw; px += patchWidth) {
      if (count == kMaxSignaturePatches) return;
      Rect patch{TruncateToInt(px), TruncateToInt(py), TruncateToInt(px + patchWidth),
                 TruncateToInt(py + patchHeight)};
      if (patch.right > tw) patch.right = right;
      if (patch.bottom > th) patch.bottom = bottom;
      visit(patch);
      ++count;
    }
  }
}

}  // namespace

void PrepareTilePicture(ImgBitmap* tileBitmap, float tileWidth, float tileHeight,
                        PreparedTile* out) {
  out->patchCount = 0;
  ImgSetColorDepth(tileBitmap, tileBitmap, 24, 0, 0, 0, 0, 0, 0);

  const float bw = static_cast<float>(tileBitmap->width);
  const float bh = static_cast<float>(tileBitmap->height);
  if (bw > 0 && bh > 0) {
    MosaicGrid grid;
    grid.tileWidth = tileWidth;
    grid.tileHeight = tileHeight;
    int32_t width, height;
    CoverSize(bw, bh, grid, &width, &height);
    ImgResize(tileBitmap, width, height, 2);
  }
  out->block = ImgToDib(tileBitmap);

  uint8_t* base = out->block.Lock();
  if (base == nullptr) return;
  const auto* header = reinterpret_cast<const BitmapInfoHeader*>(base);
  const uint8_t* pixels = base + kDibHeaderSize;
  ForEachSignaturePatch(header->biWidth, std::abs(header->biHeight), [&](const Rect& patch) {
    out->colors[out->patchCount++] = MeanColor(header, pixels, patch);
  });
}

int32_t SignaturePatchCount(int32_t width, int32_t height) {
  int32_t count = 0;
  ForEachSignaturePatch(width, height, [&count](const Rect&) { ++count; });
  return count;
}

bool CoversTileSize(int32_t width, int32_t height, float tileWidth, float tileHeight) {
  // One side is the tile's, truncated; float rounding of the ratio may take a pixel off it.
  const int64_t w = TruncateToInt(tileWidth), h = TruncateToInt(tileHeight);
  return width > 0 && height > 0 && (std::abs(width - w) <= 1 || std::abs(height - h) <= 1);
}

void CurrentTileSize(const MosaicRun& run, float* tileWidth, float* tileHeight) {
  *tileWidth = run.grid.tileWidth;
  *tileHeight = run.grid.tileHeight;
}

void TileSourceSizeHint(const MosaicRun& run, int32_t* width, int32_t* height) {
  float tileWidth, tileHeight;
  CurrentTileSize(run, &tileWidth, &tileHeight);
  // The cover resize may make a picture a pixel taller than a tile.
  *width = TruncateToInt(std::ceil(tileWidth)) + 1;
  *height = TruncateToInt(std::ceil(tileHeight)) + 1;
}

void ShowWorkingPicture(const MosaicRun& run) {
  if (run.destDC == nullptr || run.working.hasImage == 0) return;
  Rect source, destination;
  FitPictureRects(Rect{0, 0, run.Wi, run.Hi}, run.display, &source, &destination);
  ImgPaint(run.destDC, run.working, source, source, destination, destination, SRCCOPY);
}

void RecordWorkingPicture(MosaicRun& run, int64_t done, int64_t total) {
  if (run.working.hasImage != 0)
    run.paint->RecordProgress(run.working, Rect{0, 0, run.Wi, run.Hi}, done, total);
}

int MatchTileSource(MosaicRun& run, ImgBitmap* tileBitmap) {
  PreparedTile tile;
  PrepareTilePicture(tileBitmap, run.grid.tileWidth, run.grid.tileHeight, &tile);
  // A picture handed over alone is a tile source of its own.
  const int32_t number =
      TileSourceNumber(run, "", -2 - static_cast<int32_t>(run.sourceNames.size()));
  return MatchPreparedTile(run, &tile, number);
}

int MatchPreparedTile(MosaicRun& r, PreparedTile* tile, int32_t sourceNumber) {
  r.heldTile = std::move(tile->block);
  const uint8_t* base = r.heldTile.Lock();
  if (base == nullptr) return kPaintFailed;
  const auto* header = reinterpret_cast<const BitmapInfoHeader*>(base);
  const uint8_t* pixels = base + kDibHeaderSize;

  // Entries past this signature keep what earlier tile sources left there.
  std::copy(tile->colors, tile->colors + tile->patchCount, r.sourceColors);
  if (r.maxPatches > 0) MeasureSourceDistances(r);

  // Where tile holders are kept, the wins are gathered first and the holders decide which of
  // them the source takes (all of them without limits); they are then drawn in walk order, as
  // the plain mosaic draws them. Stop ends the walk with the wins found so far.
  const bool gather = r.holders != nullptr;
  r.wins.clear();
  int stop = 0;
  int64_t t = 0;
  for (float y = 0; y + 1 < r.H && stop == 0; y += r.grid.tileHeight) {
    for (float x = 0; x + 1 < r.W; x += r.grid.tileWidth, ++t) {
      if ((stop = r.paint->PollStop()) != 0) break;
      const int n = r.maxPatches > 0 ? r.patchCount[t] : 0;
      // Ties keep the picture in place; a tile whose colours are all black holds nothing yet.
      const bool empty = n == 0 || r.placedBlack[t] == n;
      if (!empty && !(r.sourceDistance[t] < r.placedDistance[t])) continue;
      if (gather) {
        const float source = n > 0 ? r.sourceDistance[t] : 0.0f;
        r.wins.push_back({t, empty, empty ? -source : r.placedDistance[t] - source});
      } else {
        PlaceWin(r, header, pixels, t, TruncateToInt(x), TruncateToInt(y));
      }
    }
  }
  if (gather) {
    r.holders->Take(sourceNumber, &r.wins);
    const int64_t columns = r.holders->Columns();
    for (const TileWin& win : r.wins) {
      PlaceWin(r, header, pixels, win.tile, r.columnEdges[win.tile % columns],
               r.rowEdges[win.tile / columns]);
    }
  }
  if (stop != 0) return stop;
  r.heldTile.Free();
  return 0;
}

int RunPictureMosaic(PaintContext& paint, DibHandle* dibRef, const Rect& display,
                     const MosaicOptions& options) {
  MosaicRun state;
  state.paint = &paint;
  state.destDC = paint.display;
  state.display = display;
  ImgInitHandle(&state.working, 0, 0, 0);

  const float tilesAcross = static_cast<float>(options.tilesAcross);
  const float tilesDown = static_cast<float>(options.tilesDown);
  int result = 0;
  if (options.useList && options.pictureList.empty() && !options.useLibrary) {
    paint.Warn(Tr("No picture or avi files specified in 'Your Picture List'."));
    result = kPaintRefused;
  } else if (tilesAcross == 0.0f || tilesDown == 0.0f) {
    paint.Warn(Tr("Tile number must be greater then zero."));
    result = kPaintRefused;
  } else if (!options.useList && !options.useLibrary) {
    paint.Warn(Tr("You must select either the Picture Library, Picture List or both."));
    result = kPaintRefused;
  } else if (dibRef == nullptr || !*dibRef || dibRef->Header()->biBitCount != 24) {
    result = paint.Fail(Tr("There is no start picture to paint."));
  }

  if (result == 0) {
    paint.ShowStatus(Tr("Scanning Image..."));
    // The working picture takes over the start picture's block below; header and pixels stay
    // valid until the end of the run.
    const BitmapInfoHeader* header = dibRef->Header();
    const uint8_t* pixels = dibRef->Pixels();
    state.Wi = header->biWidth;
    state.Hi = std::abs(header->biHeight);
    state.W = static_cast<float>(state.Wi);
    state.H = static_cast<float>(state.Hi);
    state.grid =
        MakeMosaicGrid(state.W, state.H, tilesAcross, tilesDown, options.autoSizeTilesDown ? 1 : 0);

    if (!ScanStartPicture(state, header, pixels)) {
      result = kPaintFailed;
    } else {
      if (options.limits.Any() || options.receiveTiles) {
        state.holders = std::make_unique<TileHolders>(
            static_cast<int64_t>(state.columnEdges.size()) - 1,
            static_cast<int64_t>(state.rowEdges.size()) - 1, options.limits);
      }
      ImgFromDib(&state.working, std::move(*dibRef));
      ShowWorkingPicture(state);
      RecordWorkingPicture(state, 0, 1);
      state.workingDC = ImgCreateDC(&state.working);
      if (state.workingDC != nullptr)
        state.workingDC->SelectClipRect(Rect{0, 0, state.Wi, state.Hi});

      result = WalkTileSources(state, paint, options);
      if (result == 0) {
        paint.ShowStatus(Tr("Mosaic completed."));
        RecordWorkingPicture(state, 1, 1);
      }
    }
  }

  if (state.workingDC != nullptr) ImgDeleteDC(state.workingDC);
  state.workingDC = nullptr;
  state.heldTile.Free();
  if (state.working.hasImage != 0) *dibRef = ImgToDib(&state.working);
  // Once the grid is laid out there are tiles to tell of, even when the run ends early.
  if (options.receiveTiles && !state.columnEdges.empty()) options.receiveTiles(AssignmentOf(state));
  if (result == kPaintFailed && paint.refusal.empty()) {
    // A failure is no cancellation: the user is told why the mosaic could not be made.
    char text[128];
    std::snprintf(text, sizeof text,
                  Tr("There is not enough memory to make a mosaic of %d x %d pixels."),
                  static_cast<int>(state.Wi), static_cast<int>(state.Hi));
    paint.Fail(text);
  } else if (result != 0 && result != kPaintFailed) {
    paint.ShowStatus(Tr("Mosaic canceled."));
  }
  return result;
}

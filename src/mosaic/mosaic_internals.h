// SPDX-FileCopyrightText: The Quillane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

// The pieces of a mosaic run that the tile-source walk and the tests reach. Each run keeps its
// state in its own MosaicRun, handed to these explicitly; runs on different threads share nothing.

#include <cstdint>
#include <string>

#include "base/color.h"
#include "base/rect.h"
#include "imaging/dib.h"
#include "imaging/drawing_surface.h"
#include "imaging/imaging.h"

// Most patches a signature holds: 5 columns by 5 rows.
constexpr int kMaxSignaturePatches = 25;
// Entries of the run's source signature: one more than a signature holds. A tile pairs its
// patches with these by number and never has more of them.
constexpr int kSourceColorSlots = 26;

// Sizes of the tiles and of their patches, in pixels of the start picture.
struct MosaicGrid {
  float tileWidth = 1;
  float tileHeight = 1;
  float patchWidth = 1;
  float patchHeight = 1;
};

// The grid for a picture of W x H with tilesAcross tiles across and tilesDown rows, or with
// rows of about three quarters of the tile width when autoSizeTilesDown is set. Tile numbers
// are taken as positive and non-zero.
MosaicGrid MakeMosaicGrid(float W, float H, float tilesAcross, float tilesDown,
                          int autoSizeTilesDown);

// Size to which a bw x bh picture is resized so that it covers a tile with its proportions kept.
void CoverSize(float bw, float bh, const MosaicGrid& grid, int32_t* width, int32_t* height);

// Where a tile picture of tw x th is drawn for the tile at (left, top) of a picture of Wi x Hi:
// its rectangle (x0, y0, w, h) and the clip rectangle, the tile enlarged by one pixel to the
// right and at the bottom within the picture.
struct TilePlacement {
  int32_t x0 = 0;
  int32_t y0 = 0;
  int32_t w = 0;
  int32_t h = 0;
  Rect clip;
};
TilePlacement PlaceTilePicture(const MosaicGrid& grid, int32_t left, int32_t top, float tw,
                               float th, int32_t Wi, int32_t Hi);

// Patches in the signature of a tile picture of width x height.
int32_t SignaturePatchCount(int32_t width, int32_t height);
// Whether a tile picture of width x height can be one prepared for tiles of tileWidth x
// tileHeight: one of its sides is the tile's.
bool CoversTileSize(int32_t width, int32_t height, float tileWidth, float tileHeight);

// A tile source made ready for matching: the picture at about tile size as a packed bitmap, and
// its signature. Preparing one touches nothing of the run but the tile size, so that the
// tile-source loader can prepare the next one on its own thread.
struct PreparedTile {
  DibHandle block;  // 24-bit packed bitmap; empty when the picture could not be had
  int32_t patchCount = 0;
  ColorRef colors[kMaxSignaturePatches] = {};
};

// Converts a loaded tile source to 24 bits, resizes it to cover a tile of tileWidth x
// tileHeight with its proportions kept, moves it into out->block and takes its signature. The
// bitmap is left empty.
void PrepareTilePicture(ImgBitmap* tileBitmap, float tileWidth, float tileHeight,
                        PreparedTile* out);

// The state of one mosaic run: its grid, the signatures and the working picture. Made and
// ended by RunPictureMosaic.
struct MosaicRun;

// Width and height to hand ImgLoadFile as a size hint for the run's tile sources: a picture
// decoded at least this large still covers a tile.
void TileSourceSizeHint(const MosaicRun& run, int32_t* width, int32_t* height);
// Tile size of the run.
void CurrentTileSize(const MosaicRun& run, float* tileWidth, float* tileHeight);

// Matches a loaded tile source against every tile and draws it where it wins. 0 when every
// tile was visited, the Stop poll's value when Stop was pressed, 1 when the picture's block
// could not be had.
int MatchTileSource(MosaicRun& run, ImgBitmap* tileBitmap);
// The same for a tile source prepared by PrepareTilePicture; takes over its block.
// sourceNumber is the tile source's TileSourceNumber.
int MatchPreparedTile(MosaicRun& run, PreparedTile* tile, int32_t sourceNumber);
// The number of the tile source at `path` (with the video frame, or -1 for a picture) in the
// run, the same for the same path and frame; -1 when the run keeps no tile holders.
int32_t TileSourceNumber(MosaicRun& run, const std::string& path, int32_t frame);

// Shows the run's working picture in its display rectangle.
void ShowWorkingPicture(const MosaicRun& run);
// Hands a time-lapse being recorded the frames due at `done` of `total` parts of the run.
void RecordWorkingPicture(MosaicRun& run, int64_t done, int64_t total);

// Draws the bitmap (header, pixels) scaled to w x h at (x0, y0) into dc, each colour shifted by
// toColor - fromColor, setting only pixels inside the clip rectangle (right and bottom
// excluded). With `coarse`, a strongly shrunk picture is sampled every 2nd, 4th or 8th pixel.
void DrawShiftedTile(DrawingContext* dc, const BitmapInfoHeader* header, const uint8_t* pixels,
                     int x0, int y0, int w, int h, int clipLeft, int clipTop, int clipRight,
                     int clipBottom, ColorRef fromColor, ColorRef toColor, int coarse);

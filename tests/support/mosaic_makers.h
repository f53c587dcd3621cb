// SPDX-FileCopyrightText: The Quillane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

// Helpers for the mosaic tests: small pictures in memory and on disk, a window that records
// what the mosaic shows, and a run of the mosaic on a picture with given settings.

#include <cstdint>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "imaging/dib.h"
#include "imaging/drawing_surface.h"
#include "mosaic/mosaic_options.h"
#include "support/fake_window.h"

// A 24-bit picture, rows top to bottom, red-green-blue bytes.
struct TestPicture {
  int width = 0;
  int height = 0;
  std::vector<uint8_t> rgb;

  TestPicture() = default;
  TestPicture(int w, int h, ColorRef fill = 0);
  ColorRef At(int x, int y) const;
  void Set(int x, int y, ColorRef c);
  void Fill(int left, int top, int right, int bottom, ColorRef c);
  bool operator==(const TestPicture& other) const = default;
};

// A picture whose four quarters have the given colours (top left, top right, bottom left,
// bottom right).
TestPicture QuarteredPicture(int w, int h, ColorRef a, ColorRef b, ColorRef c, ColorRef d);
// Pixels of random colours from the seed, so that every patch of every tile differs.
TestPicture NoisyPicture(int w, int h, uint32_t seed);
// Left half `left`, right half `right`.
TestPicture SplitPicture(int w, int h, ColorRef left, ColorRef right);

// Size, and the pixels of small pictures, in test failures.
void PrintTo(const TestPicture& picture, std::ostream* os);

// Writes the picture as an uncompressed 24-bit BMP file. False when the file cannot be written.
bool WriteBmpFile(const std::string& path, const TestPicture& picture);
// The picture as a packed bitmap (bottom-up rows), and back.
DibHandle PictureToDib(const TestPicture& picture);
TestPicture PictureFromDib(const DibHandle& dib);

// The tile sources of the mosaic for one test: at first neither list nor library.
class MosaicSources {
 public:
  MosaicSources();

  // Puts the paths into the picture list and switches the list on (an empty list too).
  void UseList(const std::vector<std::string>& paths);
  // Switches the picture list off.
  void NoList();
  // Points the library at a folder and switches it on; an empty folder name switches it off.
  void UseLibrary(const std::string& folder);
  // Switches the library on with no folder named: the stock one beside the executable.
  void UseStockLibrary();

  MosaicOptions options;
};

struct MosaicOutcome {
  int result = -1;
  TestPicture picture;  // what dibRef holds afterwards
  std::vector<std::string> statuses;
  std::vector<std::string> warnings;
  std::vector<std::string> notices;
  int picturesShown = 0;
  std::vector<ShownPicture> shown;
};

// Runs the mosaic on `start` with the tile sources of `sources` in a FakeWindow, with a display
// rectangle larger than the picture. `prepare` may set up the window (for instance to press
// Stop) before the run.
MosaicOutcome RunMosaicOn(const MosaicSources& sources, const TestPicture& start, float tilesAcross,
                          float tilesDown, int autoSizeTilesDown,
                          const std::function<void(FakeWindow&)>& prepare = {});

// Number of open file descriptors of this process.
int OpenFileCount();

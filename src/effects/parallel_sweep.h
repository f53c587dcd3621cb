// SPDX-FileCopyrightText: The Quillane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

// One pass of a stroke painting, and the painting of its sweep lines on several threads with
// exactly the pixels of painting them one cell after the other.
//
// Why that is possible: which random draws a cell makes depends only on the generator and the
// brightness of the cell in the reference picture, never on the canvas. So the brightness of
// every cell is measured first (on all threads, MeasureSweep), and the generator's state at
// every cell that gets a stroke is then worked out in order (PlanSweep: a few steps of the
// generator per cell); the threads paint only those cells. And a
// stroke reads and sets canvas pixels only within kStrokeReach of its cell's centre, so strokes
// whose centres lie farther apart than twice that may be drawn in any order.
//
// The schedule: every sweep line is cut into blocks of cells wider than twice the reach, so
// that only neighbouring blocks can share pixels. Block j of line i is painted only after
// block j - 1 of line i and block j + 1 of line i - 1 are done. Every earlier block that shares
// pixels with it (block j - 1 or j + 1 of any earlier line, block j - 1 of the same line) is
// then done, as an induction over the lines shows, and every later one waits for it; so each
// pixel sees the same reads and writes in the same order as in the one-thread sweep. The
// threads take the blocks one at a time in the order of the diagonals 2i + j: a block's
// predecessors lie on the diagonal before, a whole diagonal (about half a line of blocks)
// earlier in that order, so a thread seldom waits, and a thread held up by the system holds
// up only the two blocks that wait for its own.

#include <cstdint>
#include <functional>
#include <vector>

#include "effects/stroke_placement.h"

struct ImgBitmap;
struct PaintContext;

struct SweepPass {
  int style = kStyleVanGogh;
  StyleParameters parameters;
  int bandTop = 255;
  bool rowSweep = true;
  // Positions of the sweep lines (rows for a row sweep, columns otherwise), in painting order.
  std::vector<int> positions;
  // Reference, colour copy and canvas size; the canvas is that of the thread that paints.
  StrokeTarget target;

  int LineLength() const { return rowSweep ? target.canvasWidth : target.canvasHeight; }
  int CellsPerLine() const {
    return (LineLength() + parameters.cellSize - 1) / parameters.cellSize;
  }

  // Brightness of every cell (MeasureSweep): [line * CellsPerLine() + index].
  std::vector<uint8_t> brightness;

  bool InBand(int line, int index) const {
    const int b = brightness[static_cast<size_t>(line) * CellsPerLine() + index];
    return bandTop - parameters.bandWidth <= b && b < bandTop;
  }

  // Cell `index` (counted along the line, always from its top or left end) of the line at
  // `position`.
  void PaintCell(int position, int index, const StrokeTarget& on, Random& random) const {
    int x0, y0, x1, y1;
    CellRect(position, index, &x0, &y0, &x1, &y1);
    const int half = parameters.cellSize / 2;
    PlaceStroke(x0, y0, x1, y1, x0 + half, y0 + half, style, parameters, bandTop,
                parameters.bandWidth, on, random);
  }
  void CellRect(int position, int index, int* x0, int* y0, int* x1, int* y1) const {
    const int cell = parameters.cellSize;
    const int along = index * cell;
    *x0 = rowSweep ? along : position;
    *y0 = rowSweep ? position : along;
    *x1 = *x0 + cell < target.canvasWidth ? *x0 + cell : target.canvasWidth;
    *y1 = *y0 + cell < target.canvasHeight ? *y0 + cell : target.canvasHeight;
  }
};

// The strokes of the lines [first, last) of a pass with the generator's state at each, and the
// order in which the threads take the blocks.
struct SweepPlan {
  int first = 0;
  int last = 0;
  int blockCells = 1;  // cells per block (the last block of a line may have fewer)
  int blocks = 1;      // blocks per line
  int threads = 1;
  // The cells that get a stroke (in the band, not left out by their first draw), block by
  // block: the generator's state before the cell and the cell's place in its block. The
  // strokes of block b of line i are [firstStroke[k], firstStroke[k + 1]) with
  // k = (i - first) * blocks + b; the other cells only step the generator.
  std::vector<uint32_t> firstStroke;
  std::vector<uint32_t> strokeStates;
  std::vector<uint8_t> strokeCells;
  std::vector<uint32_t> order;  // (line - first) * blocks + block, in painting order
  uint32_t endState = 0;        // the generator after the last line
  bool complete = false;        // false when Stop was pressed while it was made
};

// How many threads can share the lines of this pass (at most `threads`); 1 means that the pass
// is painted in order, without a plan.
int SweepThreads(const SweepPass& pass, int threads);

// Fills pass->brightness on `threads` threads; false when there is no memory for it.
bool MeasureSweep(SweepPass* pass, int threads);

// Steps the generator through the lines [first, last) from the state `state`, as their cells
// draw. Polls Stop in `paint` once per line, and leaves the plan incomplete when it is pressed.
SweepPlan PlanSweep(const SweepPass& pass, int first, int last, uint32_t state, int threads,
                    const PaintContext& paint);

// What PaintSweep gives when it could not start its threads; nothing has been painted then.
constexpr int kSweepNotStarted = -1;

// Paints the planned lines on plan.threads threads, the calling thread one of them; the thread
// that paints the first block of a line calls startLine(line) before it, in line order. One
// of the other threads first runs `sideJob` (when given), such as making the next plan. Every
// thread polls Stop before every cell; after a stop the others end within a cell. Returns 0, or the
// stop value once all threads have ended, or kSweepNotStarted.
int PaintSweep(const SweepPass& pass, const SweepPlan& plan, ImgBitmap* canvas,
               const PaintContext& paint, const std::function<void(int line)>& startLine,
               const std::function<void()>& sideJob);

// Calls work(top, bottom) for bands of the rows 0 to `rows` (bottom excluded) that together
// cover them once, on up to `threads` threads at once: for whole-picture steps whose rows do
// not depend on each other.
void InRowBands(int threads, int rows, const std::function<void(int top, int bottom)>& work);

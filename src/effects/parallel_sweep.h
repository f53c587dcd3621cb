// SPDX-FileCopyrightText: The Quillane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

// One pass of a stroke painting, and the painting of its sweep lines on several threads with
// exactly the pixels of painting them one cell after the other.
//
// Why that is possible: which random draws a cell makes depends only on the generator and the
// reference picture, never on the canvas, so the generator's state at every cell can be worked
// out beforehand (PlanSweep). And a stroke reads and sets canvas pixels only within
// kStrokeReach of its cell's centre, so strokes whose centres lie farther apart than twice that
// may be drawn in any order.
//
// The schedule: every sweep line is cut into blocks of cells wider than twice the reach, so
// that only neighbouring blocks can share pixels. Block j of line i is painted only after
// block j - 1 of line i and block j + 1 of line i - 1 are done. Every earlier block that shares
// pixels with it (block j - 1 or j + 1 of any earlier line, block j - 1 of the same line) is
// then done, as an induction over the lines shows, and every later one waits for it; so each
// pixel sees the same reads and writes in the same order as in the one-thread sweep. The
// threads split each line into runs of blocks of about equal work; a thread is about one line
// behind the thread on its left.

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

  // Cell `index` (counted along the line, always from its top or left end) of the line at
  // `position`.
  void PaintCell(int position, int index, const StrokeTarget& on, Random& random) const {
    int x0, y0, x1, y1;
    CellRect(position, index, &x0, &y0, &x1, &y1);
    const int half = parameters.cellSize / 2;
    PlaceStroke(x0, y0, x1, y1, x0 + half, y0 + half, style, parameters, bandTop,
                parameters.bandWidth, on, random);
  }
  bool PlanCell(int position, int index, Random& random) const {
    int x0, y0, x1, y1;
    CellRect(position, index, &x0, &y0, &x1, &y1);
    return PlanStroke(x0, y0, x1, y1, style, parameters, bandTop, parameters.bandWidth, target,
                      random);
  }

 private:
  void CellRect(int position, int index, int* x0, int* y0, int* x1, int* y1) const {
    const int cell = parameters.cellSize;
    const int along = index * cell;
    *x0 = rowSweep ? along : position;
    *y0 = rowSweep ? position : along;
    *x1 = *x0 + cell < target.canvasWidth ? *x0 + cell : target.canvasWidth;
    *y1 = *y0 + cell < target.canvasHeight ? *y0 + cell : target.canvasHeight;
  }
};

// The generator's state at every block of the lines [first, last) of a pass, and which thread
// paints which blocks.
struct SweepPlan {
  int first = 0;
  int last = 0;
  int blockCells = 1;  // cells per block (the last block of a line may have fewer)
  int blocks = 1;      // blocks per line
  int threads = 1;
  std::vector<uint32_t> states;  // [(line - first) * blocks + block]
  std::vector<int> splits;       // [(line - first) * (threads + 1) + thread]: first block
  uint32_t endState = 0;         // the generator after the last line
};

// How many threads can share the lines of this pass (at most `threads`); 1 means that the pass
// is painted in order, without a plan.
int SweepThreads(const SweepPass& pass, int threads);

// Makes the draws of lines [first, last), starting from the generator state `state`.
SweepPlan PlanSweep(const SweepPass& pass, int first, int last, uint32_t state, int threads);

// What PaintSweep gives when it could not start its threads; nothing has been painted then.
constexpr int kSweepNotStarted = -1;

// Paints the planned lines on plan.threads threads; the calling thread paints the first blocks
// of every line and calls startLine(line) before each. Every thread polls Stop before every
// cell; after a stop the others end within a cell. Returns 0, or the stop value once all
// threads have ended, or kSweepNotStarted.
int PaintSweep(const SweepPass& pass, const SweepPlan& plan, ImgBitmap* canvas,
               const PaintContext& paint, const std::function<void(int line)>& startLine);

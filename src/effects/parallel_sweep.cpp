// SPDX-FileCopyrightText: The Quillane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "effects/parallel_sweep.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <exception>
#include <memory>
#include <thread>

#include "base/paint_context.h"
#include "base/random.h"
#include "imaging/drawing_surface.h"

namespace {

// A cell that gets a stroke costs about this many times a cell that does not; the threads'
// shares of a line are cut by this estimate.
constexpr int64_t kStrokeWork = 8;

// Lines done in one block column, counted from the plan's first line. The high bit tells the
// waiting threads that the painting was stopped. One cache line each: the threads on either
// side of a column read it while its painter counts it up.
constexpr uint32_t kStopped = 1u << 31;
struct alignas(64) ColumnProgress {
  std::atomic<uint32_t> lines{0};
};

inline void Pause() {
#if defined(__x86_64__) || defined(__i386__)
  __builtin_ia32_pause();
#endif
}

// Cells per block: the nearest cells of blocks two apart have centres (blockCells + 1) x cell
// apart, which is more than twice the stroke reach.
int BlockCells(int cell) {
  return (2 * kStrokeReach + 8 + cell - 1) / cell;
}

// Splits the blocks of one line into `threads` runs of about equal work; the first run always
// holds block 0, so that the calling thread starts every line.
void SplitLine(const std::vector<int64_t>& work, int threads, int* splits) {
  const int blocks = static_cast<int>(work.size());
  int64_t total = 0;
  for (int64_t w : work) total += w;
  splits[0] = 0;
  int block = 0;
  int64_t done = 0;
  for (int t = 1; t < threads; ++t) {
    const int64_t target = total * t / threads;
    while (block < blocks && done + work[block] / 2 < target) done += work[block++];
    splits[t] = std::clamp(block, std::max(splits[t - 1], 1), blocks);
  }
  splits[threads] = blocks;
}

class SweepRun {
 public:
  SweepRun(const SweepPass& pass, const SweepPlan& plan, ImgBitmap* canvas,
           const PaintContext& paint, const std::function<void(int)>& startLine)
      : pass_(pass),
        plan_(plan),
        canvas_(canvas),
        paint_(paint),
        startLine_(startLine),
        progress_(std::make_unique<ColumnProgress[]>(static_cast<size_t>(plan.blocks))) {}

  int Run() {
    std::vector<std::thread> helpers;
    try {
      helpers.reserve(static_cast<size_t>(plan_.threads - 1));
      for (int t = 1; t < plan_.threads; ++t) helpers.emplace_back([this, t] { Work(t); });
    } catch (const std::exception&) {
      // Every block waits, through its left neighbours, for the first block of the first line,
      // which this thread has not begun: the helpers that did start end without a stroke.
      Stop(kSweepNotStarted);
      for (std::thread& helper : helpers) helper.join();
      return kSweepNotStarted;
    }
    Work(0);
    for (std::thread& helper : helpers) helper.join();
    return stop_.load(std::memory_order_relaxed);
  }

 private:
  void Work(int thread) {
    DrawingContext dc(canvas_);
    StrokeTarget on = pass_.target;
    on.canvas = &dc;
    const int cells = pass_.CellsPerLine();
    const int blocks = plan_.blocks;
    for (int line = plan_.first; line < plan_.last; ++line) {
      const uint32_t row = static_cast<uint32_t>(line - plan_.first);
      const int* split = &plan_.splits[row * static_cast<size_t>(plan_.threads + 1)];
      if (thread == 0) startLine_(line);
      const int position = pass_.positions[static_cast<size_t>(line)];
      for (int block = split[thread]; block < split[thread + 1]; ++block) {
        // The block's own column and its right neighbour up to the line before, its left
        // neighbour up to this line.
        if (!WaitFor(block, row)) return;
        if (block > 0 && !WaitFor(block - 1, row + 1)) return;
        if (block + 1 < blocks && !WaitFor(block + 1, row)) return;
        Random random(plan_.states[row * static_cast<size_t>(blocks) + block]);
        const int end = std::min(cells, (block + 1) * plan_.blockCells);
        for (int index = block * plan_.blockCells; index < end; ++index) {
          if (const int stop = paint_.PollStop()) {
            Stop(stop);
            return;
          }
          pass_.PaintCell(position, index, on, random);
        }
        progress_[block].lines.fetch_add(1, std::memory_order_release);
      }
    }
  }

  // Waits until `lines` lines of the column are done; false when the painting was stopped.
  // Waits are short (about a line at the start of a stretch of lines, a block otherwise):
  // spinning, then giving the processor away, then sleeping in small steps on a busy machine.
  bool WaitFor(int block, uint32_t lines) {
    const std::atomic<uint32_t>& column = progress_[block].lines;
    for (int round = 0;; ++round) {
      const uint32_t done = column.load(std::memory_order_acquire);
      if ((done & kStopped) != 0) return false;
      if (done >= lines) return true;
      if (round < 64) {
        Pause();
      } else if (round < 4096) {
        std::this_thread::yield();
      } else {
        std::this_thread::sleep_for(std::chrono::microseconds(20));
      }
    }
  }

  void Stop(int value) {
    int none = 0;
    stop_.compare_exchange_strong(none, value, std::memory_order_relaxed);
    for (int block = 0; block < plan_.blocks; ++block) {
      progress_[block].lines.fetch_or(kStopped, std::memory_order_release);
    }
  }

  const SweepPass& pass_;
  const SweepPlan& plan_;
  ImgBitmap* canvas_;
  const PaintContext& paint_;
  const std::function<void(int)>& startLine_;
  std::unique_ptr<ColumnProgress[]> progress_;
  std::atomic<int> stop_{0};
};

}  // namespace

int SweepThreads(const SweepPass& pass, int threads) {
  const int blockCells = BlockCells(pass.parameters.cellSize);
  const int blocks = (pass.CellsPerLine() + blockCells - 1) / blockCells;
  return std::clamp(threads, 1, std::max(blocks, 1));
}

SweepPlan PlanSweep(const SweepPass& pass, int first, int last, uint32_t state, int threads) {
  SweepPlan plan;
  plan.first = first;
  plan.last = last;
  plan.blockCells = BlockCells(pass.parameters.cellSize);
  const int cells = pass.CellsPerLine();
  plan.blocks = std::max(1, (cells + plan.blockCells - 1) / plan.blockCells);
  plan.threads = std::clamp(threads, 1, plan.blocks);
  const size_t lines = static_cast<size_t>(last - first);
  plan.states.resize(lines * static_cast<size_t>(plan.blocks));
  plan.splits.resize(lines * static_cast<size_t>(plan.threads + 1));
  std::vector<int64_t> work(static_cast<size_t>(plan.blocks));
  Random random(state);
  for (size_t row = 0; row < lines; ++row) {
    const int position = pass.positions[first + row];
    for (int block = 0; block < plan.blocks; ++block) {
      plan.states[row * static_cast<size_t>(plan.blocks) + block] = random.State();
      const int end = std::min(cells, (block + 1) * plan.blockCells);
      int64_t blockWork = 0;
      for (int index = block * plan.blockCells; index < end; ++index) {
        blockWork += pass.PlanCell(position, index, random) ? kStrokeWork : 1;
      }
      work[static_cast<size_t>(block)] = blockWork;
    }
    SplitLine(work, plan.threads, &plan.splits[row * static_cast<size_t>(plan.threads + 1)]);
  }
  plan.endState = random.State();
  return plan;
}

int PaintSweep(const SweepPass& pass, const SweepPlan& plan, ImgBitmap* canvas,
               const PaintContext& paint, const std::function<void(int line)>& startLine) {
  SweepRun run(pass, plan, canvas, paint, startLine);
  return run.Run();
}

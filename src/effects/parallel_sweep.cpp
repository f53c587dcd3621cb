// SPDX-FileCopyrightText: The Quillane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "effects/parallel_sweep.h"

#include <linux/futex.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <climits>
#include <ctime>
#include <exception>
#include <latch>
#include <memory>
#include <new>
#include <thread>
#include <utility>

#include "base/paint_context.h"
#include "base/random.h"
#include "imaging/drawing_surface.h"

namespace {

// Lines done in one block column, counted from the plan's first line. The high bit tells the
// waiting threads that the painting was stopped. One cache line each: the threads on either
// side of a column read it while its painter counts it up.
constexpr uint32_t kStopped = 1u << 31;
struct alignas(64) ColumnProgress {
  std::atomic<uint32_t> lines{0};
};

inline void Pause() {
  for (int i = 0; i < 32; ++i) {
#if defined(__x86_64__) || defined(__i386__)
    __builtin_ia32_pause();
#endif
  }
}

// Cells per block, about 64 pixels: the nearest cells of blocks two apart have centres
// (blockCells + 1) x cell apart, more than twice the stroke reach; and blocks are few enough
// that counting them done costs little beside painting them.
int BlockCells(int cell) {
  return (2 * kStrokeReach + 40 + cell - 1) / cell;
}

// Blocks a thread may have taken while they still wait for others: when a thread is held up
// by the system in the middle of a block, the others go on with the blocks that do not depend
// on it instead of waiting for it.
constexpr size_t kMaxHeldBlocks = 256;
constexpr std::chrono::microseconds kLongWait{100};
// Rounds of spinning before a thread with nothing to do sleeps: about a microsecond each.
constexpr int kSpins = 16;

void FutexWait(std::atomic<uint32_t>* word, uint32_t expected, std::chrono::microseconds limit) {
  static_assert(sizeof(std::atomic<uint32_t>) == sizeof(uint32_t));
  const timespec timeout{0, static_cast<long>(limit.count()) * 1000};
  syscall(SYS_futex, reinterpret_cast<uint32_t*>(word), FUTEX_WAIT_PRIVATE, expected, &timeout,
          nullptr, 0);
}

void FutexWakeAll(std::atomic<uint32_t>* word) {
  syscall(SYS_futex, reinterpret_cast<uint32_t*>(word), FUTEX_WAKE_PRIVATE, INT_MAX, nullptr,
          nullptr, 0);
}

// A range of values, both ends included.
struct Range {
  int low;
  int high;
  bool Holds(int value) const { return low <= value && value <= high; }
};

// The first draws that leave a cell out, found once from CellLeftOut itself: trunc(3u) grows
// with the draw, so they are one run of values.
const Range kLeftOut = [] {
  Range range{1, 0};
  for (int r = 0; r <= 32767; ++r) {
    if (!CellLeftOut(r)) continue;
    if (range.low > range.high) range.low = r;
    range.high = r;
  }
  return range;
}();

// The generator's state `steps` draws on from `state`: k steps of x -> a x + c are one step of
// x -> a^k x + c (a^(k-1) + ... + 1), modulo 2^32 like the generator's own.
template <int steps>
constexpr uint32_t Ahead(uint32_t state) {
  constexpr auto factors = [] {
    uint32_t multiplier = 1;
    uint32_t increment = 0;
    for (int k = 0; k < steps; ++k) {
      multiplier *= Random::kMultiplier;
      increment = increment * Random::kMultiplier + Random::kIncrement;
    }
    return std::pair{multiplier, increment};
  }();
  return state * factors.first + factors.second;
}

// The brightness band of a pass.
struct Band : Range {
  explicit Band(const SweepPass& pass)
      : Range{pass.bandTop - pass.parameters.bandWidth, pass.bandTop - 1} {}
};

class SweepRun {
 public:
  SweepRun(const SweepPass& pass, const SweepPlan& plan, ImgBitmap* canvas,
           const PaintContext& paint, const std::function<void(int)>& startLine,
           const std::function<void()>& sideJob)
      : pass_(pass),
        plan_(plan),
        canvas_(canvas),
        paint_(paint),
        startLine_(startLine),
        sideJob_(sideJob),
        progress_(std::make_unique<ColumnProgress[]>(static_cast<size_t>(plan.blocks))) {}

  int Run() {
    std::vector<std::thread> helpers;
    try {
      helpers.reserve(static_cast<size_t>(plan_.threads - 1));
      for (int t = 1; t < plan_.threads; ++t) {
        helpers.emplace_back([this, t] {
          if (t == 1 && sideJob_) sideJob_();
          start_.wait();
          if (stop_.load(std::memory_order_relaxed) == 0) Work();
        });
      }
    } catch (const std::exception&) {
      // No thread has begun: the lines are left to be painted in order.
      stop_.store(kSweepNotStarted, std::memory_order_relaxed);
      start_.count_down();
      for (std::thread& helper : helpers) helper.join();
      return kSweepNotStarted;
    }
    start_.count_down();
    Work();
    for (std::thread& helper : helpers) helper.join();
    return stop_.load(std::memory_order_relaxed);
  }

 private:
  enum class Step { kPainted, kWaiting, kStopped };

  void Work() {
    DrawingContext dc(canvas_);
    StrokeTarget on = pass_.target;
    on.canvas = &dc;
    std::vector<uint32_t> held;  // taken, not yet painted, in the order taken
    held.reserve(kMaxHeldBlocks);
    bool ticketsLeft = true;
    int idle = 0;
    std::chrono::steady_clock::time_point idleSince;
    for (;;) {
      // The blocks held longest first: the others depend on them sooner.
      Step step = Step::kWaiting;
      for (size_t i = 0; i < held.size() && step == Step::kWaiting; ++i) {
        step = TryPaint(held[i], on);
        if (step == Step::kPainted) held.erase(held.begin() + static_cast<ptrdiff_t>(i));
      }
      if (step == Step::kStopped) return;
      if (step == Step::kPainted) {
        idle = 0;
        continue;
      }
      // A block that waits longer than a few blocks take is held up by a thread that the system
      // has put aside: take on the blocks after it.
      const bool takeMore =
          held.empty() || (held.size() < kMaxHeldBlocks && idle > 0 &&
                           std::chrono::steady_clock::now() - idleSince > kLongWait);
      if (ticketsLeft && takeMore) {
        const size_t ticket = next_.fetch_add(1, std::memory_order_relaxed);
        if (ticket < plan_.order.size()) {
          const uint32_t task = plan_.order[ticket];
          step = TryPaint(task, on);
          if (step == Step::kStopped) return;
          if (step == Step::kWaiting) held.push_back(task);
          idle = 0;
          continue;
        }
        ticketsLeft = false;
      }
      if (held.empty()) return;
      if (stop_.load(std::memory_order_relaxed) != 0) return;
      // Nothing to do until another thread finishes a block: spin briefly, then sleep until one
      // does (or a while has passed). A sleeper is woken as soon as there is work, which keeps
      // its place on a busy machine, where giving the processor away would lose it.
      if (idle++ == 0) idleSince = std::chrono::steady_clock::now();
      if (idle < kSpins) {
        Pause();
      } else {
        // Counted as a sleeper before looking once more: a thread that finishes a block after
        // that look sees the count and wakes this one.
        sleepers_.fetch_add(1);
        const uint32_t epoch = epoch_.load();
        if (std::none_of(held.begin(), held.end(), [this](uint32_t task) { return Ready(task); })) {
          FutexWait(&epoch_, epoch, kLongWait);
        }
        sleepers_.fetch_sub(1);
      }
    }
  }

  // Lines done in the block's column, or kStopped.
  uint32_t Done(int block) const { return progress_[block].lines.load(); }

  // Whether the blocks that the task waits for are done (or the painting was stopped).
  bool Ready(uint32_t task) const {
    const int blocks = plan_.blocks;
    const uint32_t row = task / static_cast<uint32_t>(blocks);
    const int block = static_cast<int>(task % static_cast<uint32_t>(blocks));
    return Done(block) >= row && (block == 0 || Done(block - 1) >= row + 1) &&
           (block + 1 == blocks || Done(block + 1) >= row);
  }

  // Paints the block when the blocks before it that share pixels with it are done: its column
  // and its right neighbour up to the line before, its left neighbour up to this line.
  Step TryPaint(uint32_t task, const StrokeTarget& on) {
    const int blocks = plan_.blocks;
    const uint32_t row = task / static_cast<uint32_t>(blocks);
    const int block = static_cast<int>(task % static_cast<uint32_t>(blocks));
    const uint32_t own = Done(block);
    const uint32_t left = block > 0 ? Done(block - 1) : kStopped - 1;
    const uint32_t right = block + 1 < blocks ? Done(block + 1) : kStopped - 1;
    if (((own | left | right) & kStopped) != 0) return Step::kStopped;
    if (own < row || left < row + 1 || right < row) return Step::kWaiting;

    const int line = plan_.first + static_cast<int>(row);
    if (block == 0) startLine_(line);
    const int position = pass_.positions[static_cast<size_t>(line)];
    const int firstCell = block * plan_.blockCells;
    // Stop is looked at before the block and before every stroke: the cells between strokes
    // cost nothing here.
    if (const int stop = paint_.PollStop()) {
      Stop(stop);
      return Step::kStopped;
    }
    for (uint32_t stroke = plan_.firstStroke[task]; stroke < plan_.firstStroke[task + 1];
         ++stroke) {
      if (const int stop = stroke > plan_.firstStroke[task] ? paint_.PollStop() : 0) {
        Stop(stop);
        return Step::kStopped;
      }
      Random random(plan_.strokeStates[stroke]);
      pass_.PaintCell(position, firstCell + plan_.strokeCells[stroke], on, random);
    }
    progress_[block].lines.fetch_add(1);
    Wake();
    return Step::kPainted;
  }

  void Stop(int value) {
    int none = 0;
    stop_.compare_exchange_strong(none, value, std::memory_order_relaxed);
    for (int block = 0; block < plan_.blocks; ++block) {
      progress_[block].lines.fetch_or(kStopped);
    }
    epoch_.fetch_add(1);
    FutexWakeAll(&epoch_);
  }

  void Wake() {
    if (sleepers_.load() == 0) return;
    epoch_.fetch_add(1);
    FutexWakeAll(&epoch_);
  }

  const SweepPass& pass_;
  const SweepPlan& plan_;
  ImgBitmap* canvas_;
  const PaintContext& paint_;
  const std::function<void(int)>& startLine_;
  const std::function<void()>& sideJob_;
  std::unique_ptr<ColumnProgress[]> progress_;
  std::latch start_{1};  // counted down when every thread is there
  std::atomic<size_t> next_{0};
  // Counts finished blocks, for the threads that sleep until one is.
  std::atomic<uint32_t> epoch_{0};
  std::atomic<int> sleepers_{0};
  std::atomic<int> stop_{0};
};

}  // namespace

int SweepThreads(const SweepPass& pass, int threads) {
  const int blockCells = BlockCells(pass.parameters.cellSize);
  const int blocks = (pass.CellsPerLine() + blockCells - 1) / blockCells;
  return std::clamp(threads, 1, std::max(blocks, 1));
}

namespace {
SweepPlan MakePlan(const SweepPass& pass, int first, int last, uint32_t state, int threads,
                   const PaintContext& paint);
}  // namespace

bool MeasureSweep(SweepPass* pass, int threads) {
  const int cells = pass->CellsPerLine();
  const int lines = static_cast<int>(pass->positions.size());
  try {
    pass->brightness.resize(static_cast<size_t>(lines) * cells);
  } catch (const std::exception&) {
    return false;
  }
  std::atomic<int> nextLine{0};
  auto measure = [pass, cells, lines, &nextLine] {
    for (int line; (line = nextLine.fetch_add(1, std::memory_order_relaxed)) < lines;) {
      uint8_t* out = &pass->brightness[static_cast<size_t>(line) * cells];
      for (int index = 0; index < cells; ++index) {
        int x0, y0, x1, y1;
        pass->CellRect(pass->positions[static_cast<size_t>(line)], index, &x0, &y0, &x1, &y1);
        out[index] =
            static_cast<uint8_t>(CellBrightness(x0, y0, x1, y1, pass->style, pass->target));
      }
    }
  };
  std::vector<std::thread> helpers;
  try {
    for (int t = 1; t < threads; ++t) helpers.emplace_back(measure);
  } catch (const std::exception&) {
    // Fewer threads share the lines.
  }
  measure();
  for (std::thread& helper : helpers) helper.join();
  return true;
}

SweepPlan PlanSweep(const SweepPass& pass, int first, int last, uint32_t state, int threads,
                    const PaintContext& paint) {
  try {
    return MakePlan(pass, first, last, state, threads, paint);
  } catch (const std::bad_alloc&) {
    return SweepPlan();  // incomplete: the lines are painted in order
  }
}

namespace {

SweepPlan MakePlan(const SweepPass& pass, int first, int last, uint32_t state, int threads,
                   const PaintContext& paint) {
  SweepPlan plan;
  plan.first = first;
  plan.last = last;
  plan.blockCells = BlockCells(pass.parameters.cellSize);
  const int cells = pass.CellsPerLine();
  plan.blocks = std::max(1, (cells + plan.blockCells - 1) / plan.blockCells);
  plan.threads = std::clamp(threads, 1, plan.blocks);
  const size_t lines = static_cast<size_t>(last - first);
  const size_t blocks = static_cast<size_t>(plan.blocks);
  plan.firstStroke.resize(lines * blocks + 1);
  // Room for a stroke in every cell: each cell is written unconditionally and counted only
  // when it gets a stroke, so that the loop has no branch that chance decides.
  plan.strokeStates.resize(lines * static_cast<size_t>(cells) + 1);
  plan.strokeCells.resize(lines * static_cast<size_t>(cells) + 1);
  uint32_t* states = plan.strokeStates.data();
  uint8_t* places = plan.strokeCells.data();
  size_t strokes = 0;
  uint32_t generator = state;
  const Band band(pass);
  const uint32_t leftOutSpan = static_cast<uint32_t>(kLeftOut.high - kLeftOut.low);
  const uint32_t bandSpan = static_cast<uint32_t>(band.high - band.low);
  for (size_t row = 0; row < lines; ++row) {
    if (paint.PollStop() != 0) return plan;
    const int line = first + static_cast<int>(row);
    const uint8_t* brightness = pass.brightness.data() + static_cast<size_t>(line) * cells;
    for (int block = 0; block < plan.blocks; ++block) {
      plan.firstStroke[row * blocks + block] = static_cast<uint32_t>(strokes);
      const int begin = block * plan.blockCells;
      const int end = std::min(cells, begin + plan.blockCells);
      for (int index = begin; index < end; ++index) {
        // A cell left out by its first draw takes one draw; another takes two, and three more
        // when it gets a stroke.
        const uint32_t afterOne = Ahead<1>(generator);
        const int draw = static_cast<int>((afterOne >> 16) & 0x7FFF);
        const bool leftOut = static_cast<uint32_t>(draw - kLeftOut.low) <= leftOutSpan;
        const bool stroke =
            !leftOut && static_cast<uint32_t>(brightness[index] - band.low) <= bandSpan;
        states[strokes] = generator;
        places[strokes] = static_cast<uint8_t>(index - begin);
        strokes += stroke;
        generator = leftOut ? afterOne : stroke ? Ahead<5>(generator) : Ahead<2>(generator);
      }
    }
  }
  plan.strokeStates.resize(strokes);
  plan.strokeCells.resize(strokes);
  plan.firstStroke[lines * blocks] = static_cast<uint32_t>(strokes);
  // Diagonal by diagonal: block j of line i after everything on diagonal 2i + j - 1, where the
  // blocks it waits for lie.
  plan.order.reserve(lines * blocks);
  for (size_t diagonal = 0; diagonal < 2 * lines + blocks; ++diagonal) {
    const size_t top = diagonal >= blocks ? (diagonal - blocks) / 2 + 1 : 0;
    for (size_t row = top; row < lines && 2 * row <= diagonal; ++row) {
      plan.order.push_back(static_cast<uint32_t>(row * blocks + diagonal - 2 * row));
    }
  }
  plan.endState = generator;
  plan.complete = true;
  return plan;
}

}  // namespace

int PaintSweep(const SweepPass& pass, const SweepPlan& plan, ImgBitmap* canvas,
               const PaintContext& paint, const std::function<void(int line)>& startLine,
               const std::function<void()>& sideJob) {
  SweepRun run(pass, plan, canvas, paint, startLine, sideJob);
  return run.Run();
}

void InRowBands(int threads, int rows, const std::function<void(int top, int bottom)>& work) {
  // Below this many rows a band is not worth a thread.
  constexpr int kMinBandRows = 64;
  const int bands = std::clamp(rows / kMinBandRows, 1, std::max(threads, 1));
  auto band = [&](int b) {
    work(static_cast<int>(int64_t{rows} * b / bands),
         static_cast<int>(int64_t{rows} * (b + 1) / bands));
  };
  std::vector<std::thread> helpers;
  int started = 1;
  try {
    for (; started < bands; ++started) helpers.emplace_back(band, started);
  } catch (const std::exception&) {
    // The bands without a thread are done here.
  }
  band(0);
  for (int b = started; b < bands; ++b) band(b);
  for (std::thread& helper : helpers) helper.join();
}

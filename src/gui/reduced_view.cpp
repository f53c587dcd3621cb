// SPDX-FileCopyrightText: The Quillane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "gui/reduced_view.h"

#include <QPainter>
#include <QtConcurrent/QtConcurrentRun>
#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

namespace {

// A block row adds up at most 256 pixels (see ReduceBlocks); views smaller than 1/256 are
// drawn from the 1/256 copy.
constexpr int kDeepestLevel = 8;

// Above this many picture pixels a change is reduced on two threads.
constexpr qint64 kSplitPixels = 1 << 20;

// Rows oy0 to oy1 (exclusive) and blocks bx0 to bx1 (exclusive) of the copy reduced by 2^level:
// each pixel the mean, channel by channel, of its block of the picture.
void ReduceBlocks(const QImage& picture, QImage* out, int level, int bx0, int bx1, int oy0,
                  int oy1) {
  const int f = 1 << level;
  const int w = picture.width();
  const int h = picture.height();
  std::vector<uint32_t> sums(static_cast<size_t>(bx1 - bx0) * 4);
  for (int oy = oy0; oy < oy1; ++oy) {
    std::fill(sums.begin(), sums.end(), 0u);
    const int y0 = oy * f;
    const int y1 = std::min(h, y0 + f);
    const int x0 = bx0 * f;
    const int x1 = std::min(w, bx1 * f);
    for (int y = y0; y < y1; ++y) {
      const auto* in = reinterpret_cast<const QRgb*>(picture.constScanLine(y));
      uint32_t* s = sums.data();
      for (int x = x0; x < x1; x += f, s += 4) {
        // Two channels to a word: a block row of at most 256 pixels cannot carry over.
        uint32_t blueRed = 0, greenAlpha = 0;
        const int end = std::min(x1, x + f);
        for (int i = x; i < end; ++i) {
          blueRed += in[i] & 0x00ff00ffu;
          greenAlpha += (in[i] >> 8) & 0x00ff00ffu;
        }
        s[0] += blueRed & 0xffff;
        s[1] += greenAlpha & 0xffff;
        s[2] += blueRed >> 16;
        s[3] += greenAlpha >> 16;
      }
    }
    auto* row = reinterpret_cast<QRgb*>(out->scanLine(oy));
    for (int bx = bx0; bx < bx1; ++bx) {
      const uint32_t n = static_cast<uint32_t>((std::min(w, (bx + 1) * f) - bx * f) * (y1 - y0));
      const uint32_t* s = &sums[static_cast<size_t>(bx - bx0) * 4];
      auto mean = [n](uint32_t v) { return (v + n / 2) / n; };
      row[bx] = mean(s[0]) | mean(s[1]) << 8 | mean(s[2]) << 16 | mean(s[3]) << 24;
    }
  }
}

}  // namespace

int ReducedView::LevelFor(double scale) {
  int level = 0;
  while (level < kDeepestLevel && scale <= 0.5 / (1 << level)) ++level;
  return level;
}

void ReducedView::Invalidate(const QRect& part) {
  for (auto& [level, copy] : levels_) copy.changed += part;
}

ReducedView::Copy& ReducedView::CopyFor(const QImage& picture, int level) {
  Copy& copy = levels_[level];
  const int f = 1 << level;
  const QSize size((picture.width() + f - 1) / f, (picture.height() + f - 1) / f);
  if (copy.image.size() != size || copy.image.format() != picture.format()) {
    copy.image = QImage(size, picture.format());
    copy.changed = picture.rect();
    copy.filled = false;
  }
  return copy;
}

bool ReducedView::Update(const QImage& picture, int level, qint64 budget) {
  Copy& copy = CopyFor(picture, level);
  // A new copy is made whole at once: it has nothing to show yet.
  if (!copy.filled) budget = std::numeric_limits<qint64>::max();
  copy.filled = true;
  const QRegion changed = copy.changed & picture.rect();
  QRegion rest;
  const int f = 1 << level;
  for (const QRect& part : changed) {
    if (budget <= 0) {
      rest += part;
      continue;
    }
    const int bx0 = part.left() >> level;
    const int bx1 = (part.right() >> level) + 1;
    const int oy0 = part.top() >> level;
    int oy1 = (part.bottom() >> level) + 1;
    // A row of blocks reads f rows of the picture as wide as the blocks.
    const qint64 rowCost = qint64(bx1 - bx0) * f * f;
    oy1 = static_cast<int>(std::min<qint64>(oy1, oy0 + std::max<qint64>(1, budget / rowCost)));
    budget -= (oy1 - oy0) * rowCost;
    if (const int done = oy1 << level; done <= part.bottom()) {
      rest += QRect(part.left(), done, part.width(), part.bottom() + 1 - done);
    }
    if ((oy1 - oy0) * rowCost < kSplitPixels || oy1 - oy0 < 2) {
      ReduceBlocks(picture, &copy.image, level, bx0, bx1, oy0, oy1);
      continue;
    }
    // The two halves write rows of their own.
    const int middle = oy0 + (oy1 - oy0) / 2;
    QImage* out = &copy.image;
    QFuture<void> lower = QtConcurrent::run([&picture, out, level, bx0, bx1, middle, oy1] {
      ReduceBlocks(picture, out, level, bx0, bx1, middle, oy1);
    });
    ReduceBlocks(picture, out, level, bx0, bx1, oy0, middle);
    lower.waitForFinished();
  }
  copy.changed = rest;
  return rest.isEmpty();
}

bool ReducedView::Draw(QPainter* painter, const QImage& picture, const QRectF& target,
                       const QRectF& source, qint64 budget) {
  const int level = source.width() > 0 ? LevelFor(target.width() / source.width()) : 0;
  painter->setRenderHint(QPainter::SmoothPixmapTransform, true);
  if (level == 0) {
    painter->drawImage(target, picture, source);
    return true;
  }
  const bool complete = Update(picture, level, budget);
  const double f = 1 << level;
  painter->drawImage(target, levels_[level].image, QRectF(source.topLeft() / f, source.size() / f));
  return complete;
}

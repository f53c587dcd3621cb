// SPDX-FileCopyrightText: The Quillane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

// A large picture shown smaller than 100 %: a scaled draw reads only a few picture pixels for
// each pixel shown, so fine strokes and stripes turn into moire. The view keeps copies of the
// picture reduced by 2, 4, 8, ... with every pixel the mean of the block it stands for, and
// draws from the copy just larger than the view, smoothed; a change to the picture redoes only
// the blocks it touched, when the copy is next drawn.

#include <QImage>
#include <QRect>
#include <QRegion>
#include <limits>
#include <map>

class QPainter;

class ReducedView {
 public:
  // What a repaint while the picture keeps changing may read of it to update a copy: a few
  // milliseconds of a frame.
  static constexpr qint64 kPixelsPerFrame = qint64(1) << 22;

  // The reduction for a scale: the largest power of two k with 1 / 2^k at least `scale`; 0 at
  // 100 % and above.
  static int LevelFor(double scale);

  // The picture was replaced or changed size: every copy goes.
  void Reset() { levels_.clear(); }
  // A part of the picture changed.
  void Invalidate(const QRect& part);
  // Draws the `source` part of `picture` into `target`, from the copy for that scale. Changes not
  // yet in that copy are taken in first, as far as reading `budget` picture pixels allows; false
  // when some are left for a later draw.
  bool Draw(QPainter* painter, const QImage& picture, const QRectF& target, const QRectF& source,
            qint64 budget = std::numeric_limits<qint64>::max());

 private:
  struct Copy {
    QImage image;
    QRegion changed;  // in the picture's pixels
    bool filled = false;
  };
  Copy& CopyFor(const QImage& picture, int level);
  // Takes changes into the copy reduced by 2^level, top to bottom, within the budget; true when
  // none are left.
  bool Update(const QImage& picture, int level, qint64 budget);
  std::map<int, Copy> levels_;
};

// SPDX-FileCopyrightText: The Quillane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "gui/print_layout.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr double kMarkGapMm = 1;

// Pages needed to cover `length` with pages of `page` overlapping by `overlap`.
int PagesFor(double length, double page, double overlap) {
  if (length <= page) return 1;
  return static_cast<int>(std::ceil((length - overlap) / (page - overlap) - 1e-9));
}

struct Candidate {
  bool landscape;
  QSizeF page;
  double scale;  // millimetres per picture pixel
  int columns, rows;
};

Candidate Fit(QSize picture, QSizeF page, bool landscape, const PrintOptions& o, double overlap,
              double margin) {
  if (landscape) page.transpose();
  Candidate c{landscape, page, 0, 1, 1};
  const double w = picture.width(), h = picture.height();
  switch (o.fit) {
    case PrintFit::kPage:
      c.scale = std::min(page.width() / w, page.height() / h);
      break;
    case PrintFit::kPoster:
      c.columns = std::max(1, o.columns);
      c.rows = std::max(1, o.rows);
      c.scale = std::min((c.columns * page.width() - (c.columns - 1) * overlap - 2 * margin) / w,
                         (c.rows * page.height() - (c.rows - 1) * overlap - 2 * margin) / h);
      break;
    case PrintFit::kWidth:
      c.scale = std::max(o.widthMm, 1.0) / w;
      c.columns = PagesFor(w * c.scale + 2 * margin, page.width(), overlap);
      c.rows = PagesFor(h * c.scale + 2 * margin, page.height(), overlap);
      break;
  }
  return c;
}

// The part of [from, to) that page `index` of `count` keeps after trimming: up to the middle of
// the strips it shares with its neighbours.
void Kept(double from, double to, int index, int count, double page, double overlap,
          double* keptFrom, double* keptTo) {
  const double start = index * (page - overlap);
  *keptFrom = std::max(from, start + (index > 0 ? overlap / 2 : 0));
  *keptTo = std::min(to, start + page - (index < count - 1 ? overlap / 2 : 0));
}

// Marks at the four corners of `kept`, each two short lines that carry on its edges outwards;
// only what lies on the printable area is kept.
std::vector<QLineF> CornerMarks(const QRectF& kept, const QSizeF& page) {
  std::vector<QLineF> marks;
  // A line along one axis at `at` across the other from a to b.
  auto add = [&](bool horizontal, double at, double a, double b) {
    const double length = horizontal ? page.width() : page.height();
    const double across = horizontal ? page.height() : page.width();
    if (at < 0 || at > across) return;
    const double from = std::clamp(std::min(a, b), 0.0, length);
    const double to = std::clamp(std::max(a, b), 0.0, length);
    if (to - from <= 1e-9) return;
    marks.push_back(horizontal ? QLineF(from, at, to, at) : QLineF(at, from, at, to));
  };
  for (const double x : {kept.left(), kept.right()}) {
    for (const double y : {kept.top(), kept.bottom()}) {
      const double dx = x == kept.left() ? -1 : 1;
      const double dy = y == kept.top() ? -1 : 1;
      add(true, y, x + dx * kMarkGapMm, x + dx * kCutMarkMm);
      add(false, x, y + dy * kMarkGapMm, y + dy * kCutMarkMm);
    }
  }
  return marks;
}

}  // namespace

PrintPlan PlanPrint(QSize picture, QSizeF portraitPage, const PrintOptions& options) {
  PrintPlan plan;
  if (picture.isEmpty() || portraitPage.isEmpty()) return plan;
  const bool spread = options.fit != PrintFit::kPage;
  const bool marks = spread && options.cutMarks;
  const double margin = marks ? kCutMarkMm : 0;
  const double overlap = spread
                             ? std::clamp(options.overlapMm, 0.0,
                                          std::min(portraitPage.width(), portraitPage.height()) / 2)
                             : 0;
  const Candidate upright = Fit(picture, portraitPage, false, options, overlap, margin);
  const Candidate turned = Fit(picture, portraitPage, true, options, overlap, margin);
  const bool wide = picture.width() > picture.height();
  const auto better = [&](const Candidate& a, const Candidate& b) {
    if (options.fit == PrintFit::kWidth) {
      return a.columns * a.rows < b.columns * b.rows ||
             (a.columns * a.rows == b.columns * b.rows && a.landscape == wide);
    }
    return a.scale > b.scale * (1 + 1e-9) ||
           (std::abs(a.scale - b.scale) <= b.scale * 1e-9 && a.landscape == wide);
  };
  const Candidate& c = better(upright, turned) ? upright : turned;

  plan.landscape = c.landscape;
  plan.columns = c.columns;
  plan.rows = c.rows;
  plan.printed = QSizeF(picture) * c.scale;
  plan.dpi = 25.4 / c.scale;
  // The picture is centred on the sheets laid side by side.
  const QSizeF page = c.page;
  const QSizeF sheets(c.columns * page.width() - (c.columns - 1) * overlap,
                      c.rows * page.height() - (c.rows - 1) * overlap);
  const QRectF placed(QPointF((sheets.width() - plan.printed.width()) / 2,
                              (sheets.height() - plan.printed.height()) / 2),
                      plan.printed);
  for (int row = 0; row < c.rows; ++row) {
    for (int column = 0; column < c.columns; ++column) {
      const QPointF corner(column * (page.width() - overlap), row * (page.height() - overlap));
      const QRectF on = placed.intersected(QRectF(corner, page));
      if (on.width() <= 1e-9 || on.height() <= 1e-9) continue;
      PrintedPage printed;
      printed.column = column;
      printed.row = row;
      printed.target = on.translated(-corner);
      printed.source = QRectF((on.topLeft() - placed.topLeft()) / c.scale, on.size() / c.scale);
      if (marks) {
        double left, right, top, bottom;
        Kept(placed.left(), placed.right(), column, c.columns, page.width(), overlap, &left,
             &right);
        Kept(placed.top(), placed.bottom(), row, c.rows, page.height(), overlap, &top, &bottom);
        printed.marks = CornerMarks(
            QRectF(QPointF(left, top), QPointF(right, bottom)).translated(-corner), page);
      }
      plan.pages.push_back(std::move(printed));
    }
  }
  return plan;
}

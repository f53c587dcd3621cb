// SPDX-FileCopyrightText: The Quillane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

// Where a picture goes on paper: fitted to one page, at a chosen width, or as a poster across
// columns x rows pages. Pages that share a picture overlap by a strip; cut marks show where to
// trim each page so that the pieces meet in the middle of the strips. All lengths are in
// millimetres from the corner of a page's printable area.

#include <QLineF>
#include <QRectF>
#include <QSize>
#include <QSizeF>
#include <vector>

enum class PrintFit { kPage, kWidth, kPoster };

struct PrintOptions {
  PrintFit fit = PrintFit::kPage;
  double widthMm = 200;       // kWidth: the printed picture's width
  int columns = 2, rows = 2;  // kPoster
  double overlapMm = 10;      // kWidth and kPoster: the strip two neighbouring pages share
  bool cutMarks = true;       // kWidth and kPoster
};

struct PrintedPage {
  int column = 0, row = 0;
  QRectF source;              // the part of the picture, in its pixels
  QRectF target;              // where that part goes on the page
  std::vector<QLineF> marks;  // cut marks
};

struct PrintPlan {
  bool landscape = false;
  int columns = 1, rows = 1;
  QSizeF printed;                  // the whole picture on paper
  double dpi = 0;                  // picture pixels per printed inch
  std::vector<PrintedPage> pages;  // row by row; pages the picture does not reach are left out
};

// The length of a cut mark, with its gap to the corner; a poster keeps this much paper free
// around the picture for the outer marks.
constexpr double kCutMarkMm = 5;

// Plans the print of a picture of `picture` pixels on pages whose printable area is
// `portraitPage` upright. The orientation is the one that prints the picture larger (or, at a
// chosen width, on fewer pages); a tie goes by the picture's proportions.
PrintPlan PlanPrint(QSize picture, QSizeF portraitPage, const PrintOptions& options);

// SPDX-FileCopyrightText: The Quillane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

// Printing a picture: a print preview with the choice of size (fitted to the page, a width in
// centimetres or inches, or a poster across several pages) at its side.

#include <QImage>
#include <QString>
#include <QWidget>

#include "gui/print_layout.h"

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QDoubleSpinBox;
class QLabel;
class QPrinter;
class QSpinBox;

// Prints `picture` as `options` say, at the printer's own resolution and without lossy
// compression; the printer's orientation follows the plan. False when the printer fails.
bool PrintPicture(QPrinter* printer, const QImage& picture, const PrintOptions& options,
                  PrintPlan* planned = nullptr);

// Shows the print preview of `picture` over `parent`, with `title` as the document's name; the
// preview's print button prints it. The size chosen is kept for the next preview.
void RunPrintPreview(QWidget* parent, const QImage& picture, const QString& title);

// The size choices beside the preview.
class PrintOptionsPanel : public QWidget {
  Q_OBJECT
 public:
  explicit PrintOptionsPanel(const PrintOptions& options, QWidget* parent = nullptr);
  PrintOptions Options() const;
  // Shows the size, resolution and pages of a plan.
  void ShowPlan(const PrintPlan& plan);

 signals:
  void OptionsChanged();

 private:
  double Unit() const;  // millimetres in the unit shown
  void ShowUnit();

  QButtonGroup* fit_;
  QDoubleSpinBox* width_;
  QComboBox* unit_;
  QSpinBox* columns_;
  QSpinBox* rows_;
  QDoubleSpinBox* overlap_;
  QCheckBox* cutMarks_;
  QLabel* summary_;
  double widthMm_;
  double overlapMm_;
};

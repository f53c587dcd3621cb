// SPDX-FileCopyrightText: The Quillane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "gui/picture_printing.h"

#include <QBoxLayout>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QLabel>
#include <QMainWindow>
#include <QPageLayout>
#include <QPainter>
#include <QPrintPreviewDialog>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QSpinBox>
#include <cmath>
#include <utility>

#include "base/language.h"
#include "gui/warning_box.h"

namespace {

constexpr double kMmPerInch = 25.4;
constexpr double kMarkPenMm = 0.15;

// The size chosen last, for the next print in this run of the program.
PrintOptions lastOptions;
bool inches = false;

}  // namespace

bool PrintPicture(QPrinter* printer, const QImage& picture, const PrintOptions& options,
                  PrintPlan* planned) {
  if (picture.isNull()) return false;
  QPageLayout upright = printer->pageLayout();
  upright.setOrientation(QPageLayout::Portrait);
  const PrintPlan plan =
      PlanPrint(picture.size(), upright.paintRect(QPageLayout::Millimeter).size(), options);
  if (planned != nullptr) *planned = plan;
  printer->setPageOrientation(plan.landscape ? QPageLayout::Landscape : QPageLayout::Portrait);
  QPainter painter;
  if (!painter.begin(printer)) return false;
  // Lengths in millimetres from the printable area's corner; the picture's pixels go to the
  // printer as they are (a PDF keeps them losslessly) and the printer scales them.
  const double perMm = printer->resolution() / kMmPerInch;
  painter.scale(perMm, perMm);
  painter.setRenderHint(QPainter::LosslessImageRendering);
  painter.setRenderHint(QPainter::SmoothPixmapTransform);
  bool first = true;
  for (const PrintedPage& page : plan.pages) {
    if (!first && !printer->newPage()) return false;
    first = false;
    // Whole pixels only: the part drawn grows to the next pixel borders and is clipped back.
    const QRectF& s = page.source;
    const QRect whole(
        QPoint(static_cast<int>(std::floor(s.left())), static_cast<int>(std::floor(s.top()))),
        QPoint(static_cast<int>(std::ceil(s.right())) - 1,
               static_cast<int>(std::ceil(s.bottom())) - 1));
    const double mmPerPixel = page.target.width() / s.width();
    const QRectF grown(
        page.target.topLeft() - (s.topLeft() - QPointF(whole.topLeft())) * mmPerPixel,
        QSizeF(whole.size()) * mmPerPixel);
    painter.save();
    painter.setClipRect(page.target);
    painter.drawImage(grown, picture, QRectF(whole));
    painter.restore();
    painter.setPen(QPen(Qt::black, kMarkPenMm));
    for (const QLineF& mark : page.marks) painter.drawLine(mark);
  }
  return painter.end();
}

void RunPrintPreview(QWidget* parent, const QImage& picture, const QString& title) {
  QPrinter printer(QPrinter::HighResolution);
  printer.setDocName(title);
  QPrintPreviewDialog dialog(&printer, parent);
  dialog.setWindowTitle(title);
  auto* panel = new PrintOptionsPanel(lastOptions);
  // The choices go beside the preview, which sits in a main window of the dialog's own.
  auto* preview = dialog.findChild<QPrintPreviewWidget*>();
  auto* holder = preview ? qobject_cast<QMainWindow*>(preview->parentWidget()) : nullptr;
  if (holder != nullptr && holder->centralWidget() == preview) {
    holder->takeCentralWidget();
    auto* side = new QWidget;
    auto* row = new QHBoxLayout(side);
    row->setContentsMargins(0, 0, 0, 0);
    row->addWidget(preview, 1);
    row->addWidget(panel);
    holder->setCentralWidget(side);
  } else {
    dialog.layout()->addWidget(panel);
  }
  if (preview != nullptr) {
    QObject::connect(panel, &PrintOptionsPanel::OptionsChanged, preview,
                     &QPrintPreviewWidget::updatePreview);
  }
  QObject::connect(&dialog, &QPrintPreviewDialog::paintRequested, panel, [&](QPrinter* target) {
    PrintPlan plan;
    if (!PrintPicture(target, picture, panel->Options(), &plan)) {
      ShowWarningMessageBox(&dialog, Tr("The picture could not be printed."));
    }
    panel->ShowPlan(plan);
  });
  dialog.resize(dialog.sizeHint().expandedTo(QSize(900, 640)));
  dialog.exec();
  lastOptions = panel->Options();
}

PrintOptionsPanel::PrintOptionsPanel(const PrintOptions& options, QWidget* parent)
    : QWidget(parent),
      fit_(new QButtonGroup(this)),
      width_(new QDoubleSpinBox),
      unit_(new QComboBox),
      columns_(new QSpinBox),
      rows_(new QSpinBox),
      overlap_(new QDoubleSpinBox),
      cutMarks_(new QCheckBox(QString::fromUtf8(Tr("Cut marks")))),
      summary_(new QLabel),
      widthMm_(options.widthMm),
      overlapMm_(options.overlapMm) {
  setObjectName(QStringLiteral("printOptions"));
  auto* form = new QFormLayout(this);
  const struct {
    PrintFit fit;
    const char* label;
  } fits[] = {{PrintFit::kPage, TrNoop("Fit to page")},
              {PrintFit::kWidth, TrNoop("Width")},
              {PrintFit::kPoster, TrNoop("Poster")}};
  for (const auto& f : fits) {
    auto* button = new QRadioButton(QString::fromUtf8(Tr(f.label)));
    fit_->addButton(button, static_cast<int>(f.fit));
    button->setChecked(f.fit == options.fit);
  }
  unit_->addItems({QStringLiteral("cm"), QStringLiteral("in")});
  unit_->setCurrentIndex(inches ? 1 : 0);
  auto* width = new QHBoxLayout;
  width->addWidget(width_, 1);
  width->addWidget(unit_);
  columns_->setRange(1, 20);
  rows_->setRange(1, 20);
  columns_->setValue(options.columns);
  rows_->setValue(options.rows);
  auto* pages = new QHBoxLayout;
  pages->addWidget(columns_, 1);
  pages->addWidget(new QLabel(QStringLiteral("x")));
  pages->addWidget(rows_, 1);
  pages->addWidget(new QLabel(QString::fromUtf8(Tr("pages"))));
  cutMarks_->setChecked(options.cutMarks);
  summary_->setObjectName(QStringLiteral("printSummary"));
  summary_->setWordWrap(true);
  form->addRow(fit_->button(static_cast<int>(PrintFit::kPage)));
  form->addRow(fit_->button(static_cast<int>(PrintFit::kWidth)), width);
  form->addRow(fit_->button(static_cast<int>(PrintFit::kPoster)), pages);
  form->addRow(QString::fromUtf8(Tr("Overlap")), overlap_);
  form->addRow(cutMarks_);
  form->addRow(summary_);
  ShowUnit();
  // The boxes stand beside their radio buttons, which name them for the eye only.
  const std::pair<QWidget*, const char*> names[] = {
      {width_, TrNoop("Width")},          {unit_, TrNoop("Unit")},
      {columns_, TrNoop("Pages across")}, {rows_, TrNoop("Pages down")},
      {overlap_, TrNoop("Overlap")},      {summary_, TrNoop("Print size")},
      {this, TrNoop("Print size")}};
  for (const auto& [box, name] : names) box->setAccessibleName(QString::fromUtf8(Tr(name)));

  auto changed = [this] { emit OptionsChanged(); };
  connect(fit_, &QButtonGroup::idClicked, this, changed);
  connect(width_, &QDoubleSpinBox::valueChanged, this, [this, changed](double value) {
    widthMm_ = value * Unit();
    changed();
  });
  connect(overlap_, &QDoubleSpinBox::valueChanged, this, [this, changed](double value) {
    overlapMm_ = value * Unit();
    changed();
  });
  connect(unit_, &QComboBox::currentIndexChanged, this, [this] {
    inches = unit_->currentIndex() == 1;
    ShowUnit();
  });
  for (QSpinBox* box : {columns_, rows_}) connect(box, &QSpinBox::valueChanged, this, changed);
  connect(cutMarks_, &QCheckBox::toggled, this, changed);
}

double PrintOptionsPanel::Unit() const {
  return unit_->currentIndex() == 1 ? kMmPerInch : 10.0;
}

void PrintOptionsPanel::ShowUnit() {
  const QSignalBlocker widthBlocked(width_);
  const QSignalBlocker overlapBlocked(overlap_);
  const QString suffix = QLatin1Char(' ') + unit_->currentText();
  width_->setRange(10 / Unit(), 10000 / Unit());
  width_->setDecimals(2);
  width_->setSuffix(suffix);
  width_->setValue(widthMm_ / Unit());
  overlap_->setRange(0, 100 / Unit());
  overlap_->setDecimals(2);
  overlap_->setSingleStep(0.1);
  overlap_->setSuffix(suffix);
  overlap_->setValue(overlapMm_ / Unit());
}

PrintOptions PrintOptionsPanel::Options() const {
  PrintOptions options;
  options.fit = static_cast<PrintFit>(std::max(0, fit_->checkedId()));
  options.widthMm = widthMm_;
  options.columns = columns_->value();
  options.rows = rows_->value();
  options.overlapMm = overlapMm_;
  options.cutMarks = cutMarks_->isChecked();
  return options;
}

void PrintOptionsPanel::ShowPlan(const PrintPlan& plan) {
  const double unit = Unit();
  summary_->setText(QString::fromUtf8(Tr("%1 x %2 %3, %4 DPI\n%5 x %6 pages, %7"))
                        .arg(plan.printed.width() / unit, 0, 'f', 1)
                        .arg(plan.printed.height() / unit, 0, 'f', 1)
                        .arg(unit_->currentText())
                        .arg(std::lround(plan.dpi))
                        .arg(plan.columns)
                        .arg(plan.rows)
                        .arg(QString::fromUtf8(plan.landscape ? Tr("landscape") : Tr("portrait"))));
}

// SPDX-FileCopyrightText: The Quillane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "gui/dialog_layout.h"
#include "base/language.h"

#include <QCheckBox>
#include <QFontMetrics>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>

QFont DialogFont() {
  QFont font;
  font.setFamilies({QStringLiteral("宋体"), QStringLiteral("SimSun"),
                    QStringLiteral("AR PL UMing CN"), QStringLiteral("AR PL UMing TW"),
                    QStringLiteral("Noto Serif CJK SC")});
  font.setPointSize(9);
  return font;
}

namespace {

QWidget* MakeControl(const ControlEntry& c, QWidget* parent) {
  const QString label = QString::fromUtf8(c.label ? Tr(c.label) : "");
  switch (c.kind) {
    case ControlKind::GroupBox:
      return new QGroupBox(label, parent);
    case ControlKind::RadioButton:
      return new QRadioButton(label, parent);
    case ControlKind::CheckBox:
      return new QCheckBox(label, parent);
    case ControlKind::Label:
      return new QLabel(label, parent);
    case ControlKind::LabelRight: {
      auto* l = new QLabel(label, parent);
      l->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
      return l;
    }
    case ControlKind::BorderLabel: {
      auto* l = new QLabel(label, parent);
      l->setFrameStyle(QFrame::Box | QFrame::Plain);
      l->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
      return l;
    }
    case ControlKind::Edit:
      return new QLineEdit(label, parent);
    case ControlKind::ReadOnlyEdit: {
      auto* e = new QLineEdit(label, parent);
      e->setReadOnly(true);
      return e;
    }
    case ControlKind::PushButton:
    case ControlKind::DefaultPushButton: {
      auto* b = new QPushButton(label, parent);
      b->setAutoDefault(false);
      b->setDefault(c.kind == ControlKind::DefaultPushButton);
      return b;
    }
    case ControlKind::ListBox: {
      auto* l = new QListWidget(parent);
      l->setSelectionMode(QAbstractItemView::ExtendedSelection);
      l->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
      l->setSortingEnabled(false);
      return l;
    }
    case ControlKind::SunkenFrame: {
      auto* f = new QFrame(parent);
      f->setFrameStyle(QFrame::Panel | QFrame::Sunken);
      f->setAutoFillBackground(true);
      QPalette p = f->palette();
      p.setColor(QPalette::Window, Qt::white);
      f->setPalette(p);
      return f;
    }
    case ControlKind::BlackFrame: {
      auto* f = new QFrame(parent);
      f->setFrameStyle(QFrame::Box | QFrame::Plain);
      f->setLineWidth(1);
      QPalette p = f->palette();
      p.setColor(QPalette::WindowText, Qt::black);
      f->setPalette(p);
      return f;
    }
    case ControlKind::Picture: {
      auto* l = new QLabel(parent);
      l->setScaledContents(false);
      return l;
    }
  }
  return new QWidget(parent);
}

}  // namespace

QString AccessibleText(const char* label) {
  const QString text = QString::fromUtf8(label ? Tr(label) : "");
  QString spoken;
  for (qsizetype i = 0; i < text.size(); ++i) {
    // "&&" stands for one ampersand; a single one marks the next letter as the mnemonic.
    if (text[i] == QLatin1Char('&') && ++i == text.size()) break;
    spoken += text[i];
  }
  return spoken;
}

TableDialog::TableDialog(const DialogLayout& layout, QWidget* parent) : QDialog(parent) {
  setFont(DialogFont());
  // Dialog base units of the font: the average width of the Latin letters and the line height.
  const QFontMetrics fm(font());
  const int letters =
      fm.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
  baseX_ = std::max(1, (letters / 26 + 1) / 2);
  baseY_ = std::max(1, fm.height());

  setWindowTitle(QString::fromUtf8(layout.title ? Tr(layout.title) : ""));
  // The splash has no title to be called by.
  setAccessibleName(windowTitle().isEmpty() ? QStringLiteral("Quillane") : windowTitle());
  setFixedSize(ToPixels(0, 0, layout.width, layout.height).size());
  for (const ControlEntry& c : layout.controls) {
    QWidget* w = MakeControl(c, this);
    w->setGeometry(ToPixels(c.x, c.y, c.width, c.height));
    w->setAccessibleName(AccessibleText(c.name ? c.name : c.label));
    if (c.id >= 0) {
      w->setObjectName(QStringLiteral("control_%1").arg(c.id));
      w->setProperty("controlId", c.id);
      items_.insert(c.id, w);
    }
  }
}

int TableDialog::IdOf(const QWidget* control) const {
  for (auto it = items_.cbegin(); it != items_.cend(); ++it) {
    if (it.value() == control) return it.key();
  }
  return -1;
}

QRect TableDialog::ToPixels(int x, int y, int width, int height) const {
  // MulDiv rounds to the nearest pixel.
  auto mx = [this](int v) { return (v * baseX_ * 2 + 4) / 8; };
  auto my = [this](int v) { return (v * baseY_ * 2 + 8) / 16; };
  return QRect(mx(x), my(y), mx(width), my(height));
}

QWidget* GetDlgItem(QWidget* dialog, int id) {
  auto* table = qobject_cast<TableDialog*>(dialog);
  return table ? table->Item(id) : nullptr;
}

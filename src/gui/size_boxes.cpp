// SPDX-FileCopyrightText: The Quillane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "gui/size_boxes.h"

#include <locale.h>

#include <QAbstractButton>
#include <QEvent>
#include <QFocusEvent>
#include <QLineEdit>
#include <QString>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>

#include "app/settings.h"
#include "gui/dialog_layout.h"

namespace {

// Numbers are typed and shown with a decimal point whatever the user's locale says.
class CNumericLocale {
 public:
  CNumericLocale() {
    static locale_t c = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(0));
    previous_ = c ? uselocale(c) : static_cast<locale_t>(0);
  }
  ~CNumericLocale() {
    if (previous_) uselocale(previous_);
  }
  CNumericLocale(const CNumericLocale&) = delete;
  CNumericLocale& operator=(const CNumericLocale&) = delete;

 private:
  locale_t previous_;
};

bool IsBlank(char c) {
  return std::isspace(static_cast<unsigned char>(c)) != 0;
}
bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

// The longest decimal number at the start of `text` after blanks; empty when there is none.
// Only plain decimal notation counts: no hexadecimal, no "inf" or "nan".
std::string DecimalPrefix(const std::string& text, bool integerOnly) {
  size_t i = 0;
  while (i < text.size() && IsBlank(text[i])) ++i;
  const size_t start = i;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
  size_t digits = 0;
  while (i < text.size() && IsDigit(text[i])) ++i, ++digits;
  if (!integerOnly && i < text.size() && text[i] == '.') {
    size_t j = i + 1;
    size_t fraction = 0;
    while (j < text.size() && IsDigit(text[j])) ++j, ++fraction;
    if (digits + fraction > 0) {
      i = j;
      digits += fraction;
    }
  }
  if (digits == 0) return std::string();
  if (!integerOnly && i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
    size_t j = i + 1;
    if (j < text.size() && (text[j] == '+' || text[j] == '-')) ++j;
    if (j < text.size() && IsDigit(text[j])) {
      while (j < text.size() && IsDigit(text[j])) ++j;
      i = j;
    }
  }
  return text.substr(start, i - start);
}

}  // namespace

double ReadDecimal(const std::string& text) {
  const std::string number = DecimalPrefix(text, false);
  if (number.empty()) return 0.0;
  CNumericLocale c;
  return std::strtod(number.c_str(), nullptr);
}

int32_t ReadInteger(const std::string& text) {
  const std::string number = DecimalPrefix(text, true);
  if (number.empty()) return 0;
  const long long v = std::strtoll(number.c_str(), nullptr, 10);
  if (v > std::numeric_limits<int32_t>::max()) return std::numeric_limits<int32_t>::max();
  if (v < std::numeric_limits<int32_t>::min()) return std::numeric_limits<int32_t>::min();
  return static_cast<int32_t>(v);
}

std::string EditText(const QString& text) {
  return text.left(kEditTextLimit).toStdString();
}

std::string FormatPixels(int32_t value) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%d", value);
  return buf;
}

std::string FormatPercent(double percent) {
  CNumericLocale c;
  char buf[400];
  std::snprintf(buf, sizeof buf, "%.1f %c", percent, '%');
  return buf;
}

SizeBoxes::SizeBoxes(TableDialog* window) : QObject(window), window_(window) {
  for (int id : {kWidthPixelsBox, kHeightPixelsBox, kWidthPercentBox, kHeightPercentBox}) {
    if (QLineEdit* box = Box(id)) box->installEventFilter(this);
  }
}

QLineEdit* SizeBoxes::Box(int id) const {
  return window_->ItemAs<QLineEdit>(id);
}

void SizeBoxes::SetBox(int id, const std::string& text) const {
  if (QLineEdit* box = Box(id)) box->setText(QString::fromStdString(text));
}

bool SizeBoxes::Locked() const {
  auto* lock = window_->ItemAs<QAbstractButton>(kLockAspectRatioBox);
  return lock != nullptr && lock->isChecked();
}

bool SizeBoxes::eventFilter(QObject* watched, QEvent* event) {
  // The box's own context menu borrows the focus without the user leaving the box.
  if (event->type() == QEvent::FocusOut &&
      static_cast<QFocusEvent*>(event)->reason() != Qt::PopupFocusReason) {
    const int id = window_->IdOf(qobject_cast<QWidget*>(watched));
    if (id == kWidthPixelsBox || id == kHeightPixelsBox) LeavePixelBox(id);
    if (id == kWidthPercentBox || id == kHeightPercentBox) LeavePercentBox(id);
  }
  return QObject::eventFilter(watched, event);
}

void SizeBoxes::CommitEditedBox() {
  const int id = window_->IdOf(window_->focusWidget());
  if (id == kWidthPixelsBox || id == kHeightPixelsBox) LeavePixelBox(id);
  if (id == kWidthPercentBox || id == kHeightPercentBox) LeavePercentBox(id);
}

void SizeBoxes::LeavePixelBox(int id) {
  QLineEdit* box = Box(id);
  if (box == nullptr) return;
  const bool width = id == kWidthPixelsBox;
  const int32_t ownSource = width ? settings.sourceWidth : settings.sourceHeight;
  const int32_t otherSource = width ? settings.sourceHeight : settings.sourceWidth;
  const int ownPercent = width ? kWidthPercentBox : kHeightPercentBox;
  const int otherPixels = width ? kHeightPixelsBox : kWidthPixelsBox;
  const int otherPercent = width ? kHeightPercentBox : kWidthPercentBox;

  const double v = ReadDecimal(EditText(box->text()));
  const float p = PercentOf(v, ownSource);
  SetBox(ownPercent, FormatPercent(p));
  if (Locked()) {
    SetBox(otherPixels, FormatPixels(LockedSide(p, otherSource)));
    SetBox(otherPercent, FormatPercent(p));
  }
}

void SizeBoxes::LeavePercentBox(int id) {
  QLineEdit* box = Box(id);
  if (box == nullptr) return;
  const bool width = id == kWidthPercentBox;
  const int32_t ownSource = width ? settings.sourceWidth : settings.sourceHeight;
  const int32_t otherSource = width ? settings.sourceHeight : settings.sourceWidth;
  const int ownPixels = width ? kWidthPixelsBox : kHeightPixelsBox;
  const int otherPixels = width ? kHeightPixelsBox : kWidthPixelsBox;
  const int otherPercent = width ? kHeightPercentBox : kWidthPercentBox;

  const double p = ReadDecimal(EditText(box->text()));
  const double f = p * 0.01;
  SetBox(id, FormatPercent(p));
  const float own = static_cast<float>(ownSource * f);
  SetBox(ownPixels, FormatPixels(RoundPixels(own)));
  if (Locked()) {
    SetBox(otherPercent, FormatPercent(p));
    SetBox(otherPixels, FormatPixels(RoundPixels(otherSource * f)));
  }
}

// SPDX-FileCopyrightText: The Quillane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

// Step 3 of the main window: the output size in pixels and in percent of the start picture,
// four edit boxes that update one another when the user leaves one of them.

#include <QObject>
#include <cstdint>
#include <string>

#include "base/output_size.h"

class QLineEdit;
class QString;
class TableDialog;

constexpr int kWidthPixelsBox = 1011;
constexpr int kHeightPixelsBox = 1012;
constexpr int kWidthPercentBox = 1015;
constexpr int kHeightPercentBox = 1016;
constexpr int kLockAspectRatioBox = 1017;

// Edit-box texts are read as at most this many characters.
constexpr int kEditTextLimit = 99;

// Lenient reading of typed numbers: leading blanks skipped, the longest decimal prefix taken
// (sign, digits, fraction, exponent), anything after it ignored, 0 when there is none.
double ReadDecimal(const std::string& text);
// The same for integers: sign and digits only, so "640.7" reads as 640; clamped to int32.
int32_t ReadInteger(const std::string& text);
// The first kEditTextLimit characters of an edit box's text, as UTF-8.
std::string EditText(const QString& text);

// "%d" and "%.1f %c" with '%', independent of the user's locale.
std::string FormatPixels(int32_t value);
std::string FormatPercent(double percent);

// The coupling of the four boxes of a main window; reacts to a box losing the keyboard focus.
class SizeBoxes : public QObject {
  Q_OBJECT
 public:
  explicit SizeBoxes(TableDialog* window);

  // What leaving each kind of box does (also called by the focus handling).
  void LeavePixelBox(int id);
  void LeavePercentBox(int id);
  // Commits the box that has the focus, as leaving it would: a press of the default button
  // leaves the focus where it is.
  void CommitEditedBox();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QLineEdit* Box(int id) const;
  void SetBox(int id, const std::string& text) const;
  bool Locked() const;

  TableDialog* window_;
};

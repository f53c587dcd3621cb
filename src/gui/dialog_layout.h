// SPDX-FileCopyrightText: The Quillane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

// Windows built from control tables: every control with its identifier, kind, label and position
// in dialog units, converted to pixels with the dialog font's base units the way the program's
// layouts were designed (average character width / 4, character height / 8).

#include <QDialog>
#include <QFont>
#include <QHash>
#include <QRect>
#include <span>

enum class ControlKind {
  GroupBox,
  RadioButton,   // auto radio button
  CheckBox,      // auto check box
  Label,         // static text, left-aligned
  LabelRight,    // static text, right-aligned
  BorderLabel,   // static text with a border (status fields)
  Edit,          // edit box
  ReadOnlyEdit,  // read-only, auto-scrolling edit box
  PushButton,
  DefaultPushButton,  // Enter presses it
  ListBox,            // extended selection, unsorted, vertical scroll bar
  SunkenFrame,        // sunken white frame (picture previews)
  BlackFrame,         // black frame (picture frames)
  Picture,            // static picture
};

struct ControlEntry {
  int id;  // -1 for controls nobody refers to (group boxes, fixed texts)
  ControlKind kind;
  const char* label;        // UTF-8
  int x, y, width, height;  // dialog units
  // What a screen reader calls a control that shows no label of its own (edit boxes, frames,
  // "..."); the others are called by their label.
  const char* name = nullptr;
};

struct DialogLayout {
  const char* title;  // UTF-8
  int width, height;  // client size in dialog units
  std::span<const ControlEntry> controls;
};

// The dialog font: "宋体" 9 point, with the Song-style fonts of Linux as fall-backs.
QFont DialogFont();

// A dialog built from a table. Controls are children of the dialog, in table order.
class TableDialog : public QDialog {
  Q_OBJECT
 public:
  TableDialog(const DialogLayout& layout, QWidget* parent);

  // The control with the identifier, or null (as GetDlgItem).
  QWidget* Item(int id) const { return items_.value(id, nullptr); }
  template <typename T>
  T* ItemAs(int id) const {
    return qobject_cast<T*>(Item(id));
  }
  // The control with the identifier as its kind, for windows that fetch their controls once: a
  // wrong identifier or kind is a programming error and ends the program at once, instead of
  // leaving a button that silently does nothing.
  template <typename T>
  T* Control(int id) const {
    T* control = ItemAs<T>(id);
    if (control == nullptr)
      qFatal("%s has no control %d of the expected kind", metaObject()->className(), id);
    return control;
  }
  // The identifier of a control of this dialog, or -1.
  int IdOf(const QWidget* control) const;
  // Dialog units to pixels with this dialog's font.
  QRect ToPixels(int x, int y, int width, int height) const;
  int BaseUnitX() const { return baseX_; }
  int BaseUnitY() const { return baseY_; }

 private:
  QHash<int, QWidget*> items_;
  int baseX_ = 6;
  int baseY_ = 13;
};

// A label as a screen reader says it, in the chosen language: without its mnemonic marks.
QString AccessibleText(const char* label);

// GetDlgItem for any window built from a table; null when it is not one or has no such control.
QWidget* GetDlgItem(QWidget* dialog, int id);

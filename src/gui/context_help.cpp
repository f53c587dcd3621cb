// SPDX-FileCopyrightText: The Quillane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "gui/context_help.h"

#include <QEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QMessageBox>
#include <QTimer>
#include <QWhatsThis>
#include <QWidget>
#include <algorithm>

#include "app/owner_windows.h"
#include "base/language.h"
#include "gui/dialog_layout.h"
#include "painting/effect_table.h"

namespace {

struct HelpEntry {
  int ids[2];  // the control and the label that names it (0 when there is none)
  const char* text;
};

// The texts are English although the labels are Chinese. The effects' radio buttons take theirs
// from the effect table.
constexpr HelpEntry kHelpTable[] = {
    {{1000, 1048}, TrNoop("The name of the start picture is displayed in this area.")},
    {{1010, 0},
     TrNoop("Use this button to specify the picture file you want to apply a special effect to.")},
    {{1027, 1049},
     TrNoop("This area is used to preview the start picture.  To apply the picture effect to the "
            "start "
            "picture, click the 'Paint!' button below.")},
    {{1017, 0},
     TrNoop(
         "When checked, 'Lock Aspect Ratio' will insure that when the size of the start picture is "
         "changed, the picture preserves it's scale, and does not become stretched or squished.")},
    {{1011, 1050},
     TrNoop("This is the width you would like the final output picture to be in pixels.")},
    {{1015, 0},
     TrNoop("This is the percentage of the original width you would like the final output picture "
            "to be.")},
    {{1012, 1051},
     TrNoop("This is the height you would like the final output picture to be in pixels.")},
    {{1016, 0},
     TrNoop(
         "This is the percentage of the original height you would like the final output picture to "
         "be.")},
    {{1008, 0},
     TrNoop("When checked, 'Use The Picture Library' will use pictures included with this software "
            "while "
            "performing the 'Picture Mosaic' effect.  The 'Picture Library' folder is located in "
            "the same "
            "folder as this software, you may manually add your own pictures to this folder if you "
            "wish.")},
    {{1007, 0},
     TrNoop("When checked, 'Use Your Picture List' will use pictures from the 'Your Picture List' "
            "while "
            "performing the 'Picture Mosaic' effect.")},
    {{1002, 1034},
     TrNoop("This is where the names of all your picture or avi files are displayed.  You may drag "
            "and "
            "drop file names from Windows Explorer into this list window.  These pictures or "
            "frames from "
            "avi files will be used when performing the 'Picture Mosaic' effect.")},
    {{1004, 1032},
     TrNoop("This is the number of tiles or squares that will span the width of the final output "
            "picture, "
            "while performing the 'Picture Mosaic' effect.")},
    {{1005, 0},
     TrNoop(
         "Use this button to add picture or avi files to 'Your Picture List'.  These pictures or "
         "frames from avi files will be used when performing the 'Picture Mosaic' effect.")},
    {{1006, 0},
     TrNoop("Use this button to remove picture or avi files from 'Your Picture List'.  The items "
            "removed "
            "are what ever items are selected.")},
    {{1009, 0},
     TrNoop("When checked, 'Auto-size Tiles Down' will automatically set the number of down tiles "
            "so as "
            "to preserve a resonable aspect ratio while performing the 'Picture Mosaic' effect.")},
    {{1003, 1033},
     TrNoop("This is the number of tiles or squares that will span the height of the final output "
            "picture, while performing the 'Picture Mosaic' effect.")},
    {{1, 0}, TrNoop("Use this button begin the painting process and display the output window.")},
    {{3, 0}, TrNoop("Use this button to display more information about this software.")},
    {{2, 0}, TrNoop("Use this button exit this software.")},
};

// Width of a line of help text, counted in ordinary letters.
constexpr int kLineWidth = 75;

// The control of the main window that a widget belongs to (list boxes, for example, take their
// clicks on an inner viewport).
int ControlIdOf(TableDialog* mainWindow, QWidget* widget) {
  while (widget != nullptr && widget->parentWidget() != mainWindow) widget = widget->parentWidget();
  return widget ? mainWindow->IdOf(widget) : -1;
}

// Turns help requests on the controls into information boxes: a click in What's This mode and F1
// on the focused control.
class HelpRequestFilter : public QObject {
 public:
  explicit HelpRequestFilter(TableDialog* mainWindow) : QObject(mainWindow), window_(mainWindow) {}

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    auto* widget = qobject_cast<QWidget*>(watched);
    if (widget == nullptr) return false;
    switch (event->type()) {
      case QEvent::QueryWhatsThis:
        // Every control answers, so What's This mode shows its question-mark cursor everywhere.
        event->accept();
        return true;
      case QEvent::WhatsThis: {
        event->accept();
        const char* text = HelpTextFor(ControlIdOf(window_, widget));
        QWhatsThis::leaveWhatsThisMode();
        // The box opens once the click that chose the control has been handled.
        if (text != nullptr) {
          QTimer::singleShot(0, window_, [text] { ShowInfo(text); });
        }
        return true;
      }
      case QEvent::KeyPress: {
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() != Qt::Key_F1) return false;
        // Shift+F1 stands in for the title-bar button on desktops that do not draw it.
        if (key->modifiers() == Qt::ShiftModifier) {
          event->accept();
          QWhatsThis::enterWhatsThisMode();
          return true;
        }
        if (key->modifiers() != Qt::NoModifier) return false;
        event->accept();
        if (const char* text = HelpTextFor(ControlIdOf(window_, widget))) ShowInfo(text);
        return true;
      }
      default:
        return false;
    }
  }

 private:
  TableDialog* window_;
};

}  // namespace

const char* HelpTextFor(int controlId) {
  if (controlId <= 0) return nullptr;
  for (const EffectEntry& effect : kEffectTable) {
    if (effect.button == controlId) return effect.help;
  }
  for (const HelpEntry& entry : kHelpTable) {
    if (entry.ids[0] == controlId || entry.ids[1] == controlId) return entry.text;
  }
  return nullptr;
}

std::string WrapHelpText(const std::string& text) {
  std::string wrapped = text;
  // The width count is never reset: a break falls each time it passes another multiple of the
  // line width, at the last blank seen. Of every three narrow letters only the first counts.
  int width = 0;
  size_t lastBlank = 0;
  int narrowLetters = 0;
  for (size_t i = 0; i < wrapped.size(); ++i) {
    if (wrapped[i] == ' ') lastBlank = i;
    if (i > 0 && width % kLineWidth == 0) wrapped[lastBlank] = '\n';
    if (wrapped[i] == '|') wrapped[i] = '\n';
    if (wrapped[i] == 'i' || wrapped[i] == 'l') {
      if (narrowLetters % 3 != 0) --width;
      ++narrowLetters;
    }
    ++width;
  }
  return wrapped;
}

void ShowInfo(const char* text) {
  if (messageOwner == nullptr || text == nullptr) return;
  // The original texts break where the first version broke them; a translation is left to the
  // box, which breaks Chinese between any two characters and English at blanks.
  const bool original = CurrentLanguage() == Language::kOriginal;
  QMessageBox box(QMessageBox::Information, QStringLiteral("Limnora"),
                  QString::fromUtf8(original ? WrapHelpText(text) : std::string(Tr(text))),
                  QMessageBox::Ok, dynamic_cast<QWidget*>(messageOwner));
  box.setTextFormat(Qt::PlainText);
  // The lines are already broken; the box must be wide enough not to break them again.
  if (auto* label = box.findChild<QLabel*>(QStringLiteral("qt_msgbox_label")); label && original) {
    box.ensurePolished();
    const QFontMetrics metrics(label->font());
    int widest = 0;
    for (const QString& line : box.text().split(QLatin1Char('\n'))) {
      widest = std::max(widest, metrics.horizontalAdvance(line));
    }
    label->setMinimumWidth(widest + metrics.averageCharWidth());
  }
  box.exec();
}

void InstallContextHelp(TableDialog* mainWindow) {
  if (mainWindow == nullptr) return;
  // Changing the flags of a window on screen hides it.
  const bool visible = mainWindow->isVisible();
  mainWindow->setWindowFlag(Qt::WindowContextHelpButtonHint, true);
  if (visible) mainWindow->show();
  auto* filter = new HelpRequestFilter(mainWindow);
  const QList<QWidget*> widgets = mainWindow->findChildren<QWidget*>();
  for (QWidget* widget : widgets) {
    widget->installEventFilter(filter);
    // Screen readers read the help as the control's description.
    if (const char* text = HelpTextFor(mainWindow->IdOf(widget))) {
      widget->setAccessibleDescription(QString::fromUtf8(Tr(text)));
    }
  }
}

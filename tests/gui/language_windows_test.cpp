// SPDX-FileCopyrightText: The Quillane developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Every window in each text set: each control has a name for screen readers, speaks only the
// language asked for and shows its text whole.
#include <gtest/gtest.h>

#include <QAccessible>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QStyleOption>
#include <cstring>
#include <fstream>

#include "app/settings.h"
#include "base/language.h"
#include "companions_test_window.h"
#include "gui/about_window.h"
#include "gui/context_help.h"
#include "gui/file_dialogs.h"
#include "gui/gui_test_helpers.h"
#include "gui/main_window.h"
#include "gui/output_window.h"
#include "gui/picture_printing.h"
#include "gui/splash_window.h"
#include "painting/start_picture.h"

namespace {

// The space a style gives a button's text, for buttons, check boxes and radio buttons alike.
QRect TextRoom(QAbstractButton* b) {
  QStyleOptionButton option;
  option.initFrom(b);
  option.text = b->text();
  const auto element = qobject_cast<QCheckBox*>(b)      ? QStyle::SE_CheckBoxContents
                       : qobject_cast<QRadioButton*>(b) ? QStyle::SE_RadioButtonContents
                                                        : QStyle::SE_PushButtonContents;
  return b->style()->subElementRect(element, &option, b);
}

// What does not fit in `w`, or empty.
QString Clipped(QWidget* w) {
  const QFontMetrics metrics(w->font());
  QString text;
  QRect room;
  if (auto* b = qobject_cast<QAbstractButton*>(w)) {
    text = b->text(), room = TextRoom(b);
  } else if (auto* l = qobject_cast<QLabel*>(w); l && !l->wordWrap()) {
    text = l->text(), room = l->contentsRect();
  } else if (auto* g = qobject_cast<QGroupBox*>(w)) {
    QStyleOptionGroupBox option;
    option.initFrom(g);
    option.text = g->title();
    option.subControls = QStyle::SC_GroupBoxLabel;
    text = g->title();
    // The title starts where the style puts it and may run to the box's right edge.
    room = g->style()->subControlRect(QStyle::CC_GroupBox, &option, QStyle::SC_GroupBoxLabel, g);
    room.setRight(g->width() - 1);
  }
  if (text.isEmpty()) return QString();
  const QSize needed = metrics.size(Qt::TextShowMnemonic, text);
  return needed.width() <= room.width() ? QString() : text;
}

class LanguageWindowsTest : public ::testing::TestWithParam<Language> {
 protected:
  void SetUp() override {
    ASSERT_TRUE(UseLanguage(GetParam(), QUILLANE_BIN_DIR "/locale", nullptr));
    QFile list(QStringLiteral(QUILLANE_TEST_DATA_DIR "/../language/allowed_words.txt"));
    ASSERT_TRUE(list.open(QIODevice::ReadOnly));
    for (const QString& line : QString::fromUtf8(list.readAll()).split('\n')) {
      if (!line.startsWith('#')) allowed << line.split(' ', Qt::SkipEmptyParts);
    }
  }
  void TearDown() override { UseLanguage(Language::kOriginal, "", nullptr); }

  // Checks a window and all that is in it.
  void Walk(QWidget* window) {
    texts << window->windowTitle();
    for (QAction* action : window->actions()) texts << action->text();
    const QList<QWidget*> widgets = window->findChildren<QWidget*>() << window;
    for (QWidget* w : widgets) {
      if (w->objectName().startsWith("qt_") || !w->isVisibleTo(window) ||
          (w->parentWidget() && w->parentWidget()->objectName().startsWith("qt_")) ||
          qobject_cast<QAbstractSpinBox*>(w->parentWidget()) ||
          qobject_cast<QComboBox*>(w->parentWidget()) ||
          w->metaObject() == &QWidget::staticMetaObject)
        continue;
      QAccessibleInterface* spoken = QAccessible::queryAccessibleInterface(w);
      const QString name = spoken ? spoken->text(QAccessible::Name) : QString();
      EXPECT_FALSE(name.isEmpty())
          << w->metaObject()->className() << " " << w->objectName().toStdString();
      texts << name << w->accessibleDescription() << w->toolTip();
      if (auto* l = qobject_cast<QLabel*>(w)) texts << l->text();
      if (auto* b = qobject_cast<QAbstractButton*>(w)) texts << b->text();
      if (auto* g = qobject_cast<QGroupBox*>(w)) texts << g->title();
      if (auto* c = qobject_cast<QComboBox*>(w))
        for (int i = 0; i < c->count(); ++i) texts << c->itemText(i);
      const QString clipped = Clipped(w);
      EXPECT_TRUE(clipped.isEmpty()) << "does not fit: " << clipped.toStdString();
    }
  }
  // Under en no Chinese character, under zh no English word but names.
  void CheckTexts() {
    const QRegularExpression chinese(
        QStringLiteral("[\\x{3000}-\\x{303f}\\x{4e00}-\\x{9fff}\\x{ff00}-\\x{ffef}]"));
    const QRegularExpression word(QStringLiteral("\\b[A-Za-z]{3,}\\b"));
    for (const QString& text : texts) {
      if (GetParam() == Language::kEnglish) {
        EXPECT_FALSE(text.contains(chinese)) << text.toStdString();
      }
      if (GetParam() != Language::kChinese) continue;
      // File endings and addresses are names too.
      const QString words =
          QString(text).remove(QRegularExpression(QStringLiteral("\\S*[.@]\\S*[\\w*]")));
      for (auto it = word.globalMatch(words); it.hasNext();) {
        const QString found = it.next().captured();
        EXPECT_TRUE(allowed.contains(found)) << found.toStdString() << " in " << text.toStdString();
      }
    }
  }

  GuiTestEnvironment env;
  QStringList allowed, texts;
};

TEST_P(LanguageWindowsTest, EveryWindowIsNamedSpeaksItsLanguageAndFits) {
  ASSERT_TRUE(WriteTestPicture(env.ExamplePicture(), 64, 48));
  SetDefaultSettings();
  {
    MainWindow main;
    main.show();
    WaitUntil([&] { return main.StartupDone() && !main.PreviewPending(); });
    Walk(&main);
    for (QWidget* w : main.findChildren<QWidget*>()) {
      if (const char* help = HelpTextFor(main.IdOf(w))) {
        EXPECT_EQ(w->accessibleDescription(), QString::fromUtf8(Tr(help)));
        texts << w->accessibleDescription();
      }
    }
    // The choice made in the context menu is the file's, for the next start.
    main.actions()[2]->trigger();
    std::ifstream remembered(env.ConfigFolder() + "/quillane/language");
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(remembered), {}), "zh\n");
    std::strcpy(settings.startPicture, env.ExamplePicture().c_str());
    settings.outputWidth = 48, settings.outputHeight = 36;
    OutputWindow output(&main);
    ASSERT_TRUE(output.Open());
    output.show();
    ASSERT_TRUE(WaitUntil([&] { return output.PaintingDone(); }));
    QApplication::processEvents();
    Walk(&output);
  }
  for (auto* show : {&ShowAboutWindow, &ShowSplashWindow}) {
    WhenModalOpens([this](QWidget* window) {
      Walk(window);
      static_cast<QDialog*>(window)->done(0);
    });
    show(nullptr);
  }
  PrintOptionsPanel panel{PrintOptions{}};
  panel.ShowPlan(PrintPlan{});
  panel.show();
  Walk(&panel);
  texts << FilterSpecToQtFilters(StartPictureFilterSpec())
        << FilterSpecToQtFilters(PictureListFilterSpec())
        << QString::fromUtf8(Tr("File is format not recognized.|"))
        << QString::fromStdString(OutputSizeRefusal(0, 0));
  CheckTexts();
}

INSTANTIATE_TEST_SUITE_P(Sets, LanguageWindowsTest,
                         ::testing::Values(Language::kOriginal, Language::kEnglish,
                                           Language::kChinese),
                         [](const auto& info) { return std::string(LanguageName(info.param)); });

}  // namespace

// SPDX-FileCopyrightText: The Quillane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "gui/about_window.h"

#include <QApplication>
#include <QCursor>
#include <QDesktopServices>
#include <QFontMetrics>
#include <QLabel>
#include <QMouseEvent>
#include <QPixmap>
#include <QPushButton>
#include <QTimer>
#include <QUrl>
#include <algorithm>
#include <array>

#include "base/language.h"
#include "gui/dialog_layout.h"
#include "gui/info_resources.h"

const char kMakerWebAddress[] = "https://quillane.example/";

namespace {

constexpr int kOkButton = 1;
constexpr int kWebSiteButton = 1036;
constexpr int kProductLine = 1037;
constexpr int kMakerName = 1038;
constexpr int kLink = 1163;
constexpr int kCursorMilliseconds = 50;
const QColor kLinkColour(0, 0, 200);

constexpr std::array<ControlEntry, 15> kAboutControls = {{
    {kOkButton, ControlKind::DefaultPushButton, TrNoop("确定"), 233, 6, 50, 14},
    {kWebSiteButton, ControlKind::PushButton, TrNoop("网站(&W)"), 233, 23, 50, 14},
    {-1, ControlKind::GroupBox, "", 6, 2, 221, 49, "Quillane"},
    {kProductLine, ControlKind::Label, "Quillane V1.00", 13, 11, 90, 9},
    {-1, ControlKind::Label, TrNoop("Paintings and picture mosaics from your photographs."), 13, 25,
     210, 9},
    {-1, ControlKind::Label, TrNoop("Made by the Quillane developers."), 13, 37, 210, 9},
    {-1, ControlKind::GroupBox, "", 6, 51, 221, 95, TrNoop("Contact")},
    {kMakerName, ControlKind::Label, TrNoop("Quillane Project"), 13, 59, 90, 9},
    {kLink, ControlKind::Label, "quillane.example", 121, 59, 99, 10},
    {-1, ControlKind::Label, "1 Example Road, Suite 100", 13, 73, 200, 9},
    {-1, ControlKind::Label, "Sampletown EX 00000", 13, 85, 200, 9},
    {-1, ControlKind::Label, TrNoop("Exampleland"), 13, 97, 200, 9},
    {-1, ControlKind::Label, TrNoop("Telephone: +00 000 000 0000"), 13, 109, 200, 9},
    {-1, ControlKind::Label, TrNoop("Fax: +00 000 000 0001"), 13, 121, 200, 9},
    {-1, ControlKind::Label, TrNoop("E-mail: contact@quillane.example"), 13, 133, 200, 9},
}};

const DialogLayout kAboutLayout = {TrNoop("关于"), 289, 150, kAboutControls};

// The window's fonts are given by their cell height, ascent and descent together, as the
// heading's 15 is; Qt's pixel size leaves out the line spacing above the letters.
constexpr int kHeadingCellHeight = 15;

QFont HeadingFont() {
  QFont font(QStringLiteral("Arial"));
  font.setWeight(QFont::Bold);
  font.setItalic(false);
  font.setUnderline(false);
  int pixels = kHeadingCellHeight;
  font.setPixelSize(pixels);
  while (pixels > 1 && QFontMetrics(font).height() > kHeadingCellHeight) {
    font.setPixelSize(--pixels);
  }
  return font;
}

class AboutWindow : public TableDialog {
 public:
  explicit AboutWindow(QWidget* owner) : TableDialog(kAboutLayout, owner) {
    setObjectName(QStringLiteral("aboutWindow"));
    setWindowModality(Qt::ApplicationModal);

    const QFont heading = HeadingFont();
    QFont linkFont = heading;
    linkFont.setUnderline(true);
    Item(kProductLine)->setFont(heading);
    Item(kMakerName)->setFont(heading);
    link_ = ItemAs<QLabel>(kLink);
    link_->setFont(linkFont);
    // The link's cell must hold the underline below the letters.
    const QFontMetrics linkMetrics(linkFont);
    link_->resize(link_->width(),
                  std::max(link_->height(), linkMetrics.ascent() + linkMetrics.underlinePos() +
                                                linkMetrics.lineWidth() + 1));
    // The link's text colour on the button face, whatever the window's own background is.
    QPalette colours = link_->palette();
    colours.setColor(QPalette::WindowText, kLinkColour);
    colours.setColor(QPalette::Window, colours.color(QPalette::Button));
    link_->setPalette(colours);
    link_->setAutoFillBackground(true);

    const QPixmap hand(QStringLiteral(":/quillane/link_cursor.png"));
    if (!hand.isNull()) linkCursor_ = QCursor(hand, 10, 10);
    haveLinkCursor_ = !hand.isNull();

    connect(ItemAs<QPushButton>(kOkButton), &QPushButton::clicked, this, &QDialog::accept);
    connect(ItemAs<QPushButton>(kWebSiteButton), &QPushButton::clicked, this,
            [this] { OpenWebSite(); });
    // The cursor over the link is checked by polling, so the hand also shows on the link's
    // borders, which other controls cover.
    connect(&cursorTimer_, &QTimer::timeout, this, [this] { UpdateCursor(); });
    cursorTimer_.start(kCursorMilliseconds);

    QRect frame = frameGeometry();
    if (QScreen* s = screen()) frame.moveCenter(s->availableGeometry().center());
    move(frame.topLeft());
  }

  ~AboutWindow() override {
    cursorTimer_.stop();
    ShowHand(false);
  }

 protected:
  void mousePressEvent(QMouseEvent* event) override {
    if (event->button() == Qt::LeftButton &&
        IsOnLinkControl(LinkOnScreen(), event->globalPosition().toPoint())) {
      OpenWebSite();
      return;
    }
    TableDialog::mousePressEvent(event);
  }

 private:
  QRect LinkOnScreen() const { return QRect(link_->mapToGlobal(QPoint(0, 0)), link_->size()); }

  void UpdateCursor() { ShowHand(IsOnLinkControl(LinkOnScreen(), QCursor::pos())); }

  void ShowHand(bool on) {
    if (!haveLinkCursor_ || on == handShown_) return;
    if (on) {
      QApplication::setOverrideCursor(linkCursor_);
    } else {
      QApplication::restoreOverrideCursor();
    }
    handShown_ = on;
  }

  void OpenWebSite() {
    // A failed request passes silently; the window steps back for the browser all the same.
    QDesktopServices::openUrl(QUrl(QString::fromLatin1(kMakerWebAddress)));
    // Steps back for the browser together with its owners, always staying above them: a modal
    // window buried under the window it blocks could not be reached again.
    lower();
    for (QWidget* owner = parentWidget(); owner != nullptr; owner = owner->parentWidget()) {
      owner = owner->window();
      owner->lower();
    }
  }

  QLabel* link_ = nullptr;
  QCursor linkCursor_;
  bool haveLinkCursor_ = false;
  bool handShown_ = false;
  QTimer cursorTimer_;
};

}  // namespace

bool IsOnLinkControl(const QRect& linkOnScreen, const QPoint& point) {
  const int left = linkOnScreen.left();
  const int top = linkOnScreen.top();
  const int right = left + linkOnScreen.width();
  const int bottom = top + linkOnScreen.height();
  return left <= point.x() && point.x() <= right && top <= point.y() && point.y() <= bottom;
}

void ShowAboutWindow(QWidget* owner) {
  LoadInfoResources();
  AboutWindow about(owner);
  about.exec();
}

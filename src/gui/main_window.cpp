// SPDX-FileCopyrightText: The Quillane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "gui/main_window.h"

#include <QAbstractButton>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QEvent>
#include <QFile>
#include <QFrame>
#include <QLineEdit>
#include <QListWidget>
#include <QMimeData>
#include <QPainter>
#include <QTimerEvent>
#include <QUrl>
#include <QtConcurrent/QtConcurrentRun>
#include <array>
#include <cstdio>
#include <cstring>

#include "base/language.h"
#include "base/paths.h"
#include "gui/about_window.h"
#include "gui/bitmap_image.h"
#include "gui/context_help.h"
#include "gui/file_dialogs.h"
#include "gui/language_menu.h"
#include "gui/output_window.h"
#include "gui/picture_list.h"
#include "gui/size_boxes.h"
#include "gui/splash_window.h"
#include "gui/warning_box.h"
#include "imaging/dib.h"
#include "painting/start_picture.h"

using namespace main_ids;

// A start picture decoded and scaled for the preview, made on the worker.
struct LoadedPreview {
  int generation = 0;
  std::string path;
  bool decoded = false;
  int32_t width = 0;  // the picture's own size
  int32_t height = 0;
  ImgBitmap bitmap;  // scaled to fit the preview area
  Rect rect;         // where it is drawn
  QImage image;      // the bitmap as Qt shows it
};

namespace {

bool splashAtOpening = true;

// Decodes the picture at loaded->path and scales it to fit `area`, centred.
void LoadPreviewPicture(const QRect& area, LoadedPreview* loaded) {
  ImgInitHandle(&loaded->bitmap);
  if (ImgLoadFile(loaded->path.c_str(), &loaded->bitmap) != 1) return;
  if (loaded->bitmap.width == 0) {
    ImgFree(&loaded->bitmap);
    return;
  }
  loaded->decoded = true;
  const int32_t width = loaded->width = loaded->bitmap.width;
  const int32_t height = loaded->height = loaded->bitmap.height;

  // Scale to fit the preview area, in single precision as the sizes have always been worked out.
  const float W = static_cast<float>(area.width());
  const float H = static_cast<float>(area.height());
  const float s = W / static_cast<float>(width);
  float dw = static_cast<float>(width) * s;
  float dh = static_cast<float>(height) * s;
  if (dh > H) {
    const float f = H / dh;
    dw *= f;
    dh *= f;
  }
  ImgResize(&loaded->bitmap, TruncateToInt(dw), TruncateToInt(dh));
  Rect& r = loaded->rect;
  r.left = area.left() + TruncateToInt((W - dw) * 0.5f);
  r.top = area.top() + TruncateToInt((H - dh) * 0.5f);
  r.right = TruncateToInt(static_cast<float>(r.left) + dw);
  r.bottom = TruncateToInt(static_cast<float>(r.top) + dh);
  loaded->image = ImageFromBitmap(loaded->bitmap);
}

// The longest start picture path the '...' dialog hands back, terminator included.
constexpr int32_t kChosenStartPictureSize = 300;

constexpr int kNone = -1;

// The window as laid out, in dialog units.
constexpr std::array kMainControls = {
    ControlEntry{kNone, ControlKind::GroupBox, TrNoop("图片效果 (步骤1)"), 7, 6, 167, 50},
    ControlEntry{kPictureMosaic, ControlKind::RadioButton, kEffectTable[PictureMosaic].label, 13,
                 18, 70, 9},
    ControlEntry{kVanGogh, ControlKind::RadioButton, kEffectTable[VanGogh].label, 13, 30, 70, 9},
    ControlEntry{kPointillism, ControlKind::RadioButton, kEffectTable[Pointillism].label, 13, 43,
                 70, 9},
    ControlEntry{kColoredPencil, ControlKind::RadioButton, kEffectTable[ColoredPencil].label, 83,
                 18, 70, 9},
    ControlEntry{kCharcoalPencil, ControlKind::RadioButton, kEffectTable[CharcoalPencil].label, 83,
                 31, 70, 9},
    ControlEntry{kBlackAndWhitePhoto, ControlKind::RadioButton,
                 kEffectTable[BlackAndWhitePhoto].label, 83, 43, 79, 9},
    ControlEntry{kNone, ControlKind::GroupBox, TrNoop("选择开始图片(步骤2)"), 6, 61, 167, 170},
    ControlEntry{kStartPictureLabel, ControlKind::Label, TrNoop("开始图片:"), 13, 73, 42, 9},
    ControlEntry{kStartPictureName, ControlKind::ReadOnlyEdit, "", 13, 85, 130, 12,
                 TrNoop("Start picture")},
    ControlEntry{kChooseStartPicture, ControlKind::PushButton, "...", 144, 85, 20, 12,
                 TrNoop("Choose the start picture")},
    ControlEntry{kPreviewLabel, ControlKind::Label, TrNoop("开始图片预览:"), 13, 104, 71, 9},
    ControlEntry{kPreview, ControlKind::SunkenFrame, "", 13, 116, 150, 108,
                 TrNoop("Preview of the start picture")},
    ControlEntry{kNone, ControlKind::GroupBox, TrNoop("图片尺寸(步骤3)"), 180, 6, 154, 60},
    ControlEntry{kLockAspectRatio, ControlKind::CheckBox, TrNoop("锁定比率"), 187, 18, 75, 9},
    ControlEntry{kWidthLabel, ControlKind::Label, TrNoop("图片宽度:"), 186, 36, 46, 8},
    ControlEntry{kWidthPixels, ControlKind::Edit, "", 241, 34, 40, 12, TrNoop("Width in pixels")},
    ControlEntry{kWidthPercent, ControlKind::Edit, "", 286, 34, 40, 12, TrNoop("Width in percent")},
    ControlEntry{kHeightLabel, ControlKind::Label, TrNoop("图片高度:"), 186, 51, 48, 8},
    ControlEntry{kHeightPixels, ControlKind::Edit, "", 241, 49, 40, 12, TrNoop("Height in pixels")},
    ControlEntry{kHeightPercent, ControlKind::Edit, "", 286, 49, 40, 12,
                 TrNoop("Height in percent")},
    ControlEntry{kNone, ControlKind::GroupBox, TrNoop("图片马赛克配置(步骤4)"), 180, 71, 154, 160},
    ControlEntry{kUsePictureLibrary, ControlKind::CheckBox, TrNoop("使用图样程序库"), 186, 83, 90,
                 9},
    ControlEntry{kUseYourPictureList, ControlKind::CheckBox, TrNoop("使用你的图样列表"), 186, 95,
                 82, 9},
    ControlEntry{kPictureListLabel, ControlKind::Label, TrNoop("你的图样列表: (拖曳并放下)"), 186,
                 111, 109, 9},
    ControlEntry{kPictureList, ControlKind::ListBox, "", 186, 123, 140, 40,
                 TrNoop("Your picture list")},
    ControlEntry{kAddPictures, ControlKind::PushButton, TrNoop("增加图片(&A)..."), 186, 166, 69,
                 12},
    ControlEntry{kRemovePictures, ControlKind::PushButton, TrNoop("移去图片(&R)"), 257, 166, 69,
                 12},
    ControlEntry{kTilesAcrossLabel, ControlKind::LabelRight, TrNoop("横向瓷砖数:"), 186, 187, 65,
                 8},
    ControlEntry{kTilesAcross, ControlKind::Edit, "", 257, 185, 69, 12, TrNoop("Tiles across")},
    ControlEntry{kAutoSizeTilesDown, ControlKind::CheckBox, TrNoop("自动纵向瓷砖数"), 186, 200, 90,
                 9},
    ControlEntry{kTilesDownLabel, ControlKind::LabelRight, TrNoop("纵向瓷砖数:"), 186, 214, 65, 8},
    ControlEntry{kTilesDown, ControlKind::Edit, "", 257, 212, 69, 12, TrNoop("Tiles down")},
    ControlEntry{kPaint, ControlKind::DefaultPushButton, TrNoop("绘画!(&P)"), 13, 237, 50, 14},
    ControlEntry{kAbout, ControlKind::PushButton, TrNoop("关于(&B)"), 145, 237, 50, 14},
    ControlEntry{kExit, ControlKind::PushButton, TrNoop("离开(&E)"), 277, 237, 50, 14},
};

constexpr DialogLayout kMainWindowLayout{"Quillane", 340, 255, kMainControls};

}  // namespace

void SetSplashAtOpening(bool show) {
  splashAtOpening = show;
}

std::string FileNamePart(const std::string& path) {
  std::string folder;
  std::string name;
  SplitPath(path, &folder, &name);
  return name;
}

MainWindow::MainWindow(QWidget* parent, std::string tileIndexFile)
    : TableDialog(kMainWindowLayout, parent), tileIndexFile_(std::move(tileIndexFile)) {
  setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                 Qt::WindowCloseButtonHint | Qt::WindowContextHelpButtonHint);
  setAcceptDrops(true);
  ImgInitHandle(&previewBitmap_);
  if (QWidget* preview = Item(kPreview)) preview->installEventFilter(this);
  sizeBoxes_ = new SizeBoxes(this);
  previewWorker_.setMaxThreadCount(1);
  connect(&previewWatcher_, &QFutureWatcher<std::shared_ptr<LoadedPreview>>::finished, this,
          [this] {
            // A signal of a load the watcher no longer follows must not wait for the newer one.
            if (previewWatcher_.isFinished()) ShowLoadedPreview(previewWatcher_.result());
          });
  ConnectControls();
  InstallLanguageMenu(this);
  Opening();
  // Every choice reaches the settings file soon after it is made, not only at Exit: a crash or
  // a logout loses nothing. The file is written away from the window, changes gathered.
  settingsWriter_.setMaxThreadCount(1);
  settingsSaveTimer_.setSingleShot(true);
  settingsSaveTimer_.setInterval(kSettingsSaveDelayMs);
  connect(&settingsSaveTimer_, &QTimer::timeout, this, [this] { SaveSettingsSoon(); });
  if (auto* list = ItemAs<QListWidget>(kPictureList)) {
    for (auto signal : {&QAbstractItemModel::rowsInserted, &QAbstractItemModel::rowsRemoved}) {
      connect(list->model(), signal, this, [this] { ChoiceChanged(); });
    }
  }
}

void MainWindow::ChoiceChanged() {
  settingsSaveTimer_.start();
}

void MainWindow::SaveSettingsSoon() {
  CollectControls();
  settingsWriter_.start([bytes = EncodeSettingsFile(settings)] { WriteSettingsFile(bytes); });
}

MainWindow::~MainWindow() {
  // Hiding the window while it goes away moves the focus: the boxes must no longer react.
  delete sizeBoxes_;
  sizeBoxes_ = nullptr;
  if (QWidget* preview = Item(kPreview)) preview->removeEventFilter(this);
  if (startupTimer_ != 0) killTimer(startupTimer_);
  if (previewBitmap_.hasImage) ImgFree(&previewBitmap_);
  FreePictureList();
  if (messageOwner == this) messageOwner = nullptr;
  if (mainWindowHandle == this) mainWindowHandle = nullptr;
}

void MainWindow::ConnectControls() {
  for (const EffectEntry& effect : kEffectTable) {
    connect(Control<QAbstractButton>(effect.button), &QAbstractButton::clicked, this,
            [this] { ApplyMosaicEnabling(); });
  }
  auto onClick = [this](int id, auto slot) {
    connect(Control<QAbstractButton>(id), &QAbstractButton::clicked, this, slot);
  };
  onClick(kUseYourPictureList, [this] { EnableListGroup(IsChecked(kUseYourPictureList)); });
  onClick(kAutoSizeTilesDown, [this] { EnableTilesDown(!IsChecked(kAutoSizeTilesDown)); });
  onClick(kChooseStartPicture, [this] { ChooseStartPicture(); });
  onClick(kAddPictures, [this] { AddPicturesToList(this); });
  onClick(kRemovePictures, [this] { RemovePicturesFromList(this); });
  onClick(kPaint, [this] { Paint(); });
  onClick(kAbout, [this] { About(); });
  onClick(kExit, [this] { Exit(); });
  for (QAbstractButton* button : findChildren<QAbstractButton*>()) {
    if (button->isCheckable())
      connect(button, &QAbstractButton::clicked, this, [this] { ChoiceChanged(); });
  }
  for (QLineEdit* box : findChildren<QLineEdit*>()) {
    connect(box, &QLineEdit::textEdited, this, [this] { ChoiceChanged(); });
  }
}

void MainWindow::Opening() {
  // The sizes start from a nominal picture until the start picture has loaded.
  settings.sourceWidth = settings.outputWidth = 1024;
  settings.sourceHeight = settings.outputHeight = 768;
  messageOwner = this;
  mainWindowHandle = this;
  if (splashAtOpening) ShowSplashWindow(this);
  startupTimer_ = startTimer(1);

  settings.startPicture[kStartPictureSize - 1] = '\0';
  if (settings.startPicture[0] != '\0' && !FileOpensForReading(settings.startPicture)) {
    settings.startPicture[0] = '\0';
  }
  for (const EffectEntry& effect : kEffectTable) {
    SetChecked(effect.button, settings.effect == effect.kind);
  }
  SetText(kStartPictureName, FileNamePart(settings.startPicture));
  std::memcpy(pendingStartPicture, settings.startPicture, kStartPictureSize);

  SetChecked(kLockAspectRatio, settings.lockAspectRatio != 0);
  SetText(kWidthPixels, FormatPixels(settings.outputWidth));
  SetText(kHeightPixels, FormatPixels(settings.outputHeight));
  SetText(kWidthPercent, FormatPercent(settings.widthPercent));
  SetText(kHeightPercent, FormatPercent(settings.heightPercent));

  SetChecked(kUseYourPictureList, settings.useYourPictureList != 0);
  SetChecked(kUsePictureLibrary, settings.usePictureLibrary != 0);
  SetChecked(kAutoSizeTilesDown, settings.autoSizeTilesDown != 0);
  SetText(kTilesAcross, FormatPixels(settings.tilesAcross));
  SetText(kTilesDown, FormatPixels(settings.tilesDown));

  ApplyMosaicEnabling();
  if (previewBitmap_.hasImage) ImgFree(&previewBitmap_);
  ImgInitHandle(&previewBitmap_);
  previewImage_ = QImage();
  RebuildPictureListBox(this, kNoAnchor);
  InstallPictureListDropTarget(this);
  InstallPictureListKeys(this);
  InstallContextHelp(this);
}

void MainWindow::SetChecked(int id, bool checked) {
  auto* b = Control<QAbstractButton>(id);
  if (!checked && b->autoExclusive()) {
    // An exclusive radio button cannot be unchecked on its own.
    b->setAutoExclusive(false);
    b->setChecked(false);
    b->setAutoExclusive(true);
  } else {
    b->setChecked(checked);
  }
}

bool MainWindow::IsChecked(int id) const {
  return Control<QAbstractButton>(id)->isChecked();
}

void MainWindow::SetText(int id, const std::string& text) {
  auto* e = Control<QLineEdit>(id);
  e->setText(QString::fromStdString(text));
  e->setCursorPosition(0);
}

std::string MainWindow::Text(int id) const {
  return EditText(Control<QLineEdit>(id)->text());
}

void MainWindow::Enable(int id, bool enabled) {
  Control<QWidget>(id)->setEnabled(enabled);
}

void MainWindow::EnableListGroup(bool enabled) {
  for (int id : {kPictureList, kAddPictures, kRemovePictures, kPictureListLabel}) {
    Enable(id, enabled);
  }
}

void MainWindow::EnableTilesDown(bool enabled) {
  Enable(kTilesDown, enabled);
  Enable(kTilesDownLabel, enabled);
}

void MainWindow::ApplyMosaicEnabling() {
  const bool mosaic = IsChecked(kPictureMosaic);
  for (int id : {kUseYourPictureList, kUsePictureLibrary, kAutoSizeTilesDown, kTilesAcross,
                 kTilesAcrossLabel}) {
    Enable(id, mosaic);
  }
  EnableListGroup(mosaic && IsChecked(kUseYourPictureList));
  EnableTilesDown(mosaic && !IsChecked(kAutoSizeTilesDown));
}

QRect MainWindow::PreviewArea() const {
  auto* frame = ItemAs<QFrame>(kPreview);
  if (frame == nullptr) return QRect();
  return frame->contentsRect().adjusted(1, 1, -1, -1);
}

void MainWindow::LoadPreview() {
  if (previewBitmap_.hasImage) ImgFree(&previewBitmap_);
  ImgInitHandle(&previewBitmap_);
  previewImage_ = QImage();
  // A picture that fails to load leaves the preview empty, not showing the previous one, and its
  // name in the box: it is the start picture from now on.
  if (QWidget* preview = Item(kPreview)) preview->update();
  SetText(kStartPictureName, FileNamePart(pendingStartPicture));

  // Decoding a large picture takes seconds: the window stays usable, with a busy cursor, and
  // shows the picture when it is ready.
  const int generation = ++*latestPreview_;
  previewPending_ = true;
  setCursor(Qt::BusyCursor);
  // The load holds nothing of the window, which may close before it ends.
  previewWatcher_.setFuture(
      QtConcurrent::run(&previewWorker_, [generation, latest = latestPreview_, area = PreviewArea(),
                                          path = std::string(pendingStartPicture)] {
        auto loaded = std::make_shared<LoadedPreview>();
        loaded->generation = generation;
        loaded->path = path;
        if (latest->load() == generation) LoadPreviewPicture(area, loaded.get());
        return loaded;
      }));
}

void MainWindow::ShowLoadedPreview(const std::shared_ptr<LoadedPreview>& loaded) {
  // A load superseded by a newer choice, or already shown by FinishPreviewNow, is dropped.
  if (!previewPending_ || loaded->generation != latestPreview_->load()) return;
  previewPending_ = false;
  unsetCursor();
  if (!loaded->decoded) {
    // The warning names the file: it may have come from a drop or a remembered setting.
    startPictureProblem_ = Tr("File is format not recognized.|") + loaded->path;
    std::string text = startPictureProblem_;
    ShowWarning(text);
    emit PreviewLoaded();
    return;
  }
  startPictureProblem_.clear();
  settings.sourceWidth = loaded->width;
  settings.sourceHeight = loaded->height;
  SetText(kWidthPixels, FormatPixels(loaded->width));
  SetText(kHeightPixels, FormatPixels(loaded->height));
  SetText(kWidthPercent, FormatPercent(100.0));
  SetText(kHeightPercent, FormatPercent(100.0));
  previewBitmap_ = std::move(loaded->bitmap);
  previewRect_ = loaded->rect;
  previewImage_ = loaded->image;

  SetText(kStartPictureName, FileNamePart(loaded->path));
  update();
  if (QWidget* preview = Item(kPreview)) preview->update();
  emit PreviewLoaded();
}

void MainWindow::FinishPreviewNow() {
  if (!previewPending_) return;
  previewWatcher_.waitForFinished();
  ShowLoadedPreview(previewWatcher_.result());
}

void MainWindow::PaintPreview(QWidget* area) {
  QPainter painter(area);
  painter.fillRect(PreviewArea(), palette().color(QPalette::Window));
  if (previewBitmap_.hasImage && !previewImage_.isNull()) {
    const QRect target(previewRect_.left, previewRect_.top, previewRect_.Width(),
                       previewRect_.Height());
    painter.drawImage(target, previewImage_);
  }
}

void MainWindow::paintEvent(QPaintEvent* event) {
  mainWindowPainted_ = true;
  TableDialog::paintEvent(event);
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
  // The preview is drawn under the sunken frame's own border.
  if (event->type() == QEvent::Paint && watched == Item(kPreview)) {
    PaintPreview(static_cast<QWidget*>(watched));
  }
  return TableDialog::eventFilter(watched, event);
}

void MainWindow::timerEvent(QTimerEvent* event) {
  if (event->timerId() != startupTimer_) {
    TableDialog::timerEvent(event);
    return;
  }
  if (!mainWindowPainted_) return;
  killTimer(startupTimer_);
  startupTimer_ = 0;
  mainWindowPainted_ = false;
  if (settings.startPicture[0] != '\0' && FileOpensForReading(settings.startPicture)) {
    LoadPreview();
  }
}

void MainWindow::CollectControls() {
  for (const EffectEntry& effect : kEffectTable) {
    if (IsChecked(effect.button)) settings.effect = effect.kind;
  }
  std::memcpy(settings.startPicture, pendingStartPicture, kStartPictureSize);
  settings.startPicture[kStartPictureSize - 1] = '\0';
  settings.lockAspectRatio = IsChecked(kLockAspectRatio) ? 1 : 0;
  settings.outputWidth = ReadInteger(Text(kWidthPixels));
  settings.outputHeight = ReadInteger(Text(kHeightPixels));
  settings.widthPercent = static_cast<float>(ReadDecimal(Text(kWidthPercent)));
  settings.heightPercent = static_cast<float>(ReadDecimal(Text(kHeightPercent)));
  settings.useYourPictureList = IsChecked(kUseYourPictureList) ? 1 : 0;
  settings.usePictureLibrary = IsChecked(kUsePictureLibrary) ? 1 : 0;
  settings.autoSizeTilesDown = IsChecked(kAutoSizeTilesDown) ? 1 : 0;
  settings.tilesAcross = ReadInteger(Text(kTilesAcross));
  settings.tilesDown = ReadInteger(Text(kTilesDown));
}

void MainWindow::dragEnterEvent(QDragEnterEvent* event) {
  // Drops on the picture list go to the list; anywhere else a picture file becomes the start
  // picture.
  const QMimeData* data = event->mimeData();
  if (data->hasUrls() && !data->urls().isEmpty() && data->urls().front().isLocalFile()) {
    event->acceptProposedAction();
  }
}

void MainWindow::dropEvent(QDropEvent* event) {
  const QList<QUrl> urls = event->mimeData()->urls();
  if (urls.isEmpty() || !urls.front().isLocalFile()) return;
  event->acceptProposedAction();
  UseStartPicture(QFile::encodeName(urls.front().toLocalFile()).toStdString());
}

void MainWindow::UseStartPicture(const std::string& path) {
  // The same limit as the file dialog's.
  if (path.size() >= kChosenStartPictureSize) {
    WarnNameTooLong(path, kChosenStartPictureSize);
    return;
  }
  std::memcpy(pendingStartPicture, path.c_str(), path.size() + 1);
  LoadPreview();
  ChoiceChanged();
}

void MainWindow::ChooseStartPicture() {
  FileRequest request;
  request.title = Tr("Select Picture File");
  request.fileBuffer = pendingStartPicture;
  request.fileBufferSize = kChosenStartPictureSize;
  request.owner = this;
  request.filterSpec = StartPictureFilterSpec();
  if (ChooseFile(&request) != 0) {
    LoadPreview();
    ChoiceChanged();
  }
}

void MainWindow::Paint() {
  // The picture just chosen is painted at its own size, not at the previous picture's, so Paint!
  // waits for its preview to finish loading. It stays enabled meanwhile: Enter in any box
  // presses it too, and a disabled default button would drop that press without a word.
  FinishPreviewNow();
  // Enter or Alt+P in a size box leaves the focus there: the box is committed first, as leaving
  // it would.
  sizeBoxes_->CommitEditedBox();
  CollectControls();
  // A start picture that does not decode would only give an empty output window.
  if (!startPictureProblem_.empty() && FileOpensForReading(settings.startPicture)) {
    std::string text = startPictureProblem_;
    ShowWarning(text);
    return;
  }
  // A size that cannot be made is refused here, before an output window opens with nothing to
  // show; the boxes keep what the user typed.
  if (std::string problem = OutputSizeRefusal(settings.outputWidth, settings.outputHeight);
      !problem.empty()) {
    ShowWarning(problem);
    return;
  }
  RunOutputWindow(this, tileIndexFile_);
  messageOwner = this;
  mainWindowHandle = this;
}

void MainWindow::About() {
  auto* owner = dynamic_cast<QWidget*>(messageOwner);
  ShowAboutWindow(owner ? owner : this);
}

void MainWindow::Exit() {
  // A preview still loading is dropped: the window closes at once, and the next start loads the
  // start picture again anyway. A save still being written comes first.
  settingsSaveTimer_.stop();
  settingsWriter_.waitForDone();
  CollectControls();
  SaveSettings();
  done(0);
}

void MainWindow::reject() {
  Exit();
}

void MainWindow::ShowWarningBox(const std::string& text) {
  ShowWarningMessageBox(this, text);
}

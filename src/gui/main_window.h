// SPDX-FileCopyrightText: The Quillane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

// The main window: the four steps (effect, start picture, output size, mosaic options), the
// preview of the start picture, and 'Paint!', 'About' and 'Exit'.

#include <QFutureWatcher>
#include <QImage>
#include <QThreadPool>
#include <QTimer>
#include <atomic>
#include <memory>
#include <string>

#include "app/owner_windows.h"
#include "app/settings.h"
#include "base/rect.h"
#include "gui/dialog_layout.h"
#include "imaging/imaging.h"
#include "painting/effect_table.h"

class SizeBoxes;
struct LoadedPreview;

// Control identifiers of the main window.
namespace main_ids {
// The effects' radio buttons, from the effect table.
constexpr int kPictureMosaic = kEffectTable[PictureMosaic].button;
constexpr int kVanGogh = kEffectTable[VanGogh].button;
constexpr int kPointillism = kEffectTable[Pointillism].button;
constexpr int kColoredPencil = kEffectTable[ColoredPencil].button;
constexpr int kCharcoalPencil = kEffectTable[CharcoalPencil].button;
constexpr int kBlackAndWhitePhoto = kEffectTable[BlackAndWhitePhoto].button;
constexpr int kStartPictureLabel = 1048;
constexpr int kStartPictureName = 1000;
constexpr int kChooseStartPicture = 1010;
constexpr int kPreviewLabel = 1049;
constexpr int kPreview = 1027;
constexpr int kLockAspectRatio = 1017;
constexpr int kWidthLabel = 1050;
constexpr int kWidthPixels = 1011;
constexpr int kWidthPercent = 1015;
constexpr int kHeightLabel = 1051;
constexpr int kHeightPixels = 1012;
constexpr int kHeightPercent = 1016;
constexpr int kUsePictureLibrary = 1008;
constexpr int kUseYourPictureList = 1007;
constexpr int kPictureListLabel = 1034;
constexpr int kPictureList = 1002;
constexpr int kAddPictures = 1005;
constexpr int kRemovePictures = 1006;
constexpr int kTilesAcrossLabel = 1032;
constexpr int kTilesAcross = 1004;
constexpr int kAutoSizeTilesDown = 1009;
constexpr int kTilesDownLabel = 1033;
constexpr int kTilesDown = 1003;
constexpr int kPaint = 1;
constexpr int kAbout = 3;
constexpr int kExit = 2;
}  // namespace main_ids

// The splash window is shown while the main window opens; tests that open many windows turn it
// off.
void SetSplashAtOpening(bool show);

// The file name part of a path (after the last separator), as the start picture box shows it.
std::string FileNamePart(const std::string& path);

class MainWindow : public TableDialog, public FrontWindow {
  Q_OBJECT
 public:
  // Mosaics painted from the window keep their tile pictures in the picture index at
  // `tileIndexFile` (empty for none).
  explicit MainWindow(QWidget* parent = nullptr, std::string tileIndexFile = std::string());
  ~MainWindow() override;

  void ShowWarningBox(const std::string& text) override;

  // The buttons.
  void ChooseStartPicture();  // '...'
  // A file dropped on the window (outside the picture list) as the new start picture.
  void UseStartPicture(const std::string& path);
  void Paint();  // 'Paint!'
  void About();  // 'About'
  void Exit();   // 'Exit', Esc and the close box

  // Copies every control into the Settings record.
  void CollectControls();
  // Starts loading pendingStartPicture into the preview; when it has loaded, the size boxes
  // take its size. A newer call supersedes a load still running.
  void LoadPreview();
  // Enables step 4 according to the effect and the two check boxes.
  void ApplyMosaicEnabling();

  bool HasPreview() const { return previewBitmap_.hasImage != 0; }
  const Rect& PreviewRect() const { return previewRect_; }
  // The preview area's client rectangle, shrunk by 1 on every side.
  QRect PreviewArea() const;
  QImage PreviewImage() const { return previewImage_; }
  // The start-up timer has done its work.
  bool StartupDone() const { return startupTimer_ == 0; }
  // A start picture is still being loaded for the preview.
  bool PreviewPending() const { return previewPending_; }

 signals:
  // The latest start picture has loaded (or failed to) and the window shows the outcome.
  void PreviewLoaded();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void timerEvent(QTimerEvent* event) override;
  void reject() override;
  bool eventFilter(QObject* watched, QEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  void Opening();
  // A choice the settings file keeps has changed: it is written soon.
  void ChoiceChanged();
  void SaveSettingsSoon();
  void ConnectControls();
  void SetChecked(int id, bool checked);
  bool IsChecked(int id) const;
  void SetText(int id, const std::string& text);
  std::string Text(int id) const;
  void Enable(int id, bool enabled);
  void EnableListGroup(bool enabled);
  void EnableTilesDown(bool enabled);
  void PaintPreview(QWidget* area);
  void ShowLoadedPreview(const std::shared_ptr<LoadedPreview>& loaded);
  // Waits for the preview still loading, if any, and shows it.
  void FinishPreviewNow();

  // The path that '...' writes into; it becomes startPicture when the controls are collected.
  char pendingStartPicture[kStartPictureSize] = {};
  std::string tileIndexFile_;
  // Why the latest start picture did not load; empty when it did.
  std::string startPictureProblem_;
  SizeBoxes* sizeBoxes_ = nullptr;
  ImgBitmap previewBitmap_;
  QImage previewImage_;  // previewBitmap_ as Qt shows it
  Rect previewRect_;
  bool mainWindowPainted_ = false;
  int startupTimer_ = 0;

  // Start pictures are decoded away from the window, one at a time, so that a large picture
  // neither freezes the window nor has several decodes in memory together.
  // Counts the loads started; only the latest one is shown. The loads read it too, to skip
  // decoding a picture already superseded while it waited for the worker.
  std::shared_ptr<std::atomic<int>> latestPreview_ = std::make_shared<std::atomic<int>>(0);
  bool previewPending_ = false;
  QFutureWatcher<std::shared_ptr<LoadedPreview>> previewWatcher_;
  QThreadPool previewWorker_;

  // Saving the settings after a change, the changes of a moment gathered into one write.
  static constexpr int kSettingsSaveDelayMs = 500;
  QTimer settingsSaveTimer_;
  QThreadPool settingsWriter_;
};

// SPDX-FileCopyrightText: The Quillane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "painting/paint_driver.h"

#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>

#include "app/paths.h"
#include "app/settings.h"
#include "effects/effect_engine.h"
#include "mosaic/picture_mosaic.h"
#include "painting/effect_table.h"
#include "painting/front_window.h"
#include "painting/random.h"

namespace {

// The start picture must still be there: the user may have moved it since choosing it.
bool StartPictureOpens() {
  const std::string path(settings.startPicture,
                         strnlen(settings.startPicture, sizeof settings.startPicture));
  return !path.empty() && FileOpensForReading(path.c_str());
}

}  // namespace

int PaintDriver(FrontWindow* frame, FrontWindow* dc, DibHandle* dibRef, BitmapInfoHeader* header,
                uint8_t* pixels) {
  if (!StartPictureOpens()) {
    ShowWarning("No 'Start Picture' specified.");
    return kPaintRefused;
  }
  if (header == nullptr) return kPaintStopped;
  if (pixels == nullptr) return kPaintStopped;

  // One seeding per run of the program: later paintings continue the same sequence.
  if (randomSeeded == 0) {
    SeedRandom(static_cast<uint32_t>(std::time(nullptr)));
    randomSeeded = 1;
  }

  int clientWidth = 0;
  int clientHeight = 0;
  if (frame != nullptr) frame->FrameClientSize(&clientWidth, &clientHeight);
  const int left = 2;
  const int top = 2;
  const int right = clientWidth - 2;
  const int bottom = clientHeight - 2;

  const EffectEntry* entry = FindEffect(settings.effect);
  if (entry == nullptr) return kPaintFinished;
  if (entry->paintStyle == kNoPaintStyle) {
    BitmapInfoHeader* headerCopy = header;
    uint8_t* pixelsCopy = pixels;
    return RunPictureMosaic(dc, dibRef, &headerCopy, &pixelsCopy, left, top, right, bottom,
                            static_cast<float>(settings.tilesAcross),
                            static_cast<float>(settings.tilesDown), 1, settings.autoSizeTilesDown);
  }
  return PaintPicture(dc, dibRef, header, pixels, left, top, right, bottom, entry->paintStyle);
}

// SPDX-FileCopyrightText: The Quillane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "painting/painted_picture.h"

#include "imaging/imaging.h"

int SavePaintedPicture(const char* path, const DibHandle& held, int32_t width, int32_t height) {
  if (!held) return 0;
  ImgBitmap bitmap;
  ImgInitHandle(&bitmap);
  if (ImgFromDibBits(&bitmap, held.Header(), held.Pixels()) != 1) return 0;
  int saved = 1;
  if (width > 0 && height > 0 && bitmap.width >= width && bitmap.height >= height &&
      (bitmap.width > width || bitmap.height > height)) {
    saved =
        ImgTrim(&bitmap, (bitmap.width - width) / 2, (bitmap.height - height) / 2, width, height);
  }
  if (saved == 1) saved = ImgSaveFile(path, bitmap);
  if (bitmap.hasImage) ImgFree(&bitmap);
  return saved;
}

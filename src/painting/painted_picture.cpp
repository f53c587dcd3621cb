// SPDX-FileCopyrightText: The Quillane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "painting/painted_picture.h"

namespace {

// Cuts a picture larger than width x height centred to that size.
int CutToSize(ImgBitmap* bitmap, int32_t width, int32_t height) {
  if (width > 0 && height > 0 && bitmap->width >= width && bitmap->height >= height &&
      (bitmap->width > width || bitmap->height > height) &&
      ImgTrim(bitmap, (bitmap->width - width) / 2, (bitmap->height - height) / 2, width, height) !=
          1) {
    ImgFree(bitmap);
    return 0;
  }
  return 1;
}

int Save(const char* path, ImgBitmap* bitmap, int32_t width, int32_t height, std::string* problem) {
  if (CutToSize(bitmap, width, height) != 1) return 0;
  const int saved = ImgSaveFile(path, *bitmap, problem);
  ImgFree(bitmap);
  return saved;
}

}  // namespace

int TakePaintedPicture(const DibHandle& held, int32_t width, int32_t height, ImgBitmap* bitmap) {
  ImgInitHandle(bitmap);
  if (!held || ImgFromDibBits(bitmap, held.Header(), held.Pixels()) != 1) return 0;
  return CutToSize(bitmap, width, height);
}

int SavePaintedPicture(const char* path, const DibHandle& held, int32_t width, int32_t height,
                       std::string* problem) {
  ImgBitmap bitmap;
  if (!held || ImgFromDibBits(&bitmap, held.Header(), held.Pixels()) != 1) return 0;
  return Save(path, &bitmap, width, height, problem);
}

int SavePaintedPicture(const char* path, DibHandle&& held, int32_t width, int32_t height,
                       std::string* problem) {
  ImgBitmap bitmap;
  if (ImgFromDib(&bitmap, std::move(held)) != 1) return 0;
  return Save(path, &bitmap, width, height, problem);
}

// SPDX-FileCopyrightText: The Quillane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

// The program's 24-bit packed bitmaps as Qt images, for showing and printing them.

#include <QImage>

#include "base/rect.h"
#include "imaging/dib.h"
#include "imaging/imaging.h"

// Copies the `source` rectangle (clipped to the picture) of a 24-bit packed bitmap; a null image
// for anything else or an empty rectangle.
QImage ImageFromDibBits(const BitmapInfoHeader* header, const uint8_t* pixels, const Rect& source);
// Copies the `source` rectangle of a 24-bit packed bitmap into an RGB32 image, its top left corner
// at `at`; what falls outside the picture or the image is left out.
void CopyDibBitsInto(const BitmapInfoHeader* header, const uint8_t* pixels, const Rect& source,
                     QImage* target, const QPoint& at);
// The whole picture of a DibHandle or a bitmap.
QImage ImageFromDib(const DibHandle& dib);
QImage ImageFromBitmap(const ImgBitmap& bitmap);
QImage ImageFromBitmap(const ImgBitmap& bitmap, const Rect& source);

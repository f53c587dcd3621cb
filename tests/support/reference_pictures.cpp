// SPDX-FileCopyrightText: The Quillane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/reference_pictures.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>

#include "imaging/imaging.h"

namespace {

int Width(const DibHandle& d) {
  return d ? d.Header()->biWidth : 0;
}
int Height(const DibHandle& d) {
  return d ? std::abs(d.Header()->biHeight) : 0;
}

bool Save(DibHandle dib, const std::string& path) {
  ImgBitmap bitmap;
  if (ImgFromDib(&bitmap, std::move(dib)) != 1) return false;
  const bool saved = ImgSaveFile(path.c_str(), bitmap) == 1;
  ImgFree(&bitmap);
  return saved;
}

}  // namespace

DibHandle DecodePicture(const std::string& path) {
  ImgBitmap bitmap;
  ImgInitHandle(&bitmap, 0, 0, 0);
  if (ImgLoadFile(path.c_str(), &bitmap, 0, 1, 0) != 1) return DibHandle();
  ImgSetColorDepth(&bitmap, &bitmap, 24, 0);
  return ImgToDib(&bitmap);
}

::testing::AssertionResult MatchesReference(const std::string& painted,
                                            const std::string& reference, const std::string& name) {
  DibHandle made = DecodePicture(painted);
  const DibHandle expected = DecodePicture(reference);
  if (!expected) return ::testing::AssertionFailure() << "cannot read " << reference;
  if (!made) return ::testing::AssertionFailure() << "cannot read the painting " << painted;

  const int width = Width(made);
  const int height = Height(made);
  const bool sameSize = width == Width(expected) && height == Height(expected);
  DibHandle difference = DibHandle::Create24(width, height);
  long differing = 0;
  if (sameSize && difference) {
    const size_t bytes = static_cast<size_t>(DibRowBytes(width, 24)) * height;
    for (size_t i = 0; i < bytes; ++i) {
      const int d = std::abs(made.Pixels()[i] - expected.Pixels()[i]);
      // Even a difference of one shows.
      difference.Pixels()[i] = static_cast<uint8_t>(d == 0 ? 0 : std::min(255, 64 + 4 * d));
      if (d != 0) ++differing;
    }
    if (differing == 0) return ::testing::AssertionSuccess();
  }

  const std::filesystem::path folder =
      std::filesystem::path(QUILLANE_BUILD_DIR) / "reference-failures";
  std::error_code ignored;
  std::filesystem::create_directories(folder, ignored);
  const std::string madePath = (folder / (name + "-painted.png")).string();
  const std::string differencePath = (folder / (name + "-difference.png")).string();
  auto failure = ::testing::AssertionFailure();
  if (sameSize) {
    failure << differing << " channels differ from " << reference;
  } else {
    failure << width << " x " << height << " instead of " << Width(expected) << " x "
            << Height(expected) << " of " << reference;
  }
  if (Save(std::move(made), madePath)) failure << "; painted: " << madePath;
  if (sameSize && Save(std::move(difference), differencePath)) {
    failure << "; difference: " << differencePath;
  }
  return failure;
}

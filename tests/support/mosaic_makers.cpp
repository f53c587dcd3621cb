// SPDX-FileCopyrightText: The Quillane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "support/mosaic_makers.h"

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <ostream>

#include "base/paint_context.h"
#include "mosaic/picture_mosaic.h"

TestPicture::TestPicture(int w, int h, ColorRef fill) : width(w), height(h) {
  rgb.resize(static_cast<size_t>(w) * h * 3);
  Fill(0, 0, w, h, fill);
}

ColorRef TestPicture::At(int x, int y) const {
  const uint8_t* p = &rgb[(static_cast<size_t>(y) * width + x) * 3];
  return MakeColor(p[0], p[1], p[2]);
}

void TestPicture::Set(int x, int y, ColorRef c) {
  uint8_t* p = &rgb[(static_cast<size_t>(y) * width + x) * 3];
  p[0] = static_cast<uint8_t>(ColorRed(c));
  p[1] = static_cast<uint8_t>(ColorGreen(c));
  p[2] = static_cast<uint8_t>(ColorBlue(c));
}

void TestPicture::Fill(int left, int top, int right, int bottom, ColorRef c) {
  for (int y = top; y < bottom; ++y) {
    for (int x = left; x < right; ++x) Set(x, y, c);
  }
}

TestPicture NoisyPicture(int w, int h, uint32_t seed) {
  TestPicture p(w, h);
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      seed = seed * 1103515245u + 12345u;
      p.Set(x, y, MakeColor((seed >> 8) & 0xFF, (seed >> 16) & 0xFF, (seed >> 24) & 0xFF));
    }
  }
  return p;
}

TestPicture QuarteredPicture(int w, int h, ColorRef a, ColorRef b, ColorRef c, ColorRef d) {
  TestPicture p(w, h);
  p.Fill(0, 0, w / 2, h / 2, a);
  p.Fill(w / 2, 0, w, h / 2, b);
  p.Fill(0, h / 2, w / 2, h, c);
  p.Fill(w / 2, h / 2, w, h, d);
  return p;
}

TestPicture SplitPicture(int w, int h, ColorRef left, ColorRef right) {
  TestPicture p(w, h, left);
  p.Fill(w / 2, 0, w, h, right);
  return p;
}

namespace {

void Put16(std::vector<uint8_t>& out, uint32_t v) {
  out.push_back(v & 0xFF);
  out.push_back((v >> 8) & 0xFF);
}
void Put32(std::vector<uint8_t>& out, uint32_t v) {
  Put16(out, v & 0xFFFF);
  Put16(out, v >> 16);
}

}  // namespace

DibHandle PictureToDib(const TestPicture& picture) {
  DibHandle dib = DibHandle::Create24(picture.width, picture.height);
  const int64_t stride = DibRowBytes(picture.width, 24);
  for (int y = 0; y < picture.height; ++y) {
    uint8_t* row = dib.Pixels() + (picture.height - 1 - y) * stride;
    for (int x = 0; x < picture.width; ++x) {
      const ColorRef c = picture.At(x, y);
      row[x * 3] = static_cast<uint8_t>(ColorBlue(c));
      row[x * 3 + 1] = static_cast<uint8_t>(ColorGreen(c));
      row[x * 3 + 2] = static_cast<uint8_t>(ColorRed(c));
    }
  }
  return dib;
}

TestPicture PictureFromDib(const DibHandle& dib) {
  if (!dib) return TestPicture();
  const BitmapInfoHeader* h = dib.Header();
  TestPicture picture(h->biWidth, std::abs(h->biHeight));
  const int64_t stride = DibRowBytes(h->biWidth, 24);
  for (int y = 0; y < picture.height; ++y) {
    const int64_t row = h->biHeight > 0 ? picture.height - 1 - y : y;
    const uint8_t* p = dib.Pixels() + row * stride;
    for (int x = 0; x < picture.width; ++x) {
      picture.Set(x, y, MakeColor(p[x * 3 + 2], p[x * 3 + 1], p[x * 3]));
    }
  }
  return picture;
}

bool WriteBmpFile(const std::string& path, const TestPicture& picture) {
  const uint32_t stride = static_cast<uint32_t>(DibRowBytes(picture.width, 24));
  const uint32_t image = stride * static_cast<uint32_t>(picture.height);
  std::vector<uint8_t> out;
  out.push_back('B');
  out.push_back('M');
  Put32(out, 54 + image);
  Put32(out, 0);
  Put32(out, 54);
  Put32(out, 40);
  Put32(out, static_cast<uint32_t>(picture.width));
  Put32(out, static_cast<uint32_t>(picture.height));
  Put16(out, 1);
  Put16(out, 24);
  Put32(out, 0);
  Put32(out, image);
  Put32(out, 2835);
  Put32(out, 2835);
  Put32(out, 0);
  Put32(out, 0);
  DibHandle dib = PictureToDib(picture);
  out.insert(out.end(), dib.Pixels(), dib.Pixels() + image);
  FILE* f = std::fopen(path.c_str(), "wb");
  if (f == nullptr) return false;
  const bool ok = std::fwrite(out.data(), 1, out.size(), f) == out.size();
  return std::fclose(f) == 0 && ok;
}

MosaicSources::MosaicSources() {
  options.useList = false;
  options.useLibrary = false;
}

void MosaicSources::UseList(const std::vector<std::string>& paths) {
  options.pictureList = paths;
  options.useList = true;
}

void MosaicSources::NoList() {
  options.useList = false;
}

void MosaicSources::UseLibrary(const std::string& folder) {
  options.libraryFolder = folder.empty() ? std::string() : folder + "/";
  options.useLibrary = !folder.empty();
}

void MosaicSources::UseStockLibrary() {
  options.libraryFolder.clear();
  options.useLibrary = true;
}

MosaicOutcome RunMosaicOn(const MosaicSources& sources, const TestPicture& start, float tilesAcross,
                          float tilesDown, int autoSizeTilesDown,
                          const std::function<void(FakeWindow&)>& prepare) {
  FakeWindow window;
  if (prepare) prepare(window);
  PaintContext paint = PaintContext::For(&window, 1);
  MosaicOptions options = sources.options;
  options.tilesAcross = static_cast<int32_t>(tilesAcross);
  options.tilesDown = static_cast<int32_t>(tilesDown);
  options.autoSizeTilesDown = autoSizeTilesDown != 0;

  DibHandle dib = PictureToDib(start);
  MosaicOutcome outcome;
  outcome.result =
      RunPictureMosaic(paint, &dib, Rect{2, 2, start.width + 100, start.height + 100}, options);
  outcome.picture = PictureFromDib(dib);
  outcome.statuses = window.statuses;
  outcome.warnings = window.warnings;
  outcome.notices = window.notices;
  outcome.picturesShown = static_cast<int>(window.pictures.size());
  outcome.shown = window.pictures;
  return outcome;
}

int OpenFileCount() {
  int n = 0;
  std::error_code ec;
  for (auto it = std::filesystem::directory_iterator("/proc/self/fd", ec);
       !ec && it != std::filesystem::directory_iterator(); it.increment(ec)) {
    ++n;
  }
  return n;
}

void PrintTo(const TestPicture& picture, std::ostream* os) {
  *os << picture.width << " x " << picture.height << " picture";
  if (picture.width * picture.height > 64) return;
  for (int y = 0; y < picture.height; ++y) {
    *os << "\n ";
    for (int x = 0; x < picture.width; ++x) {
      const ColorRef c = picture.At(x, y);
      *os << " " << ColorRed(c) << "/" << ColorGreen(c) << "/" << ColorBlue(c);
    }
  }
}

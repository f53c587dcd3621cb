// SPDX-FileCopyrightText: The Quillane developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Writes the fuzzers' seed corpora: one folder per target under the folder given, filled with
// small well-formed files (and a few classic damaged ones) from the bad-input suite's makers.
// Usage: quillane_fuzz_seeds OUTPUT_FOLDER

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "support/sample_files.h"

namespace fs = std::filesystem;

namespace {

int written = 0;

void Seed(const fs::path& folder, const std::string& name, const Bytes& bytes) {
  fs::create_directories(folder);
  if (samples::WriteBytes((folder / name).string(), bytes)) ++written;
}

// A picture seed: the selector byte that picks the extension, then the file.
void PictureSeed(const fs::path& folder, const std::string& name, uint8_t selector,
                 const Bytes& file) {
  if (file.empty()) return;
  Bytes seed{selector};
  seed.insert(seed.end(), file.begin(), file.end());
  Seed(folder, name, seed);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s OUTPUT_FOLDER\n", argv[0]);
    return 64;
  }
  const fs::path out = argv[1];

  const fs::path settings = out / "settings";
  const Bytes two = samples::PictureListSlots({"/home/someone/a.jpg", "/home/someone/clip.avi"});
  Seed(settings, "empty-list", samples::SettingsFile("/tmp/start.jpg", 0, {}));
  Seed(settings, "two-entries", samples::SettingsFile("/tmp/start.jpg", 600, two));
  Seed(settings, "short-list", samples::SettingsFile("", 900, two));
  Seed(settings, "negative-length", samples::SettingsFile("", -300, two));
  Seed(settings, "odd-length", samples::SettingsFile("", 301, two));
  Seed(settings, "no-terminator",
       samples::SettingsFile("", 300, Bytes(300, static_cast<uint8_t>('a'))));
  Seed(settings, "record-only", samples::Truncated(samples::SettingsFile("", 0, {}), 560));
  Seed(settings, "short-record", samples::Truncated(samples::SettingsFile("", 0, {}), 100));

  // Selectors: 0-3 .msp, 4 .mac, 5 .jpg, 6 .png, 7 .bmp, 8 .tga, 9 .tif, 10 .pcx, 11 .psd,
  // 12 .ras, 13 .pct, 14 .wmf, 15 .pcd; 0x10 adds a size hint.
  const fs::path picture = out / "picture";
  PictureSeed(picture, "msp1", 0, samples::MspPicture(21, 9, 1));
  PictureSeed(picture, "msp2", 1, samples::MspPicture(40, 12, 2));
  PictureSeed(picture, "msp2-hint", 0x12, samples::MspPicture(64, 48, 2));
  PictureSeed(picture, "msp1-wide", 3, samples::MspPicture(99, 3, 1));
  PictureSeed(picture, "mac", 4, samples::MacPaintPicture());
  const struct {
    const char* name;
    uint8_t selector;
    const char* format;
  } encoded[] = {{"jpg", 5, "JPEG"},  {"jpg-hint", 0x15, "JPEG"}, {"png", 6, "PNG"},
                 {"bmp", 7, "BMP3"},  {"tga", 8, "TGA"},          {"tif", 9, "TIFF"},
                 {"pcx", 10, "PCX"},  {"psd", 11, "PSD"},         {"ras", 12, "SUN"},
                 {"pct", 13, "PICT"}, {"gif-as-png", 6, "GIF"}};
  for (const auto& e : encoded) {
    PictureSeed(picture, e.name, e.selector, samples::EncodedPicture(e.format, 24, 16));
  }
  // PNG files of every layout the program's own PNG decoder handles.
  for (const char* format : {"PNG8", "PNG32", "PNG48", "PNG64"}) {
    PictureSeed(picture, format, 6, samples::EncodedPicture(format, 24, 16));
    PictureSeed(picture, std::string(format) + "-interlaced", 6,
                samples::EncodedPicture(format, 24, 16, samples::kInterlaced));
  }
  PictureSeed(picture, "wmf", 14, samples::MetafilePicture());
  PictureSeed(picture, "huge-png", 6, samples::PngClaimingSize(100000, 100000));
  // Layouts the readers once took wrongly: a JPEG header at JPEG's largest size, BigTIFF in both
  // byte orders, Exif orientations behind a prefix and in the Exif directory, a grey JPEG wider
  // than ImageMagick takes.
  PictureSeed(picture, "jpg-65535-square", 5,
              samples::JpegClaimingSize(samples::EncodedPicture("JPEG", 24, 16), 65535, 65535));
  PictureSeed(picture, "bigtiff-ii", 9, samples::EncodedPicture("TIFF64", 24, 16));
  PictureSeed(picture, "bigtiff-mm", 9,
              samples::EncodedPicture("TIFF64", 24, 16, samples::kBigEndian));
  PictureSeed(picture, "jpg-exif-behind-prefix", 5, samples::ExifJpeg(24, 16, "ExifXY", false));
  PictureSeed(picture, "jpg-exif-directory", 0x15, samples::ExifJpeg(24, 16, "", true));
  PictureSeed(picture, "jpg-grey-wide", 5, samples::GreyJpeg(16500, 8));

  // Microsoft Paint sizes: version, width and height selectors, then the rows.
  const fs::path msp = out / "msp";
  const Bytes rows = samples::Truncated(samples::MspPicture(64, 3, 2), 200);
  for (uint8_t w : {0, 6, 7, 8, 10, 11, 12}) {
    for (uint8_t v : {0, 1}) {
      Bytes seed{v, w, static_cast<uint8_t>(w < 6 ? 1 : 0)};
      seed.insert(seed.end(), rows.begin() + 32, rows.end());
      Seed(msp, "w" + std::to_string(w) + "-v" + std::to_string(v), seed);
    }
  }

  const fs::path video = out / "video";
  Seed(video, "rgb-20-frames", samples::AviVideo(8, 6, 20));
  Seed(video, "rgb-1-frame", samples::AviVideo(5, 3, 1));
  Seed(video, "cut", samples::Truncated(samples::AviVideo(8, 6, 4), 300));

  std::printf("%d seed files in %s\n", written, out.string().c_str());
  return written > 0 ? 0 : 1;
}

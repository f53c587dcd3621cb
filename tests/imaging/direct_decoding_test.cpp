// SPDX-FileCopyrightText: The Quillane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include <gtest/gtest.h>

#include <png.h>
#include <tiffio.h>

#include <algorithm>
#include <fstream>
#include <string>
#include <vector>

#include "imaging/magick_images.h"
#include "imaging/png_codec.h"
#include "imaging/test_bitmaps.h"
#include "imaging/tiff_codec.h"
#include "support/test_support.h"

namespace {

using Bytes = std::vector<uint8_t>;
using imaging_internal::DirectDecode;

enum class Outcome {
  kSame,     // decoded directly, to ImageMagick's pixels
  kLeft,     // left to ImageMagick
  kDamaged,  // left to ImageMagick, which fails on it too
  kCut,      // left to ImageMagick, whatever it makes of it
};

struct PngVariant {
  const char* name;
  int colourType;
  int bitDepth;
  int width = 37, height = 23;
  bool interlaced = false;
  bool transparency = false;  // a tRNS chunk
  Outcome outcome = Outcome::kSame;
  // Extras: a gAMA chunk, an eXIf chunk saying "turn", a text chunk before or after the data,
  // palette indexes past its end, and damage after writing.
  double gamma = 0.0;
  bool exif = false;
  const char* textKey = nullptr;
  bool textAfterData = false;
  bool indexPastPalette = false;
  enum { kWhole, kCut, kBadCrc } damage = kWhole;
};

uint32_t Hash(uint32_t x, uint32_t y, uint32_t c) {
  uint32_t h = x * 73856093u ^ y * 19349663u ^ (c + 1) * 83492791u;
  h ^= h >> 13;
  h *= 0x5bd1e995u;
  return h ^ (h >> 15);
}

// Five colours, or as many as the bit depth allows.
int PaletteSize(const PngVariant& v) {
  return std::min(5, 1 << v.bitDepth);
}

// A sample of channel c (alpha last) at x, y. 256 x 256 pictures of 8 bits with alpha hold
// every pair of value and alpha; 16-bit alpha is mostly 0 or 65535 or in between at random.
// With a transparency chunk a third of the pixels have the transparent colour (all zero bits
// but for the top one), some others two of its three samples.
uint32_t Sample(const PngVariant& v, int channels, uint32_t x, uint32_t y, int c) {
  const uint32_t top = (1u << v.bitDepth) - 1;
  const bool alpha = (v.colourType & PNG_COLOR_MASK_ALPHA) != 0 && c == channels - 1;
  if (v.colourType == PNG_COLOR_TYPE_PALETTE) {
    if (v.indexPastPalette && x == 3 && y == 2) return PaletteSize(v);
    return Hash(x, y, c) % PaletteSize(v);
  }
  if (v.bitDepth == 8 && v.width == 256 && v.height == 256 && (v.colourType & 4) != 0) {
    if (alpha) return y;
    return c == 0 ? x : c == 1 ? 255 - x : (x * 7) & 255;
  }
  const uint32_t h = Hash(x, y, c);
  if (alpha && v.bitDepth == 16 && x % 3 != 2) return x % 3 == 0 ? 0 : top;
  if (v.transparency) {
    const uint32_t pick = Hash(x, y, 9) % 6;
    const uint32_t transparent = 1u << (v.bitDepth - 1);
    if (pick < 2 || (pick == 2 && c != 1)) return transparent;
  }
  return h & top;
}

void AppendBytes(png_structp png, png_bytep data, size_t length) {
  auto* out = static_cast<Bytes*>(png_get_io_ptr(png));
  out->insert(out->end(), data, data + length);
}

Bytes WritePngVariant(const PngVariant& v) {
  Bytes out;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  if (setjmp(png_jmpbuf(png)) != 0) {
    png_destroy_write_struct(&png, &info);
    ADD_FAILURE() << "libpng could not write " << v.name;
    return Bytes();
  }
  png_set_write_fn(png, &out, AppendBytes, nullptr);
  png_set_IHDR(png, info, v.width, v.height, v.bitDepth, v.colourType,
               v.interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  const uint32_t transparent = 1u << (v.bitDepth - 1);
  if (v.colourType == PNG_COLOR_TYPE_PALETTE) {
    png_color palette[5];
    for (int i = 0; i < PaletteSize(v); ++i) {
      palette[i] = {static_cast<png_byte>(Hash(i, 0, 0)), static_cast<png_byte>(Hash(i, 0, 1)),
                    static_cast<png_byte>(Hash(i, 0, 2))};
    }
    png_set_PLTE(png, info, palette, PaletteSize(v));
    if (v.transparency) {
      png_byte alphas[] = {0, 128, 255, 1};  // with five colours the last is opaque
      png_set_tRNS(png, info, alphas, std::min(4, PaletteSize(v)), nullptr);
    }
  } else if (v.transparency) {
    png_color_16 colour{};
    colour.red = colour.green = colour.blue = colour.gray = static_cast<png_uint_16>(transparent);
    png_set_tRNS(png, info, nullptr, 0, &colour);
  }
  if (v.gamma > 0.0) png_set_gAMA(png, info, v.gamma);
  if (v.exif) {
    png_byte exif[] = {'I', 'I', 42, 0, 8, 0, 0, 0, 1, 0, 0x12, 0x01, 3,
                       0,   1,   0,  0, 0, 6, 0, 0, 0, 0, 0,    0,    0};
    png_set_eXIf_1(png, info, sizeof exif, exif);
  }
  png_text text{};
  text.compression = PNG_TEXT_COMPRESSION_NONE;
  text.key = const_cast<char*>(v.textKey);
  text.text = const_cast<char*>("6");
  if (v.textKey != nullptr && !v.textAfterData) png_set_text(png, info, &text, 1);
  png_write_info(png, info);
  if (v.bitDepth < 8) png_set_packing(png);

  const int channels = png_get_channels(png, info);
  const int sampleBytes = v.bitDepth == 16 ? 2 : 1;
  std::vector<Bytes> rows(v.height, Bytes(static_cast<size_t>(v.width) * channels * sampleBytes));
  std::vector<png_bytep> pointers;
  for (int y = 0; y < v.height; ++y) {
    uint8_t* at = rows[y].data();
    for (int x = 0; x < v.width; ++x) {
      for (int c = 0; c < channels; ++c) {
        const uint32_t s = Sample(v, channels, x, y, c);
        if (sampleBytes == 2) *at++ = static_cast<uint8_t>(s >> 8);
        *at++ = static_cast<uint8_t>(s);
      }
    }
    pointers.push_back(rows[y].data());
  }
  png_write_image(png, pointers.data());
  if (v.textKey != nullptr && v.textAfterData) png_set_text(png, info, &text, 1);
  png_write_end(png, info);
  png_destroy_write_struct(&png, &info);

  if (v.damage == PngVariant::kCut) out.resize(out.size() * 2 / 3);
  if (v.damage == PngVariant::kBadCrc) out[out.size() - 20] ^= 0x40;  // inside the last IDAT
  return out;
}

// The first pixel where the bitmaps differ, or an empty text.
std::string FirstDifference(const ImgBitmap& a, const ImgBitmap& b) {
  if (a.width != b.width || a.height != b.height) return "the sizes differ";
  for (int y = 0; y < a.height; ++y) {
    for (int x = 0; x < a.width; ++x) {
      const TestColour p = PixelAt(a, x, y), q = PixelAt(b, x, y);
      if (!(p == q)) {
        return "at " + std::to_string(x) + "," + std::to_string(y) + ": " + std::to_string(p.red) +
               "," + std::to_string(p.green) + "," + std::to_string(p.blue) + " against " +
               std::to_string(q.red) + "," + std::to_string(q.green) + "," + std::to_string(q.blue);
      }
    }
  }
  return std::string();
}

// Decodes the file with the direct decoder and with ImageMagick, and checks the outcome.
void ExpectImageMagicksPixels(const Bytes& file, const char* format,
                              DirectDecode (*decode)(const uint8_t*, size_t, ImgBitmap*),
                              Outcome outcome) {
  ImgBitmap direct, magick;
  PictureProblem problem = PictureProblem::kNone;
  const DirectDecode decoded = decode(file.data(), file.size(), &direct);
  bool magickRead = false;
  try {
    magickRead = imaging_internal::DecodeWithMagick(file, format, 0, 0, &magick, &problem);
  } catch (const Magick::Exception&) {
  }
  if (outcome == Outcome::kSame) {
    ASSERT_EQ(decoded, DirectDecode::kDecoded);
    ASSERT_TRUE(magickRead);
    EXPECT_EQ(FirstDifference(direct, magick), "");
    return;
  }
  EXPECT_EQ(decoded, DirectDecode::kNotHandled);
  EXPECT_EQ(direct.hasImage, 0);
  if (outcome != Outcome::kCut) {
    EXPECT_EQ(magickRead, outcome == Outcome::kLeft);
  }
}

TEST(PngCodec, DecodesEveryLayoutToImageMagicksPixels) {
  constexpr int G = PNG_COLOR_TYPE_GRAY, GA = PNG_COLOR_TYPE_GRAY_ALPHA, RGB = PNG_COLOR_TYPE_RGB,
                RGBA = PNG_COLOR_TYPE_RGB_ALPHA, P = PNG_COLOR_TYPE_PALETTE;
  const std::vector<PngVariant> variants = {
      {"rgb8", RGB, 8},
      {"rgb8 interlaced", RGB, 8, 37, 23, true},
      {"rgb16", RGB, 16},
      {"rgb16 interlaced", RGB, 16, 37, 23, true},
      {"rgba8 every value and alpha", RGBA, 8, 256, 256},
      {"rgba8 interlaced", RGBA, 8, 37, 23, true},
      {"rgba16", RGBA, 16, 301, 7},
      {"rgba16 interlaced", RGBA, 16, 37, 23, true},
      {"grey1", G, 1},
      {"grey2", G, 2},
      {"grey4", G, 4},
      {"grey8", G, 8},
      {"grey16", G, 16},
      {"grey2 interlaced", G, 2, 37, 23, true},
      {"grey+alpha8 every value and alpha", GA, 8, 256, 256},
      {"grey+alpha16", GA, 16},
      {"grey+alpha16 interlaced", GA, 16, 37, 23, true},
      {"grey1 transparent", G, 1, 37, 23, false, true},
      {"grey4 transparent", G, 4, 37, 23, false, true},
      {"grey8 transparent", G, 8, 37, 23, false, true},
      {"grey16 transparent", G, 16, 37, 23, false, true},
      {"rgb8 transparent", RGB, 8, 37, 23, false, true},
      {"rgb16 transparent interlaced", RGB, 16, 37, 23, true, true},
      {"palette1", P, 1},
      {"palette2", P, 2},
      {"palette4 interlaced", P, 4, 37, 23, true},
      {"palette8", P, 8},
      {"palette8 transparent", P, 8, 37, 23, false, true},
      {"palette2 transparent interlaced", P, 2, 37, 23, true, true},
      {.name = "rgb8 linear", .colourType = RGB, .bitDepth = 8, .gamma = 1.0},
      {.name = "grey8 gamma 0.45", .colourType = G, .bitDepth = 8, .gamma = 0.45455},
      {.name = "rgb8 with eXIf turned", .colourType = RGB, .bitDepth = 8, .exif = true},
      {.name = "rgba8 with a comment", .colourType = RGBA, .bitDepth = 8, .textKey = "Comment"},
      {.name = "grey8 linear",
       .colourType = G,
       .bitDepth = 8,
       .outcome = Outcome::kLeft,
       .gamma = 1.0},
      {.name = "grey+alpha8 linear",
       .colourType = GA,
       .bitDepth = 8,
       .outcome = Outcome::kLeft,
       .gamma = 1.0},
      {.name = "orientation text",
       .colourType = RGB,
       .bitDepth = 8,
       .outcome = Outcome::kLeft,
       .textKey = "exif:Orientation"},
      {.name = "orientation text after the data",
       .colourType = RGB,
       .bitDepth = 8,
       .outcome = Outcome::kLeft,
       .textKey = "tiff:Orientation",
       .textAfterData = true},
      {.name = "raw profile",
       .colourType = RGB,
       .bitDepth = 8,
       .outcome = Outcome::kLeft,
       .textKey = "Raw profile type exif"},
      {.name = "index past the palette",
       .colourType = P,
       .bitDepth = 8,
       .outcome = Outcome::kDamaged,
       .indexPastPalette = true},
      {.name = "cut",
       .colourType = RGB,
       .bitDepth = 8,
       .outcome = Outcome::kDamaged,
       .damage = PngVariant::kCut},
      {.name = "cut interlaced rgba16",
       .colourType = RGBA,
       .bitDepth = 16,
       .interlaced = true,
       .outcome = Outcome::kDamaged,
       .damage = PngVariant::kCut},
      {.name = "bad checksum",
       .colourType = P,
       .bitDepth = 4,
       .outcome = Outcome::kDamaged,
       .damage = PngVariant::kBadCrc},
  };
  for (const PngVariant& v : variants) {
    SCOPED_TRACE(v.name);
    ExpectImageMagicksPixels(WritePngVariant(v), "PNG", imaging_internal::DecodePng, v.outcome);
  }
}

TEST(PngCodec, PicturesPastImageMagicksMemoryLoadUpToTheProgramsLimit) {
  // 35 megapixels: more than ImageMagick's pixel memory holds under the usual policy.
  ScratchFolder folder;
  const std::string path = folder.File("large.png");
  PngVariant large{"large", PNG_COLOR_TYPE_PALETTE, 1, 7000, 5000};
  const Bytes file = WritePngVariant(large);
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(file.data()), static_cast<std::streamsize>(file.size()));
  ImgBitmap bitmap;
  PictureProblem problem = PictureProblem::kNotRecognized;
  ASSERT_EQ(ImgLoadPictureFile(path.c_str(), &bitmap, &problem), 1);
  EXPECT_EQ(problem, PictureProblem::kNone);
  EXPECT_EQ(bitmap.width, 7000);
  EXPECT_EQ(bitmap.height, 5000);
}

struct TiffVariant {
  const char* name;
  uint16_t photometric;
  uint16_t samples;
  uint16_t compression = COMPRESSION_NONE;
  Outcome outcome = Outcome::kSame;
  uint16_t bits = 8;
  uint16_t orientation = 0;  // 0: no orientation field
  uint16_t predictor = 0;
  uint32_t rowsPerStrip = 0;  // 0: libtiff's choice
  bool tiled = false;
  bool separate = false;  // one plane per sample
  bool photoshop = false;
  bool cut = false;
};

Bytes WriteTiffVariant(const TiffVariant& v, const std::string& path) {
  constexpr uint32_t width = 37, height = 23;
  TIFF* tiff = TIFFOpen(path.c_str(), "w");
  if (tiff == nullptr) return Bytes();
  TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, width);
  TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, height);
  TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, v.bits);
  TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, v.samples);
  TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, v.photometric);
  TIFFSetField(tiff, TIFFTAG_PLANARCONFIG,
               v.separate ? PLANARCONFIG_SEPARATE : PLANARCONFIG_CONTIG);
  TIFFSetField(tiff, TIFFTAG_COMPRESSION, v.compression);
  if (v.samples == 4) {
    const uint16_t extra = EXTRASAMPLE_UNASSALPHA;
    TIFFSetField(tiff, TIFFTAG_EXTRASAMPLES, 1, &extra);
  }
  if (v.orientation != 0) TIFFSetField(tiff, TIFFTAG_ORIENTATION, v.orientation);
  if (v.predictor != 0) TIFFSetField(tiff, TIFFTAG_PREDICTOR, v.predictor);
  if (v.photoshop) TIFFSetField(tiff, TIFFTAG_PHOTOSHOP, 4, "8BIM");
  if (v.tiled) {
    TIFFSetField(tiff, TIFFTAG_TILEWIDTH, 16);
    TIFFSetField(tiff, TIFFTAG_TILELENGTH, 16);
  } else {
    TIFFSetField(tiff, TIFFTAG_ROWSPERSTRIP,
                 v.rowsPerStrip != 0 ? v.rowsPerStrip : TIFFDefaultStripSize(tiff, 0));
  }
  // Every sample of every pixel, pixel after pixel, whatever the file's own arrangement.
  const int sampleBytes = v.bits / 8;
  std::vector<uint8_t> pixels(static_cast<size_t>(width) * height * v.samples * sampleBytes);
  for (size_t i = 0; i < pixels.size(); ++i) {
    pixels[i] = static_cast<uint8_t>(Hash(static_cast<uint32_t>(i), 5, 0));
  }
  const size_t rowBytes = static_cast<size_t>(width) * v.samples * sampleBytes;
  if (v.tiled) {
    std::vector<uint8_t> tile(TIFFTileSize(tiff));
    for (uint32_t ty = 0; ty < height; ty += 16) {
      for (uint32_t tx = 0; tx < width; tx += 16) {
        std::fill(tile.begin(), tile.end(), 0);
        for (uint32_t y = ty; y < std::min(height, ty + 16); ++y) {
          const size_t count = (std::min(width, tx + 16) - tx) * v.samples * sampleBytes;
          std::copy_n(&pixels[y * rowBytes + tx * v.samples * sampleBytes], count,
                      &tile[(y - ty) * 16 * v.samples * sampleBytes]);
        }
        TIFFWriteTile(tiff, tile.data(), tx, ty, 0, 0);
      }
    }
  } else if (v.separate) {
    std::vector<uint8_t> plane(width);
    for (uint16_t c = 0; c < v.samples; ++c) {
      for (uint32_t y = 0; y < height; ++y) {
        for (uint32_t x = 0; x < width; ++x) plane[x] = pixels[y * rowBytes + x * v.samples + c];
        TIFFWriteScanline(tiff, plane.data(), y, c);
      }
    }
  } else {
    for (uint32_t y = 0; y < height; ++y) TIFFWriteScanline(tiff, &pixels[y * rowBytes], y, 0);
  }
  TIFFClose(tiff);
  std::ifstream in(path, std::ios::binary);
  Bytes file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (v.cut) file.resize(file.size() / 2);
  return file;
}

TEST(TiffCodec, DecodesCommonLayoutsToImageMagicksPixels) {
  constexpr uint16_t RGB = PHOTOMETRIC_RGB, GREY = PHOTOMETRIC_MINISBLACK;
  const TiffVariant variants[] = {
      {"rgb", RGB, 3},
      {"rgb lzw", RGB, 3, COMPRESSION_LZW},
      {"rgb deflate predictor", RGB, 3, COMPRESSION_ADOBE_DEFLATE, Outcome::kSame, 8, 0, 2},
      {"rgb packbits one row a strip", RGB, 3, COMPRESSION_PACKBITS, Outcome::kSame, 8, 0, 0, 1},
      {"rgb jpeg one strip", RGB, 3, COMPRESSION_JPEG, Outcome::kSame, 8, 0, 0, 23},
      {"rgb upright", RGB, 3, COMPRESSION_LZW, Outcome::kSame, 8, ORIENTATION_TOPLEFT},
      {"grey", GREY, 1},
      {"grey lzw predictor", GREY, 1, COMPRESSION_LZW, Outcome::kSame, 8, 0, 2},
      {"turned", RGB, 3, COMPRESSION_NONE, Outcome::kLeft, 8, ORIENTATION_RIGHTTOP},
      {"16 bits", RGB, 3, COMPRESSION_NONE, Outcome::kLeft, 16},
      {"alpha", RGB, 4, COMPRESSION_NONE, Outcome::kLeft},
      {"white is zero", PHOTOMETRIC_MINISWHITE, 1, COMPRESSION_NONE, Outcome::kLeft},
      {.name = "tiled", .photometric = RGB, .samples = 3, .outcome = Outcome::kLeft, .tiled = true},
      {.name = "planes",
       .photometric = RGB,
       .samples = 3,
       .outcome = Outcome::kLeft,
       .separate = true},
      {.name = "photoshop block",
       .photometric = RGB,
       .samples = 3,
       .outcome = Outcome::kLeft,
       .photoshop = true},
      {.name = "cut",
       .photometric = RGB,
       .samples = 3,
       .compression = COMPRESSION_LZW,
       .outcome = Outcome::kCut,
       .cut = true},
  };
  ScratchFolder folder;
  for (const TiffVariant& v : variants) {
    SCOPED_TRACE(v.name);
    const Bytes file = WriteTiffVariant(v, folder.File("variant.tif"));
    ASSERT_FALSE(file.empty());
    ExpectImageMagicksPixels(file, "TIFF", imaging_internal::DecodeTiff, v.outcome);
  }
}

}  // namespace

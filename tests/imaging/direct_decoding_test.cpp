// SPDX-FileCopyrightText: The Quillane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include <gtest/gtest.h>

#include <png.h>
#include <tiffio.h>

#include <algorithm>
#include <fstream>
#include <string>
#include <string_view>
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

// A picture file of the given layout; options are words: interlaced, transparent (a tRNS
// chunk), linear and dim (gAMA 1.0 and 0.45455), exif (an eXIf chunk saying "turn"), comment,
// orientation, late-orientation and raw-profile (text chunks, the late one after the data),
// stray-index (an index past the palette), cut, bad-crc.
struct Variant {
  const char* name;
  int type;  // PNG colour type, or TIFF photometric interpretation
  int bits;
  const char* options;
  Outcome outcome;
  int width = 37, height = 23;

  bool Has(std::string_view word) const {
    for (std::string_view rest = options; !rest.empty();) {
      const size_t end = std::min(rest.find(' '), rest.size());
      if (rest.substr(0, end) == word) return true;
      rest.remove_prefix(std::min(end + 1, rest.size()));
    }
    return false;
  }
};

uint32_t Hash(uint32_t x, uint32_t y, uint32_t c) {
  uint32_t h = x * 73856093u ^ y * 19349663u ^ (c + 1) * 83492791u;
  h ^= h >> 13;
  h *= 0x5bd1e995u;
  return h ^ (h >> 15);
}

// Sample c (alpha last) of a PNG pixel. 256 x 256 pictures with 8-bit alpha hold every pair of
// value and alpha; 16-bit alpha is mostly 0 or 65535. With a tRNS chunk a third of the pixels
// have the transparent colour (only the top bit set), some others two of its samples.
uint32_t Sample(const Variant& v, int channels, uint32_t x, uint32_t y, int c, int colours) {
  const uint32_t top = (1u << v.bits) - 1;
  const bool alpha = (v.type & PNG_COLOR_MASK_ALPHA) != 0 && c == channels - 1;
  if (v.type == PNG_COLOR_TYPE_PALETTE) {
    return v.Has("stray-index") && x == 3 && y == 2 ? colours : Hash(x, y, c) % colours;
  }
  if (v.width == 256 && v.bits == 8 && (v.type & PNG_COLOR_MASK_ALPHA) != 0) {
    return alpha ? y : c == 0 ? x : c == 1 ? 255 - x : (x * 7) & 255;
  }
  if (alpha && v.bits == 16 && x % 3 != 2) return x % 3 == 0 ? 0 : top;
  const uint32_t pick = Hash(x, y, 9) % 6;
  if (v.Has("transparent") && (pick < 2 || (pick == 2 && c != 1))) return 1u << (v.bits - 1);
  return Hash(x, y, c) & top;
}

void AppendBytes(png_structp png, png_bytep data, size_t length) {
  auto* out = static_cast<Bytes*>(png_get_io_ptr(png));
  out->insert(out->end(), data, data + length);
}

Bytes WritePng(const Variant& v) {
  Bytes out;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  if (setjmp(png_jmpbuf(png)) != 0) return Bytes();
  png_set_write_fn(png, &out, AppendBytes, nullptr);
  png_set_IHDR(png, info, v.width, v.height, v.bits, v.type,
               v.Has("interlaced") ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  const int colours = std::min(5, 1 << v.bits);
  png_color colourTable[5];
  for (int i = 0; i < colours; ++i) {
    colourTable[i] = {png_byte(Hash(i, 0, 0)), png_byte(Hash(i, 0, 1)), png_byte(Hash(i, 0, 2))};
  }
  if (v.type == PNG_COLOR_TYPE_PALETTE) png_set_PLTE(png, info, colourTable, colours);
  png_byte alphas[] = {0, 128, 255, 1};  // of five colours the last is opaque
  png_color_16 transparent{};
  transparent.red = transparent.green = transparent.blue = transparent.gray = 1u << (v.bits - 1);
  const bool palette = v.type == PNG_COLOR_TYPE_PALETTE;
  if (v.Has("transparent")) {
    png_set_tRNS(png, info, palette ? alphas : nullptr, palette ? std::min(4, colours) : 0,
                 palette ? nullptr : &transparent);
  }
  if (v.Has("linear") || v.Has("dim")) png_set_gAMA(png, info, v.Has("linear") ? 1.0 : 0.45455);
  png_byte exif[] = {'I', 'I', 42, 0, 8, 0, 0, 0, 1, 0, 0x12, 1, 3, 0, 1, 0, 0, 0, 6, 0, 0, 0};
  if (v.Has("exif")) png_set_eXIf_1(png, info, sizeof exif, exif);
  png_text text{};
  text.key = const_cast<char*>("Comment");
  text.text = const_cast<char*>("6");
  if (v.Has("orientation")) text.key = const_cast<char*>("exif:Orientation");
  if (v.Has("late-orientation")) text.key = const_cast<char*>("tiff:Orientation");
  if (v.Has("raw-profile")) text.key = const_cast<char*>("Raw profile type exif");
  const bool hasText = v.Has("comment") || text.key != std::string("Comment");
  if (hasText && !v.Has("late-orientation")) png_set_text(png, info, &text, 1);
  png_write_info(png, info);
  if (v.bits < 8) png_set_packing(png);
  const int channels = png_get_channels(png, info), sampleBytes = v.bits == 16 ? 2 : 1;
  Bytes row(static_cast<size_t>(v.width) * channels * sampleBytes);
  for (int pass = png_set_interlace_handling(png); pass > 0; --pass) {
    for (int y = 0; y < v.height; ++y) {
      for (size_t i = 0, x = 0; x < static_cast<size_t>(v.width); ++x) {
        for (int c = 0; c < channels; ++c) {
          const uint32_t s = Sample(v, channels, x, y, c, colours);
          if (sampleBytes == 2) row[i++] = static_cast<uint8_t>(s >> 8);
          row[i++] = static_cast<uint8_t>(s);
        }
      }
      png_write_row(png, row.data());
    }
  }
  if (v.Has("late-orientation")) png_set_text(png, info, &text, 1);
  png_write_end(png, info);
  png_destroy_write_struct(&png, &info);
  if (v.Has("cut")) out.resize(out.size() * 2 / 3);
  if (v.Has("bad-crc")) out[out.size() - 20] ^= 0x40;  // inside the last IDAT chunk
  return out;
}

// A TIFF file; options are words: lzw, deflate, packbits, jpeg (compressions), predictor,
// one-row-strips, one-strip, upright and turned (orientation fields), alpha, tiled, planes,
// photoshop (a Photoshop block), cut.
Bytes WriteTiff(const Variant& v, const std::string& path) {
  TIFF* tiff = TIFFOpen(path.c_str(), "w");
  const int samples = (v.type == PHOTOMETRIC_RGB ? 3 : 1) + (v.Has("alpha") ? 1 : 0);
  const uint16_t compression = v.Has("lzw")        ? COMPRESSION_LZW
                               : v.Has("deflate")  ? COMPRESSION_ADOBE_DEFLATE
                               : v.Has("packbits") ? COMPRESSION_PACKBITS
                               : v.Has("jpeg")     ? COMPRESSION_JPEG
                                                   : COMPRESSION_NONE;
  TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, v.width);
  TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, v.height);
  TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, v.bits);
  TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, samples);
  TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, v.type);
  TIFFSetField(tiff, TIFFTAG_PLANARCONFIG, v.Has("planes") ? PLANARCONFIG_SEPARATE : 1);
  TIFFSetField(tiff, TIFFTAG_COMPRESSION, compression);
  const uint16_t extra = EXTRASAMPLE_UNASSALPHA;
  if (v.Has("alpha")) TIFFSetField(tiff, TIFFTAG_EXTRASAMPLES, 1, &extra);
  if (v.Has("upright")) TIFFSetField(tiff, TIFFTAG_ORIENTATION, ORIENTATION_TOPLEFT);
  if (v.Has("turned")) TIFFSetField(tiff, TIFFTAG_ORIENTATION, ORIENTATION_RIGHTTOP);
  if (v.Has("predictor")) TIFFSetField(tiff, TIFFTAG_PREDICTOR, PREDICTOR_HORIZONTAL);
  if (v.Has("photoshop")) TIFFSetField(tiff, TIFFTAG_PHOTOSHOP, 4, "8BIM");
  const uint32_t rows = v.Has("one-row-strips") ? 1 : v.Has("one-strip") ? v.height : 8;
  TIFFSetField(tiff, v.Has("tiled") ? TIFFTAG_TILEWIDTH : TIFFTAG_ROWSPERSTRIP,
               v.Has("tiled") ? 16 : rows);
  if (v.Has("tiled")) TIFFSetField(tiff, TIFFTAG_TILELENGTH, 16);
  Bytes data(v.Has("tiled") ? TIFFTileSize(tiff) : TIFFScanlineSize(tiff));
  if (v.Has("tiled")) {
    // What the tiles hold does not matter: the decoder leaves them.
    for (int tile = 0; tile < 3 * 2; ++tile)
      TIFFWriteTile(tiff, data.data(), tile % 3 * 16, tile / 3 * 16, 0, 0);
  }
  for (int plane = 0; !v.Has("tiled") && plane < (v.Has("planes") ? samples : 1); ++plane) {
    for (int y = 0; y < v.height; ++y) {
      for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(Hash(i, y, plane));
      TIFFWriteScanline(tiff, data.data(), y, plane);
    }
  }
  TIFFClose(tiff);
  std::ifstream in(path, std::ios::binary);
  Bytes file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (v.Has("cut")) file.resize(file.size() / 2);
  return file;
}

// Decodes the file with the direct decoder and with ImageMagick, and checks the outcome.
void ExpectImageMagicksPixels(const Bytes& file, const char* format,
                              DirectDecode (*decode)(const uint8_t*, size_t, ImgBitmap*),
                              Outcome outcome) {
  ASSERT_FALSE(file.empty());
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
    EXPECT_TRUE(SamePixels(direct, magick));
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
  constexpr Outcome same = Outcome::kSame, left = Outcome::kLeft, damaged = Outcome::kDamaged;
  const Variant variants[] = {
      {"rgb8", RGB, 8, "", same},
      {"rgb8 interlaced", RGB, 8, "interlaced", same},
      {"rgb16", RGB, 16, "", same},
      {"rgb16 interlaced", RGB, 16, "interlaced", same},
      {"rgba8 every value and alpha", RGBA, 8, "", same, 256, 256},
      {"rgba8 interlaced", RGBA, 8, "interlaced", same},
      {"rgba16", RGBA, 16, "", same, 301, 7},
      {"rgba16 interlaced", RGBA, 16, "interlaced", same},
      {"grey1", G, 1, "", same},
      {"grey2", G, 2, "", same},
      {"grey4", G, 4, "", same},
      {"grey8", G, 8, "", same},
      {"grey16", G, 16, "", same},
      {"grey2 interlaced", G, 2, "interlaced", same},
      {"grey+alpha8 every value and alpha", GA, 8, "", same, 256, 256},
      {"grey+alpha16", GA, 16, "", same},
      {"grey+alpha16 interlaced", GA, 16, "interlaced", same},
      {"grey1 transparent", G, 1, "transparent", same},
      {"grey4 transparent", G, 4, "transparent", same},
      {"grey8 transparent", G, 8, "transparent", same},
      {"grey16 transparent", G, 16, "transparent", same},
      {"rgb8 transparent", RGB, 8, "transparent", same},
      {"rgb16 transparent interlaced", RGB, 16, "transparent interlaced", same},
      {"palette1", P, 1, "", same},
      {"palette2", P, 2, "", same},
      {"palette4 interlaced", P, 4, "interlaced", same},
      {"palette8", P, 8, "", same},
      {"palette8 transparent", P, 8, "transparent", same},
      {"palette2 transparent interlaced", P, 2, "transparent interlaced", same},
      {"rgb8 linear", RGB, 8, "linear", same},
      {"grey8 gamma 0.45", G, 8, "dim", same},
      {"rgb8 with an eXIf chunk saying turn", RGB, 8, "exif", same},
      {"rgba8 with a comment", RGBA, 8, "comment", same},
      {"grey8 linear", G, 8, "linear", left},
      {"grey+alpha8 linear", GA, 8, "linear", left},
      {"orientation text", RGB, 8, "orientation", left},
      {"orientation text after the data", RGB, 8, "late-orientation", left},
      {"raw profile", RGB, 8, "raw-profile", left},
      {"index past the palette", P, 8, "stray-index", damaged},
      {"cut", RGB, 8, "cut", damaged},
      {"cut interlaced rgba16", RGBA, 16, "cut interlaced", damaged},
      {"bad checksum", P, 4, "bad-crc", damaged},
  };
  for (const Variant& v : variants) {
    SCOPED_TRACE(v.name);
    ExpectImageMagicksPixels(WritePng(v), "PNG", imaging_internal::DecodePng, v.outcome);
  }
}

TEST(TiffCodec, DecodesCommonLayoutsToImageMagicksPixels) {
  constexpr int RGB = PHOTOMETRIC_RGB, GREY = PHOTOMETRIC_MINISBLACK;
  constexpr Outcome same = Outcome::kSame, left = Outcome::kLeft;
  const Variant variants[] = {
      {"rgb", RGB, 8, "", same},
      {"rgb lzw", RGB, 8, "lzw", same},
      {"rgb deflate predictor", RGB, 8, "deflate predictor", same},
      {"rgb packbits one row a strip", RGB, 8, "packbits one-row-strips", same},
      {"rgb jpeg one strip", RGB, 8, "jpeg one-strip", same},
      {"rgb upright", RGB, 8, "lzw upright", same},
      {"grey", GREY, 8, "", same},
      {"grey lzw predictor", GREY, 8, "lzw predictor", same},
      {"turned", RGB, 8, "turned", left},
      {"16 bits", RGB, 16, "", left},
      {"alpha", RGB, 8, "alpha", left},
      {"white is zero", PHOTOMETRIC_MINISWHITE, 8, "", left},
      {"tiled", RGB, 8, "tiled", left},
      {"planes", RGB, 8, "planes", left},
      {"photoshop block", RGB, 8, "photoshop", left},
      {"cut", RGB, 8, "lzw cut", Outcome::kCut},
  };
  ScratchFolder folder;
  for (const Variant& v : variants) {
    SCOPED_TRACE(v.name);
    const Bytes file = WriteTiff(v, folder.File("variant.tif"));
    ExpectImageMagicksPixels(file, "TIFF", imaging_internal::DecodeTiff, v.outcome);
  }
}

TEST(PngCodec, PicturesPastImageMagicksMemoryLoadUpToTheProgramsLimit) {
  // 35 megapixels: more than ImageMagick's pixel memory holds under the usual policy.
  ScratchFolder folder;
  const Bytes file = WritePng({"large", PNG_COLOR_TYPE_PALETTE, 1, "", Outcome::kSame, 7000, 5000});
  std::ofstream(folder.File("large.png"), std::ios::binary)
      .write(reinterpret_cast<const char*>(file.data()), static_cast<std::streamsize>(file.size()));
  ImgBitmap bitmap;
  PictureProblem problem = PictureProblem::kNotRecognized;
  ASSERT_EQ(ImgLoadPictureFile(folder.File("large.png").c_str(), &bitmap, &problem), 1);
  EXPECT_EQ(problem, PictureProblem::kNone);
  EXPECT_EQ(bitmap.width, 7000);
  EXPECT_EQ(bitmap.height, 5000);
}

}  // namespace

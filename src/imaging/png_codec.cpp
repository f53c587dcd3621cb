// SPDX-FileCopyrightText: The Quillane developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The decoder gives the pixels of the program's ImageMagick path, which reads the file into
// 16-bit samples (8-bit ones times 257), lays transparent parts over opaque white and takes the
// 24-bit colours from the result. libpng's own transformations bring every file to one of four
// row layouts; what they do is exact in those terms (expanding grey and transparency chunks,
// replicating low bit depths, rounding 16-bit samples), and the blending onto white is
// ImageMagick's arithmetic done here.

#include "imaging/png_codec.h"

#include <strings.h>
#include <array>
#include <csetjmp>
#include <cstdlib>
#include <cstring>
#include <memory>

#include <png.h>
#include <zlib.h>

namespace imaging_internal {

namespace {

[[noreturn]] void LeavePng(png_structp png, png_const_charp) {
  png_longjmp(png, 1);
}

// Warnings concern chunks libpng has already set aside, or nothing the pixels depend on.
void IgnorePngWarning(png_structp, png_const_charp) {}

// ImageMagick's reduction of a 16-bit sample to 8 bits (rounding to the nearest of v * 257).
constexpr uint8_t SampleToByte(uint32_t sample) {
  return static_cast<uint8_t>(((sample + 128) - ((sample + 128) >> 8)) >> 8);
}

// A 16-bit sample of the given opacity over opaque white, in ImageMagick's terms and double
// arithmetic: its transparency is 65535 - alpha, the blend is rounded to 16 bits, then reduced.
uint8_t OverWhite(uint32_t sample, uint32_t alpha) {
  if (alpha == 65535) return SampleToByte(sample);
  const double scale = 1.0 / 65535.0;
  const double transparency = 65535.0 - alpha;
  const double blend = (1.0 - scale * transparency) * sample + 1.0 * 65535.0 * scale * transparency;
  const uint32_t rounded = blend <= 0.0       ? 0
                           : blend >= 65535.0 ? 65535
                                              : static_cast<uint32_t>(blend + 0.5);
  return SampleToByte(rounded);
}

// OverWhite for 8-bit samples, indexed by alpha * 256 + sample.
const std::array<uint8_t, 65536>& OverWhiteBytes() {
  static const std::array<uint8_t, 65536> table = [] {
    std::array<uint8_t, 65536> t{};
    for (uint32_t i = 0; i < t.size(); ++i) t[i] = OverWhite((i & 255) * 257, (i >> 8) * 257);
    return t;
  }();
  return table;
}

enum class RowLayout {
  kBgr8,    // 8-bit blue, green, red: the bitmap's own rows
  kBgra8,   // 8-bit with alpha
  kBgra16,  // 16-bit big-endian with alpha
  kIndex8,  // one palette index per byte
};

struct PngReading {
  const uint8_t* data = nullptr;
  size_t size = 0;
  size_t at = 0;
  png_structp png = nullptr;
  png_infop info = nullptr;
  png_infop end = nullptr;
  RowLayout layout = RowLayout::kBgr8;
  // The palette laid onto white, blue-green-red, and how many of its entries the file defines.
  std::array<uint8_t, 3 * 256> palette{};
  int paletteSize = 0;
  // One row, or the whole picture while the passes of an interlaced file come in.
  std::unique_ptr<uint8_t[], decltype(&std::free)> rows{nullptr, &std::free};
  ImgBitmap picture;

  ~PngReading() { png_destroy_read_struct(&png, &info, &end); }
};

void ReadFromMemory(png_structp png, png_bytep out, size_t count) {
  auto* reading = static_cast<PngReading*>(png_get_io_ptr(png));
  if (reading->size - reading->at < count) png_error(png, "the file ends early");
  std::memcpy(out, reading->data + reading->at, count);
  reading->at += count;
}

uint32_t BigEndian32(const uint8_t* at) {
  return static_cast<uint32_t>(at[0]) << 24 | static_cast<uint32_t>(at[1]) << 16 |
         static_cast<uint32_t>(at[2]) << 8 | at[3];
}

// ImageMagick turns a PNG picture by an orientation given in a text chunk: an "exif:" or
// "tiff:" property, or an Exif block stored as a raw profile. The eXIf chunk it ignores.
bool MayCarryOrientation(png_structp png, png_infop info) {
  png_textp texts = nullptr;
  const int count = png_get_text(png, info, &texts, nullptr);
  for (int i = 0; i < count; ++i) {
    const char* key = texts[i].key;
    if (std::strncmp(key, "Raw profile type", 16) == 0) return true;
    for (const char* at = key; *at != '\0'; ++at) {
      if (strncasecmp(at, "orientation", 11) == 0) return true;
    }
  }
  return false;
}

bool ConvertRow(const PngReading& r, const uint8_t* in, uint8_t* out, uint32_t width) {
  switch (r.layout) {
    case RowLayout::kBgr8:
      break;
    case RowLayout::kBgra8: {
      const std::array<uint8_t, 65536>& over = OverWhiteBytes();
      for (uint32_t x = 0; x < width; ++x, in += 4, out += 3) {
        const uint32_t alpha = static_cast<uint32_t>(in[3]) << 8;
        for (int c = 0; c < 3; ++c) out[c] = over[alpha | in[c]];
      }
      break;
    }
    case RowLayout::kBgra16:
      for (uint32_t x = 0; x < width; ++x, in += 8, out += 3) {
        const uint32_t alpha = static_cast<uint32_t>(in[6]) << 8 | in[7];
        for (int c = 0; c < 3; ++c) {
          out[c] = OverWhite(static_cast<uint32_t>(in[2 * c]) << 8 | in[2 * c + 1], alpha);
        }
      }
      break;
    case RowLayout::kIndex8:
      for (uint32_t x = 0; x < width; ++x, out += 3) {
        // ImageMagick fails on an index past the palette's end.
        if (in[x] >= r.paletteSize) return false;
        std::memcpy(out, &r.palette[3 * in[x]], 3);
      }
      break;
  }
  return true;
}

// Chooses the row layout and sets libpng's transformations for it.
void ChooseLayout(PngReading& r, int colourType, int bitDepth) {
  const bool transparencyChunk = png_get_valid(r.png, r.info, PNG_INFO_tRNS) != 0;
  if (colourType == PNG_COLOR_TYPE_PALETTE) {
    png_set_packing(r.png);
    r.layout = RowLayout::kIndex8;
    png_colorp colours = nullptr;
    png_bytep alphas = nullptr;
    int alphaCount = 0;
    png_get_PLTE(r.png, r.info, &colours, &r.paletteSize);
    if (transparencyChunk) png_get_tRNS(r.png, r.info, &alphas, &alphaCount, nullptr);
    const std::array<uint8_t, 65536>& over = OverWhiteBytes();
    for (int i = 0; i < r.paletteSize; ++i) {
      const uint32_t alpha = (i < alphaCount ? alphas[i] : 255u) << 8;
      r.palette[3 * i] = over[alpha | colours[i].blue];
      r.palette[3 * i + 1] = over[alpha | colours[i].green];
      r.palette[3 * i + 2] = over[alpha | colours[i].red];
    }
    return;
  }
  // Grey becomes colour, low bit depths 8 bits, a transparent colour an alpha channel.
  png_set_expand_gray_1_2_4_to_8(r.png);
  if (transparencyChunk) png_set_tRNS_to_alpha(r.png);
  png_set_gray_to_rgb(r.png);
  png_set_bgr(r.png);
  if ((colourType & PNG_COLOR_MASK_ALPHA) != 0 || transparencyChunk) {
    r.layout = bitDepth == 16 ? RowLayout::kBgra16 : RowLayout::kBgra8;
  } else {
    // Opaque 16-bit samples rounded as ImageMagick does.
    if (bitDepth == 16) png_set_scale_16(r.png);
    r.layout = RowLayout::kBgr8;
  }
}

size_t BytesPerPixel(RowLayout layout) {
  switch (layout) {
    case RowLayout::kBgr8:
      return 3;
    case RowLayout::kBgra8:
      return 4;
    case RowLayout::kBgra16:
      return 8;
    case RowLayout::kIndex8:
      return 1;
  }
  return 0;
}

// Every libpng call, under the jump target; the records live in the caller, so that they are
// intact when a jump comes back here.
DirectDecode Decode(PngReading& r) {
  if (setjmp(png_jmpbuf(r.png)) != 0) return DirectDecode::kNotHandled;
  png_set_read_fn(r.png, &r, ReadFromMemory);
  png_set_user_limits(r.png, kMaxPictureSide, kMaxPictureSide);
  // As many ancillary chunks, and as large ones, as ImageMagick's reader takes.
  png_set_chunk_cache_max(r.png, 32767);
  png_set_chunk_malloc_max(r.png, 8000000);
  png_set_benign_errors(r.png, 1);
#ifdef FUZZING_BUILD_MODE_UNSAFE_FOR_PRODUCTION
  // Mutated data keeps its old checksums; without this, hardly any would reach the decoding.
  png_set_crc_action(r.png, PNG_CRC_QUIET_USE, PNG_CRC_QUIET_USE);
#endif
  png_read_info(r.png, r.info);

  png_uint_32 width = 0, height = 0;
  int bitDepth = 0, colourType = 0, interlace = 0;
  png_get_IHDR(r.png, r.info, &width, &height, &bitDepth, &colourType, &interlace, nullptr,
               nullptr);
  if (!WithinProgramLimits(width, height) || MayCarryOrientation(r.png, r.info)) {
    return DirectDecode::kNotHandled;
  }
  // ImageMagick takes grey samples of a gamma above 0.75 for linear light and converts them.
  double gamma = 0.0;
  if ((colourType & PNG_COLOR_MASK_COLOR) == 0 && png_get_gAMA(r.png, r.info, &gamma) != 0 &&
      static_cast<float>(gamma) > 0.75) {
    return DirectDecode::kNotHandled;
  }

  ChooseLayout(r, colourType, bitDepth);
  const int passes = png_set_interlace_handling(r.png);
  png_read_update_info(r.png, r.info);
  const size_t rowBytes = png_get_rowbytes(r.png, r.info);
  if (rowBytes != width * BytesPerPixel(r.layout) ||
      ImgCreate(&r.picture, 1, static_cast<int32_t>(width), static_cast<int32_t>(height), 24) !=
          1) {
    return DirectDecode::kNotHandled;
  }
  // Rows in the bitmap's own layout go straight into it; others through a buffer of one row, or
  // of the whole picture when its passes have to be gathered first.
  const bool straight = r.layout == RowLayout::kBgr8;
  const bool gathered = !straight && passes > 1;
  if (!straight) {
    const uint64_t bufferBytes = static_cast<uint64_t>(rowBytes) * (gathered ? height : 1);
    if (gathered && static_cast<int64_t>(bufferBytes) > ImgMemoryAllowance()) {
      return DirectDecode::kNotHandled;
    }
    r.rows.reset(static_cast<uint8_t*>(std::calloc(bufferBytes, 1)));
    if (!r.rows) return DirectDecode::kNotHandled;
  }
  for (int pass = 0; pass < passes; ++pass) {
    for (png_uint_32 y = 0; y < height; ++y) {
      uint8_t* out = r.picture.Row(static_cast<int32_t>(y));
      uint8_t* row = straight ? out : r.rows.get() + (gathered ? y * rowBytes : 0);
      png_read_row(r.png, row, nullptr);
      if (!straight && pass == passes - 1 && !ConvertRow(r, row, out, width)) {
        return DirectDecode::kNotHandled;
      }
    }
  }
  png_read_end(r.png, r.end);
  return MayCarryOrientation(r.png, r.end) ? DirectDecode::kNotHandled : DirectDecode::kDecoded;
}

}  // namespace

DirectDecode DecodePng(const uint8_t* data, size_t size, ImgBitmap* bitmap) {
  // The size from an intact header, judged before libpng allocates anything. A damaged header is
  // libpng's to report.
  constexpr size_t kHeaderEnd = 8 + 4 + 4 + 13 + 4;
  if (size < kHeaderEnd || std::memcmp(data, "\x89PNG\r\n\x1A\n\0\0\0\x0DIHDR", 16) != 0 ||
      crc32(0, data + 12, 4 + 13) != BigEndian32(data + 29)) {
    return DirectDecode::kNotHandled;
  }
  const uint32_t width = BigEndian32(data + 16), height = BigEndian32(data + 20);
  if (width > 0 && height > 0 && width <= PNG_UINT_31_MAX && height <= PNG_UINT_31_MAX &&
      !WithinProgramLimits(width, height)) {
    return DirectDecode::kTooLarge;
  }
  PngReading reading;
  reading.data = data;
  reading.size = size;
  reading.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, LeavePng, IgnorePngWarning);
  if (reading.png == nullptr) return DirectDecode::kNotHandled;
  reading.info = png_create_info_struct(reading.png);
  reading.end = png_create_info_struct(reading.png);
  if (reading.info == nullptr || reading.end == nullptr) return DirectDecode::kNotHandled;
  const DirectDecode result = Decode(reading);
  if (result == DirectDecode::kDecoded) *bitmap = std::move(reading.picture);
  return result;
}

bool WritePng(std::FILE* file, const ImgBitmap& bitmap) {
  png_structp png =
      png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, LeavePng, IgnorePngWarning);
  if (png == nullptr) return false;
  png_infop info = png_create_info_struct(png);
  if (info == nullptr || setjmp(png_jmpbuf(png)) != 0) {
    png_destroy_write_struct(&png, &info);
    return false;
  }
  png_init_io(png, file);
  png_set_IHDR(png, info, static_cast<png_uint_32>(bitmap.width),
               static_cast<png_uint_32>(bitmap.height), 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  png_set_bgr(png);
  for (int32_t y = 0; y < bitmap.height; ++y) png_write_row(png, bitmap.Row(y));
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return true;
}

}  // namespace imaging_internal

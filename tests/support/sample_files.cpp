// SPDX-FileCopyrightText: The Quillane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "support/sample_files.h"

#include <Magick++.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <iterator>
#include <mutex>

namespace samples {
namespace {

void PutLe16(Bytes& b, uint32_t v) {
  b.push_back(static_cast<uint8_t>(v));
  b.push_back(static_cast<uint8_t>(v >> 8));
}
void PutLe32(Bytes& b, uint32_t v) {
  PutLe16(b, v & 0xFFFF);
  PutLe16(b, v >> 16);
}
void PutBe16(Bytes& b, uint32_t v) {
  b.push_back(static_cast<uint8_t>(v >> 8));
  b.push_back(static_cast<uint8_t>(v));
}
void PutBe32(Bytes& b, uint32_t v) {
  PutBe16(b, v >> 16);
  PutBe16(b, v & 0xFFFF);
}
void PutTag(Bytes& b, const char* tag) {
  for (int i = 0; i < 4; ++i) b.push_back(static_cast<uint8_t>(tag[i]));
}
void SetLe32(Bytes& b, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

// A picture with something in it for every decoder and effect: a gradient, a diagonal band and
// a different colour in each corner.
void PatternPixel(int x, int y, int width, int height, uint8_t rgb[3]) {
  rgb[0] = static_cast<uint8_t>(255 * x / (width > 1 ? width - 1 : 1));
  rgb[1] = static_cast<uint8_t>(255 * y / (height > 1 ? height - 1 : 1));
  rgb[2] = static_cast<uint8_t>(((x + y) / 3 % 2) ? 200 : 40);
}

void InitMagickOnce() {
  static std::once_flag once;
  std::call_once(once, [] { Magick::InitializeMagick(nullptr); });
}

uint32_t Crc32(const uint8_t* data, size_t size, uint32_t crc = 0) {
  crc = ~crc;
  for (size_t i = 0; i < size; ++i) {
    crc ^= data[i];
    for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
  }
  return ~crc;
}

void PutPngChunk(Bytes& png, const char* type, const Bytes& data) {
  PutBe32(png, static_cast<uint32_t>(data.size()));
  const size_t start = png.size();
  PutTag(png, type);
  png.insert(png.end(), data.begin(), data.end());
  PutBe32(png, Crc32(png.data() + start, png.size() - start));
}

// A PNG of the given header whose data is `rows` (filter bytes included) in stored deflate
// blocks.
Bytes PngFile(uint32_t width, uint32_t height, uint8_t depth, uint8_t colorType,
              const Bytes& rows) {
  Bytes png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  Bytes ihdr;
  PutBe32(ihdr, width);
  PutBe32(ihdr, height);
  ihdr.insert(ihdr.end(), {depth, colorType, 0, 0, 0});  // deflate, no filter, no interlace
  PutPngChunk(png, "IHDR", ihdr);
  Bytes idat = {0x78, 0x01};
  size_t at = 0;
  do {
    const size_t n = std::min<size_t>(rows.size() - at, 0xFFFF);
    idat.push_back(at + n == rows.size() ? 1 : 0);
    PutLe16(idat, static_cast<uint32_t>(n));
    PutLe16(idat, static_cast<uint32_t>(~n & 0xFFFF));
    idat.insert(idat.end(), rows.begin() + at, rows.begin() + at + n);
    at += n;
  } while (at < rows.size());
  uint32_t a = 1, b = 0;
  for (uint8_t byte : rows) {
    a = (a + byte) % 65521;
    b = (b + a) % 65521;
  }
  PutBe32(idat, (b << 16) | a);
  PutPngChunk(png, "IDAT", idat);
  PutPngChunk(png, "IEND", {});
  return png;
}

// A JPEG marker segment: marker, length, body.
void PutJpegSegment(Bytes& jpeg, uint8_t marker, const Bytes& body) {
  jpeg.insert(jpeg.end(), {0xFF, marker});
  PutBe16(jpeg, static_cast<uint32_t>(body.size() + 2));
  jpeg.insert(jpeg.end(), body.begin(), body.end());
}

// Bits of one row of a 1-bit picture: a checkerboard of 8-pixel squares with a border.
uint8_t MonoByte(int byteIndex, int row, int width, int height) {
  if (row == 0 || row == height - 1) return 0xFF;
  uint8_t bits = ((byteIndex + row / 8) % 2) ? 0xF0 : 0x0F;
  if (byteIndex == 0) bits |= 0x80;
  if (byteIndex == (width - 1) / 8) bits |= static_cast<uint8_t>(0x80 >> ((width - 1) % 8));
  return bits;
}

}  // namespace

Bytes EncodedPicture(const std::string& format, int width, int height, unsigned ways) {
  InitMagickOnce();
  std::vector<uint8_t> rgb(static_cast<size_t>(width) * height * 3);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      PatternPixel(x, y, width, height, &rgb[(static_cast<size_t>(y) * width + x) * 3]);
    }
  }
  try {
    Magick::Image image(width, height, "RGB", Magick::CharPixel, rgb.data());
    image.depth(8);
    image.magick(format);
    if (ways & kInterlaced) image.interlaceType(Magick::LineInterlace);
    if (ways & kBigEndian) image.defineValue("tiff", "endian", "msb");
    Magick::Blob blob;
    image.write(&blob);
    const auto* p = static_cast<const uint8_t*>(blob.data());
    return Bytes(p, p + blob.length());
  } catch (const std::exception&) {
    return {};
  }
}

Bytes ExifJpeg(int width, int height, const std::string& prefix, bool inExifDirectory) {
  Bytes block(prefix.begin(), prefix.end());
  block.insert(block.end(), {'E', 'x', 'i', 'f', 0, 0, 'I', 'I', 42, 0});
  PutLe32(block, 8);
  // Directories of one field each; the Exif directory follows the first, at offset 26.
  const auto directory = [&block](uint32_t tag, uint32_t type, uint32_t value) {
    for (uint32_t v : {1u, tag, type}) PutLe16(block, v);
    for (uint32_t v : {1u, value, 0u}) PutLe32(block, v);
  };
  if (inExifDirectory) directory(0x8769, 4, 26);
  directory(0x0112, 3, 6);
  Bytes jpeg = EncodedPicture("JPEG", width, height);
  Bytes app1;
  PutJpegSegment(app1, 0xE1, block);
  jpeg.insert(jpeg.begin() + 2, app1.begin(), app1.end());
  return jpeg;
}

Bytes JpegClaimingSize(Bytes jpeg, uint16_t width, uint16_t height) {
  for (size_t i = 2; i + 9 < jpeg.size(); ++i) {
    if (jpeg[i] == 0xFF && jpeg[i + 1] >= 0xC0 && jpeg[i + 1] <= 0xC2) {
      const uint8_t size[4] = {static_cast<uint8_t>(height >> 8), static_cast<uint8_t>(height),
                               static_cast<uint8_t>(width >> 8), static_cast<uint8_t>(width)};
      std::copy(size, size + 4, jpeg.begin() + i + 5);
      break;
    }
  }
  return jpeg;
}

Bytes GreyJpeg(int width, int height) {
  Bytes jpeg = {0xFF, 0xD8};
  Bytes quantisation = {0};
  quantisation.insert(quantisation.end(), 64, 1);
  PutJpegSegment(jpeg, 0xDB, quantisation);
  Bytes frame = {8};
  PutBe16(frame, static_cast<uint32_t>(height));
  PutBe16(frame, static_cast<uint32_t>(width));
  frame.insert(frame.end(), {1, 1, 0x11, 0});
  PutJpegSegment(jpeg, 0xC0, frame);
  // One code of one bit in each table: a DC difference of 0, and the end of a block.
  for (uint8_t table : {0x00, 0x10}) {
    Bytes huffman = {table, 1};
    huffman.insert(huffman.end(), 15, 0);
    huffman.push_back(0);
    PutJpegSegment(jpeg, 0xC4, huffman);
  }
  PutJpegSegment(jpeg, 0xDA, {1, 1, 0, 0, 63, 0});
  // Two zero bits a block, the last byte filled with ones.
  const size_t bits = 2 * static_cast<size_t>((width + 7) / 8) * ((height + 7) / 8);
  jpeg.insert(jpeg.end(), bits / 8, 0);
  if (bits % 8 != 0) jpeg.push_back(static_cast<uint8_t>((1u << (8 - bits % 8)) - 1));
  jpeg.insert(jpeg.end(), {0xFF, 0xD9});
  return jpeg;
}

Bytes MspPicture(int width, int height, int version) {
  Bytes b;
  const uint32_t key1 = version == 1 ? 0x6144 : 0x694C;
  const uint32_t key2 = version == 1 ? 0x4D6E : 0x536E;
  const uint32_t words[12] = {
      key1, key2, static_cast<uint32_t>(width), static_cast<uint32_t>(height), 1, 1,
      1,    1,    static_cast<uint32_t>(width), static_cast<uint32_t>(height), 0, 0};
  uint32_t checksum = 0;
  for (uint32_t w : words) {
    PutLe16(b, w);
    checksum ^= w;
  }
  PutLe16(b, checksum);
  for (int i = 0; i < 3; ++i) PutLe16(b, 0);

  const int rowBytes = (width + 7) / 8;
  if (version == 1) {
    for (int y = 0; y < height; ++y) {
      for (int i = 0; i < rowBytes; ++i) b.push_back(MonoByte(i, y, width, height));
    }
    return b;
  }
  // Version 2: each row as runs. The first and last byte go out as literals, the middle as one
  // repeated run, so both kinds of record occur on every row.
  std::vector<Bytes> rows;
  for (int y = 0; y < height; ++y) {
    Bytes row;
    Bytes raw;
    for (int i = 0; i < rowBytes; ++i) raw.push_back(MonoByte(i, y, width, height));
    size_t i = 0;
    while (i < raw.size()) {
      size_t run = 1;
      while (i + run < raw.size() && raw[i + run] == raw[i] && run < 255) ++run;
      if (run >= 3) {
        row.push_back(0);
        row.push_back(static_cast<uint8_t>(run));
        row.push_back(raw[i]);
        i += run;
      } else {
        size_t lit = 0;
        while (i + lit < raw.size() && lit < 255) {
          size_t ahead = 1;
          while (i + lit + ahead < raw.size() && raw[i + lit + ahead] == raw[i + lit] && ahead < 3)
            ++ahead;
          if (ahead >= 3) break;
          ++lit;
        }
        row.push_back(static_cast<uint8_t>(lit));
        row.insert(row.end(), raw.begin() + i, raw.begin() + i + lit);
        i += lit;
      }
    }
    rows.push_back(row);
  }
  for (const Bytes& row : rows) PutLe16(b, static_cast<uint32_t>(row.size()));
  for (const Bytes& row : rows) b.insert(b.end(), row.begin(), row.end());
  return b;
}

Bytes MacPaintPicture() {
  Bytes b(512, 0);
  for (int y = 0; y < 720; ++y) {
    if (y % 4 == 0) {
      // A row of 72 literal bytes in two packets.
      for (int half = 0; half < 2; ++half) {
        b.push_back(35);
        for (int i = 0; i < 36; ++i) b.push_back(static_cast<uint8_t>((i * 37 + y) & 0xFF));
      }
    } else {
      // 72 copies of one byte: a count of -71.
      b.push_back(static_cast<uint8_t>(-71));
      b.push_back(y % 8 < 4 ? 0xAA : 0x00);
    }
  }
  return b;
}

Bytes MetafilePicture() {
  Bytes records;
  auto record = [&records](uint32_t function, std::initializer_list<uint32_t> params) {
    PutLe32(records, static_cast<uint32_t>(3 + params.size()));
    PutLe16(records, function);
    for (uint32_t p : params) PutLe16(records, p);
  };
  record(0x020B, {0, 0});                  // window origin y, x
  record(0x020C, {100, 100});              // window extent y, x
  record(0x02FC, {0, 0x00FF, 0x0000, 0});  // solid red brush: style, colour low, high, hatch
  record(0x012D, {0});                     // select it
  record(0x041B, {80, 90, 10, 20});        // rectangle bottom, right, top, left
  record(0x0000, {});                      // end of file

  Bytes b;
  const uint32_t placeable[10] = {0xCDD7, 0x9AC6, 0, 0, 0, 100, 100, 1440, 0, 0};
  uint32_t checksum = 0;
  for (uint32_t w : placeable) {
    PutLe16(b, w);
    checksum ^= w;
  }
  PutLe16(b, checksum);
  const uint32_t headerWords = 9;
  PutLe16(b, 1);  // in memory
  PutLe16(b, headerWords);
  PutLe16(b, 0x0300);
  PutLe32(b, static_cast<uint32_t>(headerWords + records.size() / 2));
  PutLe16(b, 1);  // objects
  PutLe32(b, 7);  // largest record, in words
  PutLe16(b, 0);
  b.insert(b.end(), records.begin(), records.end());
  return b;
}

Bytes PngClaimingSize(uint32_t width, uint32_t height) {
  // 8 bits, RGB; 16 zero bytes are far too little for the picture.
  return PngFile(width, height, 8, 2, Bytes(16, 0));
}

Bytes BilevelPng(uint32_t width, uint32_t height) {
  Bytes rows;
  const size_t rowBytes = (width + 7) / 8;
  rows.reserve((rowBytes + 1) * height);
  for (uint32_t y = 0; y < height; ++y) {
    rows.push_back(0);  // no filter
    rows.insert(rows.end(), rowBytes, y / 8 % 2 ? 0xF0 : 0x0F);
  }
  return PngFile(width, height, 1, 0, rows);
}

Bytes AviVideo(int width, int height, int frames) {
  const uint32_t rowBytes = static_cast<uint32_t>((width * 3 + 3) / 4 * 4);
  const uint32_t frameBytes = rowBytes * static_cast<uint32_t>(height);

  Bytes strl;
  PutTag(strl, "LIST");
  PutLe32(strl, 4 + 8 + 56 + 8 + 40);
  PutTag(strl, "strl");
  PutTag(strl, "strh");
  PutLe32(strl, 56);
  PutTag(strl, "vids");
  PutTag(strl, "DIB ");
  for (uint32_t v :
       {0u, 0u, 0u, 1u, 25u, 0u, static_cast<uint32_t>(frames), frameBytes, 0xFFFFFFFFu, 0u}) {
    PutLe32(strl, v);
  }
  PutLe16(strl, 0);
  PutLe16(strl, 0);
  PutLe16(strl, static_cast<uint32_t>(width));
  PutLe16(strl, static_cast<uint32_t>(height));
  PutTag(strl, "strf");
  PutLe32(strl, 40);
  for (uint32_t v : {40u, static_cast<uint32_t>(width), static_cast<uint32_t>(height)})
    PutLe32(strl, v);
  PutLe16(strl, 1);
  PutLe16(strl, 24);
  for (uint32_t v : {0u, frameBytes, 0u, 0u, 0u, 0u}) PutLe32(strl, v);

  Bytes hdrl;
  PutTag(hdrl, "LIST");
  PutLe32(hdrl, static_cast<uint32_t>(4 + 8 + 56 + strl.size()));
  PutTag(hdrl, "hdrl");
  PutTag(hdrl, "avih");
  PutLe32(hdrl, 56);
  for (uint32_t v :
       {40000u, frameBytes * 25, 0u, 0x10u, static_cast<uint32_t>(frames), 0u, 1u, frameBytes,
        static_cast<uint32_t>(width), static_cast<uint32_t>(height), 0u, 0u, 0u, 0u}) {
    PutLe32(hdrl, v);
  }
  hdrl.insert(hdrl.end(), strl.begin(), strl.end());

  Bytes movi;
  PutTag(movi, "LIST");
  PutLe32(movi, 0);  // set below
  PutTag(movi, "movi");
  Bytes index;
  for (int f = 0; f < frames; ++f) {
    PutTag(index, "00db");
    PutLe32(index, 0x10);  // key frame
    PutLe32(index, static_cast<uint32_t>(movi.size() - 8));
    PutLe32(index, frameBytes);
    PutTag(movi, "00db");
    PutLe32(movi, frameBytes);
    // Each frame one colour that changes from frame to frame.
    const uint8_t blue = static_cast<uint8_t>(f * 6);
    const uint8_t green = static_cast<uint8_t>(255 - f * 6);
    const uint8_t red = static_cast<uint8_t>((f * 50) & 0xFF);
    for (int y = 0; y < height; ++y) {
      for (int x = 0; x < width; ++x) movi.insert(movi.end(), {blue, green, red});
      movi.insert(movi.end(), rowBytes - width * 3, 0);
    }
  }
  SetLe32(movi, 4, static_cast<uint32_t>(movi.size() - 8));

  Bytes avi;
  PutTag(avi, "RIFF");
  PutLe32(avi, 0);
  PutTag(avi, "AVI ");
  avi.insert(avi.end(), hdrl.begin(), hdrl.end());
  avi.insert(avi.end(), movi.begin(), movi.end());
  PutTag(avi, "idx1");
  PutLe32(avi, static_cast<uint32_t>(index.size()));
  avi.insert(avi.end(), index.begin(), index.end());
  SetLe32(avi, 4, static_cast<uint32_t>(avi.size() - 8));
  return avi;
}

Bytes Truncated(const Bytes& bytes, size_t size) {
  return Bytes(bytes.begin(), bytes.begin() + std::min(size, bytes.size()));
}

Bytes BitFlipped(const Bytes& bytes, uint32_t seed, int count, size_t keep) {
  Bytes out = bytes;
  if (out.size() <= keep) return out;
  uint32_t state = seed * 2654435761u + 1;
  for (int i = 0; i < count; ++i) {
    state = state * 1103515245u + 12345u;
    const size_t at = keep + (state >> 8) % (out.size() - keep);
    out[at] ^= static_cast<uint8_t>(1u << ((state >> 4) & 7));
  }
  return out;
}

Bytes SettingsFile(const std::string& startPicture, int32_t lengthField, const Bytes& list) {
  Bytes b;
  PutLe32(b, 0);  // effect: the mosaic
  Bytes path(500, 0);
  std::memcpy(path.data(), startPicture.data(), std::min<size_t>(startPicture.size(), 499));
  b.insert(b.end(), path.begin(), path.end());
  const float hundred = 100.0f;
  uint32_t percent;
  std::memcpy(&percent, &hundred, 4);
  for (uint32_t v : {1u, 0u, 0u, 0u, 0u, percent, percent, 1u, 1u, 15u, 1u, 15u, 0u,
                     static_cast<uint32_t>(lengthField)}) {
    PutLe32(b, v);
  }
  PutLe32(b, static_cast<uint32_t>(lengthField));
  b.insert(b.end(), list.begin(), list.end());
  return b;
}

Bytes PictureListSlots(const std::vector<std::string>& paths) {
  Bytes b;
  for (const std::string& p : paths) {
    Bytes slot(300, 0);
    std::memcpy(slot.data(), p.data(), std::min<size_t>(p.size(), 299));
    b.insert(b.end(), slot.begin(), slot.end());
  }
  return b;
}

bool WriteBytes(const std::string& path, const Bytes& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(out);
}

Bytes ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace samples

// SPDX-FileCopyrightText: The Quillane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <set>
#include <vector>

#include <Magick++.h>

#include "imaging/imaging.h"
#include "imaging/test_bitmaps.h"
#include "support/test_support.h"

namespace {

using Bytes = std::vector<uint8_t>;

void WriteBytes(const std::string& path, const Bytes& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
}

Bytes ReadBytes(const std::string& path) {
  const std::string bytes = ReadFileBytes(path);
  return Bytes(bytes.begin(), bytes.end());
}

void PutWord(Bytes& b, uint16_t v) {
  b.push_back(static_cast<uint8_t>(v));
  b.push_back(static_cast<uint8_t>(v >> 8));
}
void PutLong(Bytes& b, uint32_t v) {
  PutWord(b, static_cast<uint16_t>(v));
  PutWord(b, static_cast<uint16_t>(v >> 16));
}

// The quartered test picture in any format ImageMagick writes, made without the program's code.
void WriteQuartered(const std::string& path, const std::string& format, int width, int height) {
  std::vector<uint8_t> rgb;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const TestColour c = QuarterColour(x >= width / 2, y >= height / 2);
      rgb.insert(rgb.end(), {c.red, c.green, c.blue});
    }
  }
  Magick::Image image(width, height, "RGB", Magick::CharPixel, rgb.data());
  image.magick(format);
  Magick::Blob blob;
  image.write(&blob);
  const auto* data = static_cast<const uint8_t*>(blob.data());
  WriteBytes(path, Bytes(data, data + blob.length()));
}

// Checks the middle of each quarter for its colour.
void ExpectQuartered(const ImgBitmap& bitmap, int tolerance) {
  ASSERT_EQ(bitmap.hasImage, 1);
  const int w = bitmap.width, h = bitmap.height;
  EXPECT_LE(ColourDistance(PixelAt(bitmap, w / 4, h / 4), QuarterColour(false, false)), tolerance);
  EXPECT_LE(ColourDistance(PixelAt(bitmap, 3 * w / 4, h / 4), QuarterColour(true, false)),
            tolerance);
  EXPECT_LE(ColourDistance(PixelAt(bitmap, w / 4, 3 * h / 4), QuarterColour(false, true)),
            tolerance);
  EXPECT_LE(ColourDistance(PixelAt(bitmap, 3 * w / 4, 3 * h / 4), QuarterColour(true, true)),
            tolerance);
}

// A Microsoft Paint picture: left half black, right half white, with a white square at the top
// left corner. Version 2 files are run-length encoded row by row.
constexpr int kMspWidth = 37, kMspHeight = 20;
bool MspPixelWhite(int x, int y) {
  return x >= kMspWidth / 2 || (x < 4 && y < 4);
}

Bytes MakeMsp(bool compressed) {
  const char* magic = compressed ? "LinS" : "DanM";
  Bytes file(magic, magic + 4);
  PutWord(file, kMspWidth);
  PutWord(file, kMspHeight);
  for (int i = 0; i < 4; ++i) PutWord(file, 1);  // aspect ratios
  PutWord(file, kMspWidth);                      // printer size
  PutWord(file, kMspHeight);
  for (int i = 0; i < 6; ++i) PutWord(file, 0);  // aspect corrections, checksum, padding
  const size_t rowBytes = (kMspWidth + 7) / 8;
  std::vector<Bytes> rows;
  for (int y = 0; y < kMspHeight; ++y) {
    Bytes row(rowBytes, 0);
    for (int x = 0; x < kMspWidth; ++x) {
      if (MspPixelWhite(x, y)) row[x / 8] |= static_cast<uint8_t>(0x80 >> (x % 8));
    }
    rows.push_back(row);
  }
  if (!compressed) {
    for (const Bytes& row : rows) file.insert(file.end(), row.begin(), row.end());
    return file;
  }
  std::vector<Bytes> encoded;
  for (const Bytes& row : rows) {
    // A run for the black bytes, then the rest as literal bytes.
    Bytes e;
    size_t black = 0;
    while (black < row.size() && row[black] == 0) ++black;
    if (black > 0) e.insert(e.end(), {0, static_cast<uint8_t>(black), 0});
    if (black < row.size()) {
      e.push_back(static_cast<uint8_t>(row.size() - black));
      e.insert(e.end(), row.begin() + static_cast<std::ptrdiff_t>(black), row.end());
    }
    encoded.push_back(e);
  }
  for (const Bytes& e : encoded) PutWord(file, static_cast<uint16_t>(e.size()));
  for (const Bytes& e : encoded) file.insert(file.end(), e.begin(), e.end());
  return file;
}

void ExpectMspPicture(const ImgBitmap& bitmap) {
  ASSERT_EQ(bitmap.width, kMspWidth);
  ASSERT_EQ(bitmap.height, kMspHeight);
  for (int y = 0; y < kMspHeight; ++y) {
    for (int x = 0; x < kMspWidth; ++x) {
      const uint8_t level = MspPixelWhite(x, y) ? 255 : 0;
      ASSERT_EQ(PixelAt(bitmap, x, y), (TestColour{level, level, level})) << x << "," << y;
    }
  }
}

// A MacPaint picture (576 x 720, one bit per pixel, set bits black, rows PackBits encoded):
// black on the left half of the top half and on the right half of the bottom half.
Bytes MakeMacPaint(bool macBinary) {
  Bytes file;
  if (macBinary) {
    Bytes header(128, 0);
    const char name[] = "picture";
    header[1] = sizeof name - 1;
    std::copy(name, name + sizeof name - 1, header.begin() + 2);
    std::copy_n("PNTGMPNT", 8, header.begin() + 65);
    file = header;
  }
  Bytes header(512, 0);
  header[3] = 2;  // version
  file.insert(file.end(), header.begin(), header.end());
  for (int y = 0; y < 720; ++y) {
    const uint8_t left = y < 360 ? 0xFF : 0x00;
    // Two runs of 36 equal bytes each: count byte 1 - 36 = -35.
    file.insert(file.end(), {0xDD, left, 0xDD, static_cast<uint8_t>(~left)});
  }
  return file;
}

// A placeable Windows metafile of 400 x 300 units: a white rectangle over all of it and a red one
// over the top left quarter.
Bytes MakeMetafile() {
  Bytes records;
  auto record = [&](uint16_t function, std::initializer_list<uint16_t> params) {
    PutLong(records, static_cast<uint32_t>(3 + params.size()));
    PutWord(records, function);
    for (uint16_t p : params) PutWord(records, p);
  };
  record(0x020B, {0, 0});                  // window origin
  record(0x020C, {300, 400});              // window extent: height, width
  record(0x02FC, {0, 0xFFFF, 0x00FF, 0});  // solid white brush (colour as two words), no hatch
  record(0x02FC, {0, 0x00FF, 0x0000, 0});  // solid red brush
  record(0x012D, {0});                     // white brush
  record(0x041B, {300, 400, 0, 0});        // rectangle: bottom, right, top, left
  record(0x012D, {1});                     // red brush
  record(0x041B, {150, 200, 0, 0});
  record(0x0000, {});  // end of file

  Bytes file;
  PutLong(file, 0x9AC6CDD7);
  const uint16_t placeable[] = {0, 0, 0, 400, 300, 96};
  for (uint16_t w : placeable) PutWord(file, w);
  PutLong(file, 0);
  uint16_t checksum = 0;
  for (size_t i = 0; i < file.size(); i += 2) {
    checksum ^= static_cast<uint16_t>(file[i] | (file[i + 1] << 8));
  }
  PutWord(file, checksum);
  PutWord(file, 1);      // memory metafile
  PutWord(file, 9);      // header words
  PutWord(file, 0x300);  // version
  PutLong(file, static_cast<uint32_t>(9 + records.size() / 2));
  PutWord(file, 2);  // objects
  PutLong(file, 7);  // largest record
  PutWord(file, 0);
  file.insert(file.end(), records.begin(), records.end());
  return file;
}

// PNG chunk CRC.
uint32_t Crc32(const uint8_t* data, size_t size) {
  uint32_t crc = 0xFFFFFFFF;
  for (size_t i = 0; i < size; ++i) {
    crc ^= data[i];
    for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320 & (0 - (crc & 1)));
  }
  return ~crc;
}

// A PNG whose header claims width x height and whose data is a few bytes of nothing.
Bytes MakeClaimingPng(uint32_t width, uint32_t height) {
  Bytes file = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  auto chunk = [&](const char* type, const Bytes& body) {
    for (int s = 24; s >= 0; s -= 8) file.push_back(static_cast<uint8_t>(body.size() >> s));
    Bytes typed(type, type + 4);
    typed.insert(typed.end(), body.begin(), body.end());
    file.insert(file.end(), typed.begin(), typed.end());
    const uint32_t crc = Crc32(typed.data(), typed.size());
    for (int s = 24; s >= 0; s -= 8) file.push_back(static_cast<uint8_t>(crc >> s));
  };
  Bytes ihdr;
  for (uint32_t v : {width, height}) {
    for (int s = 24; s >= 0; s -= 8) ihdr.push_back(static_cast<uint8_t>(v >> s));
  }
  ihdr.insert(ihdr.end(), {8, 2, 0, 0, 0});
  chunk("IHDR", ihdr);
  chunk("IDAT", {0x78, 0x9C, 0x03, 0x00, 0x00, 0x00, 0x00, 0x01});
  chunk("IEND", {});
  return file;
}

ImgBitmap Load(const std::string& path, int32_t hintWidth = 0, int32_t hintHeight = 0) {
  ImgBitmap bitmap;
  ImgInitHandle(&bitmap, 0, 0, 0);
  EXPECT_EQ(ImgLoadFile(path.c_str(), &bitmap, 0, 1, 0, hintWidth, hintHeight), 1) << path;
  return bitmap;
}

void ExpectLoadFails(const std::string& path) {
  ImgBitmap bitmap;
  EXPECT_EQ(ImgLoadFile(path.c_str(), &bitmap, 0, 1, 0), 0) << path;
  EXPECT_EQ(bitmap.hasImage, 0) << path;
}

}  // namespace

// Every format of the table that ImageMagick can write here, named by its usual ending; the
// others have tests of their own below.
TEST(PictureFiles, EveryFormatImageMagickWritesLoads) {
  ScratchFolder folder;
  const std::map<std::string, int> lossy = {{"JPEG", 40}, {"WEBP", 60}};
  const std::set<std::string> madeOtherwise = {"MSP", "WMF", "PCD", "MAC", "JP2"};
  int tried = 0;
  for (const PictureFormat& format : kPictureFormats) {
    if (madeOtherwise.count(format.coder) != 0) continue;
    SCOPED_TRACE(format.name);
    const std::string path = folder.File(std::string("a") + format.endings[0]);
    WriteQuartered(path, format.coder, 40, 30);
    ImgBitmap bitmap = Load(path);
    EXPECT_EQ(bitmap.width, 40);
    EXPECT_EQ(bitmap.height, 30);
    ExpectQuartered(bitmap, lossy.count(format.coder) != 0 ? lossy.at(format.coder) : 0);
    ++tried;
  }
  EXPECT_EQ(tried, 12);
}

TEST(PictureFiles, PhotoCdLoadsByItsExtension) {
  // A Photo CD image pack: the identification sector, then the picture at three sizes stored as
  // luma rows in pairs, each pair followed by its two chroma rows at half width. Only the
  // 768 x 512 base size at sector 96 is filled: bright on the left half, dark on the right.
  Bytes file(0x30000 + 768 * 512 * 3 / 2, 0);
  std::copy_n("PCD_IPI", 7, file.begin() + 0x800);
  for (int pair = 0; pair < 256; ++pair) {
    uint8_t* p = file.data() + 0x30000 + static_cast<size_t>(pair) * 768 * 3;
    for (int row = 0; row < 2; ++row) {
      for (int x = 0; x < 768; ++x) p[row * 768 + x] = x < 384 ? 180 : 40;
    }
    std::fill_n(p + 2 * 768, 384, 156);  // neutral chroma
    std::fill_n(p + 2 * 768 + 384, 384, 137);
  }
  ScratchFolder folder;
  const std::string path = folder.File("a.pcd");
  WriteBytes(path, file);
  ImgBitmap bitmap = Load(path);
  ASSERT_EQ(bitmap.width, 768);
  ASSERT_EQ(bitmap.height, 512);
  const TestColour left = PixelAt(bitmap, 100, 256), right = PixelAt(bitmap, 600, 256);
  EXPECT_GT(left.green, 150);
  EXPECT_LT(right.green, 80);
  EXPECT_LE(ColourDistance(left, {left.green, left.green, left.green}), 12);
}

TEST(PictureFiles, MicrosoftPaintBothVersions) {
  ScratchFolder folder;
  for (bool compressed : {false, true}) {
    SCOPED_TRACE(compressed);
    const std::string path = folder.File(compressed ? "v2.msp" : "v1.msp");
    WriteBytes(path, MakeMsp(compressed));
    ExpectMspPicture(Load(path));
  }
}

TEST(PictureFiles, DamagedMicrosoftPaintFilesFail) {
  ScratchFolder folder;
  for (bool compressed : {false, true}) {
    Bytes file = MakeMsp(compressed);
    file.resize(file.size() - 3);
    WriteBytes(folder.File("cut.msp"), file);
    ExpectLoadFails(folder.File("cut.msp"));
  }
  // A run longer than its row.
  Bytes file = MakeMsp(true);
  const size_t firstRow = 32 + 2 * kMspHeight;
  file[firstRow] = 200;
  WriteBytes(folder.File("overrun.msp"), file);
  ExpectLoadFails(folder.File("overrun.msp"));
  // A header claiming a picture far larger than the data.
  file = MakeMsp(false);
  file[4] = file[5] = file[6] = file[7] = 0xFF;
  WriteBytes(folder.File("huge.msp"), file);
  ExpectLoadFails(folder.File("huge.msp"));
}

TEST(PictureFiles, MacPaintWithAndWithoutMacBinaryHeader) {
  ScratchFolder folder;
  for (bool macBinary : {false, true}) {
    SCOPED_TRACE(macBinary);
    const std::string path = folder.File(macBinary ? "b.mac" : "a.mac");
    WriteBytes(path, MakeMacPaint(macBinary));
    ImgBitmap bitmap = Load(path);
    ASSERT_EQ(bitmap.width, 576);
    ASSERT_EQ(bitmap.height, 720);
    EXPECT_EQ(PixelAt(bitmap, 10, 10), (TestColour{0, 0, 0}));
    EXPECT_EQ(PixelAt(bitmap, 500, 10), (TestColour{255, 255, 255}));
    EXPECT_EQ(PixelAt(bitmap, 10, 700), (TestColour{255, 255, 255}));
    EXPECT_EQ(PixelAt(bitmap, 500, 700), (TestColour{0, 0, 0}));
  }
}

TEST(PictureFiles, WindowsMetafileIsRendered) {
  ScratchFolder folder;
  const std::string path = folder.File("drawing.wmf");
  WriteBytes(path, MakeMetafile());
  ImgBitmap bitmap = Load(path);
  ASSERT_GT(bitmap.width, 10);
  ASSERT_GT(bitmap.height, 10);
  EXPECT_NEAR(static_cast<double>(bitmap.width) / bitmap.height, 4.0 / 3.0, 0.1);
  EXPECT_LE(ColourDistance(PixelAt(bitmap, bitmap.width / 4, bitmap.height / 4), {255, 0, 0}), 8);
  EXPECT_LE(
      ColourDistance(PixelAt(bitmap, 3 * bitmap.width / 4, 3 * bitmap.height / 4), {255, 255, 255}),
      8);
}

TEST(PictureFiles, ContentDecidesOverTheExtension) {
  ScratchFolder folder;
  WriteQuartered(folder.File("really_png.jpg"), "PNG", 20, 20);
  ExpectQuartered(Load(folder.File("really_png.jpg")), 0);
  WriteQuartered(folder.File("really_bmp.tga"), "BMP", 20, 20);
  ExpectQuartered(Load(folder.File("really_bmp.tga")), 0);
  WriteQuartered(folder.File("no_extension"), "GIF", 20, 20);
  ExpectQuartered(Load(folder.File("no_extension")), 0);
}

TEST(PictureFiles, TransparencyShowsWhiteAndOnlyTheFirstFrameIsRead) {
  ScratchFolder folder;
  Magick::Image transparent(Magick::Geometry(8, 8), Magick::Color("transparent"));
  transparent.magick("PNG");
  transparent.write(folder.File("clear.png"));
  ImgBitmap bitmap = Load(folder.File("clear.png"));
  EXPECT_EQ(PixelAt(bitmap, 3, 3), (TestColour{255, 255, 255}));

  std::vector<Magick::Image> frames;
  frames.emplace_back(Magick::Geometry(10, 6), Magick::Color("red"));
  frames.emplace_back(Magick::Geometry(10, 6), Magick::Color("blue"));
  Magick::writeImages(frames.begin(), frames.end(), folder.File("two.gif"));
  bitmap = Load(folder.File("two.gif"));
  EXPECT_EQ(bitmap.width, 10);
  EXPECT_EQ(PixelAt(bitmap, 5, 3), (TestColour{255, 0, 0}));
}

TEST(PictureFiles, LongAnimationsLoadTheirFirstFrame) {
  ScratchFolder folder;
  std::vector<Magick::Image> frames;
  for (int i = 0; i < 100; ++i) {
    frames.emplace_back(Magick::Geometry(6, 4), Magick::Color(i == 0 ? "lime" : "blue"));
  }
  Magick::writeImages(frames.begin(), frames.end(), folder.File("long.gif"));
  ImgBitmap bitmap = Load(folder.File("long.gif"));
  EXPECT_EQ(PixelAt(bitmap, 2, 2), (TestColour{0, 255, 0}));
}

TEST(PictureFiles, GreyDeepAndPrintColoursBecomeOrdinaryColour) {
  ScratchFolder folder;
  Magick::Image grey(Magick::Geometry(8, 8), Magick::Color("rgb(100,100,100)"));
  grey.type(Magick::GrayscaleType);
  grey.magick("PNG");
  grey.write(folder.File("grey.png"));
  EXPECT_EQ(PixelAt(Load(folder.File("grey.png")), 4, 4), (TestColour{100, 100, 100}));

  Magick::Image deep(Magick::Geometry(8, 8), Magick::Color("rgb(200,50,0)"));
  deep.depth(16);
  deep.magick("PNG");
  deep.write(folder.File("deep.png"));
  EXPECT_EQ(PixelAt(Load(folder.File("deep.png")), 4, 4), (TestColour{200, 50, 0}));

  Magick::Image print(Magick::Geometry(16, 16), Magick::Color("rgb(0,0,255)"));
  print.colorSpace(Magick::CMYKColorspace);
  print.magick("JPEG");
  print.write(folder.File("print.jpg"));
  EXPECT_LE(ColourDistance(PixelAt(Load(folder.File("print.jpg")), 8, 8), {0, 0, 255}), 40);
}

TEST(PictureFiles, ExifOrientationIsTurnedUpright) {
  ScratchFolder folder;
  const std::string plain = folder.File("plain.jpg");
  WriteQuartered(plain, "JPEG", 40, 30);
  // Insert an EXIF block saying "rotate 90 degrees clockwise to view" (orientation 6).
  Bytes exif = {0xFF, 0xE1, 0,    0,    'E', 'x', 'i', 'f', 0, 0, 'I', 'I', 42, 0, 8, 0, 0, 0,
                1,    0,    0x12, 0x01, 3,   0,   1,   0,   0, 0, 6,   0,   0,  0, 0, 0, 0, 0};
  exif[3] = static_cast<uint8_t>(exif.size() - 2);
  Bytes jpeg = ReadBytes(plain);
  jpeg.insert(jpeg.begin() + 2, exif.begin(), exif.end());
  WriteBytes(folder.File("turned.jpg"), jpeg);
  ImgBitmap bitmap = Load(folder.File("turned.jpg"));
  ASSERT_EQ(bitmap.width, 30);
  ASSERT_EQ(bitmap.height, 40);
  // Turned clockwise: the stored top left (red) is now at the top right.
  EXPECT_LE(ColourDistance(PixelAt(bitmap, 22, 10), QuarterColour(false, false)), 40);
  EXPECT_LE(ColourDistance(PixelAt(bitmap, 7, 10), QuarterColour(false, true)), 40);
}

TEST(PictureFiles, ExifOrientationInTheExifDirectoryOrBehindAPrefixIsTurnedUpright) {
  ScratchFolder folder;
  const std::string plain = folder.File("plain.jpg");
  WriteQuartered(plain, "JPEG", 40, 30);
  // The first directory only points to the Exif directory, which says "rotate 90 degrees".
  const Bytes inSubDirectory = {'E',  'x',  'i', 'f', 0, 0, 'I', 'I', 42, 0, 8, 0, 0, 0, 1, 0, 0x69,
                                0x87, 4,    0,   1,   0, 0, 0,   26,  0,  0, 0, 0, 0, 0, 0, 1, 0,
                                0x12, 0x01, 3,   0,   1, 0, 0,   0,   6,  0, 0, 0, 0, 0, 0, 0};
  Bytes behindPrefix = {'X', 'Y', 0};
  behindPrefix.insert(behindPrefix.end(), inSubDirectory.begin(), inSubDirectory.end());
  for (const Bytes& block : {inSubDirectory, behindPrefix}) {
    Bytes jpeg = ReadBytes(plain);
    const Bytes marker = {0xFF, 0xE1, 0, static_cast<uint8_t>(block.size() + 2)};
    jpeg.insert(jpeg.begin() + 2, block.begin(), block.end());
    jpeg.insert(jpeg.begin() + 2, marker.begin(), marker.end());
    WriteBytes(folder.File("turned.jpg"), jpeg);
    Magick::Image magick(folder.File("turned.jpg"));
    magick.autoOrient();
    ImgBitmap bitmap = Load(folder.File("turned.jpg"));
    ASSERT_EQ(bitmap.width, static_cast<int32_t>(magick.columns()));
    ASSERT_EQ(bitmap.height, static_cast<int32_t>(magick.rows()));
    const Magick::ColorRGB corner = magick.pixelColor(bitmap.width - 5, 5);
    EXPECT_LE(ColourDistance(PixelAt(bitmap, bitmap.width - 5, 5),
                             {static_cast<uint8_t>(corner.red() * 255 + 0.5),
                              static_cast<uint8_t>(corner.green() * 255 + 0.5),
                              static_cast<uint8_t>(corner.blue() * 255 + 0.5)}),
              2);
  }
}

TEST(PictureFiles, SizeHintDecodesLargeJpegsAtAReducedScale) {
  ScratchFolder folder;
  const std::string big = folder.File("big.jpg");
  WriteQuartered(big, "JPEG", 640, 480);
  EXPECT_EQ(Load(big).width, 640);
  ImgBitmap eighth = Load(big, 64, 48);
  EXPECT_EQ(eighth.width, 80);
  EXPECT_EQ(eighth.height, 60);
  ExpectQuartered(eighth, 40);
  ImgBitmap quarter = Load(big, 150, 100);
  EXPECT_EQ(quarter.width, 160);
  // A picture less than twice the hint is decoded whole; other formats ignore the hint.
  const std::string small = folder.File("small.jpg");
  WriteQuartered(small, "JPEG", 100, 75);
  EXPECT_EQ(Load(small, 64, 48).width, 100);
  const std::string png = folder.File("big.png");
  WriteQuartered(png, "PNG", 640, 480);
  EXPECT_EQ(Load(png, 64, 48).width, 640);
}

TEST(PictureFiles, JpegsDecodeToImageMagicksPixels) {
  // Most JPEGs are decoded without ImageMagick; the pixels must be the ones it decodes, at every
  // reduced scale too, whatever the colour sampling, coding and colours of the file.
  ScratchFolder folder;
  std::vector<uint8_t> rgb;
  const int width = 203, height = 157;  // odd sizes: partial blocks at the edges
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const uint32_t h = (static_cast<uint32_t>(x) * 2654435761u) ^ (y * 40503u);
      rgb.insert(rgb.end(), {static_cast<uint8_t>(x + (h >> 28)), static_cast<uint8_t>(y * 3),
                             static_cast<uint8_t>((x * y) >> 4)});
    }
  }
  const struct {
    const char* name;
    const char* sampling;
    bool progressive;
    bool grey;
    int quality;
  } files[] = {{"s420.jpg", "2x2", false, false, 75},
               {"s444.jpg", "1x1", false, false, 92},
               {"s422.jpg", "2x1", true, false, 85},
               {"grey.jpg", "1x1", false, true, 90}};
  for (const auto& f : files) {
    const std::string path = folder.File(f.name);
    Magick::Image image(width, height, "RGB", Magick::CharPixel, rgb.data());
    image.quality(f.quality);
    image.defineValue("jpeg", "sampling-factor", f.sampling);
    if (f.progressive) image.interlaceType(Magick::PlaneInterlace);
    if (f.grey) image.type(Magick::GrayscaleType);
    image.write(path);
    for (int denominator : {1, 2, 4, 8}) {
      SCOPED_TRACE(testing::Message() << f.name << " at 1/" << denominator);
      Magick::Image reference;
      if (denominator > 1) {
        char size[64];
        std::snprintf(size, sizeof size, "%.4fx%.4f", width / double(denominator) * 0.9999,
                      height / double(denominator) * 0.9999);
        reference.defineValue("jpeg", "size", size);
      }
      reference.read(path);
      ImgBitmap expected;
      ImgCreate(&expected, 1, static_cast<int>(reference.columns()),
                static_cast<int>(reference.rows()), 24);
      for (int y = 0; y < expected.height; ++y) {
        reference.write(0, y, reference.columns(), 1, "BGR", Magick::CharPixel, expected.Row(y));
      }
      const ImgBitmap loaded =
          denominator > 1 ? Load(path, width / denominator, height / denominator) : Load(path);
      EXPECT_TRUE(SamePixels(loaded, expected));
    }
  }
}

TEST(PictureFiles, BadFilesFailCleanly) {
  ScratchFolder folder;
  ExpectLoadFails(folder.File("missing.jpg"));
  ExpectLoadFails(folder.Path());
  ExpectLoadFails("");
  WriteBytes(folder.File("empty.jpg"), {});
  ExpectLoadFails(folder.File("empty.jpg"));

  const std::string text = folder.File("text.png");
  std::ofstream(text) << "This is a letter, not a picture.\n";
  ExpectLoadFails(text);

  std::mt19937 random(11);
  Bytes noise(5000);
  for (auto& b : noise) b = static_cast<uint8_t>(random());
  noise[0] = 0x12;  // no accidental signature
  for (const char* name : {"noise.cmp", "noise.jpg", "noise.tga", "noise.pct", "noise.mac"}) {
    WriteBytes(folder.File(name), noise);
    ImgBitmap bitmap;
    // Formats without a signature may decode noise as a noisy picture, but never crash.
    const int loaded = ImgLoadFile(folder.File(name).c_str(), &bitmap, 0, 1, 0);
    if (std::string(name) == "noise.cmp" || std::string(name) == "noise.jpg") {
      EXPECT_EQ(loaded, 0) << name;
    }
  }

  // Truncated and corrupted JPEG and PNG files.
  WriteQuartered(folder.File("whole.jpg"), "JPEG", 120, 90);
  WriteQuartered(folder.File("whole.png"), "PNG", 120, 90);
  for (const char* name : {"whole.jpg", "whole.png"}) {
    Bytes bytes = ReadBytes(folder.File(name));
    Bytes cut(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(bytes.size() / 2));
    WriteBytes(folder.File("cut"), cut);
    ExpectLoadFails(folder.File("cut"));
    for (size_t i = bytes.size() / 3; i < bytes.size() - 2; ++i)
      bytes[i] = static_cast<uint8_t>(random());
    WriteBytes(folder.File("corrupt"), bytes);
    ExpectLoadFails(folder.File("corrupt"));
  }
}

TEST(PictureFiles, AbsurdSizesFailWithoutTakingTheMemory) {
  ScratchFolder folder;
  // Past a side's limit, and within each side's limit but over 100 megapixels.
  WriteBytes(folder.File("claims.png"), MakeClaimingPng(100000, 100000));
  WriteBytes(folder.File("wide.png"), MakeClaimingPng(12000, 9000));
  for (const char* name : {"claims.png", "wide.png"}) {
    ExpectLoadFails(folder.File(name));
    ImgBitmap bitmap;
    PictureProblem problem = PictureProblem::kNone;
    EXPECT_EQ(ImgLoadPictureFile(folder.File(name).c_str(), &bitmap, &problem), 0);
    EXPECT_EQ(problem, PictureProblem::kTooLarge) << name;
  }

  Bytes bmp = {'B', 'M'};
  PutLong(bmp, 54 + 12);
  PutLong(bmp, 0);
  PutLong(bmp, 54);
  PutLong(bmp, 40);
  PutLong(bmp, 100000);
  PutLong(bmp, 100000);
  PutWord(bmp, 1);
  PutWord(bmp, 24);
  for (int i = 0; i < 6; ++i) PutLong(bmp, 0);
  bmp.resize(bmp.size() + 12, 0x40);
  WriteBytes(folder.File("claims.bmp"), bmp);
  ExpectLoadFails(folder.File("claims.bmp"));
}

TEST(PictureFiles, LoadingReplacesWhatTheRecordHeld) {
  ScratchFolder folder;
  WriteQuartered(folder.File("a.png"), "PNG", 12, 10);
  ImgBitmap bitmap = MakeFilled(3, 3, {1, 1, 1});
  ASSERT_EQ(ImgLoadFile(folder.File("a.png").c_str(), &bitmap, 0, 1, 0), 1);
  EXPECT_EQ(bitmap.width, 12);
  ExpectQuartered(bitmap, 0);
  // A failed load leaves the record as it was.
  EXPECT_EQ(ImgLoadFile(folder.File("missing.png").c_str(), &bitmap, 0, 1, 0), 0);
  EXPECT_EQ(bitmap.width, 12);
}

TEST(PictureFiles, DamagedFilesOfEveryFormatNeverCrash) {
  ScratchFolder folder;
  std::vector<std::pair<std::string, Bytes>> originals;
  for (const auto& [name, format] :
       std::vector<std::pair<std::string, std::string>>{{"a.jpg", "JPEG"},
                                                        {"a.bmp", "BMP"},
                                                        {"a.tga", "TGA"},
                                                        {"a.tif", "TIFF"},
                                                        {"a.png", "PNG"},
                                                        {"a.pct", "PICT"},
                                                        {"a.pcx", "PCX"},
                                                        {"a.psd", "PSD"},
                                                        {"a.ras", "SUN"},
                                                        {"a.gif", "GIF"},
                                                        {"a.webp", "WEBP"}}) {
    WriteQuartered(folder.File(name), format, 24, 18);
    originals.emplace_back(name, ReadBytes(folder.File(name)));
  }
  originals.emplace_back("a.msp", MakeMsp(true));
  originals.emplace_back("b.msp", MakeMsp(false));
  originals.emplace_back("a.wmf", MakeMetafile());
  originals.emplace_back("a.mac", MakeMacPaint(false));

  std::mt19937 random(3);
  for (const auto& [name, original] : originals) {
    SCOPED_TRACE(name);
    for (int round = 0; round < 12; ++round) {
      Bytes damaged = original;
      if (round % 3 == 0) {
        damaged.resize(random() % damaged.size());
      } else {
        // Damage a few bytes, most often in the header where sizes and offsets live.
        const int hits = 1 + static_cast<int>(random() % 6);
        for (int h = 0; h < hits; ++h) {
          const size_t range =
              round % 3 == 1 ? std::min<size_t>(64, damaged.size()) : damaged.size();
          damaged[random() % range] = static_cast<uint8_t>(random());
        }
      }
      const std::string path = folder.File("damaged-" + name);
      WriteBytes(path, damaged);
      ImgBitmap bitmap;
      if (ImgLoadFile(path.c_str(), &bitmap, 0, 1, 0) == 1) {
        // Whatever was decoded is a whole, consistent picture.
        ASSERT_GT(bitmap.width, 0);
        ASSERT_GT(bitmap.height, 0);
        ASSERT_LE(static_cast<int64_t>(bitmap.width) * bitmap.height, kMaxPicturePixels);
        ASSERT_GE(bitmap.dib.Size(), 40 + static_cast<size_t>(bitmap.Stride()) * bitmap.height);
      } else {
        EXPECT_EQ(bitmap.hasImage, 0);
      }
    }
  }
}

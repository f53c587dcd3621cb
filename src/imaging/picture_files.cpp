// SPDX-FileCopyrightText: The Quillane developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Loading picture files. The decoder is chosen from the file's content where the format has a
// signature, and from the extension only for the formats that have none; anything else is
// refused, so that no file can reach one of ImageMagick's many other coders.

#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "imaging/imaging.h"
#include "imaging/jpeg_codec.h"
#include "imaging/magick_images.h"
#include "imaging/msp_reader.h"
#include "imaging/png_codec.h"
#include "imaging/resource_limits.h"
#include "imaging/tiff_codec.h"

namespace {

// Larger files are refused before they are read: even the largest picture the program takes
// does not need this much.
constexpr uint64_t kMaxFileBytes = 512ull * 1024 * 1024;

// ImageMagick reads MacPaint files with the 128-byte MacBinary header that Macintosh files
// carry when copied to other systems. A bare MacPaint file gets an empty header put in front.
void WithMacBinaryHeader(std::vector<uint8_t>* data) {
  const bool hasHeader = data->size() > 128 + 512 && (*data)[0] == 0 && (*data)[1] >= 1 &&
                         (*data)[1] <= 63 && std::memcmp(data->data() + 65, "PNTG", 4) == 0;
  if (!hasHeader) data->insert(data->begin(), 128, 0);
}

bool ReadWholeFile(const char* path, std::vector<uint8_t>* data, PictureProblem* problem) {
  struct stat info {};
  if (::stat(path, &info) != 0 || !S_ISREG(info.st_mode)) return false;
  std::FILE* file = std::fopen(path, "rb");
  if (file == nullptr) {
    if (errno == EACCES || errno == EPERM) *problem = PictureProblem::kUnreadable;
    return false;
  }
  if (info.st_size <= 0 || static_cast<uint64_t>(info.st_size) > kMaxFileBytes) {
    if (info.st_size > 0) *problem = PictureProblem::kTooLarge;
    std::fclose(file);
    return false;
  }
  data->resize(static_cast<size_t>(info.st_size));
  const size_t got = std::fread(data->data(), 1, data->size(), file);
  std::fclose(file);
  data->resize(got);
  return got > 0;
}

// The largest of 8, 4 and 2 by which a JPEG of width x height can be divided and still cover the
// hint, whichever way round the picture turns out to be; 1 without a hint.
int JpegScaleDenominator(size_t width, size_t height, int32_t hintWidth, int32_t hintHeight) {
  if (hintWidth <= 0 || hintHeight <= 0) return 1;
  const size_t pictureShort = std::min(width, height), pictureLong = std::max(width, height);
  const size_t hintShort = static_cast<size_t>(std::min(hintWidth, hintHeight));
  const size_t hintLong = static_cast<size_t>(std::max(hintWidth, hintHeight));
  for (int denominator : {8, 4, 2}) {
    if (pictureShort / denominator >= hintShort && pictureLong / denominator >= hintLong) {
      return denominator;
    }
  }
  return 1;
}

}  // namespace

namespace imaging_internal {

bool DecodeWithMagick(const std::vector<uint8_t>& data, const std::string& format,
                      int32_t hintWidth, int32_t hintHeight, ImgBitmap* bitmap,
                      PictureProblem* problem) {
  // Most JPEG files are decoded straight into the 24-bit bitmap, to the same pixels, before
  // ImageMagick is asked anything: only the program's own limits on a bitmap apply to them, and
  // a JPEG decoded at a reduced scale is judged by that size.
  int denominator = 1;
  DirectDecode direct = DirectDecode::kNotHandled;
  if (format == "JPEG") {
    size_t width = 0, height = 0;
    direct = ReadJpegSize(data.data(), data.size(), &width, &height);
    denominator = JpegScaleDenominator(width, height, hintWidth, hintHeight);
    const auto side = [&](size_t s) {
      return static_cast<int64_t>((s + denominator - 1) / denominator);
    };
    if (direct == DirectDecode::kTooLarge ||
        (direct == DirectDecode::kDecoded && !WithinProgramLimits(side(width), side(height)))) {
      *problem = PictureProblem::kTooLarge;
      return false;
    }
    if (direct == DirectDecode::kDecoded) {
      direct = DecodeJpeg(data.data(), data.size(), denominator, bitmap);
      if (direct == DirectDecode::kDecoded) return true;
    }
  }

  imaging_internal::EnsureMagickReady();
  const Magick::Blob blob(data.data(), data.size());
  // The size first: a header may claim a picture far larger than the program will hold.
  Magick::Image probe;
  probe.magick(format);
  probe.subRange(1);
  try {
    probe.ping(blob);
  } catch (const Magick::Warning&) {
  }
  const auto decodedSide = [&](size_t side) {
    return static_cast<int64_t>((side + denominator - 1) / denominator);
  };
  // ImageMagick has to hold the others. A damaged JPEG too large for it is damaged, not too
  // large: the program's own limits took it.
  if (probe.columns() > 0 && probe.rows() > 0 &&
      !WithinPictureLimits(decodedSide(probe.columns()), decodedSide(probe.rows()))) {
    if (direct != DirectDecode::kDamaged) *problem = PictureProblem::kTooLarge;
    return false;
  }

  Magick::Image image;
  image.magick(format);
  // Photo CD files hold the picture at several sizes, and a scene range would pick the smallest.
  if (format != "PCD") image.subRange(1);
  if (format == "JPEG") {
    if (denominator > 1) {
      // libjpeg's DCT scaling: ImageMagick divides the picture's size by the size asked for and
      // truncates, so ask for a hair less than the exact fraction.
      char size[64];
      std::snprintf(size, sizeof size, "%.4fx%.4f",
                    static_cast<double>(probe.columns()) / denominator * 0.9999,
                    static_cast<double>(probe.rows()) / denominator * 0.9999);
      image.defineValue("jpeg", "size", size);
    }
  }
  try {
    image.read(blob);
  } catch (const Magick::WarningCorruptImage&) {
    return false;
  } catch (const Magick::Warning&) {
  }
  if (!WithinPictureLimits(static_cast<int64_t>(image.columns()),
                           static_cast<int64_t>(image.rows()))) {
    return false;
  }

  // Pictures from cameras are stored as the sensor saw them and carry the turn that shows them
  // upright. Other formats use the orientation field for their row order, already applied.
  if (format == "JPEG" || format == "TIFF" || format == "PNG" || format == "WEBP") {
    image.autoOrient();
  }
  if (image.colorSpace() != Magick::sRGBColorspace &&
      image.colorSpace() != Magick::GRAYColorspace && image.colorSpace() != Magick::RGBColorspace) {
    image.colorSpace(Magick::sRGBColorspace);
  }
  if (image.matte()) {
    // Transparent parts show the white of a page.
    image.backgroundColor(Magick::Color("white"));
    image.alphaChannel(Magick::RemoveAlphaChannel);
  }
  return imaging_internal::BitmapFromImage(image, bitmap);
}

}  // namespace imaging_internal

namespace {

// PNG and TIFF files are decoded straight into the bitmap, to the same pixels, unless the
// decoder leaves the file to ImageMagick; ImageMagick reads the other formats.
bool DecodePicture(const std::vector<uint8_t>& data, const PictureFormat& format, int32_t hintWidth,
                   int32_t hintHeight, ImgBitmap* bitmap, PictureProblem* problem) {
  using imaging_internal::DirectDecode;
  DirectDecode (*const direct)(const uint8_t*, size_t, ImgBitmap*) =
      format.decoder == FormatDecoder::kPng    ? imaging_internal::DecodePng
      : format.decoder == FormatDecoder::kTiff ? imaging_internal::DecodeTiff
                                               : nullptr;
  if (direct != nullptr) {
    switch (direct(data.data(), data.size(), bitmap)) {
      case DirectDecode::kDecoded:
        return true;
      case DirectDecode::kTooLarge:
        *problem = PictureProblem::kTooLarge;
        return false;
      case DirectDecode::kNotHandled:
      case DirectDecode::kDamaged:
        break;
    }
  }
  return imaging_internal::DecodeWithMagick(data, format.coder, hintWidth, hintHeight, bitmap,
                                            problem);
}

}  // namespace

int ImgLoadFile(const char* path, ImgBitmap* bitmap, int, int, int, int32_t hintWidth,
                int32_t hintHeight) {
  return ImgLoadPictureFile(path, bitmap, nullptr, hintWidth, hintHeight);
}

int ImgLoadPictureFile(const char* path, ImgBitmap* bitmap, PictureProblem* why, int32_t hintWidth,
                       int32_t hintHeight) {
  PictureProblem unused;
  PictureProblem& problem = why != nullptr ? *why : unused;
  problem = PictureProblem::kNotRecognized;
  if (path == nullptr || *path == '\0' || bitmap == nullptr) return 0;
  try {
    std::vector<uint8_t> data;
    if (!ReadWholeFile(path, &data, &problem)) return 0;
    ImgBitmap loaded;
    const PictureFormat* format = FormatOfFile(data.data(), data.size(), path);
    if (format == nullptr) return 0;
    if (format->decoder == FormatDecoder::kMsp) {
      int32_t width = 0, height = 0;
      if (imaging_internal::MspDeclaredSize(data.data(), data.size(), &width, &height) &&
          !WithinPictureLimits(width, height)) {
        problem = PictureProblem::kTooLarge;
        return 0;
      }
      if (!imaging_internal::ReadMsp(data.data(), data.size(), &loaded)) return 0;
    } else {
      if (std::strcmp(format->coder, "MAC") == 0) WithMacBinaryHeader(&data);
      if (!DecodePicture(data, *format, hintWidth, hintHeight, &loaded, &problem)) return 0;
    }
    *bitmap = std::move(loaded);
    problem = PictureProblem::kNone;
    return 1;
  } catch (const Magick::ErrorResourceLimit&) {
    // ImageMagick's pixel memory cannot hold the picture.
    problem = PictureProblem::kTooLarge;
    return 0;
  } catch (const std::bad_alloc&) {
    problem = PictureProblem::kTooLarge;
    return 0;
  } catch (...) {
    return 0;
  }
}

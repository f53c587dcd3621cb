// SPDX-FileCopyrightText: The Quillane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "imaging/jpeg_codec.h"

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstring>

// jpeglib.h relies on <cstdio> being included first.
#include <jpeglib.h>
// After jpeglib.h, which it needs.
#include <jerror.h>

namespace imaging_internal {

namespace {

// libjpeg reports errors by calling error_exit, which must not return. When decoding, a
// warning (damaged data) ends the decoding the same way, since the picture would be partly grey.
struct JpegErrors {
  jpeg_error_mgr manager;
  std::jmp_buf jump;
};

[[noreturn]] void LeaveJpeg(j_common_ptr info) {
  std::longjmp(reinterpret_cast<JpegErrors*>(info->err)->jump, 1);
}

void LeaveOnWarning(j_common_ptr info, int level) {
  if (level < 0) LeaveJpeg(info);
}

void IgnoreMessage(j_common_ptr) {}

// Sets up the error handling of a compression or decompression record.
void Catch(jpeg_common_struct* info, JpegErrors* errors) {
  info->err = jpeg_std_error(&errors->manager);
  errors->manager.error_exit = LeaveJpeg;
  errors->manager.emit_message = LeaveOnWarning;
  errors->manager.output_message = IgnoreMessage;
}

uint32_t ReadNumber(const uint8_t* at, int bytes, bool bigEndian) {
  uint32_t value = 0;
  for (int i = 0; i < bytes; ++i) {
    value |= static_cast<uint32_t>(at[bigEndian ? i : bytes - 1 - i]) << (8 * (bytes - 1 - i));
  }
  return value;
}

// The orientation field of the directory at `directory` of an Exif block's TIFF data: 1 to 8,
// 0 when it has none, -1 when it cannot be read. *exifDirectory receives where the Exif
// sub-directory it points to starts, when it points to one.
int DirectoryOrientation(const uint8_t* tiff, size_t tiffSize, uint32_t directory, bool bigEndian,
                         uint32_t* exifDirectory) {
  if (directory > tiffSize || tiffSize - directory < 2) return -1;
  const uint32_t entries = ReadNumber(tiff + directory, 2, bigEndian);
  if ((tiffSize - directory - 2) / 12 < entries) return -1;
  int orientation = 0;
  for (uint32_t i = 0; i < entries; ++i) {
    const uint8_t* entry = tiff + directory + 2 + 12 * i;
    const uint32_t tag = ReadNumber(entry, 2, bigEndian);
    if (tag == 0x8769 && exifDirectory != nullptr) {
      *exifDirectory = ReadNumber(entry + 8, 4, bigEndian);
      continue;
    }
    if (tag != 0x0112) continue;
    if (ReadNumber(entry + 2, 2, bigEndian) != 3 || ReadNumber(entry + 4, 4, bigEndian) != 1) {
      return -1;
    }
    const uint32_t value = ReadNumber(entry + 8, 2, bigEndian);
    if (value < 1 || value > 8) return -1;
    orientation = static_cast<int>(value);
  }
  return orientation;
}

// The orientation of an Exif block: 1 to 8, 0 when the block has none, -1 when the block
// cannot be read or holds orientations in both its first directory and its Exif directory
// that disagree (which one ImageMagick takes is its own affair: such files go to it).
int ExifOrientation(const uint8_t* data, size_t size) {
  if (size < 14 || std::memcmp(data, "Exif\0\0", 6) != 0) return -1;
  const uint8_t* tiff = data + 6;
  const size_t tiffSize = size - 6;
  bool bigEndian;
  if (std::memcmp(tiff, "MM\0*", 4) == 0) {
    bigEndian = true;
  } else if (std::memcmp(tiff, "II*\0", 4) == 0) {
    bigEndian = false;
  } else {
    return -1;
  }
  uint32_t exifDirectory = 0;
  const int first = DirectoryOrientation(tiff, tiffSize, ReadNumber(tiff + 4, 4, bigEndian),
                                         bigEndian, &exifDirectory);
  if (first < 0 || exifDirectory == 0) return first;
  const int inExif = DirectoryOrientation(tiff, tiffSize, exifDirectory, bigEndian, nullptr);
  if (inExif < 0 || (first != 0 && inExif != 0 && first != inExif)) return -1;
  return first != 0 ? first : inExif;
}

constexpr uint8_t kExifHeader[6] = {'E', 'x', 'i', 'f', 0, 0};

// True when the picture is stored upright: no Exif block, or one whose orientation is 1.
bool StoredUpright(const jpeg_decompress_struct& info) {
  int exifBlocks = 0;
  for (jpeg_saved_marker_ptr m = info.marker_list; m != nullptr; m = m->next) {
    if (m->marker != JPEG_APP0 + 1) continue;
    if (m->data_length < 6 || std::memcmp(m->data, "Exif\0\0", 6) != 0) {
      // An Exif header further in, behind a prefix, is still read by ImageMagick: such a block
      // goes to it. Other blocks (XMP, ...) say nothing of the orientation.
      const uint8_t* begin = m->data;
      const uint8_t* end = begin + m->data_length;
      if (std::search(begin, end, kExifHeader, kExifHeader + 6) != end) return false;
      continue;
    }
    if (++exifBlocks > 1) return false;
    const int orientation = ExifOrientation(m->data, m->data_length);
    if (orientation != 0 && orientation != 1) return false;
  }
  return true;
}

// Every libjpeg call, under the jump target; the records live in the caller, so that they are
// intact when a jump comes back here.
DirectDecode Decode(jpeg_decompress_struct& info, JpegErrors& errors, const uint8_t* data,
                    size_t size, int denominator, ImgBitmap* picture) {
  // Damage found once the picture is being decoded is told apart from a layout left to
  // ImageMagick: a damaged picture is no larger for being damaged.
  volatile bool decoding = false;
  if (setjmp(errors.jump) != 0) {
    return decoding ? DirectDecode::kDamaged : DirectDecode::kNotHandled;
  }
  jpeg_create_decompress(&info);
  jpeg_mem_src(&info, data, static_cast<unsigned long>(size));
  jpeg_save_markers(&info, JPEG_APP0 + 1, 0xFFFF);
  jpeg_read_header(&info, TRUE);
  const bool colours = info.jpeg_color_space == JCS_YCbCr || info.jpeg_color_space == JCS_RGB ||
                       info.jpeg_color_space == JCS_GRAYSCALE;
  if (!colours || !StoredUpright(info)) return DirectDecode::kNotHandled;
  info.out_color_space = JCS_EXT_BGR;
  info.scale_num = 1;
  info.scale_denom = static_cast<unsigned int>(denominator);
  jpeg_calc_output_dimensions(&info);
  if (!WithinProgramLimits(info.output_width, info.output_height) ||
      ImgCreate(picture, 1, static_cast<int32_t>(info.output_width),
                static_cast<int32_t>(info.output_height), 24) != 1) {
    return DirectDecode::kNotHandled;
  }
  decoding = true;
  jpeg_start_decompress(&info);
  while (info.output_scanline < info.output_height) {
    JSAMPROW row = picture->Row(static_cast<int32_t>(info.output_scanline));
    jpeg_read_scanlines(&info, &row, 1);
  }
  jpeg_finish_decompress(&info);
  return DirectDecode::kDecoded;
}

// Quality 92 with full-resolution colour, the accurate integer transform and optimised Huffman
// tables: the settings of the program's earlier JPEG writer, so that a painting gives the same
// file as before. Every libjpeg call runs under the jump target, as in Decode.
bool Encode(jpeg_compress_struct& info, JpegErrors& errors, std::FILE* file,
            const ImgBitmap& bitmap) {
  if (setjmp(errors.jump) != 0) return false;
  jpeg_create_compress(&info);
  jpeg_stdio_dest(&info, file);
  info.image_width = static_cast<JDIMENSION>(bitmap.width);
  info.image_height = static_cast<JDIMENSION>(bitmap.height);
  info.input_components = 3;
  info.in_color_space = JCS_EXT_BGR;
  jpeg_set_defaults(&info);
  jpeg_set_quality(&info, 92, TRUE);
  for (int i = 0; i < info.num_components; ++i) {
    info.comp_info[i].h_samp_factor = 1;
    info.comp_info[i].v_samp_factor = 1;
  }
  info.optimize_coding = TRUE;
  info.dct_method = JDCT_ISLOW;
  jpeg_start_compress(&info, TRUE);
  while (info.next_scanline < info.image_height) {
    JSAMPROW row = bitmap.Row(static_cast<int32_t>(info.next_scanline));
    jpeg_write_scanlines(&info, &row, 1);
  }
  jpeg_finish_compress(&info);
  return true;
}

}  // namespace

DirectDecode DecodeJpeg(const uint8_t* data, size_t size, int denominator, ImgBitmap* bitmap) {
  jpeg_decompress_struct info;
  std::memset(&info, 0, sizeof info);
  JpegErrors errors;
  Catch(reinterpret_cast<jpeg_common_struct*>(&info), &errors);
  ImgBitmap picture;
  const DirectDecode result = Decode(info, errors, data, size, denominator, &picture);
  jpeg_destroy_decompress(&info);
  if (result == DirectDecode::kDecoded) *bitmap = std::move(picture);
  return result;
}

DirectDecode ReadJpegSize(const uint8_t* data, size_t size, size_t* width, size_t* height) {
  jpeg_decompress_struct info;
  std::memset(&info, 0, sizeof info);
  JpegErrors errors;
  Catch(reinterpret_cast<jpeg_common_struct*>(&info), &errors);
  DirectDecode result = DirectDecode::kNotHandled;
  if (setjmp(errors.jump) == 0) {
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, data, static_cast<unsigned long>(size));
    jpeg_read_header(&info, TRUE);
    result = DirectDecode::kDecoded;
  } else if (errors.manager.msg_code == JERR_IMAGE_TOO_BIG) {
    // The frame header was read: its size is what the file claims.
    result = DirectDecode::kTooLarge;
  }
  *width = info.image_width;
  *height = info.image_height;
  jpeg_destroy_decompress(&info);
  return result;
}

bool WriteJpeg(std::FILE* file, const ImgBitmap& bitmap) {
  jpeg_compress_struct info;
  std::memset(&info, 0, sizeof info);
  JpegErrors errors;
  Catch(reinterpret_cast<jpeg_common_struct*>(&info), &errors);
  const bool written = Encode(info, errors, file, bitmap);
  jpeg_destroy_compress(&info);
  return written;
}

}  // namespace imaging_internal

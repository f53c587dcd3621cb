// SPDX-FileCopyrightText: The Quillane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

// Makers of small files for the bad-input suite and the fuzzers' seed corpora: good pictures in
// every format the program reads, an AVI file, settings files, and damaged variants of all of
// them. Everything is built in memory; WriteBytes puts it on disk.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

using Bytes = std::vector<uint8_t>;

namespace samples {

// Ways of EncodedPicture, to be combined: interlaced where the format can be; most significant
// byte first where the format has a choice (TIFF).
constexpr unsigned kInterlaced = 1, kBigEndian = 2;
// A colourful w x h picture encoded by ImageMagick in `format` ("PNG", "JPEG", "TIFF", "TIFF64",
// "PSD", "BMP3", "TGA", "PCX", "SUN", "PICT", ...). Empty when the format cannot be written here.
Bytes EncodedPicture(const std::string& format, int width, int height, unsigned ways = 0);

// The JPEG of EncodedPicture with an Exif block right after its start marker: `prefix`, then
// "Exif\0\0" and a TIFF structure whose orientation field says 6 (turn clockwise to view), in its
// first directory or in the Exif directory (tag 0x8769) that the first one points to.
Bytes ExifJpeg(int width, int height, const std::string& prefix, bool inExifDirectory);
// The JPEG with the size its frame header declares replaced; its data no longer fits.
Bytes JpegClaimingSize(Bytes jpeg, uint16_t width, uint16_t height);
// A valid flat grey baseline JPEG of one channel, made without ImageMagick, so that it may be
// wider than ImageMagick takes; a few hundred bytes at any size.
Bytes GreyJpeg(int width, int height);

// A Microsoft Paint picture of w x h (1 bit per pixel): version 1 stores rows as they are,
// version 2 run-length encodes them behind a table of row sizes.
Bytes MspPicture(int width, int height, int version);
// A MacPaint picture (always 576 x 720, packed rows behind a 512-byte header).
Bytes MacPaintPicture();
// A placeable metafile drawing one filled rectangle.
Bytes MetafilePicture();
// A PNG whose header claims width x height but whose data holds only a few bytes.
Bytes PngClaimingSize(uint32_t width, uint32_t height);
// A 1-bit grey PNG of stripes, stored without compression: many pixels in a file of an eighth of
// a byte each, made in milliseconds.
Bytes BilevelPng(uint32_t width, uint32_t height);
// An uncompressed AVI of `frames` frames of w x h, 24 bits, each frame a different colour.
Bytes AviVideo(int width, int height, int frames);

// The first `size` bytes.
Bytes Truncated(const Bytes& bytes, size_t size);
// The bytes with `count` bits flipped at positions drawn from `seed`, sparing the first
// `keep` bytes (so that a format's signature survives and the decoder, not the sniffer, is hit).
Bytes BitFlipped(const Bytes& bytes, uint32_t seed, int count, size_t keep = 8);

// A settings file: the 560-byte record with the program's defaults and `startPicture`, then
// the list length and the given list bytes. `lengthField` is written as given, so a file may
// announce more or less than it holds.
Bytes SettingsFile(const std::string& startPicture, int32_t lengthField, const Bytes& list);
// List bytes of 300-byte slots holding the given paths.
Bytes PictureListSlots(const std::vector<std::string>& paths);

bool WriteBytes(const std::string& path, const Bytes& bytes);
Bytes ReadBytes(const std::string& path);

}  // namespace samples

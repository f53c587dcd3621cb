// SPDX-FileCopyrightText: The Quillane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

// What must hold after the program reads a file it did not write. Shared by the libFuzzer
// targets (which abort on a broken rule) and the bad-input suite (which replays the files the
// fuzzers once crashed on). Each check returns an empty string when everything held, else a
// description of the rule that broke.

#include <cstddef>
#include <cstdint>
#include <string>

struct ImgBitmap;

namespace inputcheck {

// A bitmap handed out by the library must be exactly what its fields say, and every byte of its
// pixels must be there (reading them all lets AddressSanitizer see a short block).
std::string CheckBitmap(const ImgBitmap& bitmap, const char* what);

// Makes a private scratch folder (once per process), points $XDG_CONFIG_HOME at it and returns
// it. Pictures and videos under test are written there too.
const std::string& ScratchFolder();

// Writes the bytes as the settings file, loads it, checks the record and the picture list, saves
// and loads again (the second load must give the same record and list), then frees the list.
std::string CheckSettingsBytes(const uint8_t* data, size_t size);

// The extensions the picture check writes its bytes under; the first byte of the input picks
// one (Microsoft Paint, our own reader, most often).
constexpr int kPictureExtensionCount = 16;
const char* PictureExtension(uint8_t selector);
// data[0] picks the extension (low four bits) and whether a size hint is given (bit 4); the
// rest is the file. A picture that loads must be a sane 24-bit bitmap whose every byte can be
// read.
std::string CheckPictureBytes(const uint8_t* data, size_t size);

// A Microsoft Paint file whose size sits around the picture limits: data[0] picks the version
// and, with data[1] and data[2], a width and a height from sides just below, at and above the
// limits (and a few small ones); the rest is the file after its header. A picture that loads
// must be sane and must go through ImageMagick (a resize) without ending the process.
std::string CheckMspSizeBytes(const uint8_t* data, size_t size);

// Writes the bytes as an .avi file, opens it and reads frames 0, 15, 30, ... (at most eight);
// every frame read must be a sane bitmap, and the handle closes cleanly.
std::string CheckVideoBytes(const uint8_t* data, size_t size);

}  // namespace inputcheck

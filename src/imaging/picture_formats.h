// SPDX-FileCopyrightText: The Quillane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The picture formats, one row each: the file endings that name them, what the open dialogs
// call them, and for the formats the program writes, the Save dialog's name and the renderer's.
// The loader, the writer, the dialogs and the renderer all read this table, so a new format is a
// new row here and its decoder or writer.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

// The formats a picture can be written in.
enum class SaveFormat { kNone, kPng, kJpeg, kBmp, kTiff };

// Which decoder reads a format: the program's own, tried first (a file it leaves goes to
// ImageMagick), or ImageMagick's coder alone.
enum class FormatDecoder { kImageMagick, kJpeg, kPng, kTiff, kMsp };

struct PictureFormat {
  const char* name;  // e.g. "JPEG"
  // Endings in lower case, the usual one first; any case names the format.
  std::array<const char*, 4> endings;
  // How the loader knows a file of this format: by its first bytes (null: it has no signature),
  // and when no format's bytes match, by its ending alone if knownByEnding.
  bool (*signature)(const uint8_t* data, size_t size);
  bool knownByEnding;
  const char* coder;  // ImageMagick's coder for it
  FormatDecoder decoder;
  int writtenEndings;  // how many of the first endings name a file to write; 0: read only
  SaveFormat writer;   // kNone: read only
  // The open dialogs' own entry for it; null: only in "All Pictures".
  const char* dialogLabel = nullptr;
  // The Save dialog's entry (the endings are added); null: not written.
  const char* saveLabel = nullptr;
  const char* cliName = nullptr;  // the renderer's --format name; null: not written
};

// Written formats first, in the order the Save dialog and the renderer offer them.
extern const PictureFormat kPictureFormats[17];

// The format of a file's content: the first whose signature matches, else the one its name's
// ending names among those known by their ending alone; null when neither.
const PictureFormat* FormatOfFile(const uint8_t* data, size_t size, const std::string& path);
// The format whose endings hold the file name's ending (any case); null for none.
const PictureFormat* FormatForName(const std::string& path);
// The format that writes files with the name's ending; kNone for any other ending or none.
SaveFormat SaveFormatForName(const std::string& path);
// The format the renderer's --format names, or null.
const PictureFormat* FormatForCliName(const std::string& name);

// "*.jpg;*.JPG;*.jpeg;..." for the format's endings in lower and upper case.
std::string FormatPatterns(const PictureFormat& format, char separator);
// The written endings as a list for a message: ".png, .jpg, .jpeg, .bmp, .tif or .tiff".
std::string WrittenEndingsText();
// The --format names as a list for a message: "png, jpg, bmp or tif".
std::string CliFormatNamesText();

// SPDX-FileCopyrightText: The Quillane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

// The open-file dialog behind '...' (start picture) and 'Add' (picture list).

#include <QStringList>
#include <cstdint>
#include <string>

class QWidget;

constexpr uint32_t OFN_ALLOWMULTISELECT = 0x00000200;

// What the caller fills before each ChooseFile call.
struct FileRequest {
  const char* title = nullptr;
  // In: a path whose folder is the starting folder and whose name is proposed.
  // Out: one full path; with several files chosen: the folder, NUL, each name and NUL, NUL.
  char* fileBuffer = nullptr;
  int32_t fileBufferSize = 0;
  QWidget* owner = nullptr;
  uint32_t extraFlags = 0;           // reset to 0 after each call
  const char* filterSpec = nullptr;  // "description|pattern|" pairs; reset after each call
  int32_t fileOffset = 0;            // out: offset of the first file name in fileBuffer
};

// Filter lists of the start picture dialog and of the picture list dialog, from the table of
// picture formats.
const char* StartPictureFilterSpec();
const char* PictureListFilterSpec();

// The kernel's live folders (/proc, /sys, /dev and below): a file dialog that lists one reads
// files that block or never end, so no dialog starts in one.
bool IsSystemFolder(const QString& folder);

// Runs the dialog, centred over mainWindowHandle. Non-zero when a file was chosen; 0 on cancel,
// with fileBuffer exactly as it was.
int ChooseFile(FileRequest* request);

// Tells the user that a chosen path does not fit a buffer of `bufferSize` characters.
void WarnNameTooLong(const std::string& path, int32_t bufferSize);

// Folder part (before the last '/' or ':', separator excluded) and name part of a path.
void SplitPath(const std::string& path, std::string* folder, std::string* name);

// "description|pattern|..." pairs followed by "All Files (*.*)|*.*|" as Qt name filters, each
// "description (patterns)", shown with the details hidden; "*.*" becomes "*".
QStringList FilterSpecToQtFilters(const char* filterSpec);

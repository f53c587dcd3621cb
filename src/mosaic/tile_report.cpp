// SPDX-FileCopyrightText: The Quillane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "mosaic/tile_report.h"

#include <cstdio>

#include "imaging/file_replacing.h"

namespace {

// A field as CSV: quoted, with its quotes doubled, when it holds a separator, a quote or a line
// break; as it is otherwise.
void AppendField(std::string* text, const std::string& field) {
  if (field.find_first_of(",\"\r\n") == std::string::npos) {
    *text += field;
    return;
  }
  *text += '"';
  for (const char c : field) {
    if (c == '"') *text += '"';
    *text += c;
  }
  *text += '"';
}

}  // namespace

std::string TileReportText(const TileAssignment& tiles) {
  std::string text = "column,row,left,top,width,height,source,frame\n";
  char numbers[96];
  for (const MosaicTile& tile : tiles) {
    std::snprintf(numbers, sizeof numbers, "%d,%d,%d,%d,%d,%d,", tile.column, tile.row, tile.left,
                  tile.top, tile.width, tile.height);
    text += numbers;
    AppendField(&text, tile.source);
    text += ',';
    if (tile.frame >= 0) text += std::to_string(tile.frame);
    text += '\n';
  }
  return text;
}

bool WriteTileReport(const std::string& path, const TileAssignment& tiles, std::string* problem) {
  const std::string text = TileReportText(tiles);
  return ReplaceFileWith(path, reinterpret_cast<const uint8_t*>(text.data()), text.size(), problem);
}

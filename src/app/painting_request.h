// SPDX-FileCopyrightText: The Quillane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The main window's choices as one painting request: the desktop program reads the Settings
// record here, once per painting, and hands the painting nothing else.

#include <string>

#include "app/settings.h"
#include "mosaic/mosaic_options.h"
#include "painting/render.h"

// The mosaic's tile sources and grid as the record holds them: the picture list, the two check
// boxes, the tile numbers and the stock library folder. No picture index.
MosaicOptions MosaicOptionsFromSettings(const Settings& record);

// The painting that `record` asks for: its effect, start picture, output size and mosaic
// options, with the picture index in `tileIndexFile` (empty for none). The seed is left unset:
// the program's generator gives it when the painting starts (NextPaintingSeed).
RenderRequest PaintingRequest(const Settings& record, const std::string& tileIndexFile);

// SPDX-FileCopyrightText: The Quillane developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The versions of the decoding and resizing libraries in use: pictures prepared and kept by one
// set of them may differ in their last bits from what another set makes.

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libswscale/swscale.h>
}

#include <string>

#include "imaging/imaging.h"
#include "imaging/magick_images.h"

std::string ImgLibraryVersions() {
  size_t magickVersion = 0;
  MagickCore::GetMagickVersion(&magickVersion);
  const char* quantum = MagickCore::GetMagickQuantumDepth(nullptr);
  return "magick " + std::to_string(magickVersion) + " " + (quantum ? quantum : "") +
         ", avformat " + std::to_string(avformat_version()) + ", avcodec " +
         std::to_string(avcodec_version()) + ", swscale " + std::to_string(swscale_version());
}

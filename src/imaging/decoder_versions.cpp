// SPDX-FileCopyrightText: The Quillane developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The versions of the decoding and resizing libraries in use: pictures prepared and kept by one
// set of them may differ in their last bits from what another set makes.

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libswscale/swscale.h>
}

#include <cstdio>
#include <string>

// jpeglib.h needs the size_t and FILE of the C headers before it.
#include <jpeglib.h>

#include "imaging/imaging.h"
#include "imaging/magick_images.h"

std::string ImgLibraryVersions() {
  size_t magickVersion = 0;
  MagickCore::GetMagickVersion(&magickVersion);
  const char* quantum = MagickCore::GetMagickQuantumDepth(nullptr);
  std::string versions = "magick " + std::to_string(magickVersion) + " " + (quantum ? quantum : "");
  versions += ", avformat " + std::to_string(avformat_version());
  versions += ", avcodec " + std::to_string(avcodec_version());
  versions += ", swscale " + std::to_string(swscale_version());
  // libjpeg tells its version only to the compiler.
  versions += ", jpeg " + std::to_string(JPEG_LIB_VERSION);
#if defined(LIBJPEG_TURBO_VERSION_NUMBER)
  versions += " turbo " + std::to_string(LIBJPEG_TURBO_VERSION_NUMBER);
#endif
  return versions;
}

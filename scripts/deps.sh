#!/usr/bin/env bash
# SPDX-FileCopyrightText: The Quillane developers
# SPDX-License-Identifier: GPL-3.0-or-later

# Installs the Debian packages that building, running and testing Quillane need.
# A machine that already has all of them installs nothing.
set -euo pipefail

PACKAGES=(
  # toolchain and build
  g++ cmake ninja-build pkg-config ccache
  # tests and benchmarks
  googletest libgtest-dev libgmock-dev libbenchmark-dev
  clang libclang-rt-14-dev
  reuse  # every file states its copyright and licence
  # pictures and video
  libmagick++-6.q16-dev libjpeg62-turbo-dev libpng-dev zlib1g-dev libtiff-dev libavformat-dev libavcodec-dev libswscale-dev libavutil-dev libavfilter-dev
  imagemagick ffmpeg
  # the index of prepared tile sources
  libsqlite3-dev
  metapixel  # the mosaic benchmark measures against it
  # the desktop program, its font, and a display for its tests and screenshots
  qt6-base-dev fonts-arphic-uming xvfb xauth
  qt6-translations-l10n  # Qt's own dialogs in Chinese
  libc-l10n  # the system's reasons (file errors) in Chinese
  # the message catalogues of the languages: made, merged and checked at build and test time
  gettext
  # packaging, and the checks of the package and of the desktop integration
  dpkg-dev file desktop-file-utils appstream lintian bash-completion
  # the GIMP filters, and GIMP to test them in
  libgimp2.0-dev gimp
  # the README's recipe for painting on several machines is tested with it
  parallel
  poppler-utils  # looking into printed PDFs: their pages, title and picture streams
)

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if ((${#missing[@]} == 0)); then
  exit 0
fi

echo "Installing: ${missing[*]}"
SUDO=()
if [[ $(id -u) -ne 0 ]]; then
  SUDO=(sudo)
fi
export DEBIAN_FRONTEND=noninteractive
"${SUDO[@]}" apt-get update -q
"${SUDO[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"

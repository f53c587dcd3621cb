# SPDX-FileCopyrightText: The Quillane developers
# SPDX-License-Identifier: GPL-3.0-or-later

# The common start of the benchmark scripts, sourced with the script's own arguments: runs from
# the top folder and finds quillane-cli in the build folder given first (default build/) and
# ImageMagick's convert for the comparisons and the pictures.
cd "$(dirname "${BASH_SOURCE[0]}")/.."
BUILD_DIR=${1:-build}
CLI="$BUILD_DIR/bin/quillane-cli"
CONVERT=/usr/bin/convert
[[ -x $CONVERT ]] || CONVERT=$(command -v convert)
[[ -x $CLI ]] || { echo "no $CLI: build the quillane-cli target first" >&2; exit 1; }

# A photograph-like JPEG of the given size, made once from the example picture (a synthetic one
# where that is missing) and kept: make_picture WIDTH HEIGHT FILE.
make_picture() {
  [[ -s $3 ]] && return
  local source="resources/Example Picture.jpg"
  if [[ -s $source ]]; then
    "$CONVERT" "$source" -resize "$1x$2^" -gravity center -extent "$1x$2" -quality 92 "$3"
  else
    "$CONVERT" -seed 11 -size "$(($1 / 4))x$(($2 / 4))" plasma:tomato-steelblue \
      -resize "$1x$2!" -quality 92 "$3"
  fi
}

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

# The folders of a run: PICTURES, where made pictures are kept between runs (BUILD_DIR/bench-pictures
# or the folder named in it), and WORK, removed at the end: bench_folders [FOLDER].
bench_folders() {
  PICTURES="$BUILD_DIR/bench-pictures${1:+/$1}"
  WORK=$(mktemp -d)
  trap 'rm -rf "$WORK"' EXIT
  mkdir -p "$PICTURES"
}

# Peak resident memory (MB, 10^6 bytes) and processor time (s) of one run of a command; when the
# command fails, its messages and its exit status.
peak_memory() {
  local status=0
  /usr/bin/time -f "%M %U %S" -o "$WORK/time" "$@" >/dev/null 2>"$WORK/err" || status=$?
  if ((status != 0)); then
    cat "$WORK/err" >&2
    return "$status"
  fi
  awk '{ printf "%.0f %.2f\n", $1 * 1024 / 1e6, $2 + $3 }' "$WORK/time"
}

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

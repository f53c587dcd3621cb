#!/usr/bin/env bash
# SPDX-FileCopyrightText: The Quillane developers
# SPDX-License-Identifier: GPL-3.0-or-later
#
# Peak resident memory and processor time of quillane-cli painting Black & White (the quickest
# style) from large PNG and TIFF start pictures, at their own size: 5000 x 5000 (which ImageMagick
# still holds under Debian's standard policy) and 8000 x 6000 (which it does not). A picture
# the renderer refuses shows its status instead of figures.
#
#   bench/start_picture_memory.sh [BUILD_DIR]
#
# Run it with the build folders of two versions to compare them; the pictures are made once
# and kept in BUILD_DIR/bench-pictures.
set -euo pipefail
source "$(dirname "$0")/bench_setup.sh"
bench_folders

printf '%-24s %9s %7s\n' "start picture" "peak MB" "cpu s"
for size in 5000x5000 8000x6000; do
  make_picture "${size%x*}" "${size#*x}" "$PICTURES/photo-$size.jpg"
  for format in png tif; do
    input="$PICTURES/photo-$size.$format"
    [[ -s $input ]] || "$CONVERT" "$PICTURES/photo-$size.jpg" "$input"
    if figures=$(peak_memory "$CLI" --quiet --seed 1 --effect black-and-white "$input" \
      "$WORK/out.jpg" 2>/dev/null); then
      read -r peak cpu <<<"$figures"
    else
      peak="status $?" cpu="-"
    fi
    printf '%-24s %9s %7s\n' "$(basename "$input")" "$peak" "$cpu"
  done
done

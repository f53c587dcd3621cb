#!/usr/bin/env bash
# SPDX-FileCopyrightText: The Quillane developers
# SPDX-License-Identifier: GPL-3.0-or-later
#
# Peak resident memory of whole quillane-cli runs at poster size, side by side with
# ImageMagick's "convert -paint 3" on the same picture, JPEG in and out:
#
#   - 8000 x 6000 from the example picture (1024 x 768, enlarged by the renderer) and from an
#     8000 x 6000 photograph, for every stroke style, Black & White and the mosaic (200 tiles
#     across, the stock library). Target: at most 10 bytes per output pixel plus 64 MB, that is
#     544 MB (10^6 bytes) at 8000 x 6000.
#   - 4000 x 3000 from a photograph of that size. Target: at most the peak of convert -paint 3.
#
#   bench/poster_memory.sh [BUILD_DIR]
#
# Memory figures are steady; the times are only a guide on a shared machine (the style benchmark
# bench/paint_styles.sh measures speed).
set -euo pipefail
source "$(dirname "$0")/bench_setup.sh"
EXAMPLE="resources/Example Picture.jpg"
bench_folders
export MAGICK_THREAD_LIMIT=1 OMP_NUM_THREADS=1


convert_peak() {  # input
  peak_memory "$CONVERT" "$1" -paint 3 "$WORK/convert.jpg"
}

STYLES=(van-gogh pointillism colored-pencil charcoal-pencil black-and-white mosaic)
status=0
row() {  # label style input target-MB convert-MB convert-s [cli options]
  local label=$1 style=$2 input=$3 target=$4 cm=$5 ct=$6
  shift 6
  local extra=()
  [[ $style == mosaic ]] && extra=(--tiles-across 200)
  read -r m t < <(peak_memory "$CLI" --quiet --seed 1 --effect "$style" "${extra[@]}" "$@" "$input" \
    "$WORK/out.jpg")
  local verdict=ok
  ((m <= target)) || { verdict=OVER; status=1; }
  printf '%-22s %-16s %8s %7s %10s %9s %8s %s\n' "$label" "$style" "$m" "$t" "$cm" "$ct" \
    "$target" "$verdict"
}

printf '%-22s %-16s %8s %7s %10s %9s %8s\n' picture style "peak MB" "cpu s" "convert MB" \
  "convert s" "target"
make_picture 8000 6000 "$PICTURES/photo-8000x6000.jpg"
make_picture 4000 3000 "$PICTURES/photo-4000x3000.jpg"
read -r cm ct < <(convert_peak "$PICTURES/photo-8000x6000.jpg")
for style in "${STYLES[@]}"; do
  row "example to 8000x6000" "$style" "$EXAMPLE" 544 "$cm" "$ct" --width 8000 --height 6000
done
for style in "${STYLES[@]}"; do
  row "photo 8000x6000" "$style" "$PICTURES/photo-8000x6000.jpg" 544 "$cm" "$ct"
done
read -r cm ct < <(convert_peak "$PICTURES/photo-4000x3000.jpg")
for style in "${STYLES[@]}"; do
  row "photo 4000x3000" "$style" "$PICTURES/photo-4000x3000.jpg" "$cm" "$cm" "$ct"
done
exit $status

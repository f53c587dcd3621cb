#!/usr/bin/env bash
# SPDX-FileCopyrightText: The Quillane developers
# SPDX-License-Identifier: GPL-3.0-or-later
#
# Makes the inputs of the mosaic benchmarks in a work folder, once: a library of 360 pictures of
# 320 x 240 made from the stock "Picture Library" (each stock picture as it is, mirrored, and
# turned upside down with its colours moved, until there are 360), and the example picture at
# 1024 x 768 and 4000 x 3000.
#
#   bench/make_bench_library.sh WORK_FOLDER
set -euo pipefail
cd "$(dirname "$0")/.."
WORK=$1
STOCK="resources/Picture Library"
EXAMPLE="resources/Example Picture.jpg"

mkdir -p "$WORK/library"
mapfile -t stock < <(find "$STOCK" -maxdepth 1 -name '*.jpg' | sort)
((${#stock[@]} > 0)) || { echo "no stock pictures in $STOCK" >&2; exit 1; }
for ((i = 0; i < 360; i++)); do
  out=$(printf '%s/library/tile-%03d.jpg' "$WORK" "$i")
  [[ -s "$out" ]] && continue
  src=${stock[i % ${#stock[@]}]}
  case $((i / ${#stock[@]} % 3)) in
    0) convert "$src" -resize '320x240!' -quality 90 "$out" ;;
    1) convert "$src" -resize '320x240!' -flop -quality 90 "$out" ;;
    2) convert "$src" -resize '320x240!' -rotate 180 -modulate 100,110,80 -quality 90 "$out" ;;
  esac
done
[[ -s "$WORK/photo-1024.jpg" ]] || convert "$EXAMPLE" -resize '1024x768!' -quality 92 "$WORK/photo-1024.jpg"
[[ -s "$WORK/photo-4000.jpg" ]] || convert "$EXAMPLE" -resize '4000x3000!' -quality 92 "$WORK/photo-4000.jpg"

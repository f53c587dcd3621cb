#!/usr/bin/env bash
# SPDX-FileCopyrightText: The Quillane developers
# SPDX-License-Identifier: GPL-3.0-or-later

# What a time-lapse adds to a painting by the renderer: the wall time (best of RUNS runs, taken in
# turns) and the peak memory of a Van Gogh painting at 1024 x 768 and 4000 x 3000, without a
# time-lapse and with one in each format.
#
#   bench/timelapse_cost.sh [BUILD_DIR] [RUNS]
set -euo pipefail
source "$(dirname "$0")/bench_setup.sh"
RUNS=${2:-3}
bench_folders

# Best wall time (s) and peak memory (MB) of RUNS runs of the renderer with the given options.
measure() {
  local best="" memory="" start end
  for ((i = 0; i < RUNS; i++)); do
    start=$(date +%s.%N)
    memory=$(peak_memory "$CLI" --quiet --seed 1 "$@" | cut -d' ' -f1)
    end=$(date +%s.%N)
    best=$(awk -v b="$best" -v t="$(echo "$end - $start" | bc)" 'BEGIN { print (b == "" || t < b) ? t : b }')
  done
  echo "$best $memory"
}

printf "%-10s %-8s %9s %9s %9s %9s\n" size format seconds added MB "added MB"
for size in 1024x768 4000x3000; do
  input="$PICTURES/photo-$size.jpg"
  make_picture "${size%x*}" "${size#*x}" "$input"
  read -r base base_mb < <(measure "$input" "$WORK/out.jpg")
  printf "%-10s %-8s %9.2f %9s %9s %9s\n" "$size" none "$base" - "$base_mb" -
  for format in mkv mp4 webm gif; do
    read -r time mb < <(measure --timelapse "$WORK/t.$format" "$input" "$WORK/out.jpg")
    printf "%-10s %-8s %9.2f %8.0f%% %9s %9s\n" "$size" "$format" "$time" \
      "$(echo "($time - $base) * 100 / $base" | bc -l)" "$mb" "$((mb - base_mb))"
  done
done

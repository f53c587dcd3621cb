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

# One line per format, the two sizes side by side: the run's wall time, the time and the peak
# memory the time-lapse adds to it.
declare -A seconds memory
sizes=(1024x768 4000x3000)
formats=(none mkv mp4 webm gif)
for size in "${sizes[@]}"; do
  input="$PICTURES/photo-$size.jpg"
  make_picture "${size%x*}" "${size#*x}" "$input"
  for format in "${formats[@]}"; do
    options=()
    [[ $format == none ]] || options=(--timelapse "$WORK/t.$format")
    read -r "seconds[$size $format]" "memory[$size $format]" \
      < <(measure "${options[@]}" "$input" "$WORK/out.jpg")
  done
done

printf "%-7s" format
for size in "${sizes[@]}"; do printf " | %-9s %7s %6s %8s" "$size" seconds added "+MB"; done
echo
for format in "${formats[@]}"; do
  printf "%-7s" "$format"
  for size in "${sizes[@]}"; do
    time=${seconds[$size $format]} base=${seconds[$size none]}
    if [[ $format == none ]]; then
      printf " | %-9s %7.2f %6s %8s" "" "$time" - "(${memory[$size none]} MB)"
    else
      printf " | %-9s %7.2f %5.0f%% %8d" "" "$time" "$(echo "($time - $base) * 100 / $base" | bc -l)" \
        "$((memory[$size $format] - memory[$size none]))"
    fi
  done
  echo
done

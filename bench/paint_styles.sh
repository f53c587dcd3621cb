#!/usr/bin/env bash
# SPDX-FileCopyrightText: The Quillane developers
# SPDX-License-Identifier: GPL-3.0-or-later

# Times quillane-cli for every style on a 1024 x 768 and a 4000 x 3000 photograph, writing JPEG,
# side by side with ImageMagick's "convert -paint 3" on the same picture, and reports the peak
# memory of each run. Everything runs pinned to one core.
#
#   bench/paint_styles.sh [BUILD_DIR] [RUNS]
#
# The photographs are made once from resources/Example Picture.jpg (or from a synthetic picture
# when it is missing) and kept in BUILD_DIR/bench-pictures.
set -euo pipefail
source "$(dirname "$0")/bench_setup.sh"
RUNS=${2:-3}
CORE=${BENCH_CORE:-0}
bench_folders
export MAGICK_THREAD_LIMIT=1 OMP_NUM_THREADS=1


# Best processor time (user + system, s), best wall time (s) and the peak resident memory
# (MiB) of RUNS runs of a command. On a shared machine the processor time is the steadier figure.
measure() {
  local best="" bestWall="" peak=0 wall user sys m t
  for ((i = 0; i < RUNS; i++)); do
    /usr/bin/time -f "%e %U %S %M" -o "$WORK/time" taskset -c "$CORE" "$@" >/dev/null \
      2>"$WORK/err" || { cat "$WORK/err" >&2; return 1; }
    read -r wall user sys m <"$WORK/time"
    t=$(awk -v u="$user" -v s="$sys" 'BEGIN { printf "%.2f", u + s }')
    if [[ -z $best ]] || awk -v a="$t" -v b="$best" 'BEGIN { exit !(a < b) }'; then best=$t; fi
    if [[ -z $bestWall ]] || awk -v a="$wall" -v b="$bestWall" 'BEGIN { exit !(a < b) }'; then
      bestWall=$wall
    fi
    ((m > peak)) && peak=$m
  done
  printf '%s %s %s\n' "$best" "$bestWall" "$((peak / 1024))"
}

printf '%-10s %-16s %7s %7s %8s %9s %9s %9s %8s\n' size style "cpu s" "wall s" "peak MiB" \
  "conv cpu" "conv wall" "conv MiB" speedup
# What starting the program costs before it paints anything (loading its shared libraries).
read -r st sw sm < <(measure "$CLI" --version)
printf '%-10s %-16s %7s %7s %8s\n' start-up "--version" "$st" "$sw" "$sm"
for size in 1024x768 4000x3000; do
  w=${size%x*}
  h=${size#*x}
  input="$PICTURES/photo-$size.jpg"
  make_picture "$w" "$h" "$input"
  read -r ct cw cm < <(measure "$CONVERT" "$input" -paint 3 "$WORK/convert.jpg")
  for style in van-gogh pointillism colored-pencil charcoal-pencil black-and-white; do
    read -r t w m < <(measure "$CLI" --quiet --seed 1 --effect "$style" "$input" "$WORK/out.jpg")
    speedup=$(awk -v a="$ct" -v b="$t" 'BEGIN { printf "%.1fx", (b > 0 ? a / b : 0) }')
    printf '%-10s %-16s %7s %7s %8s %9s %9s %9s %8s\n' "$size" "$style" "$t" "$w" "$m" "$ct" \
      "$cw" "$cm" "$speedup"
  done
done

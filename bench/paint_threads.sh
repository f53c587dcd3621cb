#!/usr/bin/env bash
# SPDX-FileCopyrightText: The Quillane developers
# SPDX-License-Identifier: GPL-3.0-or-later

# How the stroke styles scale with the processors, at 4000 x 3000, side by side in one run:
#  1. the painting alone (paint_picture_bench): one thread against every usable processor, and
#     one thread against the painting of another build (BASELINE_DIR, optional);
#  2. the whole renderer (decoding, painting, writing a JPEG) on one processor and on all of
#     them, against ImageMagick's "convert -paint 3" on the same picture and processors.
# Every figure is the best wall time of RUNS runs, taken in turns so that a busy machine slows
# all of them alike.
#
#   bench/paint_threads.sh [BUILD_DIR] [BASELINE_DIR] [RUNS]
set -euo pipefail
source "$(dirname "$0")/bench_setup.sh"
BASELINE_DIR=${2:-}
RUNS=${3:-5}
bench_folders
ENGINE="$BUILD_DIR/bin/paint_picture_bench"
[[ -x $ENGINE ]] || { echo "no $ENGINE: build the paint_picture_bench target" >&2; exit 1; }
BASE_ENGINE=""
[[ -n $BASELINE_DIR && -x $BASELINE_DIR/bin/paint_picture_bench ]] &&
  BASE_ENGINE="$BASELINE_DIR/bin/paint_picture_bench"
ALL=$(taskset -pc $$ | sed 's/.*: //')
input="$PICTURES/photo-4000x3000.jpg"
make_picture 4000 3000 "$input"

# Real and processor time (ms) of each 4000 x 3000 case of one run of an engine benchmark, as
# "NAME REAL CPU"; the processor time is that of the whole process, all threads together.
engine_times() {
  "$1" --benchmark_filter='w:4000/h:3000' --benchmark_min_time=0.01 --benchmark_format=csv \
    2>/dev/null | awk -F, '/^"BM_/ { gsub(/"/, "", $1); print $1, $3, $4 }'
}

# Keeps the run with the smallest real time per name: best NAME REAL CPU lines on standard input.
best() {
  awk '!($1 in b) || $2 < b[$1] { b[$1] = $2; c[$1] = $3 } END { for (n in b) print n, b[n], c[n] }'
}

for ((i = 0; i < RUNS; i++)); do
  engine_times "$ENGINE" >>"$WORK/engine"
  [[ -n $BASE_ENGINE ]] && engine_times "$BASE_ENGINE" >>"$WORK/baseline"
done
best <"$WORK/engine" >"$WORK/engine.best"
[[ -n $BASE_ENGINE ]] && best <"$WORK/baseline" >"$WORK/baseline.best"

echo "The painting alone, 4000 x 3000 (ms, best of $RUNS; all = $(nproc) processors)."
echo "cpu: the processor time of all threads together against that of one thread: what the"
echo "threads add, which bounds the speedup on idle processors."
printf '%-16s %9s %9s %9s %7s %10s %12s\n' style "1 thread" "all" speedup cpu baseline \
  "1 / baseline"
names=(van-gogh pointillism charcoal-pencil colored-pencil black-and-white)
for style in 0 1 2 3 4; do
  read -r one oneCpu < <(awk -v s="style:$style/" '$1 ~ s && $1 ~ /threads:1\// { print $2, $3 }' \
    "$WORK/engine.best")
  read -r all allCpu < <(awk -v s="style:$style/" '$1 ~ s && $1 ~ /threads:0\// { print $2, $3 }' \
    "$WORK/engine.best")
  base=-
  [[ -n $BASE_ENGINE ]] &&
    base=$(awk -v s="style:$style/" '$1 ~ s && $1 ~ /threads:1\// { print $2 }' "$WORK/baseline.best")
  awk -v n="${names[$style]}" -v a="$one" -v b="$all" -v c="$base" -v p="$oneCpu" -v q="$allCpu" \
    'BEGIN { printf "%-16s %9.0f %9.0f %8.2fx %6.2fx %10s %12s\n", n, a, b, a / b, q / p,
      (c == "-" ? "-" : sprintf("%.0f", c)), (c == "-" ? "-" : sprintf("%.3fx", a / c)) }'
done

# Best wall time (s) of RUNS runs of a command on the given processors.
wall() {
  local cpus=$1 best="" t
  shift
  for ((i = 0; i < RUNS; i++)); do
    /usr/bin/time -f "%e" -o "$WORK/time" taskset -c "$cpus" "$@" >/dev/null 2>"$WORK/err" ||
      { cat "$WORK/err" >&2; return 1; }
    t=$(cat "$WORK/time")
    if [[ -z $best ]] || awk -v a="$t" -v b="$best" 'BEGIN { exit !(a < b) }'; then best=$t; fi
  done
  echo "$best"
}

echo
echo "The whole renderer, 4000 x 3000 JPEG in and out (s, best of $RUNS)"
printf '%-16s %8s %8s %8s %9s %9s %9s\n' style "1 cpu" "all" speedup "conv 1" "conv all" \
  "conv/all"
c1=$(MAGICK_THREAD_LIMIT=1 wall 0 "$CONVERT" "$input" -paint 3 "$WORK/convert.jpg")
ca=$(wall "$ALL" "$CONVERT" "$input" -paint 3 "$WORK/convert.jpg")
for style in van-gogh pointillism colored-pencil charcoal-pencil; do
  one=$(wall 0 "$CLI" --quiet --seed 1 --effect "$style" "$input" "$WORK/out.jpg")
  all=$(wall "$ALL" "$CLI" --quiet --seed 1 --effect "$style" "$input" "$WORK/out.jpg")
  awk -v n="$style" -v a="$one" -v b="$all" -v c="$c1" -v d="$ca" 'BEGIN {
    printf "%-16s %8.2f %8.2f %7.2fx %9.2f %9.2f %8.1fx\n", n, a, b, a / b, c, d, d / b }'
done

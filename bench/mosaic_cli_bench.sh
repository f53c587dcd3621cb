#!/usr/bin/env bash
# SPDX-FileCopyrightText: The Quillane developers
# SPDX-License-Identifier: GPL-3.0-or-later

# Times whole quillane-cli mosaic runs against a library of 360 pictures of 320 x 240 made from
# the stock "Picture Library", and metapixel (metapixel-prepare, then metapixel) on the same
# library and tile size side by side.
#
#   bench/mosaic_cli_bench.sh [build folder] [runs]
#
# Targets: 1024 x 768 with 32 tiles across and auto-sized rows at most 1.0 s, and faster than
# metapixel; 4000 x 3000 with 125 tiles across at most 5 s.
set -euo pipefail
source "$(dirname "$0")/bench_setup.sh"
RUNS=${2:-5}
WORK=${QUILLANE_BENCH_DIR:-/tmp/quillane-mosaic-bench}

if ! command -v metapixel >/dev/null; then
  echo "installing metapixel for the comparison" >&2
  apt-get install -y metapixel >/dev/null
fi

bench/make_bench_library.sh "$WORK"

# Best and median wall-clock time of $RUNS runs of a command, and the processor time (user and
# system, all threads) of the best one: on a shared machine the two can differ widely.
time_runs() {
  local rows=() stats
  for ((r = 0; r < RUNS; r++)); do
    stats=$(mktemp)
    /usr/bin/time -f '%e %U %S' -o "$stats" "$@" >/dev/null 2>&1
    rows+=("$(tail -1 "$stats")")
    rm -f "$stats"
  done
  printf '%s\n' "${rows[@]}" | sort -g | awk '{w[NR]=$1; c[NR]=$2+$3}
    END {printf "best %.2f s (processor %.2f s), median %.2f s", w[1], c[1], w[int((NR+1)/2)]}'
}

echo "load before: $(cut -d' ' -f1-3 /proc/loadavg)"
echo "quillane-cli, 1024 x 768, 32 across, auto rows, 360 pictures:"
echo "  $(time_runs "$CLI" --quiet --effect mosaic --tiles-across 32 --no-list \
  --library "$WORK/library" "$WORK/photo-1024.jpg" "$WORK/out-1024.jpg")"

echo "metapixel, same library, tiles of 32 x 24:"
rm -rf "$WORK/metapixel"
mkdir -p "$WORK/metapixel"
RUNS_SAVED=$RUNS
RUNS=1
echo "  metapixel-prepare: $(time_runs metapixel-prepare "$WORK/library" "$WORK/metapixel" \
  --width=32 --height=24)"
RUNS=$RUNS_SAVED
echo "  metapixel: $(time_runs metapixel --metapixel "$WORK/photo-1024.jpg" "$WORK/metapixel-1024.jpg" \
  --library "$WORK/metapixel" --width=32 --height=24)"

echo "quillane-cli, 4000 x 3000, 125 across, auto rows, 360 pictures:"
RUNS=$((RUNS < 3 ? RUNS : 3))
echo "  $(time_runs "$CLI" --quiet --effect mosaic --tiles-across 125 --no-list \
  --library "$WORK/library" "$WORK/photo-4000.jpg" "$WORK/out-4000.jpg")"
echo "load after: $(cut -d' ' -f1-3 /proc/loadavg)"

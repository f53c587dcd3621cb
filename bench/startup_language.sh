#!/usr/bin/env bash
# SPDX-FileCopyrightText: The Quillane developers
# SPDX-License-Identifier: GPL-3.0-or-later

# What the language adds to the desktop program's start: the median wall time (ms) from starting
# quillane to its main window showing the example picture, in each text set, the sets taken in
# turns, on a private X display. QUILLANE_TIME_START leaves out the splash's fixed 2.5 s and
# closes the window at once. The aim: en and zh within 30 ms of original, and original within
# 30 ms of a build from before the program had languages (BASELINE_DIR, optional; that build
# needs the same QUILLANE_TIME_START hook in its main()).
#
#   bench/startup_language.sh [BUILD_DIR] [RUNS] [DISPLAY_NUMBER] [BASELINE_DIR]
set -euo pipefail
source "$(dirname "$0")/bench_setup.sh"
RUNS=${2:-15}
DISPLAY_NUMBER=${3:-79}
PROGRAM="$BUILD_DIR/bin/quillane"
[[ -x $PROGRAM ]] || { echo "no $PROGRAM: build quillane first" >&2; exit 1; }
bench_folders
Xvfb ":$DISPLAY_NUMBER" -screen 0 1280x900x24 -nolisten tcp >"$WORK/xvfb.log" 2>&1 &
xvfb=$!
trap 'kill $xvfb 2>/dev/null; rm -rf "$WORK"' EXIT
sleep 1
export DISPLAY=":$DISPLAY_NUMBER" XDG_CONFIG_HOME="$WORK/config" XDG_CACHE_HOME="$WORK/cache"
export QUILLANE_TIME_START=1
BASELINE=${4:+$4/bin/quillane}
sets=(original en zh)
[[ -n $BASELINE ]] && sets=(before "${sets[@]}")
declare -A times
for ((i = 0; i < RUNS; i++)); do
  for set in "${sets[@]}"; do
    start=$(date +%s%N)
    if [[ $set == before ]]; then
      "$BASELINE" >/dev/null 2>&1
    else
      "$PROGRAM" --language "$set" >/dev/null 2>&1
    fi
    times[$set]+="$(( ($(date +%s%N) - start) / 1000000 )) "
  done
done
median() { tr ' ' '\n' | grep . | sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
base=$(median <<<"${times[${sets[0]}]}")
printf "%-9s %10s %8s\n" set "median ms" added
for set in "${sets[@]}"; do
  m=$(median <<<"${times[$set]}")
  printf "%-9s %10d %8d\n" "$set" "$m" $((m - base))
done

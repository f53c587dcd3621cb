#!/usr/bin/env bash
# SPDX-FileCopyrightText: The Quillane developers
# SPDX-License-Identifier: GPL-3.0-or-later
#
# Times quillane-cli mosaics with and without the limits on repeats, side by side: 1024 x 768,
# 32 tiles across with auto-sized rows, from a library of 360 pictures. The runs alternate, so a
# machine shared with other work slows both kinds alike. The result is written as JPEG, as in
# the other mosaic benchmark: a PNG of a more varied mosaic takes longer to compress, which
# would be counted against the limits.
#
#   bench/mosaic_limits_bench.sh [build folder] [runs]
#
# Target: with the limits, at most 1.5 times the time without them.
set -euo pipefail
source "$(dirname "$0")/bench_setup.sh"
RUNS=${2:-5}
WORK=${QUILLANE_BENCH_DIR:-/tmp/quillane-mosaic-bench}

bench/make_bench_library.sh "$WORK"

# The kinds of run: a name, then the options beside the common ones.
kinds=(
  "plain|"
  "max-uses 2, min-distance 3|--max-uses 2 --min-distance 3"
  "min-distance 6|--min-distance 6"
  "max-uses 2, min-distance 3, report|--max-uses 2 --min-distance 3 --tile-report $WORK/tiles.csv"
)

declare -A times
echo "load before: $(cut -d' ' -f1-3 /proc/loadavg)"
for ((r = 0; r < RUNS; r++)); do
  for kind in "${kinds[@]}"; do
    name=${kind%%|*}
    stats=$(mktemp)
    # shellcheck disable=SC2086  # the options are words
    /usr/bin/time -f '%e %U %S' -o "$stats" "$CLI" --quiet --effect mosaic --tiles-across 32 \
      --no-list --library "$WORK/library" ${kind#*|} "$WORK/photo-1024.jpg" "$WORK/out.jpg" \
      >/dev/null 2>&1
    times[$name]+="$(tail -1 "$stats")"$'\n'
    rm -f "$stats"
  done
done
echo "load after: $(cut -d' ' -f1-3 /proc/loadavg)"

# Best and median wall-clock time, and the processor time (user and system) of the best run.
summary() {
  printf '%s' "${times[$1]}" | sort -g | awk '{w[NR]=$1; c[NR]=$2+$3}
    END {printf "%.3f %.3f %.3f", w[1], w[int((NR+1)/2)], c[1]}'
}
read -r plain_best plain_median _ <<<"$(summary plain)"
for kind in "${kinds[@]}"; do
  name=${kind%%|*}
  read -r best median cpu <<<"$(summary "$name")"
  printf '%-36s best %.2f s (processor %.2f s), median %.2f s, median %.2fx plain\n' \
    "$name:" "$best" "$cpu" "$median" "$(awk -v a="$median" -v b="$plain_median" 'BEGIN {print a / b}')"
done

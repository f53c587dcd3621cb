#!/usr/bin/env bash
# SPDX-FileCopyrightText: The Quillane developers
# SPDX-License-Identifier: GPL-3.0-or-later
#
# Times painting 24 photographs of 1024 x 768 in the Van Gogh style three ways, side by side in
# each round: one batch with --jobs 2, one batch with --jobs 1, and 24 single runs of
# quillane-cli one after another. Prints the best wall time of each over the rounds, the ratios
# and the peak memory, and the load of the machine before and after.
#
#   bench/batch_cli_bench.sh [BUILD_DIR] [ROUNDS]
#
# The photographs are made once from resources/Example Picture.jpg (crops at different places,
# every other one mirrored) and kept in BUILD_DIR/bench-pictures/batch.
set -euo pipefail
source "$(dirname "$0")/bench_setup.sh"
ROUNDS=${2:-3}
bench_folders batch

for ((i = 0; i < 24; i++)); do
  photo=$(printf '%s/photo-%02d.jpg' "$PICTURES" "$i")
  [[ -s $photo ]] && continue
  mirror=()
  ((i % 2)) && mirror=(-flop)
  "$CONVERT" "resources/Example Picture.jpg" -resize 1400x1050^ "${mirror[@]}" \
    -crop "1024x768+$((i * 15))+$((i * 11))" +repage -quality 92 "$photo"
done
photos=("$PICTURES"/photo-*.jpg)

singles() {
  for photo in "$PICTURES"/photo-*.jpg; do
    "$CLI" --quiet --seed 1 "$photo" "$WORK/single/$(basename "$photo" .jpg)-van-gogh.jpg"
  done
}
export -f singles
export CLI WORK PICTURES

# Wall time (s), processor time (user + system, s) and peak resident memory (MiB) of one command.
measure() {
  /usr/bin/time -v -o "$WORK/time" "$@" >/dev/null 2>"$WORK/err" ||
    { cat "$WORK/err" >&2; return 1; }
  local wall cpu peak
  wall=$(awk -F': ' '/Elapsed \(wall clock\)/ { n = split($2, p, ":"); s = 0
    for (i = 1; i <= n; i++) s = s * 60 + p[i]; printf "%.2f", s }' "$WORK/time")
  cpu=$(awk -F': ' '/User time|System time/ { s += $2 } END { printf "%.2f", s }' "$WORK/time")
  peak=$(awk -F': ' '/Maximum resident/ { printf "%d", $2 / 1024 }' "$WORK/time")
  echo "$wall $cpu $peak"
}

best() { awk -v a="$1" -v b="$2" 'BEGIN { print (b == "" || a < b) ? a : b }'; }
most() { echo $(($1 > $2 ? $1 : $2)); }

# Other work on the machine takes processor time from the batch: say how much there was.
conditions() {
  echo "load $(cut -d' ' -f1-3 /proc/loadavg)$([[ -r /proc/pressure/cpu ]] &&
    awk '/some/ { print ", cpu pressure " $2 " " $3 }' /proc/pressure/cpu)"
}
echo "$(nproc) cores; before: $(conditions)"
b2="" b1="" bs="" m2=0 m1=0 ms=0 c2="" c1="" cs=""
for ((round = 0; round < ROUNDS; round++)); do
  mkdir -p "$WORK/single"
  read -r w c m < <(measure "$CLI" --quiet --seed 1 --jobs 2 --overwrite --output-dir "$WORK/j2" \
    "${photos[@]}")
  b2=$(best "$w" "$b2") c2=$(best "$c" "$c2") m2=$(most "$m" "$m2")
  read -r w c m < <(measure "$CLI" --quiet --seed 1 --jobs 1 --overwrite --output-dir "$WORK/j1" \
    "${photos[@]}")
  b1=$(best "$w" "$b1") c1=$(best "$c" "$c1") m1=$(most "$m" "$m1")
  read -r w c m < <(measure bash -c singles)
  bs=$(best "$w" "$bs") cs=$(best "$c" "$cs") ms=$(most "$m" "$ms")
  echo "round $((round + 1)): $(conditions)"
done
# The three ways paint the same pictures.
for photo in "${photos[@]}"; do
  name=$(basename "$photo" .jpg)-van-gogh.jpg
  cmp -s "$WORK/j2/$name" "$WORK/single/$name" && cmp -s "$WORK/j1/$name" "$WORK/single/$name" ||
    { echo "$name differs between the ways of painting it" >&2; exit 1; }
done

# Best of the rounds; the last column is how many times longer than --jobs 2 a way took.
printf '%-20s %8s %8s %9s %10s\n' "24 photos 1024x768" "wall s" "cpu s" "peak MiB" "vs jobs 2"
printf '%-20s %8s %8s %9s %10s\n' "--jobs 2" "$b2" "$c2" "$m2" "1.00x"
printf '%-20s %8s %8s %9s %10s\n' "--jobs 1" "$b1" "$c1" "$m1" \
  "$(awk -v a="$b1" -v b="$b2" 'BEGIN { printf "%.2fx", a / b }')"
printf '%-20s %8s %8s %9s %10s\n' "24 single runs" "$bs" "$cs" "$ms" \
  "$(awk -v a="$bs" -v b="$b2" 'BEGIN { printf "%.2fx", a / b }')"
echo "after: $(conditions)"

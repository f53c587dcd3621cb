#!/usr/bin/env bash
# SPDX-FileCopyrightText: The Quillane developers
# SPDX-License-Identifier: GPL-3.0-or-later
#
# Times quillane-cli mosaics from photo collections with and without the picture index, and
# metapixel (metapixel-prepare, then metapixel) on the same libraries, side by side:
#   - libraries of 200 and 600 JPEG photographs of 4000 x 3000, made from the stock pictures
#     with crops, flips, colour shifts and grain: no index, cold index (empty at the start),
#     warm index, and at 40 tiles across both the first run (index warm at 32 across only) and a
#     warm one;
#   - a library of 10,000 small JPEGs: warm index;
#   - the index's size per picture and tile size.
# The start picture is the 1024 x 768 example picture, 32 tiles across with auto-sized rows.
#
#   bench/tile_index_bench.sh [build folder] [runs]
#
# The libraries take some minutes to make and are kept in the build folder for later runs.
# QUILLANE_BASELINE_CLI=path also times another quillane-cli (an earlier build) without index.
# SIZES="200 600" and SMALL=10000 choose the libraries; SMALL=0 leaves out the small one.
#
# Targets (2 cores, 600 pictures): cold at most 0.6 x the earlier build's run without index,
# warm at most 0.3 s; 10,000 small pictures warm at most 2 s; at most 16 KiB of index per
# picture and tile size. The machine may be shared: best and median wall-clock times and the
# processor time of the best run are reported, with the load before and after.
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD=${1:-build}
RUNS=${2:-3}
CLI="$BUILD/bin/quillane-cli"
BASELINE=${QUILLANE_BASELINE_CLI:-}
SIZES=${SIZES:-200 600}
SMALL=${SMALL:-10000}
STOCK="resources/Picture Library"
START="resources/Example Picture.jpg"
DATA="$BUILD/bench-data"
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT

[[ -x "$CLI" ]] || { echo "no $CLI: build the quillane-cli target first" >&2; exit 1; }
command -v metapixel >/dev/null || { echo "metapixel is missing: run scripts/deps.sh" >&2; exit 1; }
mkdir -p "$DATA"

# $1 photographs of 4000 x 3000 in folder $2, a third each plain, mirrored with shifted hues,
# and upside down with other colours; every one cropped differently and with its own grain.
make_photos() {
  local count=$1 folder=$2 third=$((($1 + 2) / 3))
  [[ -f "$folder/.complete" ]] && return
  echo "making $count photographs of 4000 x 3000 in $folder (once)..." >&2
  rm -rf "$folder"
  mkdir -p "$folder"
  local crop="crop=w=iw*0.8:h=ih*0.8:x='mod(n*37,64)':y='mod(n*23,48)'"
  local common="scale=4000:3000:flags=bicubic,noise=alls=14:allf=t+u"
  local variant filter
  for variant in a b c; do
    case $variant in
      a) filter="$crop,$common" ;;
      b) filter="$crop,hflip,hue=h='n*7',$common" ;;
      c) filter="$crop,vflip,hflip,eq=saturation=1.3:gamma_r=1.2,$common" ;;
    esac
    ffmpeg -loglevel error -y -framerate 25 -loop 1 -pattern_type glob -i "$STOCK/*.jpg" \
      -vf "$filter" -frames:v "$third" -q:v 3 "$folder/photo-$variant-%04d.jpg"
  done
  # Exactly $count, in case three thirds are more.
  local made
  mapfile -t made < <(find "$folder" -name '*.jpg' | sort)
  rm -f "${made[@]:count}"
  touch "$folder/.complete"
}

# $1 small JPEGs of 160 x 120 in folder $2.
make_small() {
  local count=$1 folder=$2
  [[ -f "$folder/.complete" ]] && return
  echo "making $count small pictures in $folder (once)..." >&2
  rm -rf "$folder"
  mkdir -p "$folder"
  ffmpeg -loglevel error -y -framerate 25 -loop 1 -pattern_type glob -i "$STOCK/*.jpg" \
    -vf "crop=w=iw*0.75:h=ih*0.75:x='mod(n*13,80)':y='mod(n*7,60)',scale=160:120,hue=h='n*3'" \
    -frames:v "$count" -q:v 4 "$folder/small-%05d.jpg"
  touch "$folder/.complete"
}

# Best and median wall-clock time of $RUNS runs of a command, and the processor time (user and
# system, all threads) of the best run. $BEFORE, when set, is run before each run, untimed.
time_runs() {
  local rows=() stats
  for ((r = 0; r < RUNS; r++)); do
    [[ -n "${BEFORE:-}" ]] && eval "$BEFORE"
    stats=$(mktemp)
    /usr/bin/time -f '%e %U %S' -o "$stats" "$@" >/dev/null 2>&1 || echo "  (failed: $*)" >&2
    rows+=("$(tail -1 "$stats")")
    rm -f "$stats"
  done
  printf '%s\n' "${rows[@]}" | sort -g | awk '{w[NR]=$1; c[NR]=$2+$3}
    END {printf "best %6.2f s  median %6.2f s  (processor %6.2f s)", w[1], w[int((NR+1)/2)], c[1]}'
}

# Times a mosaic: cli library across [index options...].
time_mosaic() {
  local cli=$1 library=$2 across=$3
  shift 3
  time_runs "$cli" --quiet --effect mosaic --tiles-across "$across" --no-list \
    --library "$library" "$@" "$START" "$WORK/out.jpg"
}

row() { printf '  %-44s %s\n' "$1" "$2"; }

echo "load before: $(cut -d' ' -f1-3 /proc/loadavg); $(nproc) cores; $RUNS runs each"
for size in $SIZES; do
  make_photos 600 "$DATA/photos-600"
  library="$DATA/photos-600"
  if ((size != 600)); then
    # The first $size of the 600, as hard links: other paths, so other index entries.
    library="$DATA/photos-$size"
    if [[ ! -f "$library/.complete" ]]; then
      rm -rf "$library"
      mkdir -p "$library"
      mapfile -t photos < <(find "$DATA/photos-600" -name '*.jpg' | sort)
      ln "${photos[@]:0:size}" "$library/"
      touch "$library/.complete"
    fi
  fi
  index="$WORK/index-$size.sqlite"
  echo "$size photographs of 4000 x 3000, start picture 1024 x 768, 32 tiles across:"
  if [[ -n "$BASELINE" ]]; then
    row "no index, $BASELINE" "$(time_mosaic "$BASELINE" "$library" 32)"
  fi
  row "no index (--no-index)" "$(time_mosaic "$CLI" "$library" 32 --no-index)"
  row "cold index (empty at the start)" \
    "$(BEFORE="rm -f $index $index-wal $index-shm" time_mosaic "$CLI" "$library" 32 --index "$index")"
  row "warm index" "$(time_mosaic "$CLI" "$library" 32 --index "$index")"
  bytes=$(stat -c %s "$index")
  row "index size" "$((bytes / 1024)) KiB, $((bytes / size)) bytes a picture (one tile size)"
  row "40 across, first run (index warm at 32)" \
    "$(RUNS=1 time_mosaic "$CLI" "$library" 40 --index "$index")"
  row "40 across, warm index" "$(time_mosaic "$CLI" "$library" 40 --index "$index")"
  bytes=$(stat -c %s "$index")
  row "index size" "$((bytes / 1024)) KiB, $((bytes / size / 2)) bytes a picture and tile size"

  prepared="$WORK/metapixel-$size"
  mkdir -p "$prepared"
  row "metapixel-prepare, tiles of 32 x 24" \
    "$(RUNS=1 time_runs metapixel-prepare "$library" "$prepared" --width=32 --height=24)"
  row "metapixel, tiles of 32 x 24" "$(time_runs metapixel --metapixel "$START" "$WORK/mp.jpg" \
    --library "$prepared" --width=32 --height=24)"
done

if ((SMALL > 0)); then
  small="$DATA/small-$SMALL"
  make_small "$SMALL" "$small"
  index="$WORK/index-small.sqlite"
  echo "$SMALL pictures of 160 x 120, start picture 1024 x 768, 32 tiles across:"
  row "cold index" "$(RUNS=1 time_mosaic "$CLI" "$small" 32 --index "$index")"
  row "warm index" "$(time_mosaic "$CLI" "$small" 32 --index "$index")"
  bytes=$(stat -c %s "$index")
  row "index size" "$((bytes / 1024)) KiB, $((bytes / SMALL)) bytes a picture"
fi
echo "load after: $(cut -d' ' -f1-3 /proc/loadavg)"

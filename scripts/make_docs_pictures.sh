#!/usr/bin/env bash
# SPDX-FileCopyrightText: The Quillane developers
# SPDX-License-Identifier: GPL-3.0-or-later

# Makes the pictures of the README: the example picture painted by quillane-cli in each effect,
# with fixed seeds so that the same build makes the same pictures, as small JPEGs in docs/images/.
#
#   scripts/make_docs_pictures.sh [BUILD_DIR]     (default: build)
#
# Needs a built quillane-cli and ImageMagick's convert.
set -euo pipefail
cd "$(dirname "$0")/.."

BUILD_DIR=${1:-build}
CLI="$BUILD_DIR/bin/quillane-cli"
EXAMPLE="$BUILD_DIR/bin/Example Picture.jpg"
OUT=docs/images
WIDTH=320          # width of the pictures in the README
MAX_BYTES=40000

[[ -x "$CLI" ]] || { echo "No $CLI; build quillane-cli first." >&2; exit 1; }
[[ -f "$EXAMPLE" ]] || { echo "No $EXAMPLE." >&2; exit 1; }
command -v convert >/dev/null || { echo "ImageMagick's convert is needed." >&2; exit 1; }
mkdir -p "$OUT"
SCRATCH=$(mktemp -d)
trap 'rm -rf "$SCRATCH"' EXIT

# Writes a JPEG WIDTH pixels wide, lowering the quality until it fits in MAX_BYTES.
small_jpeg() {
  local source=$1 target=$2 quality
  for quality in 85 80 75 70 65 60 55 50; do
    convert "$source" -resize "${WIDTH}x" -strip -interlace Plane -sampling-factor 4:2:0 \
      -quality "$quality" "$target"
    if (($(stat -c %s "$target") <= MAX_BYTES)); then
      return 0
    fi
  done
  echo "warning: $target is $(stat -c %s "$target") bytes" >&2
}

small_jpeg "$EXAMPLE" "$OUT/example-picture.jpg"
echo "$OUT/example-picture.jpg"

# Each effect is painted at the width at which its look survives the scaling to WIDTH: the
# painters' strokes at WIDTH itself, the thin pencil lines a little larger (scaled down they stay
# lines instead of a moire), the mosaic larger still so that its tile pictures can be made out.
# The two mosaics at 15 across show the limits on repeats: as made by default, and with them.
# picture name, effect name, seed, painting width, extra options
while read -r name effect seed paint_width extra; do
  painted="$SCRATCH/$name.png"
  # shellcheck disable=SC2086  # the extra options are words
  "$CLI" --quiet --effect "$effect" --seed "$seed" --width "$paint_width" $extra \
    "$EXAMPLE" "$painted"
  small_jpeg "$painted" "$OUT/$name.jpg"
  echo "$OUT/$name.jpg"
done <<'EOF'
mosaic mosaic 1 640 --tiles-across 20
mosaic-repeats mosaic 1 640 --tiles-across 15
mosaic-varied mosaic 1 640 --tiles-across 15 --max-uses 2 --min-distance 3
van-gogh van-gogh 1 320
pointillism pointillism 1 320
colored-pencil colored-pencil 1 480
charcoal-pencil charcoal-pencil 1 480
black-and-white black-and-white 1 320
EOF

# A time-lapse of the Van Gogh, as a strip of six of its frames from the start picture to the
# finished painting: the lossless video, then frames at even steps of its length.
STRIP_FRAMES=6
command -v ffmpeg >/dev/null || { echo "ffmpeg is needed for the time-lapse strip." >&2; exit 1; }
"$CLI" --quiet --effect van-gogh --seed 1 --width 480 --timelapse "$SCRATCH/timelapse.mkv" \
  --timelapse-seconds 2 "$EXAMPLE" "$SCRATCH/timelapse-end.png"
frames=$(ffprobe -v error -count_frames -select_streams v:0 -show_entries stream=nb_read_frames \
  -of csv=p=0 "$SCRATCH/timelapse.mkv")
# The video ends with the finished painting held for 1.5 s (45 frames at 30 a second); the last
# of the even steps is the first frame of that hold.
last=$((frames - 45))
picks=()
for ((i = 0; i < STRIP_FRAMES; i++)); do
  picks+=("eq(n\\,$((i * last / (STRIP_FRAMES - 1))))")
done
select=$(IFS=+; echo "${picks[*]}")
ffmpeg -v error -y -i "$SCRATCH/timelapse.mkv" -vf "select=$select" -vsync vfr \
  "$SCRATCH/strip-%d.png"
convert "$SCRATCH"/strip-{1..6}.png -resize 160x +append "$SCRATCH/strip.png"
WIDTH=960 small_jpeg "$SCRATCH/strip.png" "$OUT/timelapse-strip.jpg"
echo "$OUT/timelapse-strip.jpg"

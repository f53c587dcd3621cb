#!/usr/bin/env bash
# SPDX-FileCopyrightText: The Quillane developers
# SPDX-License-Identifier: GPL-3.0-or-later

# Makes the stock pictures that ship beside the program: "Example Picture.jpg" and the
# "Picture Library" folder of small photographs and short videos for the mosaic's tiles.
# The photographs come from two Debian packages whose pictures are freely licensed
# (resources/PICTURE_CREDITS.md lists them); each tile is a crop of a different part of one.
# Needs apt-get (download only, nothing is installed), dpkg-deb, ImageMagick and ffmpeg.
# The output is committed; run this again only to remake it.
set -euo pipefail
cd "$(dirname "$0")/.."

OUT=resources
LIBRARY="$OUT/Picture Library"
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT

(cd "$WORK" && apt-get download -q mate-backgrounds=1.26.0-1 python3-skimage=0.19.3-8 >/dev/null)
for deb in "$WORK"/*.deb; do dpkg-deb -x "$deb" "$WORK/root"; done
MATE="$WORK/root/usr/share/backgrounds/mate/nature"
SKIMAGE="$WORK/root/usr/lib/python3/dist-packages/skimage/data"

rm -rf "$LIBRARY"
mkdir -p "$LIBRARY"

# Tile sizes, landscape and portrait, used in turn.
SIZES=(320x240 240x180 160x120 200x150 180x240 280x210 160x120 240x180)
# Crop centres (in percent of the picture) and crop sizes (in percent of the shorter side),
# used in turn, so that the tiles of one photograph show different parts at different scales.
CENTRES=(50,50 25,30 75,70 30,75 70,25 50,20 20,55 80,45)
SCALES=(100 55 40 70 30 45 60 35)
counter=0

# crop SOURCE NAME COUNT: COUNT tiles from different parts of SOURCE, named NAME-1.jpg, ...
crop() {
  local source=$1 name=$2 count=$3
  local width height
  read -r width height < <(identify -quiet -format '%w %h\n' "$source[0]")
  local short=$((width < height ? width : height))
  for ((i = 1; i <= count; i++)); do
    local k=$((counter++))
    local size=${SIZES[k % ${#SIZES[@]}]}
    local tw=${size%x*} th=${size#*x}
    local centre=${CENTRES[k % ${#CENTRES[@]}]}
    local cx=$((width * ${centre%,*} / 100)) cy=$((height * ${centre#*,} / 100))
    # The crop has the tile's proportions and fits inside the photograph.
    local ch=$((short * ${SCALES[k % ${#SCALES[@]}]} / 100))
    local cw=$((ch * tw / th))
    if ((cw > width)); then cw=$width; ch=$((cw * th / tw)); fi
    local x=$((cx - cw / 2)) y=$((cy - ch / 2))
    ((x < 0)) && x=0
    ((y < 0)) && y=0
    ((x + cw > width)) && x=$((width - cw))
    ((y + ch > height)) && y=$((height - ch))
    convert -quiet "$source[0]" -crop "${cw}x${ch}+${x}+${y}" +repage -colorspace sRGB -type TrueColor \
      -filter Lanczos -resize "${tw}x${th}!" -strip -sampling-factor 2x2 -quality 84 \
      "$LIBRARY/$name-$i.jpg"
  done
}

for photo in Aqua Blinds Dune FreshFlower Garden GreenMeadow LadyBird RainDrops Storm TwoWings \
  Wood YellowFlower; do
  name=$(echo "$photo" | sed -E 's/([a-z])([A-Z])/\1-\2/g' | tr 'A-Z' 'a-z')
  crop "$MATE/$photo.jpg" "$name" 6
done
for photo in astronaut.png chelsea.png coffee.png camera.png coins.png brick.png grass.png \
  gravel.png ihc.png rocket.jpg hubble_deep_field.jpg retina.jpg; do
  name=$(echo "${photo%.*}" | tr '_' '-')
  crop "$SKIMAGE/$photo" "$name" 5
done

# Short videos: slow pans over two photographs, motion JPEG in AVI at 10 frames per second.
ffmpeg -nostdin -loglevel error -y -loop 1 -i "$MATE/Dune.jpg" \
  -vf "scale=720:-2,crop=240:180:x='(iw-240)*t/6':y='(ih-180)/2',format=yuvj420p" \
  -t 6 -r 10 -c:v mjpeg -q:v 6 -an "$LIBRARY/dune-pan.avi"
ffmpeg -nostdin -loglevel error -y -loop 1 -i "$SKIMAGE/coffee.png" \
  -vf "scale=480:-2,crop=240:180:x='(iw-240)*(1-t/4)':y='(ih-180)*t/4',format=yuvj420p" \
  -t 4 -r 10 -c:v mjpeg -q:v 6 -an "$LIBRARY/coffee-pan.avi"

# The example start picture: the garden flower at 1024 x 768.
convert "$MATE/Garden.jpg" -gravity center -crop 2134x1600+0+0 +repage -filter Lanczos \
  -resize 1024x768! -strip -quality 86 "$OUT/Example Picture.jpg"

echo "$(find "$LIBRARY" -name '*.jpg' | wc -l) pictures, $(find "$LIBRARY" -name '*.avi' | wc -l) videos," \
  "$(du -sh "$LIBRARY" | cut -f1) in the library; example picture $(du -h "$OUT/Example Picture.jpg" | cut -f1)"

#!/usr/bin/env bash
# SPDX-FileCopyrightText: The Quillane developers
# SPDX-License-Identifier: GPL-3.0-or-later

# Makes resources/splash.png, the picture the desktop program shows while it starts: an evening
# sky with a crescent moon and a quill, a row of mosaic tiles, and the program's name, purpose
# and version. The texts sit on a calm, darkened part of the sky, with no clouds behind them, so
# that they stay easy to read. Needs ImageMagick and the DejaVu fonts. The output is committed;
# run this again only to remake it.
set -euo pipefail
cd "$(dirname "$0")/.."

OUT=resources/splash.png
WIDTH=410
HEIGHT=250
SERIF=/usr/share/fonts/truetype/dejavu/DejaVuSerif-Bold.ttf
SANS=/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf

# Clouds keep to the top edge and the moon's side, outside the block of texts (x < 345 and
# 46 < y < 176). Each: left, top, width, height, colour.
CLOUDS=(
  "18 10 30 8 #f4f4f4" "112 14 32 8 #f0c890" "166 8 26 7 #f6f6f6" "236 18 30 8 #e8a070"
  "300 6 34 9 #f0d0a0" "352 60 34 9 #9fb4e8" "372 118 28 8 #f0c890" "348 178 36 9 #9fb4e8"
  "72 30 22 6 #e8a070" "206 34 26 7 #9fb4e8"
)

draw=""
for cloud in "${CLOUDS[@]}"; do
  read -r x y w h colour <<<"$cloud"
  draw+="fill '$colour' roundrectangle $x,$((y + h / 3)) $((x + w)),$((y + h)) 4,4 "
  draw+="ellipse $((x + w / 2)),$((y + h / 2)) $((w / 4)),$((h / 2)) 180,360 "
done

# Mosaic tiles along the bottom: two rows and a half, colours from a fixed sequence.
TILE_COLOURS=("#2e9e62" "#d2561c" "#8e3fa8" "#e0b020" "#2b6cb0" "#c0392b" "#f2f2f2" "#3a4a6b")
seed=7
tiles=""
for ((row = 0; row < 3; ++row)); do
  for ((column = 0; column < 26; ++column)); do
    seed=$(((seed * 1103515245 + 12345) % 2147483648))
    # About one place in five stays empty.
    ((seed / 65536 % 5 == 0)) && continue
    colour=${TILE_COLOURS[$((seed / 65536 % ${#TILE_COLOURS[@]}))]}
    x=$((column * 16 + 1))
    y=$((196 + row * 19))
    tiles+="fill '$colour' rectangle $x,$y $((x + 12)),$((y + 15)) "
  done
done

convert -size "${WIDTH}x${HEIGHT}" gradient:'#1b2558-#d8914c' \
  -draw "$draw" \
  \( -size "${WIDTH}x${HEIGHT}" xc:none -fill 'rgba(8,12,36,0.55)' \
  -draw "roundrectangle 12,46 344,176 14,14" -blur 0x6 \) -composite \
  -stroke '#1a1a1a' -strokewidth 1 -draw "$tiles" -stroke none \
  \( -size "${WIDTH}x${HEIGHT}" xc:none -fill '#fdf3dc' -draw "ellipse 362,100 30,84 0,360" \
  \( -size "${WIDTH}x${HEIGHT}" xc:none -fill black -draw "ellipse 347,100 26,82 0,360" \) \
  -compose DstOut -composite \) -compose Over -composite \
  -stroke '#fdf3dc' -strokewidth 2 -draw "line 392,46 346,190" -stroke none \
  -font "$SERIF" -pointsize 60 \
  -fill 'rgba(0,0,0,0.6)' -annotate +27+107 'Quillane' \
  -fill '#fdf3dc' -annotate +24+104 'Quillane' \
  -font "$SANS" -pointsize 13 \
  -fill 'rgba(0,0,0,0.7)' -annotate +31+139 'Paintings and mosaics from your photographs' \
  -fill '#ffffff' -annotate +30+138 'Paintings and mosaics from your photographs' \
  -pointsize 11 \
  -fill 'rgba(0,0,0,0.7)' -annotate +31+160 'Version 1.00' \
  -fill '#ffffff' -annotate +30+159 'Version 1.00' \
  -alpha off -depth 8 -strip -define png:exclude-chunks=date,time "PNG24:$OUT"
echo "made $OUT"

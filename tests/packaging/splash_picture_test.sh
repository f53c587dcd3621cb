#!/usr/bin/env bash
# SPDX-FileCopyrightText: The Quillane developers
# SPDX-License-Identifier: GPL-3.0-or-later

# The white lines under the name on the splash picture stand on a dark, calm ground: across
# their strip, all but the brightest pixels (the letters themselves) stay dark, so no light
# cloud shows through behind them.
#
#   splash_picture_test.sh SOURCE_DIR
#
# Exits 77 (skipped) without ImageMagick.
set -euo pipefail

SPLASH="$1/resources/splash.png"
command -v convert >/dev/null || exit 77

# The strip of "Paintings and mosaics from your photographs" and "Version 1.00"; the letters
# cover less than a tenth of it.
ground=$(convert "$SPLASH" -crop 310x40+26+124 -colorspace Gray -depth 8 gray:- |
  od -An -v -tu1 -w1 | sort -n | awk '{v[NR] = $1} END {print v[int(NR * 0.85)]}')
if ((ground > 100)); then
  echo "FAIL: the ground behind the splash texts is too light ($ground of 255)" >&2
  exit 1
fi
echo "PASS: the ground behind the splash texts is dark ($ground of 255)"

#!/usr/bin/env bash
# SPDX-FileCopyrightText: The Quillane developers
# SPDX-License-Identifier: GPL-3.0-or-later

# Takes the README's screenshots of the main window and of the output window with a finished
# painting, on a private X display, with a scratch settings folder so that the user's own
# settings are neither used nor changed.
#
#   scripts/make_screenshots.sh [BUILD_DIR] [EFFECT] [LANGUAGE]
#
# (defaults: build, 1 = Van Gogh, original). In another language than the original the pictures
# are named main-window-LANGUAGE.png and output-window-LANGUAGE.jpg.
#
# Needs Xvfb, ImageMagick (import, convert) and xdotool (Debian package xdotool; only this
# script uses it).
set -euo pipefail
cd "$(dirname "$0")/.."

BUILD_DIR=${1:-build}
EFFECT=${2:-1}
LANGUAGE=${3:-original}
SUFFIX=${LANGUAGE/#original/}
SUFFIX=${SUFFIX:+-$SUFFIX}
PROGRAM="$BUILD_DIR/bin/quillane"
OUT=docs/images
DISPLAY_NUMBER=${QUILLANE_SCREENSHOT_DISPLAY:-93}

for tool in Xvfb import convert xdotool; do
  command -v "$tool" >/dev/null || { echo "$tool is needed." >&2; exit 1; }
done
[[ -x "$PROGRAM" ]] || { echo "No $PROGRAM; build quillane first." >&2; exit 1; }
mkdir -p "$OUT"

SCRATCH=$(mktemp -d)
XVFB_PID=""
APP_PID=""
cleanup() {
  [[ -n "$APP_PID" ]] && kill "$APP_PID" 2>/dev/null || true
  [[ -n "$XVFB_PID" ]] && kill "$XVFB_PID" 2>/dev/null || true
  rm -rf "$SCRATCH"
}
trap cleanup EXIT

Xvfb ":$DISPLAY_NUMBER" -screen 0 1280x1024x24 -nolisten tcp >"$SCRATCH/xvfb.log" 2>&1 &
XVFB_PID=$!
export DISPLAY=":$DISPLAY_NUMBER"
for _ in $(seq 50); do
  xdotool getmouselocation >/dev/null 2>&1 && break
  sleep 0.1
done

# A settings file that selects the effect; every other choice keeps its default.
# Layout: the 560-byte record (effect first), then the 4-byte length of the picture list.
export XDG_CONFIG_HOME="$SCRATCH/config"
mkdir -p "$XDG_CONFIG_HOME"
python3 - "$XDG_CONFIG_HOME/Quillane.dat" "$EFFECT" <<'EOF'
import struct, sys
path, effect = sys.argv[1], int(sys.argv[2])
record = struct.pack("<i500s5i2f5iIi", effect, b"", 1, 0, 0, 0, 0, 100.0, 100.0,
                     1, 1, 15, 1, 15, 0, 0)
assert len(record) == 560
open(path, "wb").write(record + struct.pack("<i", 0))
EOF

# Waits until a visible window titled "Quillane" other than the ones given exists; prints its id.
wait_for_window() {
  local id
  for _ in $(seq 300); do
    for id in $(xdotool search --onlyvisible --name '^Quillane$' 2>/dev/null); do
      if [[ " $* " != *" $id "* ]]; then
        echo "$id"
        return 0
      fi
    done
    sleep 0.1
  done
  echo "no new Quillane window appeared" >&2
  return 1
}

# A screenshot of the whole screen cut to the window's frame (Xvfb has no window decorations).
shoot() {
  local id=$1 target=$2
  eval "$(xdotool getwindowgeometry --shell "$id")"
  import -window root "$SCRATCH/screen.png"
  convert "$SCRATCH/screen.png" -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" +repage "$target"
  echo "$target (${WIDTH}x${HEIGHT})"
}

"$PROGRAM" --language "$LANGUAGE" >"$SCRATCH/quillane.log" 2>&1 &
APP_PID=$!
main=$(wait_for_window)
sleep 4 # the splash window, then the preview of the start picture
shoot "$main" "$OUT/main-window$SUFFIX.png"

# A smaller picture keeps the output window's screenshot readable at the README's width: type
# the width into its box (with 'Lock Aspect Ratio' on, Tab makes the height follow), then press
# "Paint!", the main window's default button. The box lies at the same place in every run, the
# dialog being laid out in fixed dialog units.
xdotool windowactivate --sync "$main" 2>/dev/null || xdotool windowfocus --sync "$main"
xdotool mousemove --window "$main" "${WIDTH_BOX_X:-395}" "${WIDTH_BOX_Y:-60}" click --repeat 3 1
sleep 0.3
xdotool key --window "$main" ctrl+a
xdotool type --window "$main" "${QUILLANE_SCREENSHOT_PICTURE_WIDTH:-640}"
xdotool key --window "$main" Tab
sleep 0.5
# A real key press (not one sent to the window): Qt takes a sent Return for a held-down key,
# pressing "Paint!" and then OK again and again.
xdotool key Return
# The pointer off the windows keeps the picture frame's tooltip, a window of its own, away.
xdotool mousemove 0 0
output=$(wait_for_window "$main")
# The painting is finished when Stop has become OK; give it time, then look.
sleep "${QUILLANE_SCREENSHOT_WAIT:-20}"
# Mostly picture: a JPEG is a fifth of the PNG's size.
shoot "$output" "$SCRATCH/output-window.png"
convert "$SCRATCH/output-window.png" -strip -quality 85 "$OUT/output-window$SUFFIX.jpg"
echo "$OUT/output-window$SUFFIX.jpg"

#!/usr/bin/env bash
# SPDX-FileCopyrightText: The Quillane developers
# SPDX-License-Identifier: GPL-3.0-or-later

# The desktop integration: the menu entry and the file managers' "Paint with Quillane" actions
# are valid, declare the same picture types as the software-centre metadata, and the action's
# command line, run on three pictures in two folders, paints them beside themselves and tells
# of it through notify-send.
#
#   desktop_integration_test.sh SOURCE_DIR BIN_DIR
#
# Exits 77 (skipped) without desktop-file-validate or quillane-cli.
set -euo pipefail

SOURCE_DIR=$(cd "$1" && pwd)
BIN_DIR=$(cd "$2" && pwd)
RESOURCES=$SOURCE_DIR/resources
ACTIONS=$RESOURCES/file-manager
fail() {
  echo "FAIL: $*" >&2
  exit 1
}
command -v desktop-file-validate >/dev/null || { echo "desktop-file-validate is missing"; exit 77; }
[[ -x $BIN_DIR/quillane-cli ]] || { echo "quillane-cli is not built"; exit 77; }

desktop-file-validate "$RESOURCES/example.quillane.Quillane.desktop" ||
  fail "the menu entry is not valid"
# Dolphin's service menus are desktop entries of the type Service, whose MimeType and Actions
# keys the validator knows only for applications; anything else it says is a fault.
problems=$(desktop-file-validate "$ACTIONS/quillane-paint.desktop" 2>&1 |
           grep -v 'the type is "Service" while this key is only valid for type "Application"' ||
           true)
[[ -z $problems ]] || fail "the service menu is not valid: $problems"

key() { sed -n "s/^$2=//p" "$1" | head -n 1; }
types=$(key "$RESOURCES/example.quillane.Quillane.desktop" MimeType)
[[ $types == image/jpeg\;* ]] || fail "the menu entry declares no picture types"
[[ $(key "$RESOURCES/example.quillane.Quillane.desktop" Exec) == "quillane %f" ]] ||
  fail "the menu entry does not hand the file to quillane"
metainfo=$(sed -n 's|.*<mediatype>\(.*\)</mediatype>.*|\1;|p' \
  "$RESOURCES/example.quillane.Quillane.metainfo.xml" | tr -d '\n')
[[ $metainfo == "$types" ]] || fail "the metadata's media types are not the menu entry's"
[[ $(key "$ACTIONS/quillane-paint.desktop" MimeType) == "$types" ]] ||
  fail "the service menu's picture types are not the menu entry's"

# Each effect has its action in both formats, running the same command.
effects=(van-gogh pointillism colored-pencil charcoal-pencil black-and-white mosaic)
for effect in "${effects[@]}"; do
  nemo=$ACTIONS/quillane-$effect.nemo_action
  [[ -f $nemo && $(head -n 4 "$nemo" | tail -n 1) == "[Nemo Action]" ]] ||
    fail "no Nemo action for $effect"
  [[ $(key "$nemo" Exec) == "quillane-paint $effect %F" && -n $(key "$nemo" Name) ]] ||
    fail "the Nemo action for $effect does not run it"
  [[ $(key "$nemo" Mimetypes) == "$types" ]] || fail "the Nemo action for $effect: picture types"
  grep -qx "Exec=quillane-paint $effect %F" "$ACTIONS/quillane-paint.desktop" ||
    fail "the service menu lacks $effect"
done

# ---- the action run as a file manager runs it ------------------------------------------------
SCRATCH=$(mktemp -d "${TMPDIR:-/tmp}/quillane-desktop.XXXXXX")
trap 'rm -rf "$SCRATCH"' EXIT
mkdir -p "$SCRATCH/fake" "$SCRATCH/holiday" "$SCRATCH/garden"
# notify-send as the desktop's: records what it was asked to show.
cat >"$SCRATCH/fake/notify-send" <<EOF
#!/bin/sh
printf '%s|' "\$@" >>"$SCRATCH/notifications"; echo >>"$SCRATCH/notifications"; echo 7
EOF
chmod +x "$SCRATCH/fake/notify-send"
pictures=("$SCRATCH/holiday/beach 1.png" "$SCRATCH/holiday/beach 2.png" "$SCRATCH/garden/rose.png")
for picture in "${pictures[@]}"; do
  cp "$SOURCE_DIR/tests/data/painting/input.png" "$picture"
done
export PATH="$SCRATCH/fake:$ACTIONS:$BIN_DIR:$PATH"
command=$(key "$ACTIONS/quillane-paint.desktop" Exec | head -n 1)
${command% %F} "${pictures[@]}" 2>"$SCRATCH/stderr" || { cat "$SCRATCH/stderr"; fail "the action failed"; }
for painted in "holiday/Painted with Quillane/beach 1-van-gogh.jpg" \
  "holiday/Painted with Quillane/beach 2-van-gogh.jpg" "garden/Painted with Quillane/rose-van-gogh.jpg"; do
  [[ -s $SCRATCH/$painted ]] || fail "$painted was not painted"
done
grep -q '^-p|-a|Quillane|-i|quillane|-u|normal|Quillane: Van Gogh|Painting 3 picture' \
  "$SCRATCH/notifications" || fail "no notification of the start"
grep -q '^-p|.*|-r|7|Quillane: Van Gogh|.*2 painted, 0 failed.*1 painted, 0 failed' \
  <(tr '\n' ' ' <"$SCRATCH/notifications") || fail "no notification of the result"

# A file that is no picture is reported as critical, and the action fails.
echo "not a picture" >"$SCRATCH/garden/note.png"
: >"$SCRATCH/notifications"
! quillane-paint pointillism "$SCRATCH/garden/note.png" 2>/dev/null || fail "a failure passed"
grep -q '|-u|critical|.*0 painted, 1 failed' "$SCRATCH/notifications" ||
  fail "the failure was not shown"
echo "desktop integration: valid, and the action paints beside the pictures"

#!/usr/bin/env bash
# SPDX-FileCopyrightText: The Quillane developers
# SPDX-License-Identifier: GPL-3.0-or-later

# Runs the GIMP filters in GIMP without a display, through Script-Fu as a script would call them:
# each of the six at a fixed seed must give exactly the pixels of quillane-cli at that seed, and
# a stopped run must leave the layer as it was.
#
#   gimp_filters_test.sh BIN_DIR DATA_DIR
#
# Exits 77 (skipped) where GIMP or the plug-in is missing.
set -euo pipefail

BIN_DIR=$(cd "$1" && pwd)
DATA_DIR=$(cd "$2" && pwd)
SKIP=77

fail() {
  echo "FAIL: $*" >&2
  exit 1
}

for tool in gimp compare; do
  command -v "$tool" >/dev/null || { echo "$tool is not installed."; exit $SKIP; }
done
[[ -x $BIN_DIR/quillane-gimp ]] || { echo "The GIMP plug-in is not built."; exit $SKIP; }

SCRATCH=$(mktemp -d "${TMPDIR:-/tmp}/quillane-gimp.XXXXXX")
trap 'rm -rf "$SCRATCH"' EXIT
# A GIMP profile of the test's own, holding nothing but the plug-in, as it is installed: in a
# folder named after it.
export GIMP2_DIRECTORY=$SCRATCH/profile
export XDG_CACHE_HOME=$SCRATCH/cache
mkdir -p "$GIMP2_DIRECTORY/plug-ins/quillane-gimp" "$SCRATCH/out"
ln -s "$BIN_DIR/quillane-gimp" "$GIMP2_DIRECTORY/plug-ins/quillane-gimp/quillane-gimp"
INPUT=$DATA_DIR/painting/input.png
TILES=("$DATA_DIR"/mosaic/tile-*.png)
SEED=4242

# Script-Fu that loads the picture, runs one procedure call on its layer and saves the layer. A
# call that fails ends its script before the save; one that is cancelled does not.
script_for() {  # OUTPUT CALL
  printf '(let* ((image (car (gimp-file-load RUN-NONINTERACTIVE "%s" "%s")))
           (layer (car (gimp-image-get-active-layer image))))
      %s
      (file-png-save2 RUN-NONINTERACTIVE image layer "%s" "%s" 0 9 0 0 0 0 0 0 0)
      (gimp-image-delete image))\n' "$INPUT" "$INPUT" "$2" "$1" "$1"
}

run_gimp() {  # SCRIPT...
  local args=()
  for script in "$@"; do args+=(-b "$script"); done
  gimp -i -d -f "${args[@]}" -b '(gimp-quit 0)' >"$SCRATCH/gimp.log" 2>&1 ||
    { cat "$SCRATCH/gimp.log" >&2; fail "GIMP failed"; }
}

same_pixels() {  # A B
  [[ -f $1 ]] || { cat "$SCRATCH/gimp.log" >&2; fail "GIMP saved no $(basename "$1")"; }
  local differing
  differing=$(compare -metric AE "$1" "$2" null: 2>&1) || true
  [[ $differing == 0 ]]
}

list=$(printf '%s\n' "${TILES[@]}")
mosaic_cli=(--tiles-across 8 --no-auto-tiles-down --tiles-down 5 --no-library --min-distance 2)
for tile in "${TILES[@]}"; do mosaic_cli+=(--picture "$tile"); done
mosaic_args="8 5 FALSE FALSE \"\" \"$list\" 0 2"

scripts=()
for effect in mosaic van-gogh pointillism colored-pencil charcoal-pencil black-and-white; do
  extra=""
  [[ $effect == mosaic ]] && extra=" $mosaic_args"
  scripts+=("$(script_for "$SCRATCH/out/gimp-$effect.png" \
    "(plug-in-quillane-$effect RUN-NONINTERACTIVE image layer $SEED$extra)")")
done
run_gimp "${scripts[@]}"

for effect in mosaic van-gogh pointillism colored-pencil charcoal-pencil black-and-white; do
  extra=()
  [[ $effect == mosaic ]] && extra=("${mosaic_cli[@]}")
  "$BIN_DIR/quillane-cli" --quiet --effect "$effect" --seed $SEED "${extra[@]}" "$INPUT" \
    "$SCRATCH/out/cli-$effect.png"
  same_pixels "$SCRATCH/out/gimp-$effect.png" "$SCRATCH/out/cli-$effect.png" ||
    fail "$effect: GIMP's layer differs from quillane-cli's picture"
  ! same_pixels "$SCRATCH/out/gimp-$effect.png" "$INPUT" || fail "$effect: the layer is unchanged"
  echo "$effect: the same pixels as quillane-cli"
done

# Stopped half-way, a stroke painting and a mosaic leave the layer as it was (the same calls
# changed it above).
QUILLANE_GIMP_STOP_AT=0.5 run_gimp \
  "$(script_for "$SCRATCH/out/stopped-van-gogh.png" \
      "(plug-in-quillane-van-gogh RUN-NONINTERACTIVE image layer $SEED)")" \
  "$(script_for "$SCRATCH/out/stopped-mosaic.png" \
      "(plug-in-quillane-mosaic RUN-NONINTERACTIVE image layer $SEED $mosaic_args)")"
for effect in van-gogh mosaic; do
  same_pixels "$SCRATCH/out/stopped-$effect.png" "$INPUT" ||
    fail "a stopped $effect changed the layer"
  echo "stopped $effect: the layer is unchanged"
done

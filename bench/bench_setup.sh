# SPDX-FileCopyrightText: The Quillane developers
# SPDX-License-Identifier: GPL-3.0-or-later

# The common start of the benchmark scripts, sourced with the script's own arguments: runs from
# the top folder and finds quillane-cli in the build folder given first (default build/) and
# ImageMagick's convert for the comparisons and the pictures.
cd "$(dirname "${BASH_SOURCE[0]}")/.."
BUILD_DIR=${1:-build}
CLI="$BUILD_DIR/bin/quillane-cli"
CONVERT=/usr/bin/convert
[[ -x $CONVERT ]] || CONVERT=$(command -v convert)
[[ -x $CLI ]] || { echo "no $CLI: build the quillane-cli target first" >&2; exit 1; }

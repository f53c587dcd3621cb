#!/usr/bin/env bash
# SPDX-FileCopyrightText: The Quillane developers
# SPDX-License-Identifier: GPL-3.0-or-later

# Builds the Debian package from a build tree, checks it with lintian and the AppStream
# validator, unpacks it into a scratch root and runs the installed quillane-cli from there, the
# way a user starts it: through its link in usr/bin. The installed bash completion is loaded the
# way bash-completion finds it and asked for completions.
#
#   debian_package_test.sh BUILD_DIR VERSION GUI_BUILT
#
# Exits 77 (skipped) when the build has no quillane-cli yet or the Debian tools are missing.
set -euo pipefail

BUILD_DIR=$(cd "$1" && pwd)
VERSION=$2
GUI_BUILT=$3
SKIP=77

fail() {
  echo "FAIL: $*" >&2
  exit 1
}

if [[ ! -x "$BUILD_DIR/bin/quillane-cli" ]]; then
  echo "quillane-cli is not built; nothing to package."
  exit $SKIP
fi
if [[ $GUI_BUILT == 1 && ! -x "$BUILD_DIR/bin/quillane" ]]; then
  echo "quillane is not built yet; the package would lack it."
  exit $SKIP
fi
for tool in cpack dpkg-deb lintian appstreamcli; do
  if ! command -v "$tool" >/dev/null; then
    echo "$tool is missing; cannot build the package."
    exit $SKIP
  fi
done

SCRATCH=$(mktemp -d "${TMPDIR:-/tmp}/quillane-package.XXXXXX")
trap 'rm -rf "$SCRATCH"' EXIT

# ---- build the package -----------------------------------------------------------------------
if ! cpack -G DEB --config "$BUILD_DIR/CPackConfig.cmake" -B "$SCRATCH/package" \
    >"$SCRATCH/cpack.log" 2>&1; then
  cat "$SCRATCH/cpack.log" >&2
  fail "cpack could not build the Debian package"
fi
shopt -s nullglob
debs=("$SCRATCH"/package/quillane_*.deb)
shopt -u nullglob
((${#debs[@]} == 1)) || fail "expected one quillane_*.deb, found ${#debs[@]}"
DEB=${debs[0]}
echo "Built $(basename "$DEB")"

# ---- its control fields ----------------------------------------------------------------------
field() { dpkg-deb --field "$DEB" "$1"; }
[[ $(field Package) == quillane ]] || fail "package name is '$(field Package)'"
[[ $(field Version) == "$VERSION" ]] || fail "package version '$(field Version)', project $VERSION"
[[ $(field Section) == graphics ]] || fail "section is '$(field Section)'"
[[ $(field Maintainer) == "The Quillane developers <dev@quillane.invalid>" ]] ||
  fail "maintainer is '$(field Maintainer)'"

depends=$(field Depends)
echo "Depends: $depends"
# Each runtime need must be declared by its Debian 12 package name.
needed=(libmagick++-6.q16-8 libmagickcore-6.q16-6-extra libavformat59 libavcodec59 libswscale6
        libavutil57 fonts-arphic-uming)
if [[ $GUI_BUILT == 1 ]]; then
  needed+=(libqt6widgets6 libqt6gui6 libqt6printsupport6 qt6-qpa-plugins)
fi
for package in "${needed[@]}"; do
  # A name in a Depends list is followed by a blank, '(', ',' or the end of the list.
  grep -Eq "(^|[ ,])${package//+/\\+}([ (,]|$)" <<<"$depends" ||
    fail "Depends lacks $package"
done

# ---- lintian ---------------------------------------------------------------------------------
# Errors and warnings fail; infos are left to the reader of the log, but for those about the
# copyright file and the changelog (below). (lintian exits 1 for tags it was told to fail on, 2
# when it could not check the package.)
status=0
lintian --no-cfg --display-info --no-tag-display-limit "$DEB" >"$SCRATCH/lintian.log" 2>&1 ||
  status=$?
((status <= 1)) || fail "lintian could not check the package: $(<"$SCRATCH/lintian.log")"
if grep -E '^[EW]: ' "$SCRATCH/lintian.log" >&2; then
  fail "lintian reports the errors or warnings above"
fi
echo "lintian: no errors or warnings."

# ---- unpack it and look at what a user gets ----------------------------------------------------
ROOT="$SCRATCH/root"
dpkg -x "$DEB" "$ROOT"
PROGRAM_DIR="$ROOT/usr/lib/quillane"

check_program() {
  local name=$1
  local link="$ROOT/usr/bin/$name"
  [[ -L "$link" ]] || fail "usr/bin/$name is not a symbolic link"
  [[ $(readlink "$link") != /* ]] || fail "usr/bin/$name links to an absolute path"
  [[ $(readlink -f "$link") == $(readlink -f "$PROGRAM_DIR/$name") ]] ||
    fail "usr/bin/$name does not lead to usr/lib/quillane/$name"
  [[ -x "$PROGRAM_DIR/$name" && ! -L "$PROGRAM_DIR/$name" ]] ||
    fail "usr/lib/quillane/$name is not an executable file"
}
check_program quillane-cli

[[ -f "$PROGRAM_DIR/Example Picture.jpg" ]] || fail "the example picture is not beside the program"
[[ -d "$PROGRAM_DIR/Picture Library" ]] || fail "the Picture Library is not beside the program"
library_count=$(find "$PROGRAM_DIR/Picture Library" -type f | wc -l)
((library_count > 0)) || fail "the Picture Library is empty"

check_manpage() {
  local name=$1
  local page="$ROOT/usr/share/man/man1/$name.1.gz"
  [[ -f "$page" ]] || fail "no manual page for $name"
  gzip -t "$page" || fail "the manual page of $name is not a sound gzip file"
  zcat "$page" | grep -q "^\.TH ${name^^} 1" || fail "the manual page of $name has no .TH line"
}
check_manpage quillane-cli

if [[ $GUI_BUILT == 1 ]]; then
  check_program quillane
  check_manpage quillane
  METAINFO=("$ROOT"/usr/share/metainfo/*.metainfo.xml)
  ((${#METAINFO[@]} == 1)) && [[ -f ${METAINFO[0]} ]] || fail "expected one AppStream metainfo file"
  app_id=$(basename "${METAINFO[0]}" .metainfo.xml)
  [[ $(sed -n 's:.*<id>\(.*\)</id>.*:\1:p' "${METAINFO[0]}") == "$app_id" ]] ||
    fail "the metainfo file is not named by its id $app_id"
  appstreamcli validate --no-net "${METAINFO[0]}" || fail "appstreamcli rejects the metainfo"
  appstreamcli validate-tree --no-net "$ROOT" >/dev/null ||
    fail "appstreamcli rejects the installed tree (desktop entry and metainfo together)"
  grep -q "<release version=\"$VERSION\"" "${METAINFO[0]}" ||
    fail "the metainfo has no release $VERSION"
  # The screenshots are the README's pictures, published at the same paths.
  shots=$(grep -o '<image[^>]*>[^<]*' "${METAINFO[0]}" | sed 's:.*/::')
  [[ -n $shots ]] || fail "the metainfo shows no screenshots"
  for shot in $shots; do
    [[ -f "$ROOT/usr/share/doc/quillane/docs/images/$shot" ]] || fail "screenshot $shot is not in docs/images"
  done
  echo "AppStream metainfo $app_id is valid."

  DESKTOP="$ROOT/usr/share/applications/$app_id.desktop"
  [[ -f "$DESKTOP" ]] || fail "no desktop entry named $app_id.desktop"
  grep -qx 'Exec=quillane %f' "$DESKTOP" || fail "the desktop entry does not start quillane"
  grep -qx 'Icon=quillane' "$DESKTOP" || fail "the desktop entry does not name the icon"
  grep -q '^Categories=Graphics;' "$DESKTOP" || fail "the desktop entry is not in Graphics"
  if command -v desktop-file-validate >/dev/null; then
    desktop-file-validate "$DESKTOP" || fail "desktop-file-validate rejects the desktop entry"
  else
    echo "desktop-file-validate is not installed; the entry was checked by its keys only."
  fi
  for size in 16 32 48 64 128 256; do
    icon="$ROOT/usr/share/icons/hicolor/${size}x${size}/apps/quillane.png"
    [[ -f "$icon" ]] || fail "no ${size}x${size} icon"
    # A PNG's width and height are the big-endian words at bytes 16 and 20.
    dims=$(od -An -tu1 -j16 -N8 "$icon" | awk '{print $1*16777216+$2*65536+$3*256+$4 "x" $5*16777216+$6*65536+$7*256+$8}')
    [[ $dims == "${size}x${size}" ]] || fail "the ${size}x${size} icon is $dims"
  done
fi

# ---- copyright and changelog, as Debian wants them -------------------------------------------
DOC="$ROOT/usr/share/doc/quillane"
[[ -f "$DOC/copyright" ]] || fail "no usr/share/doc/quillane/copyright"
[[ $(head -n 1 "$DOC/copyright") == "Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/" ]] ||
  fail "the copyright file is not in Debian's machine-readable format"
grep -Pzq '\nFiles: \*\nCopyright: The Quillane developers\nLicense: GPL-3.0-or-later\n' "$DOC/copyright" ||
  fail "the copyright file does not license the program as GPL-3.0-or-later"
gzip -t "$DOC/changelog.gz" || fail "usr/share/doc/quillane/changelog.gz is missing or damaged"
if command -v dpkg-parsechangelog >/dev/null; then
  changelog_version=$(zcat "$DOC/changelog.gz" | dpkg-parsechangelog -l - -S Version) ||
    fail "dpkg-parsechangelog cannot read the changelog"
  [[ $changelog_version == "$VERSION" ]] ||
    fail "the changelog's latest entry is $changelog_version, the package $VERSION"
fi
# Every tag of lintian's that concerns the copyright file or the changelog.
tags=$(grep -E '^[EWI]: .*(copyright|changelog)' "$SCRATCH/lintian.log" || true)
[[ -z "$tags" ]] || fail "lintian: $tags"
echo "lintian finds no fault with the copyright file and the changelog."

# ---- run the installed renderer --------------------------------------------------------------
# The installed copy, not the build tree's, must answer: keep the build folder off the path.
CLI="$ROOT/usr/bin/quillane-cli"
version_text=$(cd "$SCRATCH" && "$CLI" --version) || fail "quillane-cli --version failed"
echo "quillane-cli --version: $version_text"
grep -qF "$VERSION" <<<"$version_text" || fail "--version does not tell version $VERSION"

OUTPUT="$SCRATCH/painted.png"
(cd "$SCRATCH" && "$CLI" --effect black-and-white --width 64 --seed 1 --quiet \
  "$PROGRAM_DIR/Example Picture.jpg" "$OUTPUT") || fail "painting with the installed quillane-cli failed"
[[ -s "$OUTPUT" ]] || fail "the installed quillane-cli wrote no picture"
dims=$(od -An -tu1 -j16 -N8 "$OUTPUT" | awk '{print $1*16777216+$2*65536+$3*256+$4 " " $5*16777216+$6*65536+$7*256+$8}')
read -r width height <<<"$dims"
((width == 64)) || fail "the painted picture is $width pixels wide, asked for 64"
((height > 0)) || fail "the painted picture has no height"
echo "Installed quillane-cli painted a ${width}x${height} picture."

# Started through its link, the program must still take the stock Picture Library from beside
# the real executable: a mosaic with the default library equals one with that folder named
# outright, and differs from one made from an empty library (which leaves the picture as it is).
mosaic() {
  local target=$1
  shift
  (cd "$SCRATCH" && "$CLI" --effect mosaic --tiles-across 6 --width 96 --seed 3 --quiet \
    --no-list "$@" "$PROGRAM_DIR/Example Picture.jpg" "$target") ||
    fail "the installed quillane-cli could not make a mosaic ($*)"
}
mkdir "$SCRATCH/empty-library"
mosaic "$SCRATCH/default-library.bmp"
mosaic "$SCRATCH/named-library.bmp" --library "$PROGRAM_DIR/Picture Library"
mosaic "$SCRATCH/empty-library.bmp" --library "$SCRATCH/empty-library"
cmp -s "$SCRATCH/default-library.bmp" "$SCRATCH/named-library.bmp" ||
  fail "the installed quillane-cli does not find the Picture Library beside itself"
if cmp -s "$SCRATCH/default-library.bmp" "$SCRATCH/empty-library.bmp"; then
  fail "the mosaic does not use the installed Picture Library at all"
fi
echo "Installed quillane-cli found its Picture Library through usr/bin."

# ---- bash completion -------------------------------------------------------------------------
# bash-completion looks for a command's completion in each of $XDG_DATA_DIRS on first use.
COMPLETIONS=/usr/share/bash-completion/bash_completion
if [[ -f $COMPLETIONS ]]; then
  mkdir "$SCRATCH/pictures" "$SCRATCH/pictures/trip"
  touch "$SCRATCH"/pictures/{beach.jpg,PORT.PNG,notes.txt,clip.avi}
  export XDG_DATA_DIRS="$ROOT/usr/share" COMPLETIONS CLI
  completions=$(cd "$SCRATCH/pictures" && bash --norc --noprofile -c '
    source "$COMPLETIONS"
    __load_completion quillane-cli || exit 1
    complete -p quillane-cli
    ask() { # the words typed so far; the last one is being completed
      COMP_WORDS=(quillane-cli "$@") COMP_CWORD=$# COMP_LINE="quillane-cli $*"
      COMP_POINT=${#COMP_LINE} COMPREPLY=()
      _quillane_cli quillane-cli
      printf "%s\n" "${COMPREPLY[@]}" | sort | tr "\n" " "
      echo
    }
    ask --
    ask --effect ""
    ask ""
    ask --picture ""
    ask --library ""
    ask beach.jpg ""
  ') || fail "bash-completion does not find the installed completion for quillane-cli"
  mapfile -t reply <<<"$completions"
  [[ ${reply[0]} == *" quillane-cli" ]] || fail "no completion registered: ${reply[0]}"
  help_options=$("$CLI" --help | grep -oE '(^|[[:space:],])--[a-z][a-z-]*' | tr -d ' ,' | sort -u | tr '\n' ' ')
  [[ ${reply[1]} == "$help_options" ]] ||
    fail "completed options '${reply[1]}' differ from those of --help '$help_options'"
  read -ra effects <<<"${reply[2]}"
  ((${#effects[@]} == 6)) || fail "completed effects: ${reply[2]}"
  for effect in "${effects[@]}"; do
    "$CLI" --effect "$effect" --version >/dev/null || fail "completed effect $effect is refused"
  done
  [[ ${reply[3]} == "PORT.PNG beach.jpg trip " ]] || fail "INPUT completes to '${reply[3]}'"
  [[ ${reply[4]} == "PORT.PNG beach.jpg clip.avi trip " ]] || fail "--picture completes to '${reply[4]}'"
  [[ ${reply[5]} == "trip " ]] || fail "--library completes to '${reply[5]}'"
  [[ ${reply[6]} == "PORT.PNG beach.jpg trip " ]] || fail "OUTPUT completes to '${reply[6]}'"
  echo "bash-completion finds and completes quillane-cli."
else
  echo "bash-completion is not installed; the completion was not tried."
fi
echo "PASS"

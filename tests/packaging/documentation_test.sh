#!/usr/bin/env bash
# SPDX-FileCopyrightText: The Quillane developers
# SPDX-License-Identifier: GPL-3.0-or-later

# The README and the manual page describe the same quillane-cli that the build makes: the README
# quotes `quillane-cli --help` word for word, and the manual page documents every option that
# --help lists and no other. Both manual pages (quillane-cli's and quillane's) carry the version
# that --version tells, name the licence as --version and the README do, and format without groff
# warnings.
#
#   documentation_test.sh SOURCE_DIR QUILLANE_CLI
#
# Exits 77 (skipped) when quillane-cli is not built yet.
set -euo pipefail

SOURCE_DIR=$1
CLI=$2
SKIP=77
README="$SOURCE_DIR/README.md"
MANPAGE="$SOURCE_DIR/docs/quillane-cli.1"

fail() {
  echo "FAIL: $*" >&2
  exit 1
}

if [[ ! -x "$CLI" ]]; then
  echo "quillane-cli is not built; nothing to compare."
  exit $SKIP
fi
[[ -f "$README" ]] || fail "no README.md"
[[ -f "$MANPAGE" ]] || fail "no docs/quillane-cli.1"

help_text=$("$CLI" --help) || fail "quillane-cli --help failed"
[[ -n "$help_text" ]] || fail "quillane-cli --help printed nothing"

readme=$(<"$README")
[[ $readme == *"$help_text"* ]] ||
  fail "README.md does not quote the output of quillane-cli --help exactly"

# Options as --help names them, and as the manual page names them (groff writes '-' as '\-').
help_options=$(grep -oE '(^|[[:space:],[])--?[a-z][a-z0-9-]*' <<<"$help_text" |
  sed -E 's/^[[:space:],[]//' | sort -u)
# In the manual page each option heads a .TP paragraph of the OPTIONS section.
man_options=$(awk '/^\.SH /{inside = ($2 == "OPTIONS"); next} inside && previous == ".TP" {print} {previous = $0}' "$MANPAGE" |
  sed 's/\\-/-/g' | grep -oE '(^|[^a-z0-9-])--?[a-z][a-z0-9-]*' |
  sed -E 's/^[^-]//' | sort -u)
[[ -n "$help_options" ]] || fail "found no options in the --help text"

missing_in_man=$(comm -23 <(echo "$help_options") <(echo "$man_options"))
[[ -z "$missing_in_man" ]] || fail "the manual page lacks: $(echo $missing_in_man)"
unknown_in_man=$(comm -13 <(echo "$help_options") <(echo "$man_options"))
[[ -z "$unknown_in_man" ]] || fail "the manual page names options --help does not know: $(echo $unknown_in_man)"

# The bash completion offers every option that --help lists and no other.
COMPLETION="$SOURCE_DIR/resources/bash-completion/quillane-cli"
completion_options=$(awk '/compgen -W .--/,/-- "\$cur"/' "$COMPLETION" | grep -oE -- '--[a-z][a-z0-9-]*' |
  grep -vx -- '--' | sort -u)
[[ "$completion_options" == "$help_options" ]] ||
  fail "the bash completion's options differ from --help's: $(comm -3 <(echo "$help_options") <(echo "$completion_options") | tr -s '[:space:]' ' ')"

version_text=$("$CLI" --version) || fail "quillane-cli --version failed"
version=${version_text%%$'\n'*}
number=${version##* }
[[ $version_text == *"GNU GPL version 3 or later"* ]] || fail "--version does not name the licence"
licence="GNU General Public License, version 3 or (at your option) any later version"
grep -q '^## Licence$' "$README" || fail "README.md has no Licence section"
# Sentences wrap at any blank, in the README and in the manual pages alike.
flat() { tr '\n' ' ' | tr -s ' '; }
# The picture formats the README lists are the ones the manual page lists for INPUT.
readme_formats=$(flat <"$README" | grep -oE 'may be JPEG, [^.]*\.')
man_formats=$(flat <"$MANPAGE" | grep -oE 'may be a JPEG, [^.]*picture\.')
[[ -n "$readme_formats" && -n "$man_formats" ]] || fail "found no list of picture formats"
for format in "JPEG 2000" PNM GIF WebP Targa MacPaint PICT PCX Photoshop "Sun Raster" PhotoCD; do
  [[ $readme_formats == *"$format"* ]] || fail "README.md does not list $format"
  [[ $man_formats == *"$format"* ]] || fail "the manual page does not list $format for INPUT"
done
[[ $(flat <"$README") == *"$licence"* ]] || fail "README.md does not name the licence"
for page in "$MANPAGE" "$SOURCE_DIR/docs/quillane.1"; do
  [[ -f "$page" ]] || continue
  grep -q "^\.TH [A-Z-]* 1 .*\"Quillane ${number//./\\.}\"" "$page" ||
    fail "the heading of $(basename "$page") does not name version $number"
  [[ $(flat <"$page") == *"$licence"* ]] || fail "$(basename "$page") does not name the licence"
  if command -v groff >/dev/null; then
    warnings=$(groff -man -Tutf8 -ww -z "$page" 2>&1) || fail "groff cannot format $(basename "$page")"
    [[ -z "$warnings" ]] || fail "groff warns about $(basename "$page"): $warnings"
  fi
done

echo "README and manual page agree with quillane-cli --help ($(echo $help_options | wc -w) options; $version)."
echo "PASS"

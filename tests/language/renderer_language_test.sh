#!/usr/bin/env bash
# SPDX-FileCopyrightText: The Quillane developers
# SPDX-License-Identifier: GPL-3.0-or-later

# Every text the renderer writes is in the language asked for: no Chinese character under
# --language en, no English word under --language zh (beyond names, options, file names and
# format names), over a painting, a stop, a refusal, a usage error, --help and a batch. The
# catalogues hold every text of the code, translated.
set -uo pipefail
SOURCE_DIR=$1
CLI=$2
export LC_ALL=C.UTF-8
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
status=0
fail() { echo "FAIL: $*" >&2; status=1; }

"$SOURCE_DIR/scripts/update_translations.sh" --check || fail "the catalogues are incomplete"

example="$(dirname "$CLI")/Example Picture.jpg"
printf 'not a picture' >"$work/bad.jpg"
run_all() {  # everything the renderer says in one language, on standard output
  local l=$1
  "$CLI" --language "$l" --help
  "$CLI" --language "$l" --bogus
  "$CLI" --language "$l" --seed 7 --width 120 "$example" "$work/a-$l.png"
  "$CLI" --language "$l" --effect mosaic --no-index --seed 7 --width 120 "$example" "$work/m-$l.png"
  "$CLI" --language "$l" "$work/bad.jpg" "$work/b-$l.png"
  "$CLI" --language "$l" --seed 7 --width 60 --output-dir "$work/out-$l" "$example" "$work/bad.jpg"
  # Reasons from below: a picture index that is none, an output that is a folder, and one where
  # no file can be made, whose reason is the system's own.
  "$CLI" --language "$l" --effect mosaic --index "$work/bad.jpg" --seed 7 --width 60 "$example" "$work/i-$l.png"
  mkdir -p "$work/folder.png"; "$CLI" --language "$l" --width 60 "$example" "$work/folder.png"
  "$CLI" --language "$l" --width 60 "$example" /proc/q-$l.png
  # A stop: SIGINT as soon as the painting is under way.
  "$CLI" --language "$l" --seed 7 --width 3000 "$example" "$work/s-$l.png" & local pid=$!
  sleep 0.5; kill -INT $pid; wait $pid
} 2>&1

english=$(run_all en)
chinese=$(run_all zh)
original=$(run_all original)
[[ $english == *"Painting finished."* && $english == *"Mosaic completed."* ]] ||
  fail "the English painting reports are missing: $english"
if grep -P '[\x{4e00}-\x{9fff}]' <<<"$english"; then fail "Chinese under --language en"; fi
[[ $chinese == *"绘画已经完成。"* && $chinese == *"马赛克已经完成。"* ]] ||
  fail "the Chinese painting reports are missing: $chinese"
# A text that reached the terminal in another character set shows as question marks.
[[ $chinese != *"??"* ]] || fail "unreadable characters under --language zh: $chinese"
# Words allowed under zh: those of allowed_words.txt, options and paths.
words=$(sed -E 's#[^ ]*/[^ ]*##g; s#--?[a-z][a-z0-9-]*##g' <<<"$chinese" |
  grep -oE '\b[A-Za-z]{3,}\b' | sort -u |
  grep -vxFf <(grep -v '^#' "$SOURCE_DIR/tests/language/allowed_words.txt" | tr -s ' ' '\n') ||
  true)
[[ -z $words ]] || fail "English words under --language zh: $(echo $words)"
[[ $original == *"绘画已经完成。"* && $original == *"Mosaic completed."* ]] ||
  fail "the original texts changed: $original"
exit $status

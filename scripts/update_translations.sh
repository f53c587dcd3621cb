#!/usr/bin/env bash
# SPDX-FileCopyrightText: The Quillane developers
# SPDX-License-Identifier: GPL-3.0-or-later

# Extracts the texts marked with Tr() and TrNoop() into translations/quillane.pot and merges
# them into every language's catalogue, where new texts then wait for their translation.
# With --check it changes nothing and fails when a catalogue lacks a text or holds an
# untranslated or fuzzy one.
set -euo pipefail
export LC_ALL=C.UTF-8
cd "$(dirname "$0")/.."
pot=$(mktemp --suffix=.pot)
trap 'rm -f "$pot"' EXIT
find src -name '*.cpp' -o -name '*.h' | LC_ALL=C sort |
  xgettext --files-from=- --language=C++ --from-code=UTF-8 --keyword= --keyword=Tr --keyword=TrFormat \
    --keyword=TrNoop --package-name=Quillane --no-location --sort-output -o "$pot" 2>/dev/null
if [[ ${1:-} == --check ]]; then
  status=0
  if ! diff -q <(grep -v POT-Creation-Date "$pot") <(grep -v POT-Creation-Date translations/quillane.pot) >/dev/null; then
    echo "translations/quillane.pot is out of date: run scripts/update_translations.sh" >&2
    status=1
  fi
  for po in translations/*.po; do
    msgcmp --use-untranslated "$po" "$pot" || status=1
    statistics=$(msgfmt --check --statistics -o /dev/null "$po" 2>&1)
    if [[ $statistics == *untranslated* || $statistics == *fuzzy* ]]; then
      echo "$po: $statistics" >&2
      status=1
    fi
  done
  exit $status
fi
cp "$pot" translations/quillane.pot
for po in translations/*.po; do
  msgmerge --quiet --update --backup=none --no-location --sort-output "$po" translations/quillane.pot
done

#!/usr/bin/env bash
# SPDX-FileCopyrightText: The Quillane developers
# SPDX-License-Identifier: GPL-3.0-or-later

# Installs what is missing, builds Quillane and runs every test.
set -euo pipefail
cd "$(dirname "$0")"
scripts/deps.sh
# Every file names its copyright holders and licence (the REUSE rules); the report shows on failure.
reuse lint --quiet || { reuse lint; exit 1; }
scripts/build.sh build
ctest --test-dir build --output-on-failure --parallel "$(nproc)" --timeout 600 | tee build/ctest.log
# The core, imaging, command-line and bad-input suites again under AddressSanitizer and
# UndefinedBehaviorSanitizer (build-asan/), then a short run of every fuzz target (build-fuzz/).
scripts/sanitize.sh
FUZZ_SECONDS="${FUZZ_SECONDS:-10}" FUZZ_SEED="${FUZZ_SEED:-1}" scripts/fuzz.sh

# One closing line that counts the main suite, reached only when every step above passed.
total=$(sed -n 's/.*tests failed out of \([0-9]*\).*/\1/p' build/ctest.log | tail -1)
echo "tests: ${total:-0} passed, 0 failed"

#!/usr/bin/env bash
# Installs what is missing, builds Quillane and runs every test.
set -euo pipefail
cd "$(dirname "$0")"
scripts/deps.sh
scripts/build.sh build
ctest --test-dir build --output-on-failure --parallel "$(nproc)" --timeout 600
# The core, imaging, command-line and bad-input suites again under AddressSanitizer and
# UndefinedBehaviorSanitizer (build-asan/), then a short run of every fuzz target (build-fuzz/).
scripts/sanitize.sh
FUZZ_SECONDS="${FUZZ_SECONDS:-10}" scripts/fuzz.sh

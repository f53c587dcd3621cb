#!/usr/bin/env bash
# SPDX-FileCopyrightText: The Quillane developers
# SPDX-License-Identifier: GPL-3.0-or-later

# Builds the suites of the headless layers and quillane-cli with AddressSanitizer and
# UndefinedBehaviorSanitizer into build-asan/ (or the folder given as first argument) and runs
# them, then the effects, mosaic and painting suites under ThreadSanitizer into build-tsan/ (or
# the second argument). Any sanitizer report fails the run.
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD_DIR=${1:-build-asan}

# -O1 and line tables only: the build is half the cost of this step, and reports still name
# every file and line.
cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -g1 -DNDEBUG" -DQUILLANE_SANITIZE=ON \
  -DQUILLANE_BUILD_GUI=OFF -DQUILLANE_BUILD_BENCH=OFF >/dev/null

targets=()
available=$(ninja -C "$BUILD_DIR" -t targets all)
for t in quillane-cli quillane_base_tests quillane_imaging_tests quillane_effects_tests \
  quillane_mosaic_tests quillane_painting_tests quillane_app_tests quillane_cli_tests; do
  if grep -q "^$t:" <<<"$available"; then
    targets+=("$t")
  fi
done
cmake --build "$BUILD_DIR" --parallel "$(nproc)" --target "${targets[@]}"

# Reports go to standard error and end the process with a failure status, which fails its test.
# The RSS limit stands in for ulimit -v, which AddressSanitizer's shadow memory does not allow.
export ASAN_OPTIONS="detect_leaks=1:strict_string_checks=1:check_initialization_order=1:hard_rss_limit_mb=3000${ASAN_OPTIONS:+:$ASAN_OPTIONS}"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1${UBSAN_OPTIONS:+:$UBSAN_OPTIONS}"
export LSAN_OPTIONS="suppressions=$PWD/tests/support/leak_suppressions.txt${LSAN_OPTIONS:+:$LSAN_OPTIONS}"

# Suites of other folders that this run does not build show up as "..._NOT_BUILT"; skip them, and
# the packaging and language checks, which need the documents and message catalogues that only
# the main build makes.
ctest --test-dir "$BUILD_DIR" --output-on-failure --parallel "$(nproc)" --timeout 900 \
  -E '_NOT_BUILT$|^packaging\.|^language\.'

# The effects, mosaic and painting suites once more under ThreadSanitizer (build-tsan/ beside the
# folder above): strokes painted on several threads, paintings side by side, and the mosaic's
# loader thread must share nothing unguarded. ImageMagick's own OpenMP threads are invisible to
# the sanitizer, so they are switched off.
TSAN_DIR=${2:-build-tsan}
cmake -S . -B "$TSAN_DIR" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -g1 -DNDEBUG" -DQUILLANE_SANITIZE_THREAD=ON \
  -DQUILLANE_BUILD_GUI=OFF -DQUILLANE_BUILD_BENCH=OFF >/dev/null
tsan_suites=(quillane_effects_tests quillane_mosaic_tests quillane_painting_tests)
cmake --build "$TSAN_DIR" --parallel "$(nproc)" --target "${tsan_suites[@]}"
for suite in "${tsan_suites[@]}"; do
  MAGICK_THREAD_LIMIT=1 \
    TSAN_OPTIONS="halt_on_error=1:suppressions=$PWD/tests/support/tsan_suppressions.txt${TSAN_OPTIONS:+:$TSAN_OPTIONS}" \
    "$TSAN_DIR/bin/$suite" --gtest_brief=1
done

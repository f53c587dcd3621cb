#!/usr/bin/env bash
# SPDX-FileCopyrightText: The Quillane developers
# SPDX-License-Identifier: GPL-3.0-or-later

# Builds the libFuzzer targets with clang into build-fuzz/ and runs each for FUZZ_SECONDS seconds
# (default 60). Usage: scripts/fuzz.sh [settings|picture|msp|video ...]
# FUZZ_SEED fixes libFuzzer's random seed, so that a short run in the test script walks the same
# inputs on every machine; unset (or 0), each run explores afresh.
#
# Each run starts from the seed corpus (made anew by quillane_fuzz_seeds), the corpus grown by
# earlier runs in build-fuzz/corpus/, and the regression files in tests/fuzz/regressions/. An
# input that crashes, leaks, hangs or breaks a rule is saved to build-fuzz/crashes/<target>/ and
# the script fails; copy it into tests/fuzz/regressions/<target>/ once the fault is mended, and
# the bad-input suite replays it on every test run.
set -euo pipefail
cd "$(dirname "$0")/.."
SECONDS_EACH=${FUZZ_SECONDS:-60}
SEED=${FUZZ_SEED:-0}
BUILD_DIR=${FUZZ_BUILD_DIR:-build-fuzz}
if (($# > 0)); then
  TARGETS=("$@")
else
  TARGETS=(settings picture msp video)
fi

CC=clang CXX=clang++ cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DQUILLANE_BUILD_FUZZ=ON -DQUILLANE_BUILD_GUI=OFF -DQUILLANE_BUILD_TESTS=OFF \
  -DQUILLANE_BUILD_BENCH=OFF >/dev/null
build_targets=(quillane_fuzz_seeds)
for t in "${TARGETS[@]}"; do
  build_targets+=("quillane_fuzz_$t")
done
cmake --build "$BUILD_DIR" --parallel "$(nproc)" --target "${build_targets[@]}"

rm -rf "$BUILD_DIR/seeds"
"$BUILD_DIR/bin/quillane_fuzz_seeds" "$BUILD_DIR/seeds"

export ASAN_OPTIONS="${ASAN_OPTIONS:-}"
export LSAN_OPTIONS="suppressions=$PWD/tests/support/leak_suppressions.txt${LSAN_OPTIONS:+:$LSAN_OPTIONS}"
failed=()
for t in "${TARGETS[@]}"; do
  corpus="$BUILD_DIR/corpus/$t"
  crashes="$BUILD_DIR/crashes/$t"
  regressions="tests/fuzz/regressions/$t"
  mkdir -p "$corpus" "$crashes" "$regressions"
  echo "== fuzzing $t for ${SECONDS_EACH} s"
  # Standard output is closed: the picture and video libraries chatter there and slow the runs.
  if ! "$BUILD_DIR/bin/quillane_fuzz_$t" -max_total_time="$SECONDS_EACH" -seed="$SEED" -timeout=30 \
    -rss_limit_mb=2048 -malloc_limit_mb=2048 -max_len=65536 -close_fd_mask=1 \
    -print_final_stats=1 -artifact_prefix="$crashes/" \
    "$corpus" "$BUILD_DIR/seeds/$t" "$regressions"; then
    failed+=("$t")
  fi
done

if ((${#failed[@]} > 0)); then
  echo "Fuzzing found faults in: ${failed[*]}; the inputs are in $BUILD_DIR/crashes/" >&2
  exit 1
fi
echo "Fuzzing found nothing in ${TARGETS[*]}."

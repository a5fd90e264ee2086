#!/usr/bin/env bash
# Line and branch coverage of src/ by the plain suite: a build with gcov instrumentation in
# build-coverage/, every CTest test run once, and gcovr's summary (and, with HTML=1, a report
# under build-coverage/coverage/). Needs gcovr (Debian package gcovr).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build-coverage}
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug \
  -DCMAKE_CXX_FLAGS="--coverage -O0" -DCMAKE_C_FLAGS="--coverage -O0" \
  -DCMAKE_EXE_LINKER_FLAGS=--coverage -DCMAKE_SHARED_LINKER_FLAGS=--coverage >/dev/null
cmake --build "$build" -j "$(nproc)"
find "$build" -name '*.gcda' -delete
(cd "$build" && ctest -j "$(nproc)" --timeout 1500 -LE web) || echo "coverage: some tests failed (coverage still reported)"
args=(--root "$root" --filter "$root/src/" --object-directory "$build" --exclude-throw-branches --print-summary
      --gcov-ignore-parse-errors)   # counters of threaded code can race to negative counts
[ "${HTML:-0}" = 1 ] && mkdir -p "$build/coverage" && args+=(--html-details "$build/coverage/index.html")
# gcovr replaces the file it writes: never let it write to /dev/null.
gcovr "${args[@]}" -o "$build/coverage-table.txt"

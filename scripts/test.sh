#!/usr/bin/env bash
# Builds Tabsmith twice (plain, and with AddressSanitizer + UndefinedBehaviorSanitizer) and
# runs every test suite through CTest in both builds; then builds the libFuzzer targets with
# clang, replays each committed corpus and runs a fixed number of mutations from a fixed seed
# (fuzz/run.sh replay; random searches by hand).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
jobs=$(nproc)
bash "$root/scripts/install-deps.sh" test

run_build() {
  local dir=$1; shift
  cmake -S "$root" -B "$dir" -G Ninja "$@" >/dev/null
  cmake --build "$dir" -j "$jobs"
  (cd "$dir" && ctest --output-on-failure -j "$jobs")
}

echo "== plain build"
run_build "$root/build" -DCMAKE_BUILD_TYPE=RelWithDebInfo
echo "== sanitizer build"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  run_build "$root/build-asan" -DCMAKE_BUILD_TYPE=Debug -DTABSMITH_SANITIZE=ON
echo "== fuzz build"
CC=clang CXX=clang++ cmake -S "$root" -B "$root/build-fuzz" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DTABSMITH_FUZZ=ON -DTABSMITH_TESTS=OFF >/dev/null
cmake --build "$root/build-fuzz" -j "$jobs" --target fuzz_targets
bash "$root/fuzz/run.sh" "$root/build-fuzz" replay

#!/usr/bin/env bash
# Builds Tabsmith twice and runs every suite: a plain build (gcc, optimised) runs the GoogleTest
# suites, the conformance books read back by other programs, the corpus, the PHP module and the
# tool; a sanitizer build (clang: AddressSanitizer, UndefinedBehaviorSanitizer and libFuzzer's
# instrumentation) runs the GoogleTest suites again and the fuzz targets, each replaying its
# committed corpus and a fixed number of mutations from a fixed seed (fuzz/run.sh replay), so
# that every run gives the same answer. Both builds compile their sources in batches.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
jobs=$(nproc)
bash "$root/scripts/install-deps.sh" test

# lld links the many test programs in a fraction of ld's time.
linker=()
command -v ld.lld >/dev/null && linker=(-DCMAKE_EXE_LINKER_FLAGS=-fuse-ld=lld -DCMAKE_SHARED_LINKER_FLAGS=-fuse-ld=lld)

run_build() {
  local dir=$1; shift
  cmake -S "$root" -B "$dir" -G Ninja -DTABSMITH_UNITY=ON "${linker[@]}" "$@" >/dev/null
  cmake --build "$dir" -j "$jobs"
  # The web load test (label web) is left out: `ctest -L web` runs it.
  (cd "$dir" && ctest --output-on-failure -j "$jobs" -LE web)
}

echo "== plain build"
run_build "$root/build" -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_FLAGS_RELEASE="-O2 -DNDEBUG" -DCMAKE_C_FLAGS_RELEASE="-O2 -DNDEBUG"
echo "== sanitizer and fuzz build"
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
CC=clang CXX=clang++ run_build "$root/build-sanitize" -DTABSMITH_FUZZ=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -gline-tables-only" -DCMAKE_C_FLAGS_RELWITHDEBINFO="-O1 -gline-tables-only"
bash "$root/fuzz/run.sh" "$root/build-sanitize" replay

#!/usr/bin/env bash
# Builds Tabsmith twice (plain, and with AddressSanitizer + UndefinedBehaviorSanitizer) and
# runs every test suite through CTest in both builds.
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

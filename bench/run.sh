#!/usr/bin/env bash
# Benchmarks: builds a release variant and runs each workload for Tabsmith and its peer in one
# run, so that the ratio is measured under the same machine load.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build-bench"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTABSMITH_TESTS=OFF >/dev/null
cmake --build "$build" -j "$(nproc)" --target bench_write bench_formula peer_xlsxwriter bench_csv
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
rows=${ROWS:-100000}
for round in 1 2 3; do
  "$build/bench/bench_write" "$out/tabsmith.xlsx" "$rows"
  "$build/bench/peer_xlsxwriter" "$out/peer.xlsx" "$rows"
done
"$build/bench/bench_formula" "$out/formulas.xlsx"
"$build/bench/bench_statements" "$out/statements.xlsx"
"$build/bench/bench_csv" "$out/bench.csv"

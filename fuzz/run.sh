#!/usr/bin/env bash
# Runs the libFuzzer targets of a fuzz build one after another and closes with
# "fuzz: N passed, M failed".
#
#   fuzz/run.sh BUILD_DIR replay [TARGET...]       what the test command runs: every input of the
#                                                  committed corpus fuzz/corpus/<target>/ once, then
#                                                  a fixed number of mutations from a fixed seed,
#                                                  so that every run gives the same answer
#   fuzz/run.sh BUILD_DIR SECONDS [TARGET...]      a random search of SECONDS per target (by hand)
#
# A target fails when libFuzzer finds a crash, leak, timeout or out-of-memory; the input it saved
# is kept under BUILD_DIR/fuzz-artifacts/<target>/ and the end of its log is printed. With
# TABSMITH_FUZZ_CORPUS=DIR a random search keeps the corpus it grows in DIR/<target>. The
# committed corpus is only ever read.
set -euo pipefail

if [ $# -lt 2 ]; then
  echo "usage: fuzz/run.sh BUILD_DIR replay|SECONDS [TARGET...]" >&2
  exit 2
fi
fuzz_dir=$(cd "$(dirname "$0")" && pwd)
build=$(cd "$1" && pwd)
mode=$2
shift 2
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(fuzz_open_options fuzz_statements fuzz_csv fuzz_statement_file fuzz_charset
                                     fuzz_compound_file fuzz_zip_reader fuzz_open_xlsx
                                     fuzz_open_xls fuzz_picture_size)
# Mutations a replay makes after the corpus, from seed 1: a few seconds per target.
replay_runs=${TABSMITH_FUZZ_RUNS:-2000}

work=$(mktemp -d "${TMPDIR:-/tmp}/tabsmith-fuzz-run.XXXXXX")
trap 'rm -rf "$work"' EXIT

export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1}

passed=0 failed=0
for target in "${targets[@]}"; do
  binary=$build/fuzz/$target
  if [ ! -x "$binary" ]; then
    echo "== $target: no binary at $binary (configure with -DTABSMITH_FUZZ=ON and build it)"
    failed=$((failed + 1))
    continue
  fi
  # libFuzzer writes what it finds into the first corpus folder: a copy, never the committed one.
  if [ "$mode" != replay ] && [ -n "${TABSMITH_FUZZ_CORPUS:-}" ]; then
    corpus=$TABSMITH_FUZZ_CORPUS/$target
  else
    corpus=$work/$target
  fi
  mkdir -p "$corpus"
  cp -n "$fuzz_dir/corpus/$target/"* "$corpus/" 2>/dev/null || true
  artifacts=$build/fuzz-artifacts/$target
  mkdir -p "$artifacts"
  options=(-timeout=10 -rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix="$artifacts/")
  if [ "$mode" = replay ]; then
    options+=(-seed=1 -runs="$replay_runs")
  else
    options+=(-max_total_time="$mode")
  fi
  # The character-set, compound-file, picture and zip targets read raw bytes or archives: the
  # statement words would only dilute their mutations.
  case $target in
    fuzz_charset | fuzz_compound_file | fuzz_open_xls | fuzz_picture_size) ;;
    fuzz_zip_reader | fuzz_open_xlsx) options+=(-dict="$fuzz_dir/zip.dict") ;;
    *) options+=(-dict="$fuzz_dir/statements.dict") ;;
  esac
  log=$work/$target.log
  if "$binary" "${options[@]}" "$corpus" >"$log" 2>&1; then
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
    echo "== $target: passed (${runs:-?} runs)"
    passed=$((passed + 1))
  else
    echo "== $target: FAILED; the input is under $artifacts/, the log ends with:"
    tail -n 60 "$log"
    failed=$((failed + 1))
  fi
done

echo "fuzz: $passed passed, $failed failed"
[ "$failed" -eq 0 ]

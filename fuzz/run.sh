#!/usr/bin/env bash
# Runs the libFuzzer targets of a fuzz build one after another, each for SECONDS on a copy of its
# seed corpus, and closes with "fuzz: N passed, M failed".
#   fuzz/run.sh BUILD_DIR SECONDS [TARGET...]     (default: every target)
# A target fails when libFuzzer finds a crash, leak, timeout or out-of-memory; the input it
# saved is kept under BUILD_DIR/fuzz-artifacts/<target>/ and the end of its log is printed.
# With TABSMITH_FUZZ_CORPUS=DIR the corpus lives in DIR/<target> and grows across runs.
set -euo pipefail

if [ $# -lt 2 ]; then
  echo "usage: fuzz/run.sh BUILD_DIR SECONDS [TARGET...]" >&2
  exit 2
fi
fuzz_dir=$(cd "$(dirname "$0")" && pwd)
build=$(cd "$1" && pwd)
seconds=$2
shift 2
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(fuzz_open_options fuzz_statements fuzz_csv fuzz_statement_file fuzz_charset
                                     fuzz_compound_file fuzz_zip_reader fuzz_open_xlsx
                                     fuzz_open_xls fuzz_picture_size)

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
  if [ -n "${TABSMITH_FUZZ_CORPUS:-}" ]; then
    corpus=$TABSMITH_FUZZ_CORPUS/$target
  else
    corpus=$work/$target
  fi
  mkdir -p "$corpus"
  cp -n "$fuzz_dir/seeds/$target/"* "$corpus/" 2>/dev/null || true
  artifacts=$build/fuzz-artifacts/$target
  mkdir -p "$artifacts"
  options=(-max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1
           -artifact_prefix="$artifacts/")
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
    echo "== $target: passed (${runs:-?} runs in ${seconds}s)"
    passed=$((passed + 1))
  else
    echo "== $target: FAILED; the input is under $artifacts/, the log ends with:"
    tail -n 60 "$log"
    failed=$((failed + 1))
  fi
done

echo "fuzz: $passed passed, $failed failed"
[ "$failed" -eq 0 ]

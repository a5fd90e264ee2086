#!/usr/bin/env bash
# Benchmarks in one command: builds the release bench programs, then runs each workload for
# Tabsmith and its peer alternately (ours, peer, ours, peer, ...) so that both see the same
# machine load, and prints medians and ours/peer ratios. Every file goes to a private temporary
# directory that is removed at the end.
#
#   bash bench/run.sh                 5 rounds of 100,000 rows
#   ROUNDS=3 bash bench/run.sh        fewer rounds
#   QUICK=1 bash bench/run.sh         smoke test: 1 round of 20,000 rows
#   ROWS=50000 bash bench/run.sh      other sizes (checksums are checked at 100,000 / 65,000 rows)
#   W4=0 EXTRAS=0 bash bench/run.sh   skip the .xls workload / the formula and CSV lines
#   W7=0 bash bench/run.sh            skip the streamed-rows workload
#   GROWTH=0 bash bench/run.sh        skip the growth line (W1 at ten times the rows, once)
#
# See bench/README.md for what the lines mean.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$here")
build=${BUILD_DIR:-$root/build-harness}
python=/usr/bin/python3

if [[ ${QUICK:-0} == 1 ]]; then
  rounds=${ROUNDS:-1}
  rows=${ROWS:-20000}
else
  rounds=${ROUNDS:-5}
  rows=${ROWS:-100000}
fi
# W4 is 65,000 rows (the most a BIFF8 sheet holds is 65,536); smaller runs read fewer.
xls_rows=$(( rows < 65000 ? rows : 65000 ))
statements=$(( rows * 10 ))

bash "$root/scripts/install-deps.sh" bench
echo "== build ($build, Release)"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTABSMITH_TESTS=OFF >/dev/null
targets=(measure bench_write bench_read bench_update bench_statements bench_formula bench_csv deflate_limit)
have_peer=0
if grep -q '^XLSXWRITER_FOUND:INTERNAL=1' "$build/CMakeCache.txt"; then
  targets+=(peer_xlsxwriter)
  have_peer=1
fi
if ! log=$(cmake --build "$build" -j "$(nproc)" --target "${targets[@]}" 2>&1); then
  echo "$log" | tail -40
  exit 1
fi
bin="$build/bench"

work=$(mktemp -d "${TMPDIR:-/tmp}/tabsmith-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT
results="$work/results.tsv"   # workload side round wall cpu rss_kib bytes check status line
notes="$work/notes.txt"       # lines printed under the table
: >"$results"
: >"$notes"

# run WORKLOAD SIDE ROUND OUTPUT -- COMMAND...
# Runs the command under measure; OUTPUT (or -) is the file whose size is reported. The
# program's own line is shown for the first round, and for any round that fails.
run() {
  local workload=$1 side=$2 round=$3 output=$4
  shift 5
  local log="$work/run.log" m="$work/measure.txt" status=0
  : >"$m"
  "$bin/measure" -o "$m" -l "$workload/$side" -- "$@" >"$log" 2>&1 || status=$?
  local figures bytes=- check=- line
  figures=$(tail -n 1 "$m")
  if [[ $output != - && -f $output ]]; then bytes=$(stat -c %s "$output"); fi
  if grep -q 'checksum ok' "$log"; then check=ok
  elif grep -q 'checksum MISMATCH' "$log"; then check=MISMATCH
  elif grep -q 'checksum not checked' "$log"; then check=unchecked
  fi
  line=$( { grep -v '^warning:\|^---\|^unhandled' "$log" || true; } | tail -n 1 | tr '\t' ' ')
  local failed=0
  if [[ $status != 0 && $status != "${ALLOWED_STATUS:-0}" ]]; then
    # Status 3 is bench_read's "reader not available yet", which is reported, not a failure.
    [[ $status == 3 && $line == *"not available"* ]] || failed=1
  fi
  if [[ $round == 1 || $check == MISMATCH || $failed == 1 ]]; then
    printf '  %-3s %-4s round %-2s %s\n' "$workload" "$side" "$round" "${line:-(prints nothing) $*}"
    if (( failed )); then
      echo "    exit status $status; log:"
      sed 's/^/    /' "$log" | tail -n 5
    fi
  fi
  local wall cpu rss
  wall=$(sed -n 's/.* wall=\([0-9.]*\).*/\1/p' <<<"$figures")
  cpu=$(sed -n 's/.* cpu=\([0-9.]*\).*/\1/p' <<<"$figures")
  rss=$(sed -n 's/.* rss_kib=\([0-9]*\).*/\1/p' <<<"$figures")
  printf '%s\t%s\t%s\t%s\t%s\t%s\t%s\t%s\t%s\t%s\n' "$workload" "$side" "$round" "$wall" "$cpu" "$rss" "$bytes" \
    "$check" "$status" "$line" >>"$results"
  last_status=$status
  last_line=$line
}

echo "== W1 / W2: write $rows x 10 cells; $rounds round(s), ours and libxlsxwriter alternately"
for workload in W1 W2; do
  for (( round = 1; round <= rounds; ++round )); do
    run "$workload" ours "$round" "$work/ours.xlsx" -- "$bin/bench_write" "$work/ours.xlsx" "$rows" "$workload"
    rm -f "$work/ours.xlsx"
    if (( have_peer )); then
      run "$workload" peer "$round" "$work/peer.xlsx" -- "$bin/peer_xlsxwriter" "$work/peer.xlsx" "$rows" "$workload"
      # The peer's W1 file is what W3 reads.
      if [[ $workload == W1 ]]; then mv -f "$work/peer.xlsx" "$work/w3.xlsx"; else rm -f "$work/peer.xlsx"; fi
    fi
  done
done
(( have_peer )) || echo "no libxlsxwriter (pkg-config xlsxwriter): peer rows left out" >>"$notes"

# The .csv orcus-xlsx writes for a file, checked against the data checksum (untimed).
csv_checksum() {
  "$python" - "$1" "$2" <<'EOF'
import csv, sys
rows = int(sys.argv[2])
cents = strings = 0
for record in csv.reader(open(sys.argv[1], newline="")):
    for field in record:
        try:
            cents += int(round(float(field) * 100))
        except ValueError:
            strings += field != ""
expected = {100000: (24872325309101, 500000), 65000: (16159723974081, 325000)}.get(rows)
print("ok" if expected == (cents, strings) else "MISMATCH" if expected else "unchecked")
EOF
}

# Reading workloads: the peer every round; ours until the engine says it cannot read the file.
read_rounds() {
  local workload=$1 file=$2 label=$3
  shift 3
  local ours_available=1
  for (( round = 1; round <= rounds; ++round )); do
    if (( ours_available )); then
      run "$workload" ours "$round" - -- "$bin/bench_read" "$file" "$workload"
      if [[ $last_status == 3 ]]; then
        ours_available=0
        echo "$last_line" >>"$notes"
        sed -i '$d' "$results"   # no figure of ours
      fi
    fi
    run "$workload" peer "$round" - -- "$@"
  done
}

if (( have_peer )) && [[ -f $work/w3.xlsx ]]; then
  echo "== W3: read the libxlsxwriter W1 file ($rows rows); orcus-xlsx (load only) and ours alternately"
  if command -v orcus-xlsx >/dev/null; then
    # orcus-xlsx 0.17 exits with status 1 even after a complete load, so 1 is taken as success;
    # that the load is complete is checked once on its CSV output.
    mkdir -p "$work/orcus"
    orcus-xlsx -f csv -o "$work/orcus" "$work/w3.xlsx" >/dev/null 2>&1 || true
    orcus_check=$(csv_checksum "$work/orcus/Sheet1.csv" "$rows" 2>/dev/null || echo MISMATCH)
    rm -rf "$work/orcus"
    echo "  orcus-xlsx CSV output of the W3 file: checksum $orcus_check (untimed)"
    ALLOWED_STATUS=1 read_rounds W3 "$work/w3.xlsx" orcus orcus-xlsx -f none "$work/w3.xlsx"
    # W3C: the same cells one at a time by their A1 names (TXLS_get_cell), against the same peer.
    ALLOWED_STATUS=1 read_rounds W3C "$work/w3.xlsx" orcus orcus-xlsx -f none "$work/w3.xlsx"
    # The timed runs print nothing; they carry the verdict of the CSV check.
    awk -F'\t' -v OFS='\t' -v c="$orcus_check" '$1 ~ /^W3C?$/ && $2 == "peer" { $8 = c } { print }' "$results" \
      >"$results.new" && mv "$results.new" "$results"
  else
    echo "orcus-xlsx not found: W3 peer left out" >>"$notes"
  fi
fi

if (( have_peer )) && [[ -f $work/w3.xlsx ]]; then
  echo "== W6: update the libxlsxwriter W1 file ($rows rows): open, put one value, save; compared with our W1"
  for (( round = 1; round <= rounds; ++round )); do
    run W6 ours "$round" "$work/w6.xlsx" -- "$bin/bench_update" "$work/w3.xlsx" "$work/w6.xlsx"
    # The saved copy must read back with the data's checksum and the new value (untimed).
    verdict=$("$bin/bench_read" "$work/w6.xlsx" W6-check 2>&1 | tail -n 1)
    if [[ $verdict == *"checksum ok"* ]]; then
      # The round's row (the last one) carries the verdict in its checksum field.
      awk -F'\t' -v OFS='\t' -v last="$(wc -l <"$results")" 'NR == last { $8 = "ok" } { print }' "$results" \
        >"$results.new" && mv "$results.new" "$results"
    else
      echo "W6 round $round: the saved copy does not check: $verdict" >>"$notes"
    fi
    rm -f "$work/w6.xlsx"
  done
fi

if [[ ${W7:-1} == 1 ]]; then
  echo "== W7: W1's cells streamed row by row (TXLS_write_row, STREAM_AFTER=1); libxlsxwriter constant_memory alternately"
  for (( round = 1; round <= rounds; ++round )); do
    run W7 ours "$round" "$work/w7.xlsx" -- "$bin/bench_write" "$work/w7.xlsx" "$rows" W7
    # The saved file must read back with W1's checksum (untimed): the streamed rows are in it.
    verdict=$("$bin/bench_read" "$work/w7.xlsx" W7-check 2>&1 | tail -n 1)
    if [[ $verdict != *"checksum ok"* && $verdict != *"checksum not checked"* ]]; then
      awk -F'\t' -v OFS='\t' -v last="$(wc -l <"$results")" 'NR == last { $8 = "MISMATCH" } { print }' "$results" \
        >"$results.new" && mv "$results.new" "$results"
      echo "W7 round $round: the saved file does not read back: $verdict" >>"$notes"
    fi
    rm -f "$work/w7.xlsx"
    if (( have_peer )); then
      run W7 peer "$round" "$work/peer.xlsx" -- "$bin/peer_xlsxwriter" "$work/peer.xlsx" "$rows" W7
      rm -f "$work/peer.xlsx"
    fi
  done
fi

if [[ ${W4:-1} == 1 ]] && (( have_peer )); then
  if command -v soffice >/dev/null; then
    echo "== W4: read a $xls_rows-row .xls (BIFF8); xlrd and ours alternately"
    "$bin/peer_xlsxwriter" "$work/w4.xlsx" "$xls_rows" >/dev/null
    # A private LibreOffice profile, so that no user profile is touched or locked.
    if timeout 900 soffice -env:UserInstallation="file://$work/lo-profile" --headless --convert-to xls \
         --outdir "$work" "$work/w4.xlsx" >"$work/soffice.log" 2>&1 && [[ -f $work/w4.xls ]]; then
      rm -rf "$work/lo-profile" "$work/w4.xlsx"
      echo "  w4.xls: $(stat -c %s "$work/w4.xls") bytes (LibreOffice conversion, untimed)"
      read_rounds W4 "$work/w4.xls" xlrd "$python" "$here/peer_xlrd.py" "$work/w4.xls" W4
    else
      echo "W4: LibreOffice conversion to .xls failed: $(tail -n 1 "$work/soffice.log")" >>"$notes"
    fi
  else
    echo "soffice not found: W4 left out" >>"$notes"
  fi
fi

echo "== W5: $statements statements through TXLS_put_values; $rounds round(s), ours only"
for (( round = 1; round <= rounds; ++round )); do
  run W5 ours "$round" - -- "$bin/bench_statements" "$work/w5.xlsx" "$statements"
  rm -f "$work/w5.xlsx"
done

extras="$work/extras.txt"
: >"$extras"
if [[ ${EXTRAS:-1} == 1 ]]; then
  echo "== extras: formulas and CSV paste (one run each)"
  "$bin/bench_formula" "$work/formulas.xlsx" >>"$extras" 2>&1 || echo "bench_formula failed" >>"$extras"
  "$bin/bench_csv" "$work/bench.csv" >>"$extras" 2>&1 || echo "bench_csv failed" >>"$extras"
  rm -f "$work/formulas.xlsx" "$work/bench.csv"
  # The write path against the compressor's limit: our save time of W1 beside the time to
  # deflate the same XML in one piece on one core.
  "$bin/bench_write" "$work/limit.xlsx" "$rows" W1 >"$work/limit.txt" 2>&1 || echo "bench_write failed" >>"$extras"
  cat "$work/limit.txt" >>"$extras"
  unzip -p "$work/limit.xlsx" xl/worksheets/sheet1.xml >"$work/sheet1.xml"
  unzip -p "$work/limit.xlsx" xl/sharedStrings.xml >"$work/sst.xml"
  "$bin/deflate_limit" "$work/sheet1.xml" "$work/sst.xml" >>"$extras" 2>&1 || echo "deflate_limit failed" >>"$extras"
  rm -f "$work/limit.xlsx" "$work/sheet1.xml" "$work/sst.xml"
  # W1's book as the HTML view beside its save as .xlsx.
  "$bin/bench_write" "$work/view.xlsx" "$rows" HTML >>"$extras" 2>&1 || echo "bench_write HTML failed" >>"$extras"
  rm -f "$work/view.xlsx" "$work/view.xlsx.html"
  # Growth: ten times the rows in one run beside the W1 run above; time and memory per cell
  # should grow no faster than the cells.
  if [[ ${GROWTH:-1} == 1 ]]; then
    "$bin/bench_write" "$work/growth.xlsx" "$(( rows * 10 ))" W1 >"$work/growth.txt" 2>&1 || echo "bench_write growth failed" >>"$extras"
    rm -f "$work/growth.xlsx"
    "$python" - "$work/limit.txt" "$work/growth.txt" >>"$extras" <<'PY'
import re, sys
def figures(path):
    text = open(path).read()
    wall, per_cell = re.search(r"wall=([0-9.]+)s", text), re.search(r"bytes_per_cell=([0-9.]+)", text)
    return (float(wall.group(1)), float(per_cell.group(1))) if wall and per_cell else None
base, grown = figures(sys.argv[1]), figures(sys.argv[2])
if base and grown:
    print(f"  growth: W1 with 10x the rows took {grown[0]:.3f}s = {grown[0] / base[0]:.2f}x the W1 run (target <= 10.5x); "
          f"memory per cell {base[1]:.1f} -> {grown[1]:.1f} bytes (target: no higher)")
else:
    print("  growth: no figures")
PY
  fi
fi

echo
"$python" "$here/summarize.py" "$results" "$notes" "$extras" "$rows" "$rounds"

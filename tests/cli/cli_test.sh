#!/usr/bin/env bash
# cli_test.sh - end-to-end checks of the `tabsmith` command-line tool: the example report run and
# read back with unzip and openpyxl, usage errors, a missing statement file, and `help`.
# Usage: cli_test.sh TABSMITH_BINARY EXAMPLES_DIR WORK_DIR
set -uo pipefail
tool=$(realpath "$1") examples=$(realpath "$2") work=$3
rm -rf "$work" && mkdir -p "$work"
# Everything the checks write stays under $work, which goes at the end unless asked to stay.
[ -n "${TABSMITH_KEEP_TEST_OUTPUT:-}" ] || trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
pass() { echo "ok: $*"; }

# Usage errors exit 2 and say how to use the tool.
for args in "" "frobnicate" "run" "run a.txt b.txt" "run a.txt --charset latin1" "run a.txt -o" "run a.txt --bogus" "help extra"; do
    # shellcheck disable=SC2086
    "$tool" $args >"$work/out.txt" 2>"$work/err.txt"
    rc=$?
    if [ "$rc" -eq 2 ] && grep -q "Usage:" "$work/err.txt"; then pass "usage error for '$args'"
    else fail "'$args' exited $rc (want 2 with a usage text)"; fi
done

"$tool" --help >"$work/out.txt" 2>&1 && grep -q -- "--template" "$work/out.txt" && grep -q -- "--charset" "$work/out.txt" \
    && pass "--help documents the options" || fail "--help"
"$tool" --version >"$work/out.txt" 2>&1 && grep -q "2\.0\.4" "$work/out.txt" && pass "--version" || fail "--version"
"$tool" help >"$work/out.txt" 2>&1 && grep -q "ORV TABSMITH" "$work/out.txt" && grep -q "FONT.COLOR" "$work/out.txt" \
    && grep -q "フォント" "$work/out.txt" && pass "help prints the summary in UTF-8" || fail "help"

# A missing statement file: non-zero, a coded engine message, and no book left behind.
"$tool" run "$work/no_such_file.txt" -o "$work/missing.xlsx" >"$work/out.txt" 2>"$work/err.txt"
rc=$?
if [ "$rc" -ne 0 ] && [ "$rc" -ne 2 ] && grep -q "TXLS-" "$work/err.txt" && [ ! -e "$work/missing.xlsx" ]; then
    pass "missing statement file exits $rc with $(grep -o 'TXLS-[0-9]*' "$work/err.txt" | head -1)"
else
    fail "missing statement file: rc=$rc, stderr: $(cat "$work/err.txt")"
fi

# A failing statement: non-zero with the statement's coded message.
printf 'SHEET=Bad\nA1.FOO=1\n' >"$work/bad.txt"
"$tool" run "$work/bad.txt" -o "$work/bad.xlsx" >"$work/out.txt" 2>"$work/err.txt"
rc=$?
if [ "$rc" -eq 1 ] && grep -q "^$work/bad.txt:2: TXLS-" "$work/err.txt"; then pass "bad statement exits 1 naming file:line"
else fail "bad statement: rc=$rc, stderr: $(cat "$work/err.txt")"; fi

# The line is the one the statement starts on, after quoted line breaks and CR LF endings.
printf 'A1="two\r\nlines"\r\nA2=1\r\n\r\nA3.NOSUCH=2\r\n' >"$work/lines.txt"
"$tool" run "$work/lines.txt" -o "$work/lines.xlsx" >/dev/null 2>"$work/err.txt"
grep -q "lines.txt:5: TXLS-" "$work/err.txt" && pass "failing line counted across quoted breaks" \
    || fail "line numbering: $(cat "$work/err.txt")"

# A quote that never closes swallows every later statement: warned about, with its line.
printf 'A1=1\nA2="open\nA3=3\n' >"$work/quote.txt"
"$tool" run "$work/quote.txt" -o "$work/quote.xlsx" >/dev/null 2>"$work/err.txt"
grep -q "quote.txt:2: warning: this quote is never closed" "$work/err.txt" && pass "unclosed quote warned" \
    || fail "unclosed quote: $(cat "$work/err.txt")"

# A workbook where the statement file belongs is named as what it is.
printf 'PK\003\004rest' >"$work/book.xlsx"
"$tool" run "$work/book.xlsx" -o "$work/x.xlsx" >/dev/null 2>"$work/err.txt"
rc=$?
if [ "$rc" -eq 2 ] && grep -q "is an .xlsx workbook" "$work/err.txt" && grep -q -- "--template" "$work/err.txt"; then
    pass "a workbook given as statements is recognised"
else fail "workbook as statements: rc=$rc, $(cat "$work/err.txt")"; fi
"$tool" --help 2>&1 | grep -q "read in the book's" && pass "--help: CSV files in the book's character set" \
    || fail "--help CSV text"

# The example report, end to end. The statement-file reader is another subsystem: when it is not
# there yet the engine answers TXLS-03600, and this part is skipped rather than failed.
out="$work/out/sales_report.xlsx"
"$tool" run "$examples/sales_report.txt" -o "$out" --charset utf8 >"$work/out.txt" 2>"$work/err.txt"
rc=$?
if [ "$rc" -ne 0 ] && grep -q "TXLS-03600" "$work/err.txt"; then
    echo "SKIP: example run: the statement-file reader is not available yet ($(cat "$work/err.txt"))"
elif [ "$rc" -ne 0 ]; then
    fail "example run exited $rc: $(cat "$work/err.txt")"
else
    grep -q "saved $out" "$work/out.txt" && pass "run prints where it saved" || fail "run output: $(cat "$work/out.txt")"
    unzip -tq "$out" >/dev/null && pass "unzip -t" || fail "unzip -t $out"
    if /usr/bin/python3 - "$out" <<'PY'
import sys
import openpyxl
wb = openpyxl.load_workbook(sys.argv[1])
problems = []
def want(what, got, expected):
    if got != expected:
        problems.append(f"{what}: {got!r} != {expected!r}")
want("sheets", wb.sheetnames, ["Sales", "Summary"])
ws = wb["Sales"]
want("title", ws["A1"].value, "Quarterly sales (Q1)")
want("header", [c.value for c in ws[3]], ["Month", "Region", "Product", "Units", "Amount"])
want("first row", [c.value for c in ws[4]], ["2024/04", "East", "Notebook", 120, 144000])
want("total label", ws["A16"].value, "合計")
want("units total", ws["D16"].value, "=SUM(D4:D15)")
want("amount total", ws["E16"].value, "=SUM(E4:E15)")
want("header bold", ws["A3"].font.b, True)
want("header fill", ws["A3"].fill.fgColor.rgb, "FF000080")
want("comma format", ws["D4"].number_format, "#,##0_ ")
want("border", ws["B5"].border.left.style, "thin")
want("total top border", ws["E16"].border.top.style, "double")
want("merge", "A1:E1" in [str(r) for r in ws.merged_cells.ranges], True)
want("column width C", ws.column_dimensions["C"].width is not None and ws.column_dimensions["C"].width > 15, True)
want("orientation", ws.page_setup.orientation, "landscape")
want("header centre", ws.oddHeader.center.text, "四半期売上報告")
want("print title rows", ws.print_title_rows, "$3:$3")
summary = wb["Summary"]
want("summary total", summary["C6"].value, "=SUM(C4:C5)")
for p in problems:
    print("  " + p)
sys.exit(1 if problems else 0)
PY
    then pass "openpyxl reads the report's sheets, values and styles"
    else fail "openpyxl checks"; fi
    # A relative output lands under the current directory, with the derived default name.
    (cd "$work" && "$tool" run "$examples/sales_report.txt" >"$work/out2.txt" 2>&1) \
        && [ -s "$work/sales_report.xlsx" ] && pass "default output name" || fail "default output: $(cat "$work/out2.txt")"
fi

if [ "$failures" -ne 0 ]; then echo "$failures check(s) failed"; exit 1; fi
echo "all cli checks passed"

#!/usr/bin/env bash
# pdf_test.sh - the PDF export end to end through `tabsmith pdf` (TXLS_save_pdf and LibreOffice):
# the main job's sales report, the invoice and a wide report read back with pdftotext and pdfinfo,
# converted side by side; the converter's failures give their codes and leave no temporary folder,
# no PDF and no process behind.
# Usage: pdf_test.sh TABSMITH_BINARY EXAMPLES_DIR WORK_DIR
set -uo pipefail
tool=$(realpath "$1") examples=$(realpath "$2") work=$3
for program in soffice pdftotext pdfinfo; do
    command -v "$program" >/dev/null || { echo "FAIL: $program is not installed (scripts/install-deps.sh test)"; exit 1; }
done
rm -rf "$work" && mkdir -p "$work/tmp" && cd "$work" || exit 1
[ -n "${TABSMITH_KEEP_TEST_OUTPUT:-}" ] || trap 'rm -rf "$work"' EXIT
export TEMP="$work/tmp"   # the engine's temporary folders, to be found empty after every conversion
failures=0
check() { # WHAT COMMAND...
    if "${@:2}"; then echo "ok: $1"; else echo "FAIL: $1"; failures=$((failures + 1)); fi
}
sizes() { # the pages' sizes in points, rounded: "842x595 595x842"
    pdfinfo -f 1 -l 9999 "$1" | awk '/^Page +[0-9]+ size:/ { printf "%s%.0fx%.0f", n++ ? " " : "", $4, $6 }'
}
page_has() { # PDF PAGE TEXT...: every text is on that page
    local text; text=$(pdftotext -layout -f "$2" -l "$2" "$1" - 2>/dev/null) || return 1
    for t in "${@:3}"; do grep -qF -- "$t" <<<"$text" || { echo "  page $2 of $1 lacks '$t'"; return 1; }; done
}
every_page_has() { # PDF TEXT...
    local pages p; pages=$(pdfinfo "$1" | awk '/^Pages:/ { print $2 }')
    [ "${pages:-0}" -ge 2 ] || { echo "  $1 has ${pages:-no} pages"; return 1; }
    for ((p = 1; p <= pages; ++p)); do page_has "$1" "$p" "${@:2}" || return 1; done
}
nothing_left() { [ -z "$(ls -A "$work/tmp")" ] && ! pgrep -f "$work/tmp" >/dev/null; }
waited() { for pid; do wait "$pid" || return 1; done; }

"$tool" run "$examples/sales_report.txt" -o sales.xlsx --charset utf8 >/dev/null || exit 1
"$tool" run "$examples/invoice.txt" --template "$examples/invoice_template.xlsx" -o invoice.xlsx --charset utf8 >/dev/null || exit 1
# Thirty columns by 120 rows, landscape A4 fitted to one page wide, the first row a print title.
awk 'BEGIN { for (r = 0; r <= 120; ++r) for (c = 1; c <= 30; ++c)
             printf "%s%s", r ? r * 100 + c : sprintf("C%02d", c), c < 30 ? "," : "\n" }' >wide.csv
printf 'SHEET=Wide\nA1.CSV=wide.csv\nPAPER.SIZE=A4\nPAPER.ORIENTATION=LANDSCAPE\nPRINT_PAGE_FIT.HORIZONTAL=1\nSHEET.PRINT_TITLE_ROW=1\n' >wide.txt
"$tool" run wide.txt -o wide.xlsx >/dev/null || exit 1

# Side by side, each with its own profile.
start=$(date +%s%N) pids=()
for book in sales invoice wide; do "$tool" pdf $book.xlsx -o out/$book.pdf >$book.log 2>&1 & pids+=($!); done
check "three conversions at once all succeed" waited "${pids[@]}"
echo "   three conversions took $((($(date +%s%N) - start) / 1000000)) ms"
cat sales.log invoice.log wide.log | grep -v '^saved '
# Sales: one landscape A4 page (fitted to its width), then the portrait summary; header, footer,
# the pasted rows and the computed totals.
check "sales report pages: A4 landscape, then portrait" [ "$(sizes out/sales.pdf)" = "842x595 595x842" ]
check "sales report values" page_has out/sales.pdf 1 "Quarterly sales (Q1)" "四半期売上報告" Tabsmith Amount \
    ¥102,600 ¥1,421,400
check "sales summary values" page_has out/sales.pdf 2 "Amount by region" "¥759,000" "¥662,400"
check "invoice pages: A4 portrait" grep -qE '^595x842( 595x842)*$' <(sizes out/invoice.pdf)
check "invoice values and totals" page_has out/invoice.pdf 1 INV-2024-0042 "Kobayashi Trading Co., Ltd." 837,800 83,780 921,580
check "wide report: one page wide, print title on every page" every_page_has out/wide.pdf C01 C30
check "wide report: A4 landscape" grep -qE '^(842x595 ?)+$' <(sizes out/wide.pdf)
check "nothing left after the conversions" nothing_left

# Failures: exit 1 with the coded message (2 for the tool's usage errors), no PDF, nothing left behind. RC@PATTERN@ARGS
while IFS='@' read -r rc pattern args; do
    # shellcheck disable=SC2086
    env $args >err.txt 2>&1
    got=$?
    if [ "$got" -eq "$rc" ] && grep -qE -- "$pattern" err.txt && [ ! -e failed.pdf ] && nothing_left; then echo "ok: $args"
    else echo "FAIL: $args: exit $got, $(cat err.txt)"; failures=$((failures + 1)); fi
done <<ROWS
1@TXLS-03700 .*\("/nonexistent/soffice"\)@$tool pdf sales.xlsx -o failed.pdf --soffice /nonexistent/soffice
1@TXLS-03700 The PDF converter cannot be found or started \("soffice"\)@PATH=/nonexistent $tool pdf sales.xlsx -o failed.pdf -m en
1@TXLS-03701 .*"/bin/false", exit status 1@$tool pdf sales.xlsx -o failed.pdf --soffice /bin/false -m en
1@TXLS-03703 @$tool pdf sales.xlsx -o failed.pdf --soffice /bin/true
1@TXLS-03702 .*\(0.3 seconds\)@$tool pdf sales.xlsx -o failed.pdf --timeout 0.3 -m en
1@TXLS-02200 .*\("0"\)@$tool pdf sales.xlsx -o failed.pdf --timeout 0
1@TXLS-03101 @$tool pdf missing.xlsx -o failed.pdf
2@pdf needs a workbook@$tool pdf --timeout 5
2@option --soffice=? needs the converter's path@$tool pdf sales.xlsx --soffice=
ROWS
[ "$failures" -eq 0 ] || { echo "$failures failed"; exit 1; }

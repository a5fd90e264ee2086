#!/usr/bin/env bash
# cli_test.sh - what the `tabsmith` tool adds to the engine: its arguments, exit codes and messages,
# the cat, sheets and html outputs, and one end-to-end run of each example (the report; the invoice fill).
# Usage: cli_test.sh TABSMITH_BINARY EXAMPLES_DIR WORK_DIR
set -uo pipefail
tool=$(realpath "$1") examples=$(realpath "$2") here=$(dirname "$(realpath "$0")") work=$3
rm -rf "$work" && mkdir -p "$work" && cd "$work" || exit 1
[ -n "${TABSMITH_KEEP_TEST_OUTPUT:-}" ] || trap 'rm -rf "$work"' EXIT
failures=0
check() { # WHAT COMMAND...
    if "${@:2}"; then echo "ok: $1"; else echo "FAIL: $1"; failures=$((failures + 1)); fi
}
# Rows RC@PATTERN@ARGS: the tool exits RC and prints a line matching PATTERN (ERE); a failure
# prints nothing on standard output, and a usage error (2) also prints the usage text.
expect() {
    local rc pattern args got
    while IFS='@' read -r rc pattern args; do
        # shellcheck disable=SC2086
        "$tool" $args >out.txt 2>err.txt
        got=$?
        if [ "$got" -eq "$rc" ] && { [ "$rc" -eq 0 ] || [ ! -s out.txt ]; } && cat out.txt err.txt | grep -qE -- "$pattern" \
            && { [ "$rc" -ne 2 ] || grep -q '^Usage:' err.txt; }; then echo "ok: tabsmith $args"
        else echo "FAIL: tabsmith $args: exit $got, $(cat err.txt)"; failures=$((failures + 1)); fi
    done
}
printf 'SHEET=Bad\nA1.FOO=1\n' >bad.txt
printf 'A1="two\r\nlines"\r\nA2=1\r\n\r\nA3.NOSUCH=2\r\n' >lines.txt
printf 'A1=1\nA2="open\nA3=3\n' >quote.txt
printf 'SHEET=Data\nA5=ok\nD2=5\n' >formula.txt
printf 'SHEET=Elsewhere\n' >newsheet.txt
printf 'just some text, long enough to be probed\n' >notes.txt
printf 'PK\003\004 but no zip archive follows here\n' >broken.xlsx
check "the book the reading checks use" "$tool" run "$here/data.txt" -o data.xlsx >out.txt
expect <<'ROWS'
2@^tabsmith: missing command$@
2@unknown command 'frobnicate'@frobnicate
2@run needs a statement file@run
2@unexpected argument 'b.txt' \(one statement file only\)@run a.txt b.txt
2@unknown character set 'latin1' \(use sjis, euc or utf8\)@run a.txt --charset latin1
2@option -o needs a file name@run a.txt -o
2@--output given twice@run a.txt --output=x.xlsx --output y.xlsx
2@unknown option '--bogus'@run a.txt --bogus
2@help takes no arguments \(got 'extra'\)@help extra
2@cat needs a workbook@cat
2@unexpected argument 'b.xlsx' \(one workbook only\)@cat a.xlsx b.xlsx
2@unknown output format 'xml' \(use csv, tsv or json\)@cat a.xlsx --format xml
2@option --sheet needs a sheet name@cat a.xlsx --sheet
2@unknown option '--bogus'@cat a.xlsx --bogus
2@option --rendered=yes takes no value@cat a.xlsx --rendered=yes
2@sheets needs a workbook@sheets
2@unexpected argument 'b.xlsx' \(one workbook only\)@sheets a.xlsx b.xlsx
2@unknown option '--bogus'@sheets --bogus a.xlsx
0@^tabsmith 2\.0\.4@--version
0@^  tabsmith run STATEMENTS.txt \[-o OUT.xlsx\] \[--template T.xlsx\] \[--charset sjis\|euc\|utf8\]$@--help
0@^  tabsmith cat BOOK.xlsx \[--sheet NAME\] \[--rendered\] \[--format csv\|tsv\|json\]$@run -h
0@CSV/TSV files pasted by a statement are read in the book's@sheets -h
0@^\(\*\)\.FONT\.COLOR +\(\*\)\.フォント\.色$@help
1@^tabsmith: running the statements failed \(-101\): TXLS-03100 .*\("/.*/no_such\.txt"\)@run no_such.txt --charset=euc -o 売上.xlsx
1@^bad\.txt:2: TXLS-02200 サポート外のキーワードです\("FOO"\)。$@run bad.txt -o bad.xlsx
1@^bad\.txt:2: TXLS-02200 Unsupported keyword \("FOO"\)\.$@run bad.txt --messages en -o bad.xlsx
2@option --messages needs ja or en@run bad.txt --messages fr
1@^lines\.txt:5: TXLS-02200@run lines.txt -o lines.xlsx
0@^quote\.txt:2: warning: this quote is never closed; every later line is read as part of its value$@run quote.txt
1@^formula\.txt:3: TXLS-03203@run formula.txt --template data.xlsx -o refused.xlsx
1@^newsheet\.txt:1: TXLS-03002@run newsheet.txt -t data.xlsx -o refused.xlsx
1@output path may not contain a double quote: /.*/a"b\.xlsx$@run bad.txt -o a"b.xlsx
1@a file name cannot be written in the character set SJIS; use --charset utf8@run bad.txt -c sjis -o 😀.xlsx
1@^tabsmith: data\.xlsx has no sheet named 'Nope'; its sheets: 'Data' 'Second sheet'$@cat data.xlsx --sheet Nope
1@^tabsmith: opening the workbook failed \(-101\): TXLS-03101 .*/missing\.xlsx@cat missing.xlsx
1@^tabsmith: opening the workbook failed \(-101\): TXLS-03101 .*/missing\.xlsx@sheets missing.xlsx
1@\(-4\): TXLS-00900 .*/notes\.txt@cat notes.txt
1@\(-4\): TXLS-00900 .*/notes\.txt@sheets notes.txt
1@\(-101\): TXLS-03101 .*/broken\.xlsx@cat broken.xlsx
1@\(-101\): TXLS-03101 .*/broken\.xlsx@sheets broken.xlsx
ROWS
check "failed runs leave no book" test ! -e 売上.xlsx -a ! -e bad.xlsx -a ! -e refused.xlsx
"$tool" run broken.xlsx -o x.xlsx 2>err.txt
check "a workbook given as statements: exit 2, pointing at --template" test $? -eq 2 -a ! -e x.xlsx \
    -a "$(cat err.txt)" = "$(printf '%s\n' 'tabsmith: broken.xlsx is an .xlsx workbook (a zip package), not a statement file.' \
    'To fill it as a template: tabsmith run STATEMENTS.txt --template broken.xlsx -o OUT.xlsx')"
"$tool" cat data.xlsx >/dev/full 2>err.txt
check "a full disk is exit 1" test $? -eq 1 -a "$(cat err.txt)" = "tabsmith: writing the output failed: No space left on device"

check "sheets: names in tab order" test "$("$tool" sheets data.xlsx)" = "$(printf 'Data\nSecond sheet')"
check "cat: CSV of every sheet, each headed by its name" cmp <("$tool" cat data.xlsx) "$here/expected/data.csv"
check "cat --sheet: one sheet as plain CSV" test "$("$tool" cat data.xlsx -s 'Second sheet')" = "$(printf ',\n,x')"
check "cat --format tsv --rendered" cmp <("$tool" cat data.xlsx --sheet=Data -f tsv -r) "$here/expected/data.tsv"
check "cat --format json" cmp <("$tool" cat data.xlsx --format=json) "$here/expected/data.json"

# The examples end to end: the report with the folders of its output made on the way; the invoice
# filled into its template under the default name here, the template left as it was.
check "sales report run" "$tool" run "$examples/sales_report.txt" -o out/sales.xlsx --charset utf8 >out.txt
check "run names what it saved" grep -qx "saved $work/out/sales.xlsx" out.txt
check "sales report read back" cmp <("$tool" cat out/sales.xlsx --format json) "$here/expected/sales_report.json"
check "the template read as it is, up to its last row with a value" \
    cmp <("$tool" cat "$examples/invoice_template.xlsx" --format json) "$here/expected/invoice_template.json"
template_sum=$(md5sum <"$examples/invoice_template.xlsx")
check "invoice fill" "$tool" run "$examples/invoice.txt" --template "$examples/invoice_template.xlsx" >out.txt
check "default output name" grep -qx "saved $work/invoice.xlsx" out.txt
check "invoice read back, its formulas computed" cmp <("$tool" cat invoice.xlsx) "$here/expected/invoice.csv"
check "the template unchanged" test "$(md5sum <"$examples/invoice_template.xlsx")" = "$template_sum"
# The HTML view: its arguments, its default name beside the workbook's, one sheet without tabs.
expect <<'ROWS'
2@html needs a workbook@html
2@option --sheet needs a sheet name@html a.xlsx --sheet
2@unknown option '--bogus'@html a.xlsx --bogus
1@writing the HTML page failed \(-801\): TXLS-02320 .*Nope@html data.xlsx --sheet Nope -o nope.html
1@\(-101\): TXLS-03101 .*/missing\.xlsx@html missing.xlsx
0@^saved /.*/data\.html$@html data.xlsx
ROWS
check "html: every sheet as a tab" grep -q '<a href="#p0">Data</a><a href="#p1">Second sheet</a>' data.html
check "html --sheet: one sheet into a new folder" "$tool" html data.xlsx -s 'Second sheet' -o view/second.html >out.txt
check "html --sheet: no tabs, no failed page left" test "$(grep -c '<nav' view/second.html)" = 0 -a ! -e nope.html
[ "$failures" -eq 0 ] && echo "all cli checks passed" || { echo "$failures check(s) failed"; exit 1; }

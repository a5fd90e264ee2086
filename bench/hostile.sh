#!/usr/bin/env bash
# Small files that once cost minutes or gigabytes: a worksheet of blank megabytes around its rows,
# a template filled with many sheet copies, sheets whose <dimension> claims the whole grid.
# Builds the release bench programs (as run.sh does) and prints one line per input.
#   bash bench/hostile.sh                 BLANK_MB=100 COPIES="250 500 1000 2000" SHEETS=40
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build-harness}
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTABSMITH_TESTS=OFF >/dev/null
cmake --build "$build" -j "$(nproc)" --target bench_hostile >/dev/null
bin=$build/bench/bench_hostile
work=$(mktemp -d "${TMPDIR:-/tmp}/tabsmith-hostile.XXXXXX")
trap 'rm -rf "$work"' EXIT

/usr/bin/python3 - "$work" "${BLANK_MB:-100}" "${SHEETS:-40}" <<'PY'
import sys, zipfile
work, blank_mb, sheets = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
MAIN = "http://schemas.openxmlformats.org/spreadsheetml/2006/main"
REL = "http://schemas.openxmlformats.org/officeDocument/2006/relationships"
def book(path, worksheets):
    with zipfile.ZipFile(path, "w", zipfile.ZIP_DEFLATED, compresslevel=9) as z:
        types = ['<Default Extension="rels" ContentType="application/vnd.openxmlformats-package.relationships+xml"/>',
                 '<Default Extension="xml" ContentType="application/xml"/>',
                 '<Override PartName="/xl/workbook.xml" ContentType="application/vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml"/>']
        sheets_xml, rels = [], []
        for k, text in enumerate(worksheets, 1):
            types.append(f'<Override PartName="/xl/worksheets/sheet{k}.xml" ContentType="application/vnd.openxmlformats-officedocument.spreadsheetml.worksheet+xml"/>')
            sheets_xml.append(f'<sheet name="Sheet{k}" sheetId="{k}" r:id="rId{k}"/>')
            rels.append(f'<Relationship Id="rId{k}" Type="{REL}/worksheet" Target="worksheets/sheet{k}.xml"/>')
            with z.open(f"xl/worksheets/sheet{k}.xml", "w") as part:
                for piece in text:
                    part.write(piece)
        z.writestr("[Content_Types].xml", '<Types xmlns="http://schemas.openxmlformats.org/package/2006/content-types">' + "".join(types) + "</Types>")
        z.writestr("_rels/.rels", f'<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships"><Relationship Id="rId1" Type="{REL}/officeDocument" Target="xl/workbook.xml"/></Relationships>')
        z.writestr("xl/workbook.xml", f'<workbook xmlns="{MAIN}" xmlns:r="{REL}"><sheets>' + "".join(sheets_xml) + "</sheets></workbook>")
        z.writestr("xl/_rels/workbook.xml.rels", '<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">' + "".join(rels) + "</Relationships>")
def blanks():
    yield f'<worksheet xmlns="{MAIN}"><sheetData>'.encode()
    chunk = b" " * (1 << 20)
    for _ in range(blank_mb):
        yield chunk
    yield b'<row r="1"><c r="A1"><v>1</v></c></row></sheetData></worksheet>'
book(f"{work}/blanks.xlsx", [blanks()])
form = f'<worksheet xmlns="{MAIN}"><sheetData><row r="1"><c r="A1" t="inlineStr"><is><t>form</t></is></c><c r="B1"><v>2</v></c></row></sheetData></worksheet>'
book(f"{work}/form.xlsx", [[form.encode()]])
whole = f'<worksheet xmlns="{MAIN}"><dimension ref="A1:XFD1048576"/><sheetData><row r="1"><c r="A1"><v>1</v></c></row></sheetData></worksheet>'
book(f"{work}/dimension.xlsx", [[whole.encode()]] * sheets)
PY

run() {
  local label=$1; shift
  printf '%-28s %s\n' "$label" "$("$@" 2>&1 | tail -n 1)"
}
ls -l "$work"/*.xlsx | awk '{printf "  %-16s %10d bytes\n", $NF, $5}' | sed "s|$work/||"
run "blanks ${BLANK_MB:-100} MB: read" "$bin" read "$work/blanks.xlsx"
cp "$work/blanks.xlsx" "$work/blanks-update.xlsx"
run "blanks ${BLANK_MB:-100} MB: update" "$bin" update "$work/blanks-update.xlsx"
for n in ${COPIES:-250 500 1000 2000}; do
  run "template, $n copies" "$bin" copies "$work/form.xlsx" "$n" "$work/copies.xlsx"
done
run "dimension, ${SHEETS:-40} sheets: read" "$bin" read "$work/dimension.xlsx"

#!/usr/bin/env python3
"""browser_test.py CLI REPORT_EXAMPLE EXAMPLES CORPUS WORK

The HTML view in a real browser: the main job's reports, the filled invoice, a book of hostile
texts and a few corpus workbooks are written as pages by `tabsmith html`, loaded by headless
Chromium with a measuring script appended, and the measurements are checked against the books
(openpyxl for the layout, `tabsmith cat --rendered` for the texts): every text once in its
place, merged areas spanning their shown rows and columns, bold cells bold, filled cells in
their colour, column widths in the sheet's proportions, pictures loaded, nothing fetched and
no hostile text run as script. TABSMITH_KEEP_TEST_OUTPUT=1 keeps WORK with a screenshot of
each page; otherwise WORK is removed."""
import concurrent.futures
import json
import os
import re
import shutil
import subprocess
import sys

import openpyxl
from openpyxl.styles.colors import COLOR_INDEX

CORPUS = ["xlsx/poi__1_NoIden.xlsx", "xlsx/poi__49273.xlsx", "xlsx/poi__60384.xlsx",
          "xlsx/calamine__richtext-namespaced.xlsx", "xls/poi__61287.xls"]
HOSTILE = """SHEET="<b>x'<i>"
A1="</td><script>window.pwned=1</script>"
A2="<img src=x onerror=window.pwned=2>"
A3=link
A3.HYPERLINK="javascript:window.pwned=3"
A4=font
A4.FONT.NAME="x}</style><script>window.pwned=4</script><style>"
A5=note
A5.COMMENT="'><script>window.pwned=5</script>"
"""
# Rows far below the first screen, a merged area across where a block of rows would end.
LARGE = "".join("A%d=r%d B%d=%d\n" % (r, r, r, r * 7) for r in range(1, 3001)) + "C150:D260.MERGE=TRUE\n"
WIDTH_TOLERANCE = 0.05
DEFAULT_WIDTH = 64 / 7   # a column without a width: 64 pixels
MEASURE = r"""<script>(() => {
const out = {panes: [], tabs: {}, scripts: document.scripts.length, pwned: window.pwned === undefined ? null : String(window.pwned)};
for (const a of document.querySelectorAll('nav.tabs a')) out.tabs[a.getAttribute('href').slice(1)] = a.textContent;
out.handlers = Array.from(document.querySelectorAll('*')).filter(e => Array.from(e.attributes).some(a => a.name.startsWith('on'))).length;
const panes = Array.from(document.querySelectorAll('section.pane'));
for (const p of panes) p.style.display = 'none';
for (const pane of panes) {
  pane.style.display = 'block';
  const rows = pane.querySelectorAll('table.sheet tr'), taken = [], cells = [];
  for (let r = 0; r < rows.length; r++) {
    let c = 0;
    for (const td of rows[r].cells) {
      while (taken[r] && taken[r][c]) c++;
      for (let i = 0; i < td.rowSpan; i++) for (let j = 0; j < td.colSpan; j++) (taken[r + i] = taken[r + i] || [])[c + j] = 1;
      const s = getComputedStyle(td);
      cells.push([r, c, td.rowSpan, td.colSpan, td.textContent, s.fontWeight, s.backgroundColor]);
      c += td.colSpan;
    }
  }
  out.panes.push({id: pane.id, rows: rows.length, cells,
    cols: Array.from(pane.querySelector('colgroup').children).map(c => c.getBoundingClientRect().width),
    imgs: Array.from(pane.querySelectorAll('img')).map(i => i.naturalWidth)});
  pane.style.display = 'none';
}
out.fetched = performance.getEntriesByType('resource').map(e => e.name).filter(n => !n.startsWith('data:'));
const pre = document.createElement('pre'); pre.id = 'measured'; pre.textContent = JSON.stringify(out);
document.body.appendChild(pre);
})();</script>"""


def run(command, **options):
    return subprocess.run(command, check=True, capture_output=True, text=True, **options).stdout


def make_books(cli, report_example, examples, corpus, work):
    """[(label, path)] of the books to show."""
    def statements(name, text=None, template=None):
        source = os.path.join(examples, name) if text is None else os.path.join(work, name)
        if text is not None:
            with open(source, "w", encoding="utf-8") as f:
                f.write(text)
        target = os.path.join(work, os.path.splitext(name)[0] + ".xlsx")
        run([cli, "run", source, "-o", target, "--charset", "utf8"] + (["--template", template] if template else []))
        return target
    books = [("sales report", statements("sales_report.txt")),
             ("invoice", statements("invoice.txt", template=os.path.join(examples, "invoice_template.xlsx"))),
             ("invoice template", os.path.join(examples, "invoice_template.xlsx")),
             ("hostile texts", statements("hostile.txt", HOSTILE)), ("3,000 rows", statements("large.txt", LARGE))]
    run([report_example], cwd=work)
    books.append(("C example report", os.path.join(work, "example_report.xlsx")))
    books += [(name, os.path.join(corpus, name)) for name in CORPUS if os.path.exists(os.path.join(corpus, name))]
    return books


def measure(chromium, page, work, keep):
    with open(page, encoding="utf-8") as f:
        html = f.read()
    # The copy may run the measuring script; everything else the page forbids stays forbidden.
    html = html.replace("default-src 'none';", "default-src 'none'; script-src 'unsafe-inline';", 1)
    copy = page[:-5] + ".measure.html"
    with open(copy, "w", encoding="utf-8") as f:
        f.write(html.replace("</body>", MEASURE + "</body>", 1))
    profile = page[:-5] + ".profile"
    flags = [chromium, "--headless", "--no-sandbox", "--disable-gpu", "--user-data-dir=" + profile]
    dom = run(flags + ["--virtual-time-budget=5000", "--dump-dom", "file://" + copy], timeout=60)
    if keep:
        run(flags + ["--window-size=1280,1000", "--screenshot=" + page[:-5] + ".png", "file://" + page], timeout=60, cwd=work)
    shutil.rmtree(profile, ignore_errors=True)
    found = re.search(r'<pre id="measured">(.*?)</pre>', dom, re.S)
    if not found:
        raise RuntimeError("the measuring script left no result in " + copy)
    return json.loads(found.group(1).replace("&lt;", "<").replace("&gt;", ">").replace("&amp;", "&"))


def rgb_of(colour):
    if colour is None:
        return None
    if colour.type == "rgb" and isinstance(colour.rgb, str):
        return colour.rgb[-6:].lower()
    if colour.type == "indexed" and 0 < colour.indexed < 64:
        return COLOR_INDEX[colour.indexed][-6:].lower()
    return None


class SheetFacts:
    """What openpyxl says of one sheet (None for a .xls book): shown rows and columns, merged
    areas, widths, bold and filled cells, pictures."""
    def __init__(self, ws):
        self.ws = ws
        self.hidden_rows = {r for r, d in ws.row_dimensions.items() if d.hidden or d.height == 0}
        self.hidden_columns, self.widths = set(), {}
        for d in ws.column_dimensions.values():
            if d.min is None:
                continue
            for c in range(d.min, d.max + 1):
                if d.hidden:
                    self.hidden_columns.add(c)
                elif d.width and (d.customWidth or d.width != 13):
                    self.widths[c] = d.width

    def shown(self, hidden, count):
        out, k = [], 1
        while len(out) < count:
            if k not in hidden:
                out.append(k)
            k += 1
        return out


def check_pane(label, name, pane, expected_rows, facts, problems, counts):
    where = "%s / %s" % (label, name)
    shown_texts = sorted(cell[4] for cell in pane["cells"] if cell[4] != "")
    wanted = []
    for r, row in enumerate(expected_rows, 1):
        if facts and r in facts.hidden_rows:
            continue
        for c, cell in enumerate(row, 1):
            if cell and cell["value"] != "" and not (facts and c in facts.hidden_columns):
                wanted.append(((r, c), cell["value"]))
    if facts:
        # Formulas the file keeps without a result are computed for the page, as a save would.
        rows = facts.shown(facts.hidden_rows, pane["rows"])
        columns = facts.shown(facts.hidden_columns, max([c[1] + c[3] for c in pane["cells"]] + [len(pane["cols"])]))
        computed = [c for c in pane["cells"] if facts.ws.cell(rows[c[0]], columns[c[1]]).data_type == "f"
                    and (rows[c[0]], columns[c[1]]) not in dict(wanted)]
        counts["computed"] += len(computed)
        for cell in computed:
            if cell[4] != "":
                shown_texts.remove(cell[4])
    if sorted(text for _, text in wanted) != shown_texts:
        missing = sorted(set(t for _, t in wanted) - set(shown_texts))[:5]
        extra = sorted(set(shown_texts) - set(t for _, t in wanted))[:5]
        problems.append("%s: texts differ (missing %r, not in the book %r)" % (where, missing, extra))
    counts["texts"] += len(wanted)
    counts["pictures"] += len(pane["imgs"])
    if any(width <= 0 for width in pane["imgs"]):
        problems.append("%s: a picture did not load" % where)
    if not facts:
        return
    ws = facts.ws
    at = {(rows[c[0]], columns[c[1]]): c for c in pane["cells"]}
    anchors = {}
    for area in ws.merged_cells.ranges:
        shown_rows = [r for r in range(area.min_row, area.max_row + 1) if r not in facts.hidden_rows]
        shown_columns = [c for c in range(area.min_col, area.max_col + 1) if c not in facts.hidden_columns]
        if not shown_rows or not shown_columns or shown_rows[0] > rows[-1]:
            continue
        anchors[(area.min_row, area.min_col)] = (shown_rows[0], shown_columns[0])
        cell = at.get((shown_rows[0], shown_columns[0]))
        counts["merged"] += 1
        if not cell or (cell[2], cell[3]) != (len(shown_rows), len(shown_columns)):
            problems.append("%s: merged %s shows as %s" % (where, area.coord, cell and cell[2:4]))
    for (r, c), text in wanted:
        cell = at.get(anchors.get((r, c), (r, c)))
        if not cell or cell[4] != text:
            problems.append("%s: %s shows %r, not %r" % (where, ws.cell(r, c).coordinate, cell and cell[4], text))
            continue
        bold = bool(ws.cell(r, c).font.b)
        counts["bold"] += bold
        if bold != (int(cell[5]) >= 700):
            problems.append("%s: %s weight %s, bold %s" % (where, ws.cell(r, c).coordinate, cell[5], bold))
    for row in ws.iter_rows(max_row=rows[-1] if rows else 0):
        for book_cell in row:
            fill = book_cell.fill
            colour = rgb_of(fill.fgColor) if fill is not None and fill.fill_type == "solid" else None
            place = anchors.get((book_cell.row, book_cell.column), (book_cell.row, book_cell.column))
            if colour is None or place not in at:
                continue
            counts["filled"] += 1
            want = "rgb(%d, %d, %d)" % tuple(int(colour[k:k + 2], 16) for k in (0, 2, 4))
            if at[place][6] != want:
                problems.append("%s: %s background %s, not %s" % (where, book_cell.coordinate, at[place][6], want))
    ratios = [px / facts.widths.get(c, DEFAULT_WIDTH) for c, px in zip(columns, pane["cols"])]
    counts["columns"] += len(ratios)
    if ratios and max(ratios) > min(ratios) * (1 + WIDTH_TOLERANCE):
        problems.append("%s: column widths out of proportion: %s" % (where, [round(r, 2) for r in ratios]))
    if len(pane["imgs"]) != len(ws._images):
        problems.append("%s: %d pictures shown, the sheet has %d" % (where, len(pane["imgs"]), len(ws._images)))


def check_book(cli, chromium, label, book, work, keep):
    problems = []
    counts = dict.fromkeys(("texts", "computed", "merged", "bold", "filled", "columns", "pictures"), 0)
    page = os.path.join(work, re.sub(r"[^A-Za-z0-9]+", "_", label) + ".html")
    run([cli, "html", book, "-o", page])
    truth = json.loads(run([cli, "cat", book, "--rendered", "--format", "json"]))
    by_name = {sheet["name"]: sheet["rows"] for sheet in truth["sheets"]}
    result = measure(chromium, page, work, keep)
    wb = openpyxl.load_workbook(book) if not book.endswith(".xls") else None
    if result["scripts"] != 1 or result["handlers"] or result["pwned"] is not None:
        problems.append("%s: script from the book ran or became markup (%d scripts, %d handlers, pwned=%s)"
                        % (label, result["scripts"], result["handlers"], result["pwned"]))
    if result["fetched"]:
        problems.append("%s: the page fetched %s" % (label, result["fetched"]))
    for pane in result["panes"]:
        name = result["tabs"].get(pane["id"]) if result["tabs"] else \
            (next(ws.title for ws in wb.worksheets if ws.sheet_state == "visible") if wb else truth["sheets"][0]["name"])
        if name not in by_name:
            problems.append("%s: the page shows a sheet %r the book does not have" % (label, name))
            continue
        check_pane(label, name, pane, by_name[name], SheetFacts(wb[name]) if wb else None, problems, counts)
    return problems, counts, len(result["panes"])


def main():
    cli, report_example, examples, corpus, work = sys.argv[1:6]
    chromium = shutil.which("chromium")
    if not chromium:
        sys.exit("browser_test: chromium is missing (scripts/install-deps.sh test installs it)")
    keep = os.environ.get("TABSMITH_KEEP_TEST_OUTPUT") == "1"
    shutil.rmtree(work, ignore_errors=True)
    os.makedirs(work)
    failed = []
    try:
        books = make_books(cli, report_example, examples, corpus, work)
        with concurrent.futures.ThreadPoolExecutor(2) as pool:
            jobs = [(label, pool.submit(check_book, cli, chromium, label, book, work, keep)) for label, book in books]
            for label, job in jobs:
                problems, counts, panes = job.result()
                print("%-40s %d sheet(s): %s %s" % (label[:40], panes, " ".join("%s=%d" % kv for kv in counts.items()),
                                                    "ok" if not problems else "FAILED"))
                failed += problems
    finally:
        if keep:
            print("pages and screenshots kept in " + work)
        else:
            shutil.rmtree(work, ignore_errors=True)
    for problem in failed[:40]:
        print("  " + problem)
    sys.exit(1 if failed else 0)


if __name__ == "__main__":
    main()

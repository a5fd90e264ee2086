#!/usr/bin/python3
"""Conformance check of saved workbooks against real spreadsheet readers.

Runs the book maker, then for every book: `unzip -t` must find every entry sound, openpyxl
must read back each manifest value, LibreOffice headless must load the book and export every
sheet (a book it cannot load produces no output), gnumeric must load it without a warning and
read back its texts and integers, and every part must pass the ECMA-376 schemas (skipped when
the validator beside the repository is missing). Prints one line per check and a closing
"N passed, N failed" line.

Usage: check_books.py MAKER WORKDIR
"""
import csv
import datetime
import glob
import os
import shutil
import subprocess
import sys
import zipfile

import openpyxl

sys.dont_write_bytecode = True  # the shared checks' import leaves no __pycache__ in the source tree
from shared_checks import as_stored, gnumeric_clean, schema_check, run_removing_workdir, run_soffice, Results

CSV_FILTER = 'csv:Text - txt - csv (StarCalc):44,34,76,1,,0,false,true,false,false,false,-1'


def unescape(text):
    return text.replace('\\n', '\n').replace('\\t', '\t').replace('\\\\', '\\')


def read_manifest(path):
    rows = []
    with open(path, encoding='utf-8', newline='') as f:
        for line in f.read().split('\n'):
            if line:
                book, sheet, cell, kind, value = line.split('\t', 4)
                rows.append((book, sheet, cell, kind, unescape(value)))
    return rows


def style_matches(cell, expected):
    """expected: "path=value;..." over the cell's openpyxl attributes."""
    for item in expected.split(';'):
        path, want = item.split('=', 1)
        value = cell
        for name in path.split('.'):
            value = getattr(value, name, None)
        try:
            if abs(float(value) - float(want)) < 1e-3:
                continue
        except (TypeError, ValueError):
            pass
        if str(value).lower() != want.lower():
            return False
    return True


def layout_matches(wb, sheet, cell, kind, expected):
    if kind == 'book':
        return style_matches(wb, expected)
    ws = wb[sheet]
    if kind == 'sheet':
        return style_matches(ws, expected)
    if kind == 'merged':
        return any(str(r) == cell for r in ws.merged_cells.ranges)
    if kind == 'width':
        # Widths carry the cell padding the engine adds to the characters asked for.
        return abs(ws.column_dimensions[cell].width - float(expected)) < 1
    if kind == 'height':
        return abs(ws.row_dimensions[int(cell)].height - float(expected)) < 0.01
    if kind == 'row_breaks':
        return [b.id for b in ws.row_breaks.brk] == [int(x) for x in expected.split(',')]
    if kind == 'auto_filter':
        return ws.auto_filter.ref == expected
    return False


def openpyxl_value_matches(kind, got, expected):
    if kind == 'n':
        return isinstance(got, (int, float)) and not isinstance(got, bool) and abs(got - float(expected)) < 1e-9
    if kind == 'd':
        return isinstance(got, datetime.datetime) and got.isoformat() == expected
    if kind == 't':
        if isinstance(got, datetime.time):
            return got.strftime('%H:%M:%S') == expected
        if isinstance(got, datetime.timedelta):
            seconds = round(got.total_seconds())
            return '%02d:%02d:%02d' % (seconds // 3600, seconds // 60 % 60, seconds % 60) == expected
        if isinstance(got, datetime.datetime):
            return got.strftime('%H:%M:%S') == expected
        return False
    # openpyxl hands control characters back in their _xHHHH_ file form instead of decoding them.
    return got == expected or got == controls_as_escapes(expected)


def controls_as_escapes(text):
    return ''.join('_x%04X_' % ord(c) if ord(c) < 0x20 and c not in '\t\r\n' else c for c in text)


def check_openpyxl(results, workdir, manifest):
    books = {}
    for book, sheet, cell, kind, expected in manifest:
        if book not in books:
            try:
                books[book] = openpyxl.load_workbook(os.path.join(workdir, book))
            except Exception as error:  # a book openpyxl cannot load fails every value
                books[book] = error
        wb = books[book]
        if isinstance(wb, Exception):
            results.check(False, 'openpyxl cannot load %s: %s' % (book, wb))
            continue
        if kind == 'entry':
            continue
        if kind in ('merged', 'width', 'height', 'row_breaks', 'auto_filter', 'sheet', 'book'):
            results.check(layout_matches(wb, sheet, cell, kind, expected),
                          'openpyxl %s %s %s!%s: expected %s' % (kind, book, sheet, cell, expected))
            continue
        if kind == 'style':
            results.check(style_matches(wb[sheet][cell], expected),
                          'openpyxl style %s %s!%s: expected %s' % (book, sheet, cell, expected))
            continue
        got = wb[sheet][cell].value
        results.check(openpyxl_value_matches(kind, got, expected),
                      'openpyxl %s %s!%s: got %r, expected %r' % (book, sheet, cell, got, expected))
    return books



def cell_position(cell):
    """0-based (row, column) of an A1 name."""
    column = 0
    letters = ''.join(c for c in cell if c.isalpha())
    for c in letters:
        column = column * 26 + ord(c.upper()) - 64
    return int(''.join(c for c in cell if c.isdigit())) - 1, column - 1


def csv_rows(path):
    try:
        with open(path, encoding='utf-8', newline='') as f:
            return list(csv.reader(f))
    except OSError:
        return None


def compared_values(manifest):
    """The manifest entries a CSV export can show as written: texts and integers."""
    for book, sheet, cell, kind, expected in manifest:
        if kind == 's' or (kind == 'n' and expected.lstrip('-').isdigit()):
            yield book, sheet, cell, kind, expected


def csv_value(rows, cell):
    row, column = cell_position(cell)
    if rows is not None and row < len(rows) and column < len(rows[row]):
        return rows[row][column]
    return None


def check_libreoffice(results, workdir, books, manifest):
    out = os.path.join(workdir, 'lo')
    os.makedirs(out, exist_ok=True)
    paths = [os.path.join(workdir, b) for b in books]
    run_soffice(['--convert-to', CSV_FILTER, '--outdir', out] + paths, timeout=900)
    for book in books:
        stem = book[:-5]
        produced = glob.glob(os.path.join(out, stem + '*.csv'))
        results.check(len(produced) > 0, 'LibreOffice could not load %s' % book)
    # Texts and integers must read back as written.
    sheets = {}
    for book, sheet, cell, kind, expected in compared_values(manifest):
        key = (book, sheet)
        if key not in sheets:
            sheets[key] = csv_rows(os.path.join(out, '%s-%s.csv' % (book[:-5], sheet)))
        got = csv_value(sheets[key], cell)
        results.check(got == expected, 'LibreOffice %s %s!%s: got %r, expected %r' % (book, sheet, cell, got, expected))


def content_origin(ws):
    """0-based (row, column) of the first row and the first column holding a value."""
    rows = columns = None
    for row in ws.iter_rows():
        for c in row:
            if c.value is not None:
                rows = c.row if rows is None else min(rows, c.row)
                columns = c.column if columns is None else min(columns, c.column)
    return (rows or 1) - 1, (columns or 1) - 1


def check_gnumeric(results, workdir, books, manifest, loaded):
    """Each book loads in gnumeric without a warning, and its texts and integers read back.
    gnumeric's CSV starts at the first row and column with a value, which openpyxl's reading
    of the same sheet (LOADED) tells."""
    out = os.path.join(workdir, 'gnumeric')
    for book in books:
        problem = gnumeric_clean(os.path.join(workdir, book), os.path.join(out, book[:-5]))
        results.check(problem is None, 'gnumeric %s: %s' % (book, problem))
    sheets = {}
    for book, sheet, cell, kind, expected in compared_values(manifest):
        key = (book, sheet)
        if key not in sheets:
            wb = loaded.get(book)
            origin = content_origin(wb[sheet]) if wb is not None and not isinstance(wb, Exception) else (0, 0)
            sheets[key] = (csv_rows(os.path.join(out, book[:-5], sheet + '.csv')), origin)
        rows, (top, left) = sheets[key]
        row, column = cell_position(cell)
        got = None
        if rows is not None and 0 <= row - top < len(rows) and 0 <= column - left < len(rows[row - top]):
            got = rows[row - top][column - left]
        # gnumeric leaves the package's _xHHHH_ escapes undecoded.
        results.check(got in (expected, as_stored(expected)),
                      'gnumeric %s %s!%s: got %r, expected %r' % (book, sheet, cell, got, expected))


def check_entries(results, workdir, manifest):
    """Package entries that must hold a file's bytes unchanged (the thumbnail)."""
    for book, _, entry, kind, source in manifest:
        if kind != 'entry':
            continue
        with open(os.path.join(workdir, source), 'rb') as f:
            expected = f.read()
        try:
            with zipfile.ZipFile(os.path.join(workdir, book)) as z:
                got = z.read(entry)
        except (KeyError, OSError, zipfile.BadZipFile) as error:
            got = error
        results.check(got == expected, '%s: entry %s does not hold %s unchanged' % (book, entry, source))


def check_schemas(results, workdir, books):
    checked = schema_check(os.path.join(workdir, b) for b in books)
    if checked is None:
        return
    ok, lines = checked
    for line in lines:
        print(line)
    results.check(ok, 'schema check of %d books' % len(books))


def main():
    maker, workdir = sys.argv[1], sys.argv[2]
    shutil.rmtree(workdir, ignore_errors=True)
    os.makedirs(workdir)
    results = Results()
    made = subprocess.run([maker, workdir])
    results.check(made.returncode == 0, 'book maker failed')
    books = sorted(os.path.basename(p) for p in glob.glob(os.path.join(workdir, '*.xlsx')))
    results.check(len(books) > 0, 'no books were written')
    for book in books:
        tested = subprocess.run(['unzip', '-tq', os.path.join(workdir, book)], stdout=subprocess.PIPE,
                                stderr=subprocess.STDOUT)
        results.check(tested.returncode == 0, 'unzip -t %s: %s' % (book, tested.stdout.decode(errors='replace')))
    manifest = read_manifest(os.path.join(workdir, 'manifest.tsv'))
    loaded = check_openpyxl(results, workdir, manifest)
    check_libreoffice(results, workdir, books, manifest)
    check_gnumeric(results, workdir, books, manifest, loaded)
    check_entries(results, workdir, manifest)
    check_schemas(results, workdir, books)
    print('conformance: %d passed, %d failed' % (results.passed, results.failed))
    return 0 if results.failed == 0 else 1


if __name__ == '__main__':
    sys.exit(run_removing_workdir(main, sys.argv[2]))

# Checks the autoshape books against other readers: openpyxl loads them, gnumeric loads them
# without a word, the drawing parts validate, and LibreOffice's OpenDocument export of each sheet
# holds every shape (a custom shape per autoshape with its preset geometry and text, a connector
# per line), as the maker's manifest lists them.
#
# Usage: check_shape_books.py MAKER OUTDIR

import os
import re
import shutil
import subprocess
import sys
import zipfile

sys.dont_write_bytecode = True  # the shared checks' import leaves no __pycache__ in the source tree
from shared_checks import gnumeric_convert, run_removing_workdir, schema_check, run_soffice

DRAW = 'urn:oasis:names:tc:opendocument:xmlns:drawing:1.0'
TABLE = 'urn:oasis:names:tc:opendocument:xmlns:table:1.0'

# gnumeric reads only part of DrawingML: rectangles, ellipses and lines without adjust guides,
# path gradients or effect lists. What it says about those schema-valid parts (and the shape it
# then drops) is its gap, not a fault of the book; anything else it says is a failure.
GNUMERIC_GAPS = [
    re.compile(r"^\S+ : Unknown enum value '[A-Za-z0-9]+' for attribute prst$"),
    re.compile(r'^\S+ : Dropping missing object$'),
    re.compile(r"^Unexpected element 'a:(gd|path|effectLst)' in state : $"),
    re.compile(r'^\twsDr -> oneCellAnchor -> sp -> spPr( -> prstGeom -> avLst| -> gradFill)?$'),
]


def read_manifest(path):
    rows = []
    with open(path, encoding='utf-8') as f:
        for line in f.read().splitlines():
            book, sheet, shapes, lines, presets, texts = line.split('\t')
            rows.append((book, sheet, int(shapes), int(lines), presets.split(',') if presets else [],
                         texts.split('|') if texts else []))
    return rows



def ods_sheets(path):
    """{sheet name: (custom shapes as (geometry type, text), connector and line count)} of an .ods."""
    from lxml import etree
    with zipfile.ZipFile(path) as z:
        root = etree.fromstring(z.read('content.xml'))
    sheets = {}
    for table in root.iter('{%s}table' % TABLE):
        shapes = []
        for shape in table.iter('{%s}custom-shape' % DRAW):
            geometry = shape.find('{%s}enhanced-geometry' % DRAW)
            kind = geometry.get('{%s}type' % DRAW) if geometry is not None else ''
            shapes.append((kind, ''.join(t for e in shape if e.tag.endswith('}p') for t in e.itertext())))
        lines = sum(1 for tag in ('connector', 'line') for _ in table.iter('{%s}%s' % (DRAW, tag)))
        sheets[table.get('{%s}name' % TABLE)] = (shapes, lines)
    return sheets


def main():
    maker, workdir = sys.argv[1], sys.argv[2]
    shutil.rmtree(workdir, ignore_errors=True)
    os.makedirs(workdir)
    if subprocess.run([maker, workdir]).returncode != 0:
        print('FAIL: the maker could not write the books')
        return 1
    manifest = read_manifest(os.path.join(workdir, 'shapes.tsv'))
    books = sorted({row[0] for row in manifest})
    paths = [os.path.join(workdir, b) for b in books]
    failures = []

    import openpyxl
    for path in paths:
        try:
            openpyxl.load_workbook(path)
        except Exception as e:  # any refusal is the finding
            failures.append('openpyxl %s: %s' % (os.path.basename(path), e))

    # Every anchor the manifest counts is in the drawing parts, lines as connectors.
    for book in books:
        with zipfile.ZipFile(os.path.join(workdir, book)) as z:
            drawings = ''.join(z.read(n).decode('utf-8') for n in z.namelist() if n.startswith('xl/drawings/drawing'))
        rows = [r for r in manifest if r[0] == book]
        if drawings.count('<xdr:sp ') != sum(r[2] for r in rows) or drawings.count('<xdr:cxnSp ') != sum(r[3] for r in rows):
            failures.append('%s: the drawing parts do not hold the shapes the manifest lists' % book)

    out = os.path.join(workdir, 'lo')
    run_soffice(['--convert-to', 'ods', '--outdir', out] + paths, timeout=300)
    for book in books:
        ods = os.path.join(out, book[:-5] + '.ods')
        if not os.path.exists(ods):
            failures.append('LibreOffice could not load %s' % book)
            continue
        sheets = ods_sheets(ods)
        for _, sheet, shapes, lines, presets, texts in (r for r in manifest if r[0] == book):
            found, found_lines = sheets.get(sheet, ([], 0))
            if len(found) != shapes or found_lines != lines:
                failures.append('LibreOffice %s!%s: %d shapes and %d lines, expected %d and %d'
                                % (book, sheet, len(found), found_lines, shapes, lines))
                continue
            if presets and [kind for kind, _ in found] != ['ooxml-' + p for p in presets]:
                failures.append('LibreOffice %s!%s: geometries %s' % (book, sheet, [kind for kind, _ in found]))
            shown = [text for _, text in found]
            for text in texts:
                if text not in shown:
                    failures.append('LibreOffice %s!%s: no shape shows %r (%s)' % (book, sheet, text, shown))

    for path in paths:
        problem, stderr = gnumeric_convert(path, os.path.join(workdir, 'gnumeric'))
        shutil.rmtree(os.path.join(workdir, 'gnumeric'), ignore_errors=True)
        lines = stderr.splitlines()
        said = [line for line in lines if not any(gap.match(line) for gap in GNUMERIC_GAPS)]
        # A shape may be dropped only for a geometry gnumeric does not know.
        if sum(GNUMERIC_GAPS[1].match(l) is not None for l in lines) > sum(GNUMERIC_GAPS[0].match(l) is not None for l in lines):
            said.append('dropped shapes beyond those of unknown geometries')
        if problem or said:
            failures.append('gnumeric %s: %s %s' % (os.path.basename(path), problem or '', ' / '.join(said[:5])))
    checked = schema_check(paths)
    if checked is not None:
        ok, lines = checked
        if not ok:
            failures += [line for line in lines if line.startswith('SCHEMA')] or ['schema check failed']
        else:
            print(lines[-1] if lines else 'schema check passed')
    for failure in failures:
        print('FAIL:', failure)
    shape_count = sum(r[2] + r[3] for r in manifest)
    print('%d books, %d sheets, %d shapes checked; %d failures' % (len(books), len(manifest), shape_count, len(failures)))
    return 1 if failures else 0


if __name__ == '__main__':
    sys.exit(run_removing_workdir(main, sys.argv[2]))

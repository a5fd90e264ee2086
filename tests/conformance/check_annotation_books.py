#!/usr/bin/python3
"""Comments, table formats and hyperlinks as other programs read them.

Runs the annotation book maker, then checks every book against its manifest: openpyxl must
find each comment's text and author, each table's range, style and column names (and header
cells that show those names), and each hyperlink's target or location; LibreOffice must load
every book, and its .ods export must keep the comments (office:annotation) and the links
(text:a); gnumeric must load each book without a warning, and every part must validate against
the ECMA-376 schemas. Prints what fails and a closing "N passed, N failed" line; the work
folder is removed at the end.

Usage: check_annotation_books.py MAKER WORKDIR
"""
import collections
import html
import os
import re
import shutil
import subprocess
import sys
import warnings
import zipfile

import openpyxl

sys.dont_write_bytecode = True  # the shared checks' import leaves no __pycache__ in the source tree
from shared_checks import gnumeric_convert, run_removing_workdir, schema_check, run_soffice, Results

AUTHOR = 'MyName'


def unescape(text):
    return re.sub(r'\\(.)', lambda m: {'t': '\t', 'n': '\n', '\\': '\\'}[m.group(1)], text)


def read_manifest(path):
    with open(path, encoding='utf-8') as f:
        return [[unescape(field) for field in line.rstrip('\n').split('\t')] for line in f if line.strip()]


def check_openpyxl(results, workdir, manifest):
    books = {}
    for entry in manifest:
        kind, book, sheet = entry[0], entry[1], entry[2]
        if book not in books:
            with warnings.catch_warnings():
                warnings.simplefilter('ignore')
                books[book] = openpyxl.load_workbook(os.path.join(workdir, book + '.xlsx'))
        ws = books[book][sheet]
        where = '%s %s!%s' % (book, sheet, entry[3])
        if kind == 'comment':
            comment = ws[entry[3]].comment
            # The comment shows its author's name in bold on a line of its own above the text.
            results.check(comment is not None and comment.text == AUTHOR + ':\n' + entry[4],
                          'openpyxl comment %s: %r' % (where, comment and comment.text))
            results.check(comment is not None and comment.author == AUTHOR,
                          'openpyxl comment author %s: %r' % (where, comment and comment.author))
        elif kind == 'table':
            names = entry[5].split('|')
            found = [t for t in ws.tables.values() if t.ref == entry[3]]
            results.check(len(found) == 1, 'openpyxl table %s: tables %r' % (where, list(ws.tables.items())))
            if not found:
                continue
            table = found[0]
            results.check(table.tableStyleInfo.name == entry[4],
                          'openpyxl table style %s: %r' % (where, table.tableStyleInfo.name))
            results.check([c.name for c in table.tableColumns] == names,
                          'openpyxl table columns %s: %r' % (where, [c.name for c in table.tableColumns]))
            results.check(re.fullmatch(r'テーブル\d+', table.displayName) is not None,
                          'openpyxl table name %s: %r' % (where, table.displayName))
            header = ws[entry[3]][0]
            results.check([str(c.value) for c in header] == names,
                          'openpyxl table header cells %s: %r' % (where, [c.value for c in header]))
        elif kind == 'link':
            link = ws[entry[3]].hyperlink
            results.check(link is not None and link.target == entry[4],
                          'openpyxl link %s: %r' % (where, link and link.target))
        elif kind == 'location':
            link = ws[entry[3]].hyperlink
            target_sheet, target_cell = entry[4].rsplit('!', 1)
            expected = "'%s'!%s" % (target_sheet, target_cell)
            results.check(link is not None and link.location == expected and link.display == entry[5],
                          'openpyxl location %s: %r' % (where, link and (link.location, link.display)))
            results.check(ws[entry[3]].value == entry[5], 'openpyxl linked text %s: %r' % (where, ws[entry[3]].value))
    # Names of tables are unique over the book; every table id too.
    for name, wb in books.items():
        tables = [t for ws in wb.worksheets for t in ws.tables.values()]
        results.check(len({t.displayName for t in tables}) == len(tables), 'openpyxl %s: table names repeat' % name)
        results.check(len({t.id for t in tables}) == len(tables), 'openpyxl %s: table ids repeat' % name)



def check_libreoffice(results, workdir, manifest):
    books = sorted({entry[1] for entry in manifest})
    out = os.path.join(workdir, 'ods')
    os.makedirs(out)
    run_soffice(['--convert-to', 'ods', '--outdir', out] + [os.path.join(workdir, b + '.xlsx') for b in books],
                timeout=600)
    comments = collections.Counter(e[1] for e in manifest if e[0] == 'comment')
    links = collections.Counter(e[1] for e in manifest if e[0] in ('link', 'location'))
    for book in books:
        path = os.path.join(out, book + '.ods')
        results.check(os.path.exists(path), 'LibreOffice could not load %s.xlsx' % book)
        if not os.path.exists(path):
            continue
        with zipfile.ZipFile(path) as ods:
            content = ods.read('content.xml').decode('utf-8')
        annotations = re.findall(r'<office:annotation\b.*?</office:annotation>', content, re.S)
        results.check(len(annotations) == comments[book],
                      'LibreOffice %s: %d comments, expected %d' % (book, len(annotations), comments[book]))
        # Each comment as its paragraphs: the author's line, then the text's lines.
        texts = collections.Counter(
            '\n'.join(html.unescape(re.sub(r'<[^>]+>', '', p)) for p in re.findall(r'<text:p\b.*?</text:p>', a, re.S))
            for a in annotations)
        wanted = collections.Counter(AUTHOR + ':\n' + e[4] for e in manifest if e[0] == 'comment' and e[1] == book)
        results.check(texts == wanted, 'LibreOffice %s: comment texts differ: missing %r, unexpected %r'
                      % (book, list((wanted - texts).elements())[:5], list((texts - wanted).elements())[:5]))
        anchors = re.findall(r'<text:a\b[^>]*xlink:href="([^"]*)"', content)
        results.check(len(anchors) == links[book],
                      'LibreOffice %s: %d links, expected %d: %r' % (book, len(anchors), links[book], anchors))
        for entry in manifest:
            if entry[1] != book:
                continue
            if entry[0] == 'link' and re.match(r'(https?|mailto):', entry[4]):
                results.check(any(html.unescape(a) == entry[4] for a in anchors),
                              'LibreOffice %s: no link to %r in %r' % (book, entry[4], anchors))
            elif entry[0] == 'location':
                target_sheet = entry[4].rsplit('!', 1)[0]
                results.check(any(a.startswith('#') and target_sheet in html.unescape(a) for a in anchors),
                              'LibreOffice %s: no link into %r in %r' % (book, target_sheet, anchors))


# What gnumeric 1.12 says about every workbook with comments or tables, those made by spreadsheet
# programs included: it reads comments from the comments part and leaves their VML boxes alone,
# and it does not read table parts at all.
GNUMERIC_KNOWN = [r"Unhandled object of type Note", r"Unexpected element 'tableParts' in state : \n\tworksheet"]


def gnumeric_problem(book, scratch):
    """None when gnumeric loads BOOK saying nothing beyond GNUMERIC_KNOWN, else what it said."""
    problem, stderr = gnumeric_convert(book, scratch)
    shutil.rmtree(scratch, ignore_errors=True)
    for known in GNUMERIC_KNOWN:
        stderr = re.sub(known, '', stderr)
    stderr = stderr.strip()
    if problem or stderr:
        return '%s %s' % (problem or 'warnings:', stderr)
    return None


def main(maker, workdir):
    results = Results()
    shutil.rmtree(workdir, ignore_errors=True)
    os.makedirs(workdir)
    made = subprocess.run([maker, workdir], capture_output=True, text=True)
    print(made.stdout.strip())
    if made.returncode != 0:
        print(made.stderr)
        print('0 passed, 1 failed')
        return 1
    manifest = read_manifest(os.path.join(workdir, 'manifest.tsv'))
    check_openpyxl(results, workdir, manifest)
    check_libreoffice(results, workdir, manifest)
    books = [os.path.join(workdir, b + '.xlsx') for b in sorted({e[1] for e in manifest})]
    for book in books:
        problem = gnumeric_problem(book, os.path.join(workdir, 'gnumeric'))
        results.check(problem is None, 'gnumeric %s: %s' % (os.path.basename(book), problem))
    checked = schema_check(books)
    if checked is not None:
        ok, lines = checked
        results.check(ok, 'schema check: ' + ' | '.join(line for line in lines if line.startswith('SCHEMA'))[:2000])
        print(lines[-1] if lines else '')
    print('%d passed, %d failed' % (results.passed, results.failed))
    return 1 if results.failed else 0


if __name__ == '__main__':
    maker, workdir = sys.argv[1], sys.argv[2]
    sys.exit(run_removing_workdir(lambda: main(maker, workdir), workdir))

#!/usr/bin/python3
"""Objects added to a workbook read from a file must join the objects it had.

Makes a small PNG, runs the template-object maker, then checks filled.xlsx against form.xlsx:
every relationship id of a part is unique and every id a part uses is one of its relationships,
every internal target exists, every entry has a content type; the template's relationships are
still there under the same ids; the drawings hold the template's anchors and the new ones;
openpyxl sees the pictures, comments, tables and links; LibreOffice loads the book and its
OpenDocument export keeps pictures, charts and comments; every part validates against the
schemas. Prints "N passed, N failed"; the work folder is removed at the end.

Usage: check_template_object_books.py MAKER WORKDIR
"""
import os
import posixpath
import re
import shutil
import subprocess
import sys
import warnings
import zipfile

import openpyxl
from PIL import Image

sys.dont_write_bytecode = True
from shared_checks import schema_check

passed = failed = 0


def expect(ok, what):
    global passed, failed
    if ok:
        passed += 1
    else:
        failed += 1
        print('FAIL', what)


def rels_path(part):
    folder, name = posixpath.split(part)
    return posixpath.join(folder, '_rels', name + '.rels')


def relationships(book, part):
    """{id: (type, target, external)} of a part's relationship part."""
    name = rels_path(part)
    if name not in book.namelist():
        return {}
    text = book.read(name).decode('utf-8')
    found = {}
    for tag in re.findall(r'<Relationship\b[^>]*>', text):
        attrs = dict(re.findall(r'(\w+)="([^"]*)"', tag))
        expect(attrs['Id'] not in found, '%s: relationship id %s twice' % (name, attrs['Id']))
        found[attrs['Id']] = (attrs['Type'].rsplit('/', 1)[-1], attrs['Target'], attrs.get('TargetMode') == 'External')
    return found


def check_links(path):
    with zipfile.ZipFile(path) as book:
        names = set(book.namelist())
        types = book.read('[Content_Types].xml').decode('utf-8')
        defaults = {e.lower() for e in re.findall(r'<Default Extension="([^"]+)"', types)}
        overrides = set(re.findall(r'<Override PartName="/([^"]+)"', types))
        for name in sorted(names):
            extension = name.rsplit('.', 1)[-1].lower()
            expect(name in overrides or extension in defaults, '%s: %s has no content type' % (path, name))
            if name.endswith('.rels') or not name.endswith(('.xml', '.vml')):
                continue
            rels = relationships(book, name)
            text = book.read(name).decode('utf-8', errors='replace')
            for used in re.findall(r'\br:(?:id|embed|link)="([^"]+)"', text):
                expect(used in rels, '%s: %s uses %s, which its relationships lack' % (path, name, used))
            for rid, (kind, target, external) in rels.items():
                if external or kind == 'hyperlink':
                    continue
                resolved = posixpath.normpath(posixpath.join(posixpath.dirname(name), target)).lstrip('/')
                expect(resolved in names, '%s: %s %s targets missing %s' % (path, name, rid, resolved))


def part_texts(path):
    with zipfile.ZipFile(path) as book:
        return {name: book.read(name).decode('utf-8', errors='replace') for name in book.namelist()
                if name.endswith(('.xml', '.rels', '.vml'))}


def anchors(text):
    return len(re.findall(r'<xdr:(?:oneCellAnchor|twoCellAnchor)\b', text))


def main():
    maker, work = sys.argv[1], sys.argv[2]
    shutil.rmtree(work, ignore_errors=True)
    os.makedirs(work)
    try:
        picture = os.path.join(work, 'logo.png')
        Image.new('RGB', (48, 32), (200, 30, 30)).save(picture)
        made = subprocess.run([maker, picture, work], capture_output=True, text=True, errors="replace")
        print(made.stdout.strip())
        expect(made.returncode == 0, 'maker: ' + made.stderr)
        form, filled = os.path.join(work, 'form.xlsx'), os.path.join(work, 'filled.xlsx')
        if made.returncode != 0:
            return 1
        check_links(form)
        check_links(filled)

        before, after = part_texts(form), part_texts(filled)
        sheet1 = 'xl/worksheets/_rels/sheet1.xml.rels'
        for rel in re.findall(r'<Relationship\b[^>]*/>', before[sheet1]):
            expect(rel in after[sheet1], 'the template relationship %s is kept as it was' % rel)
        drawing = 'xl/drawings/drawing1.xml'
        expect(anchors(after[drawing]) == anchors(before[drawing]) + 2,
               'Form drawing: %d anchors before, %d after' % (anchors(before[drawing]), anchors(after[drawing])))
        new_drawings = [n for n in after if n.startswith('xl/drawings/drawing') and n not in before]
        expect(len(new_drawings) == 1 and anchors(after[new_drawings[0]]) == 2, 'Other gets one new drawing of two')
        expect(after['xl/comments1.xml'].count('<comment ') == 2, 'Form comments: the template one and the new one')
        expect(len([n for n in after if n.startswith('xl/tables/')]) == 2, 'two tables')
        expect(after['xl/worksheets/sheet1.xml'].count('<x14:sparklineGroup ') == 2, 'two sparkline groups on Form')

        with warnings.catch_warnings():
            warnings.simplefilter('ignore')
            book = openpyxl.load_workbook(filled)
        form_sheet, other = book['Form'], book['Other']
        expect(len(form_sheet._images) == 2, 'openpyxl: Form has 2 pictures, saw %d' % len(form_sheet._images))
        expect(len(other._images) == 2, 'openpyxl: Other has 2 pictures, saw %d' % len(other._images))
        expect(len(form_sheet._charts) == 2, 'openpyxl: Form has 2 charts, saw %d' % len(form_sheet._charts))
        expect(form_sheet['C3'].comment is not None and form_sheet['C3'].comment.text.endswith('見本のコメント'),
               'openpyxl: the template comment')
        expect(form_sheet['C4'].comment is not None and form_sheet['C4'].comment.text.endswith('追加のコメント'),
               'openpyxl: the added comment')
        expect(other['B3'].comment is not None, 'openpyxl: the comment on Other')
        expect(sorted(t.ref for t in form_sheet.tables.values()) == ['F1:G3', 'I1:J3'], 'openpyxl: both tables')
        links = {c.coordinate: c.hyperlink for row in form_sheet.iter_rows() for c in row if c.hyperlink}
        expect(links.get('D1') is not None and links['D1'].target == 'https://example.com/form?a=1&b=2',
               'openpyxl: the template link')
        expect(links.get('E11') is not None and links['E11'].target == 'mailto:sales@example.com',
               'openpyxl: the added mail link')
        expect(links.get('E12') is not None and links['E12'].location == "'Other'!A1", 'openpyxl: the sheet link')
        expect(form_sheet['E13'].value == 'Go' and links.get('E13') is not None, 'openpyxl: the in-value link')
        expect(form_sheet['B6'].value == 20, 'openpyxl: the filled value')

        profile = 'file://' + os.path.join(work, 'lo-profile')
        subprocess.run(['soffice', '-env:UserInstallation=' + profile, '--headless', '--convert-to', 'ods',
                        '--outdir', work, filled], capture_output=True, timeout=300)
        ods = os.path.join(work, 'filled.ods')
        expect(os.path.exists(ods), 'LibreOffice loads filled.xlsx')
        if os.path.exists(ods):
            with zipfile.ZipFile(ods) as exported:
                content = exported.read('content.xml').decode('utf-8')
            expect(content.count('<draw:image') >= 4, 'LibreOffice: four pictures')
            expect(content.count('<draw:object') >= 2, 'LibreOffice: two charts')
            expect(content.count('<office:annotation') >= 3, 'LibreOffice: three comments')

        schemas = schema_check([form, filled])
        if schemas is not None:
            ok, lines = schemas
            expect(ok, 'schemas:\n' + '\n'.join(lines[-20:]))
    finally:
        shutil.rmtree(work, ignore_errors=True)
    print('%d passed, %d failed' % (passed, failed))
    return 0 if failed == 0 else 1


if __name__ == '__main__':
    sys.exit(main())

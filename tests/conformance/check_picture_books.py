#!/usr/bin/python3
"""Books with pictures, read back by other programs.

Makes a sample picture of every kind (PNG, JPEG, GIF, BMP and TIFF with PIL; EMF and WMF written
here byte by byte), runs the picture-book maker over them, and checks each saved book: the
package's own cross-references (every picture, link and drawing relationship names a part or an
external target, one media part per picture file, a content type per media extension); openpyxl's
pictures and their anchor cells per sheet; LibreOffice's .ods export of every book (one soffice
call) with a draw:frame holding a draw:image per picture; gnumeric loading each book without a
word; and the ECMA-376 schemas. Prints "N passed, N failed"; the work folder is removed at the end.

Usage: check_picture_books.py MAKER WORKDIR
"""
import os
import re
import shutil
import struct
import subprocess
import sys
import tempfile
import warnings
import zipfile
import xml.etree.ElementTree as ET

import openpyxl
from PIL import Image, ImageDraw

sys.dont_write_bytecode = True  # the shared checks' import leaves no __pycache__ in the source tree
from shared_checks import gnumeric_convert, run_removing_workdir, schema_check, Results

REL = 'http://schemas.openxmlformats.org/package/2006/relationships'
R = 'http://schemas.openxmlformats.org/officeDocument/2006/relationships'
XDR = 'http://schemas.openxmlformats.org/drawingml/2006/spreadsheetDrawing'
A = 'http://schemas.openxmlformats.org/drawingml/2006/main'
MAIN = 'http://schemas.openxmlformats.org/spreadsheetml/2006/main'
TYPES = 'http://schemas.openxmlformats.org/package/2006/content-types'
MIME = {'png': 'image/png', 'jpeg': 'image/jpeg', 'gif': 'image/gif', 'bmp': 'image/bmp', 'tiff': 'image/tiff',
        'emf': 'image/x-emf', 'wmf': 'image/x-wmf'}


def emf_sample(width, height):
    """An enhanced metafile drawing one rectangle: header, EMR_RECTANGLE, EMR_EOF."""
    rectangle = struct.pack('<II4i', 43, 24, 2, 2, width - 3, height - 3)
    end = struct.pack('<5I', 14, 20, 0, 16, 20)
    frame = (0, 0, width * 2540 // 96, height * 2540 // 96)
    header = struct.pack('<II4i4iIIIIHHIII2i2i', 1, 88, 0, 0, width - 1, height - 1, *frame, 0x464D4520, 0x10000,
                         88 + len(rectangle) + len(end), 3, 1, 0, 0, 0, 0, 1920, 1080, 508, 286)
    return header + rectangle + end


def wmf_sample(width, height):
    """A placeable metafile (96 units an inch) drawing one rectangle."""
    records = struct.pack('<IHhh', 5, 0x020B, 0, 0) + struct.pack('<IHhh', 5, 0x020C, height, width)
    records += struct.pack('<IHhhhh', 7, 0x041B, height - 2, width - 2, 2, 2) + struct.pack('<IH', 3, 0)
    body = struct.pack('<HHHIHIH', 1, 9, 0x0300, (18 + len(records)) // 2, 0, 7, 0) + records
    head = struct.pack('<IHhhhhHI', 0x9AC6CDD7, 0, 0, 0, width, height, 96, 0)
    checksum = 0
    for k in range(0, 20, 2):
        checksum ^= struct.unpack_from('<H', head, k)[0]
    return head + struct.pack('<H', checksum) + body


def make_pictures(folder):
    os.makedirs(folder)
    picture = Image.new('RGB', (120, 80), (30, 110, 200))
    draw = ImageDraw.Draw(picture)
    draw.rectangle((10, 10, 110, 70), outline=(255, 255, 255), width=4)
    draw.text((30, 30), 'logo', fill=(255, 220, 0))
    for extension, form in [('png', 'PNG'), ('jpg', 'JPEG'), ('gif', 'GIF'), ('bmp', 'BMP'), ('tif', 'TIFF')]:
        picture.save(os.path.join(folder, 'sample.' + extension), form)
    with open(os.path.join(folder, 'sample.emf'), 'wb') as f:
        f.write(emf_sample(120, 80))
    with open(os.path.join(folder, 'sample.wmf'), 'wb') as f:
        f.write(wmf_sample(120, 80))


def read_manifest(path):
    """{book: {sheet: {'pictures': [(cell, extension)], 'background': extension or None}}}"""
    books = {}
    with open(path, encoding='utf-8') as f:
        for line in f:
            book, sheet, cell, extension = line.rstrip('\n').split('\t')
            entry = books.setdefault(book, {}).setdefault(sheet, {'pictures': [], 'background': None})
            if cell == 'background':
                entry['background'] = extension
            else:
                entry['pictures'].append((cell, extension))
    return books


def media_extension(extension):
    return {'jpg': 'jpeg', 'tif': 'tiff'}.get(extension, extension)


def relationships(package, part):
    folder, name = part.rsplit('/', 1)
    rels_name = folder + '/_rels/' + name + '.rels'
    if rels_name not in package.namelist():
        return {}
    root = ET.fromstring(package.read(rels_name))
    return {rel.get('Id'): rel for rel in root.findall('{%s}Relationship' % REL)}


def resolve(part, target):
    folder = part.rsplit('/', 1)[0].split('/')
    for piece in target.split('/'):
        if piece == '..':
            folder.pop()
        elif piece != '.':
            folder.append(piece)
    return '/'.join(folder)


def sheet_parts(package):
    """[(sheet name, worksheet part)] in book order."""
    workbook = ET.fromstring(package.read('xl/workbook.xml'))
    rels = relationships(package, 'xl/workbook.xml')
    out = []
    for sheet in workbook.find('{%s}sheets' % MAIN):
        target = rels[sheet.get('{%s}id' % R)].get('Target')
        out.append((sheet.get('name'), resolve('xl/workbook.xml', target)))
    return out


def check_package(results, path, expected):
    """The package's cross-references against the manifest of one book."""
    name = os.path.basename(path)
    with zipfile.ZipFile(path) as package:
        names = set(package.namelist())
        media = sorted(n for n in names if n.startswith('xl/media/'))
        wanted_files = {extension for sheet in expected.values() for cell, extension in sheet['pictures']}
        wanted_files |= {sheet['background'] for sheet in expected.values() if sheet['background']}
        if name != 'links.xlsx':  # pictures from memory are one file each
            results.check(len(media) == len(wanted_files),
                          '%s: %d media parts for %d picture files' % (name, len(media), len(wanted_files)))
        types = ET.fromstring(package.read('[Content_Types].xml'))
        defaults = {d.get('Extension'): d.get('ContentType') for d in types.findall('{%s}Default' % TYPES)}
        for part in media:
            extension = part.rsplit('.', 1)[1]
            results.check(defaults.get(extension) == MIME.get(extension),
                          '%s: content type of %s is %r' % (name, part, defaults.get(extension)))
        drawings = 0
        for sheet, part in sheet_parts(package):
            entry = expected.get(sheet, {'pictures': [], 'background': None})
            worksheet = ET.fromstring(package.read(part))
            rels = relationships(package, part)
            drawing = worksheet.find('{%s}drawing' % MAIN)
            results.check((drawing is not None) == bool(entry['pictures']),
                          '%s %s: drawing element present %s' % (name, sheet, drawing is not None))
            background = worksheet.find('{%s}picture' % MAIN)
            results.check((background is not None) == bool(entry['background']),
                          '%s %s: background element present %s' % (name, sheet, background is not None))
            if background is not None:
                rel = rels.get(background.get('{%s}id' % R))
                target = rel is not None and resolve(part, rel.get('Target'))
                results.check(rel is not None and rel.get('Type') == R + '/image' and target in names and
                              target.endswith('.' + media_extension(entry['background'])),
                              '%s %s: background relationship %s' % (name, sheet, target))
            if drawing is None:
                continue
            drawings += 1
            rel = rels.get(drawing.get('{%s}id' % R))
            results.check(rel is not None and rel.get('Type') == R + '/drawing', '%s %s: drawing relationship' % (name, sheet))
            drawing_part = resolve(part, rel.get('Target'))
            drawing_rels = relationships(package, drawing_part)
            root = ET.fromstring(package.read(drawing_part))
            anchors = root.findall('{%s}oneCellAnchor' % XDR)
            results.check(len(anchors) == len(entry['pictures']),
                          '%s %s: %d anchors for %d pictures' % (name, sheet, len(anchors), len(entry['pictures'])))
            ids = [c.get('id') for c in root.iter('{%s}cNvPr' % XDR)]
            results.check(len(ids) == len(set(ids)), '%s %s: object ids repeat: %s' % (name, sheet, ids))
            for anchor, (cell, extension) in zip(anchors, entry['pictures']):
                blip = anchor.find('.//{%s}blip' % A)
                embed = drawing_rels.get(blip.get('{%s}embed' % R))
                target = embed is not None and resolve(drawing_part, embed.get('Target'))
                results.check(embed is not None and embed.get('Type') == R + '/image' and target in names and
                              target.endswith('.' + media_extension(extension)),
                              '%s %s %s: image relationship %s' % (name, sheet, cell, target))
                link = anchor.find('.//{%s}hlinkClick' % A)
                if link is not None:
                    rel = drawing_rels.get(link.get('{%s}id' % R))
                    external = rel is not None and rel.get('TargetMode') == 'External'
                    results.check(rel is not None and rel.get('Type') == R + '/hyperlink' and
                                  (external or rel.get('Target').startswith('#')),
                                  '%s %s %s: click link relationship' % (name, sheet, cell))
        results.check(drawings == sum(1 for s in expected.values() if s['pictures']),
                      '%s: %d drawing parts' % (name, drawings))


# openpyxl reads pictures through PIL, which names both metafile kinds "WMF", and openpyxl drops
# those with a warning: it can only be asked to see the other kinds.
METAFILES = {'emf', 'wmf'}
METAFILE_WARNING = 'wmf image format is not supported so the image is being dropped'


def check_openpyxl(results, path, expected):
    name = os.path.basename(path)
    with warnings.catch_warnings(record=True) as caught:
        warnings.simplefilter('always')
        book = openpyxl.load_workbook(path)
    metafiles = sum(1 for sheet in expected.values() for cell, extension in sheet['pictures'] if extension in METAFILES)
    messages = [str(w.message) for w in caught]
    results.check(messages.count(METAFILE_WARNING) == metafiles and
                  not [m for m in messages if m != METAFILE_WARNING and 'image' in m.lower()],
                  '%s: openpyxl warned %s' % (name, messages))
    for sheet in book.worksheets:
        entry = expected.get(sheet.title, {'pictures': [], 'background': None})
        got = sorted('%s%d' % (openpyxl.utils.get_column_letter(i.anchor._from.col + 1), i.anchor._from.row + 1)
                     for i in sheet._images)
        wanted = sorted(cell for cell, extension in entry['pictures'] if extension not in METAFILES)
        results.check(got == wanted, 'openpyxl %s %s: pictures at %s, expected %s' % (name, sheet.title, got, wanted))


def check_libreoffice(results, workdir, books, expected):
    out = os.path.join(workdir, 'ods')
    private = tempfile.mkdtemp(prefix='lo-pictures-')
    try:
        os.makedirs(os.path.join(private, 'tmp'))
        subprocess.run(['soffice', '-env:UserInstallation=file://' + os.path.join(private, 'profile'), '--headless',
                        '--convert-to', 'ods', '--outdir', out] + books, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL, timeout=600, env=dict(os.environ, TMPDIR=os.path.join(private, 'tmp')))
    finally:
        shutil.rmtree(private, ignore_errors=True)
    table = '{urn:oasis:names:tc:opendocument:xmlns:table:1.0}'
    draw = '{urn:oasis:names:tc:opendocument:xmlns:drawing:1.0}'
    for path in books:
        name = os.path.basename(path)
        ods = os.path.join(out, name[:-len('.xlsx')] + '.ods')
        results.check(os.path.exists(ods), 'LibreOffice did not convert %s' % name)
        if not os.path.exists(ods):
            continue
        with zipfile.ZipFile(ods) as package:
            content = ET.fromstring(package.read('content.xml'))
            stored = set(package.namelist())
        if name == 'links.xlsx':
            # The maker links two of its pictures: one to a web address, one into the book.
            links = sorted(a.get('{http://www.w3.org/1999/xlink}href') for a in content.iter(draw + 'a'))
            results.check(links == ['#Target.A1', 'https://example.com/report?id=1&view=full'],
                          'LibreOffice links.xlsx: picture links %s' % links)
        for sheet in content.iter(table + 'table'):
            title = sheet.get(table + 'name')
            entry = expected[name].get(title, {'pictures': [], 'background': None})
            frames = [f for f in sheet.iter(draw + 'frame') if f.find(draw + 'image') is not None]
            results.check(len(frames) == len(entry['pictures']),
                          'LibreOffice %s %s: %d picture frames, expected %d' % (name, title, len(frames),
                                                                                len(entry['pictures'])))
            for frame in frames:
                image = frame.find(draw + 'image')
                href = image.get('{http://www.w3.org/1999/xlink}href', '')
                results.check(href in stored or image.find('{urn:oasis:names:tc:opendocument:xmlns:office:1.0}binary-data') is not None,
                              'LibreOffice %s %s: frame without its picture (%s)' % (name, title, href))


# gnumeric has no place for a sheet's background picture and says so for each <picture>, which
# the schema allows; any other word from it is a fault.
GNUMERIC_BACKGROUND = re.compile(r"Unexpected element 'picture' in state : \s*worksheet\s*")


def check_gnumeric(results, path, scratch):
    problem, stderr = gnumeric_convert(path, scratch)
    shutil.rmtree(scratch, ignore_errors=True)
    rest = GNUMERIC_BACKGROUND.sub('', stderr).strip()
    results.check(problem is None and not rest, 'gnumeric %s: %s %s' % (os.path.basename(path), problem or '', rest))


def main():
    maker, workdir = sys.argv[1], sys.argv[2]
    shutil.rmtree(workdir, ignore_errors=True)
    os.makedirs(workdir)
    results = Results()
    pictures = os.path.join(workdir, 'pictures')
    make_pictures(pictures)
    out = os.path.join(workdir, 'books')
    os.makedirs(out)
    made = subprocess.run([maker, pictures, out], capture_output=True, text=True)
    results.check(made.returncode == 0, 'maker: %s' % made.stderr.strip())
    expected = read_manifest(os.path.join(out, 'manifest.tsv'))
    books = [os.path.join(out, name) for name in sorted(expected)]
    for path in books:
        results.check(os.path.exists(path), 'not saved: %s' % path)
    books = [path for path in books if os.path.exists(path)]
    for path in books:
        check_package(results, path, expected[os.path.basename(path)])
        check_openpyxl(results, path, expected[os.path.basename(path)])
    check_libreoffice(results, workdir, books, expected)
    for path in books:
        check_gnumeric(results, path, os.path.join(workdir, 'gnumeric'))
    checked = schema_check(books)
    if checked is not None:
        ok, lines = checked
        results.check(ok, 'schemas: %s' % '\n'.join(line for line in lines if line.startswith('SCHEMA')))
        print(lines[-1] if lines else '')
    print('%d passed, %d failed' % (results.passed, results.failed))
    return 1 if results.failed else 0


if __name__ == '__main__':
    sys.exit(run_removing_workdir(main, sys.argv[2]))

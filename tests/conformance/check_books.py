#!/usr/bin/python3
"""Books saved by the engine read back by openpyxl, LibreOffice, gnumeric and the schema validator,
each against the facts its maker wrote; and the corpus of other programs' workbooks read and updated.
Any warning, missing reader or failed fact fails the run. Usage: check_books.py MAKER WORKDIR [corpus|round-trip CORPUS]
"""
import collections, concurrent.futures, csv, datetime, fnmatch, html, json, math, os, random, re, shutil, subprocess, sys  # noqa: E401
import tempfile, warnings, zipfile  # noqa: E401
from fractions import Fraction

import openpyxl
from openpyxl.utils.cell import column_index_from_string, coordinate_from_string, get_column_letter
from openpyxl.utils.datetime import to_excel
from lxml import etree

HERE = os.path.dirname(os.path.abspath(__file__))
VALIDATOR = os.path.join(HERE, '..', '..', '..', 'shared', 'ooxml-schemas', 'validate.py')


def data_lines(name):
    with open(os.path.join(HERE, name), encoding='utf-8') as f:
        return [line.rstrip('\n') for line in f if line.strip() and not line.startswith('#')]


SHOWN_DIFFERENCES = [line.split('\t')[0] for line in data_lines('shown_differences.tsv')]   # each with its reason
GNUMERIC_GAPS = data_lines('gnumeric_gaps.txt')
NS = {'table': 'urn:oasis:names:tc:opendocument:xmlns:table:1.0', 'office': 'urn:oasis:names:tc:opendocument:xmlns:office:1.0',
      'text': 'urn:oasis:names:tc:opendocument:xmlns:text:1.0', 'draw': 'urn:oasis:names:tc:opendocument:xmlns:drawing:1.0',
      'xlink': 'http://www.w3.org/1999/xlink', 'calcext': 'urn:org:documentfoundation:names:experimental:calc:xmlns:calcext:1.0'}
OFFICE, TABLE, DRAW, XLINK = ('{%s}' % NS[k] for k in ('office', 'table', 'draw', 'xlink'))
# Formulas of OOXML files are recalculated on every load, whatever the file's calcId says.
RECALC_ALWAYS = ('<?xml version="1.0" encoding="UTF-8"?><oor:items xmlns:oor="http://openoffice.org/2001/registry"><item oor:path="/org.'
                 'openoffice.Office.Calc/Formula/Load"><prop oor:name="OOXMLRecalcMode" oor:op="fuse"><value>0</value></prop></item></oor:items>')


class Results:
    passed = failed = 0

    def check(self, ok, what):
        self.passed, self.failed = self.passed + bool(ok), self.failed + (not ok)
        if not ok:
            print('FAIL: ' + what)
        return ok


def run_private(args, **options):   # a home and settings of its own: runs side by side do not wait, nothing outlives the check
    private = tempfile.mkdtemp(prefix='reader-check-')
    try:
        for sub in ('tmp', 'cache', 'config', 'data', 'profile/user'):
            os.makedirs(os.path.join(private, sub))
        with open(private + '/profile/user/registrymodifications.xcu', 'w') as f:
            f.write(RECALC_ALWAYS)
        env = dict(os.environ, HOME=private, TMPDIR=private + '/tmp', GSETTINGS_BACKEND='memory', XDG_CACHE_HOME=private + '/cache',
                   XDG_CONFIG_HOME=private + '/config', XDG_DATA_HOME=private + '/data')
        return subprocess.run([a.replace('@PRIVATE', private) for a in args], env=env, stdout=subprocess.DEVNULL, **options)
    finally:
        shutil.rmtree(private, ignore_errors=True)


def soffice(target, books, outdir):
    run_private(['soffice', '-env:UserInstallation=file://@PRIVATE/profile', '--headless', '--convert-to', target, '--outdir', outdir]
                + books, stderr=subprocess.DEVNULL, timeout=1200, check=True)


def gnumeric(books, outdir=None):
    """(exit code, standard error) of ssconvert loading BOOKS: one exported as OUTDIR/<sheet>.csv, several merged."""
    os.makedirs(outdir, exist_ok=True) if outdir else None
    run = run_private(['ssconvert'] + (['-S', books[0], os.path.join(outdir, '%s.csv')] if outdir else ['--merge-to=@PRIVATE/all.gnumeric'] + books),
                      stderr=subprocess.PIPE, timeout=600)
    return run.returncode, run.stderr.decode('utf-8', errors='replace')


def doubled_entry(path):
    """The second entry of a name met twice (letter case aside), or None: such a package means
    different workbooks to different readers, and the engine refuses it."""
    try:
        names = [i.filename for i in zipfile.ZipFile(path).infolist()]
    except (zipfile.BadZipFile, OSError, ValueError):
        return None
    return next((n for k, n in enumerate(names) if n.lower() in {m.lower() for m in names[:k]}), None)


def as_stored(text):
    """TEXT as the package stores it: a literal _xHHHH_ with its underscore escaped, control
    characters as _xHHHH_ (openpyxl and gnumeric hand these escapes back undecoded)."""
    text = re.sub(r'_(x[0-9A-Fa-f]{4}_)', r'_x005F_\1', text)
    return ''.join('_x%04X_' % ord(c) if ord(c) < 0x20 and c not in '\t\r\n' else c for c in text)


def cell_position(cell):
    """0-based (row, column) of an A1 name."""
    letters, row = coordinate_from_string(cell)
    return row - 1, column_index_from_string(letters) - 1


def ods_text(element):
    """The text a cell or paragraph shows: its paragraphs on lines, runs of spaces and tabs spelt out."""
    def walk(e):
        out = [e.text or '']
        for child in e:
            tag = etree.QName(child).localname
            special = {'s': ' ' * int(child.get('{%s}c' % NS['text'], '1')), 'tab': '\t', 'line-break': '\n', 'annotation': ''}
            out += [special[tag] if tag in special else walk(child), child.tail or '']
        return ''.join(out)
    return '\n'.join(walk(p) for p in element.findall('text:p', NS))


def ods_book(path):
    """{sheet: ({(row, column): cell element}, table)} and the content text of an .ods, or None."""
    if not os.path.exists(path):
        return None
    content, sheets = zipfile.ZipFile(path).read('content.xml'), {}
    for table in etree.fromstring(content).iter(TABLE + 'table'):
        cells, row = {}, 0
        for tr in table.iter(TABLE + 'table-row'):
            column, rows = 0, int(tr.get(TABLE + 'number-rows-repeated', '1'))
            for tc in tr:   # equal neighbours are written once, repeated
                if etree.QName(tc).localname in ('table-cell', 'covered-table-cell'):
                    columns = int(tc.get(TABLE + 'number-columns-repeated', '1'))
                    cells.update({(row + y, column + x): tc for y in range(min(rows, 1024)) for x in range(min(columns, 1024))
                                  if len(tc) or tc.get(OFFICE + 'value-type')})
                    column += columns
            row += rows
        sheets[table.get(TABLE + 'name')] = (cells, table)
    return sheets, content.decode('utf-8')


def ods_number(tc):
    """A cell's number as a serial where LibreOffice typed it a date or a time."""
    kind = tc.get(OFFICE + 'value-type')
    if kind == 'date':
        delta = datetime.datetime.fromisoformat(tc.get(OFFICE + 'date-value')) - datetime.datetime(1899, 12, 30)
        return delta.days + delta.seconds / 86400
    if kind == 'time':
        h, m, s = re.fullmatch(r'-?PT(\d+)H(\d+)M([\d.]+)S', tc.get(OFFICE + 'time-value')).groups()
        return (int(h) * 3600 + int(m) * 60 + float(s)) / 86400
    return None if tc.get(OFFICE + 'value') is None else float(tc.get(OFFICE + 'value'))


def gnumeric_said(rc, stderr):
    """What gnumeric said beyond its known gaps; a shape may be dropped only for a geometry it does not know."""
    said = stderr if stderr.endswith('\n') else stderr + '\n'
    for gap in GNUMERIC_GAPS + [r'Adding sheets from file://\S+\n']:
        said = re.sub(gap, '', said)
    if stderr.count('Dropping missing object') > stderr.count('for attribute prst'):
        said += ' dropped shapes beyond those of unknown geometries'
    return ('exit %d ' % rc if rc else '') + said.strip()


def matches(obj, expected):
    """expected: "path=value;..." over the object's attributes (len(x) counts one), numbers within 1e-3."""
    for item in expected.split(';'):
        path, want = item.split('=', 1)
        value = obj
        for name in path.split('.'):
            value = len(getattr(value, name[4:-1])) if name.startswith('len(') else getattr(value, name, None)
        try:
            if abs(float(value) - float(want)) < 1e-3:
                continue
        except (TypeError, ValueError):
            pass
        if str(value).lower() != want.lower():
            return False
    return True


def value_matches(kind, got, expected):
    if kind == 'n':
        return isinstance(got, (int, float)) and not isinstance(got, bool) and abs(got - float(expected)) < 1e-9
    if kind == 'd':
        return isinstance(got, datetime.datetime) and got.isoformat() == expected
    if kind == 't':
        got = datetime.datetime(1900, 1, 1) + got if isinstance(got, datetime.timedelta) else got
        return isinstance(got, (datetime.time, datetime.datetime)) and got.strftime('%H:%M:%S') == expected
    return got in (expected, as_stored(expected))


def link_to(ws, f):
    link = ws[f[0]].hyperlink
    return link is not None and link.location == "'%s'!%s" % tuple(f[1].rsplit('!', 1)) and link.display == f[2] == ws[f[0]].value


def table_is(ws, f):   # the columns named after the header cells, the name the engine's own
    found, names = [t for t in ws.tables.values() if t.ref == f[0]], f[2].split('|')
    return (len(found) == 1 and found[0].tableStyleInfo.name == f[1] and [c.name for c in found[0].tableColumns] == names
            and re.fullmatch(r'テーブル\d+', found[0].displayName) and [str(c.value) for c in ws[f[0]][0]] == names)


# What openpyxl must read for each kind of fact about a sheet (or, for "book", the workbook).
OPENPYXL_FACTS = {
    'style': lambda ws, f: matches(ws[f[0]], f[1]), 'sheet': lambda ws, f: matches(ws, f[1]), 'book': lambda wb, f: matches(wb, f[1]),
    'merged': lambda ws, f: any(str(m) == f[0] for m in ws.merged_cells.ranges),
    # widths carry the cell padding the engine adds to the characters asked for
    'width': lambda ws, f: abs(ws.column_dimensions[f[0]].width - float(f[1])) < 1,
    'height': lambda ws, f: abs(ws.row_dimensions[int(f[0])].height - float(f[1])) < 0.01,
    'row_breaks': lambda ws, f: [b.id for b in ws.row_breaks.brk] == [int(x) for x in f[1].split(',')],
    'auto_filter': lambda ws, f: ws.auto_filter.ref == f[1],
    # the author's name in bold on a line of its own above the text
    'comment': lambda ws, f: ws[f[0]].comment is not None and (ws[f[0]].comment.text, ws[f[0]].comment.author) == ('MyName:\n' + f[1], 'MyName'),
    'link': lambda ws, f: ws[f[0]].hyperlink is not None and ws[f[0]].hyperlink.target == f[1], 'location': link_to, 'table': table_is,
}
WARNINGS = {'wmf image format is not supported so the image is being dropped', 'Sparkline Group extension is not supported and will be removed'}


def check_openpyxl(r, path, facts):
    """Values, styles, layout, comments, tables, links, pictures and charts as openpyxl reads them."""
    name = os.path.basename(path)
    with warnings.catch_warnings(record=True) as caught:
        warnings.simplefilter('always')
        try:
            wb = openpyxl.load_workbook(path)
            for ws in wb.worksheets:
                list(ws.iter_rows(values_only=True))
        except Exception as error:  # any refusal is a book saved wrongly
            return r.check(False, 'openpyxl cannot load %s: %s' % (name, error))
    # openpyxl reads pictures through PIL, which names both metafile kinds "WMF" and drops them.
    metafiles, messages = sum(1 for k, s, f in facts if k == 'picture' and f[1] in ('emf', 'wmf')), [str(w.message) for w in caught]
    r.check(sum('wmf' in m for m in messages) == metafiles and set(messages) <= WARNINGS, 'openpyxl %s warned %s' % (name, messages[:5]))
    for kind, sheet, f in facts:
        if kind in ('n', 'd', 't', 's', 'f'):
            got = wb[sheet][f[0]].value
            r.check(value_matches(kind, got, f[1]), 'openpyxl %s %s!%s: got %r, expected %r' % (name, sheet, f[0], got, f[1]))
        elif kind in OPENPYXL_FACTS:
            r.check(OPENPYXL_FACTS[kind](wb if kind == 'book' else wb[sheet], f), 'openpyxl %s %s: %s %s' % (name, sheet, kind, f))
    tables = [t for ws in wb.worksheets for t in ws.tables.values()]
    r.check(len({t.displayName for t in tables}) == len({t.id for t in tables}) == len(tables), 'openpyxl %s: table names or ids repeat' % name)
    for ws in wb.worksheets if any(k in ('picture', 'background') for k, s, f in facts) else []:
        got = sorted('%s%d' % (get_column_letter(i.anchor._from.col + 1), i.anchor._from.row + 1) for i in ws._images)
        wanted = sorted(f[0] for k, s, f in facts if k == 'picture' and s == ws.title and f[1] not in ('emf', 'wmf'))
        r.check(got == wanted, 'openpyxl %s %s: pictures at %s, expected %s' % (name, ws.title, got, wanted))
    charts = [(s, f) for k, s, f in facts if k == 'chart']
    for sheet, count in collections.Counter(s for s, f in charts).items():
        r.check(len(wb[sheet]._charts) == count, 'openpyxl %s %s: %d charts, expected %d' % (name, sheet, len(wb[sheet]._charts), count))
    for sheet, (index, word, cls, column, row, refs) in charts:   # the class openpyxl reads the plot as, anchor, value references
        chart = wb[sheet]._charts[int(index)] if int(index) < len(wb[sheet]._charts) else None
        got = chart and (type(chart).__name__, chart.anchor._from.col, chart.anchor._from.row,
                         [(s.yVal if cls == 'ScatterChart' else s.val).numRef.f for s in chart.series])
        r.check(not chart or got == (cls, int(column), int(row), refs.split(' ')), 'openpyxl %s %s chart %s (%s): %s' % (name, sheet, index, word, got))
    return wb


def plain_values(facts):
    """The value facts that every reader shows as written: texts and integers."""
    return [(s, f) for k, s, f in facts if k == 's' or (k == 'n' and f[1].lstrip('-').isdigit())]


def check_gnumeric_values(r, name, facts, wb, csvdir):
    sheets = {}
    for sheet, (cell, expected) in plain_values(facts):
        if sheet not in sheets:   # gnumeric's CSV starts at the first row and the first column holding a value
            path = os.path.join(csvdir, sheet + '.csv')
            with open(path if os.path.exists(path) else os.devnull, encoding='utf-8', newline='') as f:
                filled = [(c.row - 1, c.column - 1) for line in wb[sheet].iter_rows() for c in line if c.value is not None]
                sheets[sheet] = list(csv.reader(f)), min(r for r, c in filled), min(c for r, c in filled)
        (rows, top, left), (row, column) = sheets[sheet], cell_position(cell)
        got = rows[row - top][column - left] if 0 <= row - top < len(rows) and 0 <= column - left < len(rows[row - top]) else None
        r.check(got in (expected, as_stored(expected)), 'gnumeric %s %s!%s: got %r, expected %r' % (name, sheet, cell, got, expected))


def check_libreoffice(r, name, facts, ods_path, cached):
    """Values, shown texts, recalculated formulas, comments, links, shapes, pictures, charts and sparklines in LibreOffice's .ods."""
    loaded = ods_book(ods_path)
    if not r.check(loaded is not None, 'LibreOffice could not load ' + name):
        return
    (sheets, content), ods, of = loaded, zipfile.ZipFile(ods_path), lambda kind: [(s, f) for k, s, f in facts if k == kind]   # noqa: E731
    cell = lambda sheet, ref: sheets.get(sheet, ({}, None))[0].get(cell_position(ref))   # noqa: E731
    for sheet, (ref, expected) in plain_values(facts):
        tc = cell(sheet, ref)
        got = None if tc is None else ods_text(tc) if tc.get(OFFICE + 'value-type') == 'string' else '%d' % ods_number(tc)
        expected = re.sub('[\x00-\x08\x0b\x0c\x0e-\x1f]', '', expected)   # which an .ods cannot hold
        r.check(got == expected, 'LibreOffice %s %s!%s: got %r, expected %r' % (name, sheet, ref, got, expected))
    unexpected = []   # _ and _) padding is layout
    for sheet, (ref, label, ours) in of('shown'):
        theirs = ods_text(cell(sheet, ref)).strip() if cell(sheet, ref) is not None else ''
        if ours != theirs and not any(fnmatch.fnmatchcase('%s!%s' % (sheet, label), k) for k in SHOWN_DIFFERENCES):
            unexpected.append('%s!%s %s: engine %r, LibreOffice %r' % (sheet, label, ref, ours, theirs))
    r.check(not unexpected, 'LibreOffice shows other texts: ' + '\n  '.join(unexpected))
    differ = []
    for sheet, (ref, kind, expected, formula) in of('recalc'):
        theirs, mine = cell(sheet, ref) is not None and ods_number(cell(sheet, ref)), float(cached.get(ref, 'nan'))
        # Every intermediate of an "x" row fits six decimals: the engine, LibreOffice and the generator give
        # the same number; an "r" row ends in one repeating division, kept to six decimals by the engine.
        close = lambda a: abs(a - theirs) <= 1e-9 * max(1.0, abs(theirs))   # noqa: E731
        if theirs is None or theirs is False or not (close(mine) and close(float(expected)) if kind == 'x' else abs(mine - round(theirs, 6)) <= 1.01e-6):
            differ.append('%s =%s: engine %r, LibreOffice %r, generated %s' % (ref, formula, mine, theirs, expected))
    r.check(not differ, 'LibreOffice recalculates %d formulas differently:\n  %s' % (len(differ), '\n  '.join(differ[:30])))
    r.check(not of('recalc') or sum(f[1] == 'x' for s, f in of('recalc')) >= 500, 'too few exact formulas')
    # Each comment as its paragraphs: the author's line, then the text's lines.
    notes = sorted(ods_text(a) for a in etree.fromstring(content.encode()).iter(OFFICE + 'annotation'))
    r.check(notes == sorted('MyName:\n' + f[1] for s, f in of('comment')), 'LibreOffice %s comments %r' % (name, notes[:5]))
    anchors = [html.unescape(a) for a in re.findall(r'<text:a\b[^>]*xlink:href="([^"]*)"', content)]
    links = {k: [(s, f) for s, f in of(k) if cell(s, f[0]) is not None] for k in ('link', 'location')}   # one on an empty cell is lost
    r.check(len(anchors) == len(links['link'] + links['location']), 'LibreOffice %s: links %r' % (name, anchors))
    for s, f in links['link']:
        r.check(not re.match(r'(https?|mailto):', f[1]) or f[1] in anchors, 'LibreOffice %s: no link to %r in %r' % (name, f[1], anchors))
    for s, f in links['location']:
        r.check(any(a.startswith('#') and f[1].rsplit('!', 1)[0] in a for a in anchors), 'LibreOffice %s: no link into %s' % (name, f[1]))
    for kind, sheet, f in facts:
        table = sheets.get(sheet, (None, etree.Element('none')))[1]
        if kind == 'shapes':   # a custom shape per autoshape with its preset geometry and text, a connector per line
            shapes = [(s.find(DRAW + 'enhanced-geometry').get(DRAW + 'type'), ods_text(s)) for s in table.iter(DRAW + 'custom-shape')]
            lines = sum(1 for tag in ('connector', 'line') for _ in table.iter(DRAW + tag))
            r.check((len(shapes), lines) == (int(f[0]), int(f[1])) and (not f[2] or [k for k, t in shapes] == ['ooxml-' + p for p in f[2].split(',')])
                    and all(t in [x for k, x in shapes] for t in f[3].split('|') if f[3]), 'LibreOffice %s %s: shapes %r and %d lines' % (name, sheet, shapes, lines))
        elif kind == 'chart':
            objects = [o.get(XLINK + 'href')[2:] for o in table.iter(DRAW + 'object')]
            if r.check(len(objects) == len([s for s, x in of('chart') if s == sheet]), 'LibreOffice %s %s: %d chart objects' % (name, sheet, len(objects))):
                found = re.search(r'<chart:chart [^>]*chart:class="([^"]+)"', ods.read(objects[int(f[0])] + '/content.xml').decode())
                want = {'Line': 'line', 'Bar': 'bar', 'Pie': 'circle', 'Area': 'area', 'Scatter': 'scatter', 'Stock': 'stock',
                        'Doughnut': 'ring', 'Radar': 'radar'}.get(re.match('[A-Z][a-z]+', f[2]).group(0))
                r.check(found and (not want or found.group(1) == 'chart:' + want), 'LibreOffice %s %s chart %s: %s' % (name, sheet, f, found and found.group(1)))
        elif kind == 'sparklines':
            got = (len(table.findall('.//calcext:sparkline-group', NS)), len(table.findall('.//calcext:sparkline', NS)))
            r.check(got == (int(f[0]), int(f[1])), 'LibreOffice %s %s: sparkline groups and sparklines %s' % (name, sheet, got))
        elif kind in ('ods_has', 'ods_count'):
            r.check(all(x in content for x in f) if kind == 'ods_has' else content.count(f[0]) >= int(f[1]), 'LibreOffice %s: %s %s' % (name, kind, f))
        elif kind == 'image_links':
            got = sorted(a.get(XLINK + 'href') for a in etree.fromstring(content.encode()).iter(DRAW + 'a'))
            r.check(got == f[0].split('|'), 'LibreOffice %s: picture links %s' % (name, got))
    for sheet, (cells, table) in sheets.items() if of('picture') + of('background') else []:
        frames = [x.find(DRAW + 'image') for x in table.iter(DRAW + 'frame') if x.find(DRAW + 'image') is not None]
        wanted = len([s for s, f in of('picture') if s == sheet])
        r.check(len(frames) == wanted and all(i.get(XLINK + 'href', '') in ods.namelist() or len(i) for i in frames),
                'LibreOffice %s %s: %d picture frames, expected %d' % (name, sheet, len(frames), wanted))


R = '{http://schemas.openxmlformats.org/officeDocument/2006/relationships}'
MIME = {'png': 'image/png', 'jpeg': 'image/jpeg', 'gif': 'image/gif', 'bmp': 'image/bmp', 'tiff': 'image/tiff', 'emf': 'image/x-emf', 'wmf': 'image/x-wmf'}
STORED_AS = {'jpg': 'jpeg', 'tif': 'tiff'}


def relationships(z, part):
    """{id: (type, resolved target, external)} of a part; an id given twice maps to ('twice',)."""
    folder, base = part.rsplit('/', 1) if '/' in part else ('', part)
    rels, found = (folder + '/' if folder else '') + '_rels/' + base + '.rels', {}
    for tag in re.findall(r'<Relationship\b[^>]*>', z.read(rels).decode()) if rels in z.namelist() else []:
        a = dict(re.findall(r'(\w+)="([^"]*)"', tag))
        external = a.get('TargetMode') == 'External'
        target = a['Target'] if external or a['Target'].startswith('#') else os.path.normpath(os.path.join('/' + folder, a['Target']))[1:]
        found[a['Id']] = ('twice',) if a['Id'] in found else (a['Type'].rsplit('/', 1)[-1], target, external)
    return found


def check_package(r, path, facts, workdir):
    """The package's cross-references: sound entries, a content type for each, every id a part uses
    among its relationships, every internal target a part; then the picture parts and the template's."""
    name, z = os.path.basename(path), zipfile.ZipFile(path)
    names, types, rels = set(z.namelist()), z.read('[Content_Types].xml').decode(), {}
    defaults, overrides = dict(re.findall(r'<Default Extension="([^"]+)" ContentType="([^"]+)"', types)), set(re.findall(r'<Override PartName="/([^"]+)"', types))
    r.check(z.testzip() is None, '%s: an entry fails its CRC' % name)
    for part in sorted(names):
        r.check(part in overrides or part.rsplit('.', 1)[-1].lower() in {e.lower() for e in defaults}, '%s: %s has no content type' % (name, part))
        if part.endswith(('.xml', '.vml')):
            rels[part] = relationships(z, part)
            used = re.findall(r'\br:(?:id|embed|link)="([^"]+)"', z.read(part).decode('utf-8', 'replace'))
            r.check(all(u in rels[part] for u in used) and all(len(x) == 3 for x in rels[part].values()), '%s: %s uses ids %s; it has %s' % (name, part, used, sorted(rels[part])))
            r.check(all(x[2] or x[0] == 'hyperlink' or x[1] in names for x in rels[part].values()), '%s: %s targets a missing part' % (name, part))
    for kind, sheet, f in facts:
        if kind == 'entry':
            r.check(z.read(f[0]) == open(os.path.join(workdir, f[1]), 'rb').read(), '%s: %s does not hold %s' % (name, f[0], f[1]))
        elif kind == 'media':   # one media part per picture file, a content type per media extension
            media = [n for n in names if n.startswith('xl/media/')]
            r.check(len(media) == int(f[0]) and all(defaults.get(m.rsplit('.', 1)[1]) == MIME.get(m.rsplit('.', 1)[1]) for m in media), '%s: media %s' % (name, media))
        elif kind == 'template':
            check_template(r, z, zipfile.ZipFile(os.path.join(os.path.dirname(path), f[0])))
    for tag in re.findall(r'<sheet [^>]*>', z.read('xl/workbook.xml').decode()) if any(k in ('picture', 'background') for k, s, f in facts) else []:
        sheet, rid = html.unescape(re.search(r' name="([^"]*)"', tag).group(1)), re.search(r' r:id="([^"]*)"', tag).group(1)
        part = rels['xl/workbook.xml'][rid][1]
        xml, pictures = z.read(part).decode(), [f for k, s, f in facts if k == 'picture' and s == sheet]
        background = [f[0] for k, s, f in facts if k == 'background' and s == sheet]
        drawing, picture = re.search(r'<drawing r:id="([^"]+)"', xml), re.search(r'<picture r:id="([^"]+)"', xml)
        r.check(bool(drawing) == bool(pictures) and bool(picture) == bool(background), '%s %s: drawing or background element' % (name, sheet))
        if picture:
            kind, target, _ = rels[part][picture.group(1)]
            r.check(kind == 'image' and target.endswith('.' + STORED_AS.get(background[0], background[0])), '%s %s: background %s' % (name, sheet, target))
        if not drawing:
            continue
        kind, target, _ = rels[part][drawing.group(1)]
        root = etree.fromstring(z.read(target))
        anchors, ids = root.findall('{*}oneCellAnchor'), [c.get('id') for c in root.iter('{*}cNvPr')]
        r.check(kind == 'drawing' and len(anchors) == len(pictures) and len(ids) == len(set(ids)), '%s %s: drawing %s' % (name, sheet, ids))
        for anchor, (cell, extension) in zip(anchors, pictures):
            embed, link = rels[target][anchor.find('.//{*}blip').get(R + 'embed')], anchor.find('.//{*}hlinkClick')
            r.check(embed[0] == 'image' and embed[1].endswith('.' + STORED_AS.get(extension, extension)), '%s %s %s: image %s' % (name, sheet, cell, embed))
            rel = link is not None and rels[target][link.get(R + 'id')]
            r.check(not rel or (rel[0] == 'hyperlink' and (rel[2] or rel[1].startswith('#'))), '%s %s %s: click link %s' % (name, sheet, cell, rel))


def check_template(r, after, before):
    """The template's relationships kept under the same ids, and its objects beside the new ones."""
    sheet_rels, drawing = 'xl/worksheets/_rels/sheet1.xml.rels', 'xl/drawings/drawing1.xml'
    texts = {n: after.read(n).decode('utf-8', 'replace') for n in after.namelist() if n.endswith(('.xml', '.rels', '.vml'))}
    r.check(all(rel in texts[sheet_rels] for rel in re.findall(r'<Relationship\b[^>]*/>', before.read(sheet_rels).decode())), 'the template relationships are kept as they were')
    anchors = lambda text: len(re.findall(r'<xdr:(?:oneCellAnchor|twoCellAnchor)\b', text))   # noqa: E731
    r.check(anchors(texts[drawing]) == anchors(before.read(drawing).decode()) + 2, 'Form drawing: two anchors join the template\'s')
    new = [n for n in texts if n.startswith('xl/drawings/drawing') and n not in before.namelist()]
    r.check(len(new) == 1 and anchors(texts[new[0]]) == 2, 'Other gets one new drawing of two')
    r.check(texts['xl/comments1.xml'].count('<comment ') == 2, 'Form comments: the template one and the new one')
    r.check(len([n for n in texts if n.startswith('xl/tables/')]) == 2, 'two tables')
    r.check(texts['xl/worksheets/sheet1.xml'].count('<x14:sparklineGroup ') == 2, 'two sparkline groups on Form')


def read_facts(path):
    """{book: [(kind, sheet, fields)]} in the maker's order."""
    books = {}
    with open(path, encoding='utf-8', newline='\n') as f:
        for line in filter(None, f.read().split('\n')):
            book, kind, sheet, *fields = [re.sub(r'\\(.)', lambda m: {'t': '\t', 'n': '\n'}.get(m.group(1), m.group(1)), x) for x in line.split('\t')]
            books.setdefault(book, []).append((kind, sheet, fields))
    return books


def main(maker, workdir):
    r, books_dir, ods_dir, canary = Results(), os.path.join(workdir, 'books'), os.path.join(workdir, 'ods'), '987654321'
    path = lambda book: os.path.join(books_dir, book)   # noqa: E731
    os.makedirs(books_dir)
    recalc_script(os.path.join(workdir, 'recalc.txt'))
    r.check(subprocess.run([maker, books_dir, os.path.join(HERE, 'pictures'), os.path.join(HERE, 'books.txt'), os.path.join(workdir, 'recalc.txt')]).returncode == 0,
            'the book maker failed')
    facts = read_facts(path('facts.tsv'))
    saved = [b for b, fs in facts.items() if any(k == 'saved' for k, s, f in fs)]
    books = [b for b in saved if not b.startswith('text_')]
    r.check(len(books) == sum(1 for b in facts if not b.startswith('text_')) and len(saved) - len(books) > 500, 'books not saved')
    # A copy whose cached formula values all read the canary: only a recalculation removes them.
    with zipfile.ZipFile(path('recalc.xlsx')) as zin, zipfile.ZipFile(path('canary.xlsx'), 'w', zipfile.ZIP_DEFLATED) as zout:
        for item in zin.infolist():
            data = zin.read(item.filename)
            zout.writestr(item, re.sub(rb'(</f><v>)[^<]*(</v>)', rb'\g<1>' + canary.encode() + rb'\g<2>', data) if 'worksheets/sheet' in item.filename else data)
    printed = [b for b in books for k, s, f in facts[b] if k == 'printed'] + [f[0] for b in books for k, s, f in facts[b] if k == 'printed']
    with concurrent.futures.ThreadPoolExecutor(3) as pool:
        ods_job = pool.submit(soffice, 'ods', [path(b) for b in books + ['canary.xlsx']], ods_dir)
        pdf_job = pool.submit(soffice, 'pdf', [path(b) for b in printed], os.path.join(workdir, 'pdf'))
        schema_job = pool.submit(subprocess.run, ['/usr/bin/python3', VALIDATOR] + [path(b) for b in saved], stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
        valued = [b for b in books if plain_values(facts[b])]
        gnumeric_jobs = [(b, pool.submit(gnumeric, [path(b)], os.path.join(workdir, 'csv', b))) for b in valued]
        gnumeric_jobs.append(('the books without values', pool.submit(gnumeric, [path(b) for b in saved if b not in valued])))
        loaded = {b: check_openpyxl(r, path(b), facts[b]) for b in saved}
        for b in saved:
            check_package(r, path(b), facts[b], books_dir)

        def outcome(job, what):
            try:
                return job.result()
            except (OSError, subprocess.SubprocessError) as error:   # a reader missing or failing fails the run
                r.check(False, '%s: %s' % (what, error))
        for b, job in gnumeric_jobs:
            rc, stderr = outcome(job, 'gnumeric') or (-1, 'did not run')
            r.check(not gnumeric_said(rc, stderr), 'gnumeric %s: %s' % (b, gnumeric_said(rc, stderr)[:2000]))
            if b in facts and loaded.get(b):
                check_gnumeric_values(r, b, facts[b], loaded[b], os.path.join(workdir, 'csv', b))
        outcome(ods_job, 'LibreOffice')
        for b in books:   # the engine's cached values of the first sheet's formulas against LibreOffice's
            cached = dict(re.findall(r'<c r="([A-Z]+\d+)"[^>]*><f>[^<]*</f><v>([^<]*)</v>', zipfile.ZipFile(path(b)).read('xl/worksheets/sheet1.xml').decode()))
            check_libreoffice(r, b, facts[b], os.path.join(ods_dir, b[:-5] + '.ods'), cached)
        recalculated = ods_book(os.path.join(ods_dir, 'canary.ods'))
        r.check(recalculated and canary not in recalculated[1], 'LibreOffice kept cached values; recalculation was not forced')
        outcome(pdf_job, 'LibreOffice printing')
        sizes = [os.path.getsize(p) if os.path.exists(p) else 0 for p in (os.path.join(workdir, 'pdf', b[:-5] + '.pdf') for b in printed)]
        r.check(len(sizes) == 2 and sizes[1] and sizes[0] >= sizes[1] + 500, 'printed with a chart and without: %s bytes' % sizes)
        schemas = outcome(schema_job, 'schema validator')
        lines = schemas.stdout.decode('utf-8', errors='replace').splitlines() if schemas else []
        r.check(schemas and schemas.returncode == 0, 'schemas:\n' + '\n'.join(line for line in lines if not line.startswith('OK'))[-3000:])
    print('conformance: %d books, %d passed, %d failed' % (len(saved), r.passed, r.failed))
    return 1 if r.failed else 0


def corpus_files(corpus, folders=('xlsx', 'xls', 'broken')):
    for folder in folders:
        for name in sorted(os.listdir(os.path.join(corpus, folder))):
            truth = os.path.join(corpus, 'truth', name + '.json')
            yield folder, name, json.load(open(truth, encoding='utf-8')) if os.path.exists(truth) else None


def tool_json(args):
    run = subprocess.run(args, capture_output=True, timeout=300)
    try:
        return json.loads(run.stdout.decode('utf-8', errors='replace'))
    except ValueError:
        return {'ok': False, 'rc': run.returncode, 'message': 'no output: ' + run.stderr.decode(errors='replace')[-500:], 'crashed': True}


def truth_equal(cell, kind, value):
    """Whether a value read as KIND ("n", "s", ..., None for openpyxl's) holds the truth cell's value. The truth
    reader leaves some _xHHHH_ escapes undecoded; its date cells carry a serial or an ISO text."""
    decoded = lambda t: re.sub(r'_x([0-9A-Fa-f]{4})_', lambda m: chr(int(m.group(1), 16)), t) if isinstance(t, str) else t   # noqa: E731
    near = lambda a, b: a is not None and b is not None and math.isclose(a, b, rel_tol=1e-12, abs_tol=1e-9)   # noqa: E731
    t = cell['type']
    if kind is None:
        if isinstance(value, datetime.timedelta):
            kind, value = 'd', value.total_seconds() / 86400.0
        elif isinstance(value, (datetime.datetime, datetime.date, datetime.time)):
            kind, value = ('d', to_excel(value)) if t == 'd' else ('?', value)
        else:
            kind = {bool: 'b', int: 'n', float: 'n', str: 's'}.get(type(value), '?')
            kind = t if t == 'e' or (t == 's' and kind == 's') else kind
    if t == 'd' and cell.get('serial') is None and isinstance(cell.get('value'), str):
        try:
            delta = datetime.datetime.fromisoformat(cell['value']) - datetime.datetime(1899, 12, 30)
            cell = dict(cell, serial=delta.days + delta.seconds / 86400.0)
        except ValueError:
            pass
    if t in ('n', 'd'):
        return kind in ('n', 'd') and near(float(value), float(cell['value']) if t == 'n' else cell.get('serial'))
    if t == 's':
        return kind == 's' and (value == cell['value'] or decoded(value) == decoded(cell['value']))
    return kind == t and (t == 'f' or (bool(value) == bool(cell['value']) if t == 'b' else value == cell['value']))


def check_corpus(r, maker, corpus):
    """Every cell the engine reads against the truth; encrypted, doubled and broken packages refused with a coded message."""
    compared = same = 0
    for folder, name, truth in corpus_files(corpus):
        path = os.path.join(corpus, folder, name)
        got, doubled = tool_json([maker, 'dump', path]), doubled_entry(path)
        coded = re.search(r'TXLS-\d{5}', got['message'])
        # An encrypted package (its truth was made after decrypting it) or one with two entries of a
        # name must be refused, naming the entry; a broken file, or one the truth reader failed on,
        # may be read (and is compared where there is a truth) or refused with a coded message.
        if 'decrypted_with' in (truth or {}) or doubled:
            r.check(not got['ok'] and coded and (not doubled or doubled in got['message']), '%s: %r' % (name, got))
        elif not got['ok'] and (folder == 'broken' or truth is None or 'error' in truth):
            r.check(coded and not got.get('crashed'), '%s: refused without a coded message: %r' % (name, got['message']))
        elif truth is None or 'error' in truth:
            r.check(folder != 'broken', '%s: a broken file opened' % name)
        elif not got['ok']:
            r.check(False, '%s: failed to open: %s' % (name, got['message']))
            compared += sum(len(c) for c in truth['sheets'].values())
        else:
            ours = {s['name']: {c[0]: c for c in s['cells']} for s in got['sheets']}
            r.check(not truth['sheet_names'] or list(ours) == truth['sheet_names'], '%s: sheets %r, truth %r' % (name, list(ours), truth['sheet_names']))
            for sheet, cells in truth['sheets'].items():
                compared += len(cells)
                same += sum(1 for c in cells if ours.get(sheet, {}).get(c['ref']) and truth_equal(c, *ours[sheet][c['ref']][1:3]))
    r.check(same >= 0.995 * compared, 'corpus: %d of %d truth cells read the same' % (same, compared))
    print('corpus: %d of %d truth cells read the same' % (same, compared))


def rewritten_parts(z):
    """(workbook part, the entries the update path writes anew, the entries it drops: calcChain)."""
    workbook = re.search(r'Type="[^"]*/officeDocument"[^>]*Target="/?([^"]+)"|Target="/?([^"]+)"[^>]*Type="[^"]*/officeDocument"',
                         z.read('_rels/.rels').decode('utf-8', 'replace'))
    workbook = workbook and (workbook.group(1) or workbook.group(2)) or 'xl/workbook.xml'
    rels = relationships(z, workbook).values()
    parts = {workbook, '[Content_Types].xml'} | {t for k, t, e in rels if k in ('worksheet', 'styles', 'sharedStrings') and not e}
    folder, base = workbook.rsplit('/', 1) if '/' in workbook else ('', workbook)
    return workbook, parts | {(folder + '/' if folder else '') + '_rels/' + base + '.rels'}, {t for k, t, e in rels if k == 'calcChain'}


def gnumeric_lines(text):
    """Warnings without what differs from run to run: process ids, times, cell positions. A package asking to be
    recalculated has gnumeric compute CHAR() of characters it cannot convert, where cached results spared it that."""
    text = re.sub(r'\(ssconvert:\d+\)|\d\d:\d\d:\d\d\.\d+', '', text)
    return {re.sub(r'!\$?[A-Z]{1,3}\$?\d+', '!', line).strip() for line in text.splitlines() if line.strip() and 'iconv failed for CODE(' not in line}


def check_round_trip(r, maker, corpus, workdir):
    """Each .xlsx updated with one value per sheet and saved, read back by openpyxl, LibreOffice
    and gnumeric: the value put, the truth's values, every entry not rewritten kept byte for byte."""
    copies, compared, same = [], 0, 0
    for folder, name, truth in corpus_files(corpus, ('xlsx',)):
        original, copy = os.path.join(corpus, folder, name), os.path.join(workdir, name)
        if 'error' in truth or 'decrypted_with' in truth or doubled_entry(original):
            continue   # refused on opening, as the corpus cells check holds it to
        got = tool_json([maker, 'update', original, copy])
        if not r.check(got['ok'], '%s: update failed: %s' % (name, got['message'])):
            continue
        copies.append(copy)
        with zipfile.ZipFile(original) as before, zipfile.ZipFile(copy) as after:
            r.check(after.testzip() is None, name + ': an entry fails its CRC')
            _, rewritten, dropped = rewritten_parts(before)
            kept = [e for e in before.namelist() if not e.endswith('/') and e not in rewritten | dropped]
            changed = [e for e in kept if e not in after.namelist() or before.read(e) != after.read(e)] + sorted(dropped & set(after.namelist()))
            r.check(not changed, '%s: entries lost or changed %s' % (name, changed))
            full_calc = b'fullCalcOnLoad="1"' in after.read(rewritten_parts(after)[0])
        try:
            values = openpyxl.load_workbook(copy, data_only=True)
            openpyxl.load_workbook(copy)
        except Exception as error:   # any refusal is the finding
            r.check(False, '%s: openpyxl: %s' % (name, error))
            continue
        # openpyxl reads no cells of a strict-namespace package: its truth has no sheets either.
        for sheet, cell in got['put'] if truth.get('sheet_names') else []:
            r.check(values[sheet][cell].value == 'roundtrip', '%s: %s!%s lost the value put' % (name, sheet, cell))
        for sheet, cells in truth.get('sheets', {}).items():
            for cell in cells if r.check(sheet in values.sheetnames, '%s: sheet %s lost' % (name, sheet)) else []:
                value = values[sheet][cell['ref']].value
                compared += 1   # a formula may lose its cached value when the book asks to be recalculated
                same += ('formula' in cell and value is None and full_calc) or truth_equal(cell, None, value)
    r.check(same >= 0.995 * compared, 'round trip: %d of %d truth cells kept' % (same, compared))
    with concurrent.futures.ThreadPoolExecutor(2) as pool:
        lo = pool.submit(soffice, 'csv', copies, os.path.join(workdir, 'lo'))
        for copy in copies:   # gnumeric: a copy may not warn where its original does not
            rc, before = gnumeric([os.path.join(corpus, 'xlsx', os.path.basename(copy))], os.path.join(workdir, 'gn'))
            rc_after, after = gnumeric([copy], os.path.join(workdir, 'gn'))
            new = gnumeric_lines(after) - gnumeric_lines(before)
            r.check(not new and (rc_after == 0 or rc != 0), '%s: gnumeric warns %s' % (os.path.basename(copy), sorted(new)[:5]))
        lo.result()
    for copy in copies:
        r.check(os.path.exists(os.path.join(workdir, 'lo', os.path.basename(copy).rsplit('.', 1)[0] + '.csv')), 'LibreOffice did not load ' + copy)
    print('round trip: %d copies, %d of %d truth cells kept' % (len(copies), same, compared))


def recalc_script(path, count=600):
    """The script of a book of generated formulas over the supported grammar, for LibreOffice to
    recalculate. Every value is exact in millionths below 1e9: a candidate with an intermediate
    result beyond that is drawn again, so the engine's six-decimal arithmetic is exact for every
    "x" row; an "r" row ends in one division with a repeating result. Formula k goes to row
    total - k, so a reference to an earlier one points further down and is computed on demand."""
    rnd, U, lines, blocks, done = random.Random(20261207), 10 ** 6, ['BOOK\trecalc'], [], []
    below, name = rnd.randrange, lambda r, c: get_column_letter(c + 1) + str(r + 1)   # noqa: E731

    def exact(v):
        if (v * U).denominator != 1 or abs(v) >= 10 ** 9:
            raise ArithmeticError
        return v

    def literal():
        text = str(below(2000) if below(5) == 0 else below(100)) + rnd.choice(['', '', '.5', '.25', '.75', '.1', '.2'])
        return text, Fraction(text), 9

    def fill(sheet, prefix, column0, rows, columns, value=None):
        lines.extend(['SHEET\t' + sheet] if sheet else [])
        values = {}
        for r, c in ((r, c) for r in range(rows) for c in range(columns)):
            text, values[r, c], _ = value(r, c) if value else literal()
            if not value and below(3) == 0:
                text, values[r, c] = '-' + text, -values[r, c]
            lines.append('PUT\t%s\t%s' % (name(r, column0 + c), text))
        blocks.append((prefix, column0, rows, columns, values))
    fill('Formulas', '', 3, 10, 3)
    fill('Data', 'Data!', 0, 12, 5)
    fill('Other Data', "'Other Data'!", 0, 10, 4)
    # Dates and percentages enter formulas as serial numbers and fractions.
    fill(None, "'Other Data'!", 4, 10, 2, lambda r, c: ('2024/01/%02d' % (1 + r * 3), 45292 + r * 3, 9) if c == 0
         else ('%d%%' % (5 * r + 5), Fraction(5 * r + 5, 100), 9))

    def reference():
        if done and below(4) == 0:
            row, v = rnd.choice(done)
            return 'A%d' % row, v, 9
        prefix, column0, rows, columns, values = rnd.choice(blocks)
        r, c = below(rows), below(columns)
        return prefix + name(r, column0 + c), values[r, c], 9

    def cell_range(values):   # corners given the other way round name the same cells
        prefix, column0, rows, columns, block = rnd.choice(blocks)
        r1, c1 = below(rows), below(columns)
        r2, c2 = r1 + below(min(4, rows - r1)), c1 + below(min(3, columns - c1))
        values += [block[r, c] for r in range(r1, r2 + 1) for c in range(c1, c2 + 1)]
        corners = [name(r1, column0 + c1), name(r2, column0 + c2)]
        return prefix + ':'.join(corners[::-1] if below(8) == 0 and (r1, c1) != (r2, c2) else corners)

    def function(depth):
        if below(2) == 0:
            which, args, values = below(5), [], []
            for _ in range(1 + below(3)):
                x = cell_range(values) if below(3) else expr(depth + 1)
                args.append(x if isinstance(x, str) else x[0])
                values += [] if isinstance(x, str) else [x[1]]
            v = [sum(values), sum(values) / len(values), min(values), max(values), len(values)][which]
            return '%s(%s)' % (['SUM', 'AVERAGE', 'MIN', 'MAX', 'COUNT'][which], (', ' if below(2) else ',').join(args)), exact(Fraction(v)), 9
        which, (text, v, _) = below(4), expr(depth + 1)
        digits = 0 if which == 3 and below(2) else below(6) - 2
        unit = Fraction(10) ** -digits
        q, rest = divmod(abs(v), unit)
        q += (rest * 2 >= unit) if which == 0 else (rest > 0) if which == 1 else 0
        args = text + (', %d' % digits if which != 3 or digits else '')
        return '%s(%s)' % (['ROUND', 'ROUNDUP', 'ROUNDDOWN', 'TRUNC'][which], args), exact(q * unit * (1 if v >= 0 else -1)), 9

    def expr(depth):
        choice = below(2) if depth >= 3 else below(10)
        if choice < 2 or choice >= 7:
            return (literal, reference)[choice]() if choice < 2 else function(depth)
        if choice >= 5:
            text, v, level = expr(depth + 1)
            minus = choice == 5 and below(4) != 0
            wrapped = '(%s)' % text if level < 9 or text[0] in '-+' else text
            return ('(%s)' % text, v, 9) if choice == 6 else (('-' if minus else '+') + wrapped, -v if minus else v, 9)
        op, left = '+-*/'[below(4)], expr(depth + 1)
        d = rnd.choice([2, 4, 5, 8, 10, 16, 20, 25, 40, 50, 100])
        right, level = (str(d), Fraction(d), 9) if op == '/' and below(3) else expr(depth + 1), 1 if op in '+-' else 2
        wrap_left = left[2] < level or below(5) == 0
        wrap_right = right[2] < level or (right[2] == level and op in '-/') or right[0][0] == '-' or below(5) == 0
        v = {'+': lambda: left[1] + right[1], '-': lambda: left[1] - right[1], '*': lambda: left[1] * right[1], '/': lambda: left[1] / right[1]}[op]()
        gap = lambda: '' if below(3) else ' '   # noqa: E731
        return ('(%s)' % left[0] if wrap_left else left[0]) + gap() + op + gap() + ('(%s)' % right[0] if wrap_right else right[0]), exact(v), level
    lines.append('SHEET\tFormulas\tMODE=UPDATE ')
    total = count + count // 10
    for k in range(total):
        while True:
            try:
                text, v, _ = expr(0)
                if len(re.findall(r'[-+*/()]|[^-+*/(), ]+', text)) <= 90:   # tokens as the engine counts them
                    break
            except ArithmeticError:
                pass
        row, kind = total - k, 'x'
        if k >= count:
            text, kind = '(%s)/%d' % (text, rnd.choice([3, 6, 7, 9, 11, 12, 13])), 'r'
        else:
            done.append((row, v))
        m = abs(v * U).numerator
        lines += ['PUT\tA%d\t=%s' % (row, text), 'recalc\tA%d\t%s\t%s%d%s\t%s' % (row, kind, '-' if v < 0 else '', m // U, ('.%06d' % (m % U)).rstrip('0') if m % U else '', text)]
    with open(path, 'w', encoding='utf-8') as f:
        f.write('\n'.join(lines) + '\n')


if __name__ == '__main__':
    shutil.rmtree(sys.argv[2], ignore_errors=True)
    os.makedirs(sys.argv[2])
    try:
        if len(sys.argv) > 3:   # corpus CORPUS | round-trip CORPUS
            results = Results()
            (check_corpus(results, sys.argv[1], sys.argv[4]) if sys.argv[3] == 'corpus'
             else check_round_trip(results, sys.argv[1], sys.argv[4], sys.argv[2]))
            print('%s: %d passed, %d failed' % (sys.argv[3], results.passed, results.failed))
            sys.exit(1 if results.failed else 0)
        sys.exit(main(sys.argv[1], sys.argv[2]))
    finally:
        if not os.environ.get('TABSMITH_KEEP_TEST_OUTPUT'):
            shutil.rmtree(sys.argv[2], ignore_errors=True)

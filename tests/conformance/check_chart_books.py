"""Reads back the chart books the engine saved: openpyxl must find every chart with its plot
class, anchor cell and value references; LibreOffice must load the book and list each chart
object in its own (.ods) save, and print the sheet with a chart as more than the same sheet
without; gnumeric must load the books without a warning; the parts must pass the schemas.

usage: check_chart_books.py MAKER WORKDIR   (WORKDIR is removed afterwards)
"""
import os
import re
import shutil
import subprocess
import sys
import tempfile
import warnings
import zipfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from shared_checks import gnumeric_convert, run_removing_workdir, schema_check  # noqa: E402

# The class LibreOffice gives each reader class (a surface plot has no class of its own there).
LIBREOFFICE_CLASS = {
    'LineChart': 'chart:line', 'LineChart3D': 'chart:line', 'BarChart': 'chart:bar', 'BarChart3D': 'chart:bar',
    'PieChart': 'chart:circle', 'PieChart3D': 'chart:circle', 'AreaChart': 'chart:area',
    'AreaChart3D': 'chart:area', 'ScatterChart': 'chart:scatter', 'StockChart': 'chart:stock',
    'DoughnutChart': 'chart:ring', 'RadarChart': 'chart:radar',
}


# What gnumeric's chart reader does not implement: it says so for each element it skips, and
# still loads the book. Anything else it says is a fault of the book.
GNUMERIC_SKIPS = {
    ('c:view3D', 'chartSpace -> chart'),
    ('c:line3DChart', 'chartSpace -> chart -> plotArea'),
    ('c:bar3DChart', 'chartSpace -> chart -> plotArea'),
    ('c:pie3DChart', 'chartSpace -> chart -> plotArea'),
    ('c:area3DChart', 'chartSpace -> chart -> plotArea'),
    ('c:surface3DChart', 'chartSpace -> chart -> plotArea'),
    ('c:stockChart', 'chartSpace -> chart -> plotArea'),
    ('c:hiLowLines', 'chartSpace -> chart -> plotArea -> lineChart'),
    ('c:dLbls', 'chartSpace -> chart -> plotArea -> areaChart'),
}


def gnumeric_problems(book, scratch):
    problem, stderr = gnumeric_convert(book, scratch)
    shutil.rmtree(scratch, ignore_errors=True)
    if problem:
        return ['gnumeric %s: %s %s' % (os.path.basename(book), problem, stderr)]
    said = re.sub(r"Unexpected element '([^']+)' in state : \s*\n\t([^\n]*)",
                  lambda m: '' if (m.group(1), m.group(2).strip()) in GNUMERIC_SKIPS else m.group(0), stderr).strip()
    return ['gnumeric %s: %s' % (os.path.basename(book), said)] if said else []


def read_manifest(path):
    charts = []
    with open(path, encoding='utf-8') as f:
        for line in f:
            sheet, index, word, reader_class, column, row, refs = line.rstrip('\n').split('\t')
            charts.append({'sheet': sheet, 'index': int(index), 'word': word, 'class': reader_class,
                           'column': int(column), 'row': int(row), 'refs': refs.split(' ')})
    return charts


def check_openpyxl(book, manifest):
    import openpyxl
    problems = []
    with warnings.catch_warnings(record=True) as caught:
        warnings.simplefilter('always')
        wb = openpyxl.load_workbook(book)
    for w in caught:
        problems.append('openpyxl warned: %s' % w.message)
    expected_counts = {}
    for c in manifest:
        expected_counts[c['sheet']] = expected_counts.get(c['sheet'], 0) + 1
    for sheet, count in expected_counts.items():
        found = len(wb[sheet]._charts)
        if found != count:
            problems.append('openpyxl: sheet %s has %d charts, expected %d' % (sheet, found, count))
    for c in manifest:
        charts = wb[c['sheet']]._charts
        if c['index'] >= len(charts):
            continue
        chart = charts[c['index']]
        what = '%s chart %d (%s)' % (c['sheet'], c['index'], c['word'])
        if type(chart).__name__ != c['class']:
            problems.append('openpyxl: %s read as %s, expected %s' % (what, type(chart).__name__, c['class']))
        start = chart.anchor._from
        if (start.col, start.row) != (c['column'], c['row']):
            problems.append('openpyxl: %s anchored at column %d row %d, expected %d %d' %
                            (what, start.col, start.row, c['column'], c['row']))
        refs = []
        for s in chart.series:
            values = s.yVal if type(chart).__name__ == 'ScatterChart' else s.val
            refs.append(values.numRef.f if values is not None and values.numRef is not None else None)
        if refs != c['refs']:
            problems.append('openpyxl: %s value references %s, expected %s' % (what, refs, c['refs']))
    return problems


def libreoffice(args, outdir, private):
    subprocess.run(['soffice', '-env:UserInstallation=file://' + os.path.join(private, 'profile'), '--headless']
                   + args + ['--outdir', outdir], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=500,
                   env=dict(os.environ, TMPDIR=os.path.join(private, 'tmp')))


def check_ods(ods, manifest):
    """Each sheet of the .ods save holds the chart objects of the manifest, each a chart of the
    expected class."""
    if not os.path.exists(ods):
        return ['LibreOffice produced no %s: it could not load the book' % os.path.basename(ods)]
    problems = []
    with zipfile.ZipFile(ods) as z:
        content = z.read('content.xml').decode('utf-8')
        tables = re.findall(r'<table:table table:name="([^"]*)"(.*?)</table:table>', content, re.S)
        objects = {name: re.findall(r'<draw:object [^>]*xlink:href="\./([^"]+)"', body) for name, body in tables}
        by_sheet = {}
        for c in manifest:
            by_sheet.setdefault(c['sheet'], []).append(c)
        for sheet, charts in by_sheet.items():
            found = objects.get(sheet, [])
            if len(found) != len(charts):
                problems.append('LibreOffice: sheet %s holds %d chart objects, expected %d' %
                                (sheet, len(found), len(charts)))
                continue
            for c, name in zip(sorted(charts, key=lambda c: c['index']), found):
                body = z.read(name + '/content.xml').decode('utf-8')
                match = re.search(r'<chart:chart [^>]*chart:class="([^"]+)"', body)
                wanted = LIBREOFFICE_CLASS.get(c['class'])
                if not match:
                    problems.append('LibreOffice: %s chart %d (%s) has no chart' % (sheet, c['index'], c['word']))
                elif wanted and match.group(1) != wanted:
                    problems.append('LibreOffice: %s chart %d (%s) is %s, expected %s' %
                                    (sheet, c['index'], c['word'], match.group(1), wanted))
    return problems


def main():
    maker, workdir = sys.argv[1], sys.argv[2]
    shutil.rmtree(workdir, ignore_errors=True)
    os.makedirs(workdir)
    if subprocess.run([maker, workdir]).returncode != 0:
        print('the maker failed')
        return 1
    charts = os.path.join(workdir, 'charts.xlsx')
    printed = [os.path.join(workdir, name + '.xlsx') for name in ('printed_chart', 'printed_plain')]
    manifest = read_manifest(os.path.join(workdir, 'charts.tsv'))
    problems = check_openpyxl(charts, manifest)

    out = os.path.join(workdir, 'lo')
    os.makedirs(out)
    private = tempfile.mkdtemp(prefix='lo-charts-')
    try:
        os.makedirs(os.path.join(private, 'tmp'))
        libreoffice(['--convert-to', 'ods', charts], out, private)
        libreoffice(['--convert-to', 'pdf'] + printed, out, private)
    finally:
        shutil.rmtree(private, ignore_errors=True)
    problems += check_ods(os.path.join(out, 'charts.ods'), manifest)
    pdfs = [os.path.join(out, os.path.basename(p)[:-5] + '.pdf') for p in printed]
    missing = [p for p in pdfs if not os.path.exists(p)]
    if missing:
        problems.append('LibreOffice printed no %s' % ', '.join(os.path.basename(p) for p in missing))
    else:
        with_chart, plain = (os.path.getsize(p) for p in pdfs)
        print('printed sheet: %d bytes with the chart, %d without' % (with_chart, plain))
        if with_chart < plain + 500:
            problems.append('LibreOffice printed the chart sheet in %d bytes, the plain sheet in %d: no chart drawn'
                            % (with_chart, plain))

    for book in [charts] + printed:
        problems += gnumeric_problems(book, os.path.join(workdir, 'gnumeric'))
    checked = schema_check([charts] + printed)
    if checked is not None:
        ok, lines = checked
        print(lines[-1] if lines else 'no schema report')
        if not ok:
            problems += [line for line in lines if line.startswith('SCHEMA')] or ['schema check failed']
    for line in problems:
        print('FAIL: ' + line)
    print('%d charts checked, %d problems' % (len(manifest), len(problems)))
    return 1 if problems else 0


if __name__ == '__main__':
    sys.exit(run_removing_workdir(main, sys.argv[2]))

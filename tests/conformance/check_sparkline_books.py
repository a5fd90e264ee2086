# Saves the sparkline books and has real readers load them: openpyxl (which drops the
# extension), LibreOffice (whose .ods keeps the sparkline groups it read), gnumeric and the
# schema check; the streamed book must give back every row.
#
# Usage: check_sparkline_books.py MAKER OUTDIR

import os
import shutil
import subprocess
import sys
import tempfile
import zipfile

sys.dont_write_bytecode = True  # the shared checks' import leaves no __pycache__ in the source tree
from shared_checks import reader_problems, run_removing_workdir

# Sparkline groups per sheet as the maker writes them, sparklines per group.
EXPECTED_GROUPS = {'Lines': [5, 5], 'My Data': [5, 5], 'データ': [5, 5]}


def check_openpyxl(outdir, problems):
    import openpyxl
    book = openpyxl.load_workbook(os.path.join(outdir, 'sparklines.xlsx'))
    if book.sheetnames != list(EXPECTED_GROUPS):
        problems.append('openpyxl sheets %r' % book.sheetnames)
    if book['My Data']['C3'].value != (2 * 7 + 2 * 3) % 11 - 4:
        problems.append('openpyxl My Data!C3 = %r' % book['My Data']['C3'].value)
    streamed = openpyxl.load_workbook(os.path.join(outdir, 'streamed.xlsx'))['Rows']
    if streamed.max_row != 300:
        problems.append('streamed book has %d rows' % streamed.max_row)
    for r in range(2, 301):
        row = [streamed.cell(r, c).value for c in range(1, 5)]
        if row[0] != 'row%d' % r or row[1] != r or row[2] != '=B%d*2' % r or row[3] is None:
            problems.append('streamed row %d: %r' % (r, row))
            break
        if streamed.cell(r, 1).font.b != (r % 3 == 0):
            problems.append('streamed row %d: bold %r' % (r, streamed.cell(r, 1).font.b))
            break


def check_libreoffice(outdir, problems):
    soffice = shutil.which('soffice')
    if soffice is None:
        problems.append('soffice not found')
        return
    profile = tempfile.mkdtemp(prefix='lo-sparklines-')
    converted = os.path.join(outdir, 'ods')
    try:
        subprocess.run([soffice, '-env:UserInstallation=file://' + profile, '--headless', '--convert-to', 'ods',
                        '--outdir', converted, os.path.join(outdir, 'sparklines.xlsx'),
                        os.path.join(outdir, 'streamed.xlsx')],
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=300)
    finally:
        shutil.rmtree(profile, ignore_errors=True)
    for name in ('sparklines.ods', 'streamed.ods'):
        if not os.path.exists(os.path.join(converted, name)):
            problems.append('LibreOffice did not load %s' % name.replace('.ods', '.xlsx'))
    ods = os.path.join(converted, 'sparklines.ods')
    if os.path.exists(ods):
        content = zipfile.ZipFile(ods).read('content.xml').decode('utf-8')
        groups = content.count('<calcext:sparkline-group ')
        sparklines = content.count('<calcext:sparkline ')
        expected_groups = sum(len(g) for g in EXPECTED_GROUPS.values())
        expected_sparklines = sum(sum(g) for g in EXPECTED_GROUPS.values())
        print('LibreOffice kept %d sparkline groups with %d sparklines' % (groups, sparklines))
        if groups != expected_groups or sparklines != expected_sparklines:
            problems.append('LibreOffice read %d groups / %d sparklines, expected %d / %d'
                            % (groups, sparklines, expected_groups, expected_sparklines))
        if 'calcext:type="stacked"' not in content or 'calcext:type="column"' not in content:
            problems.append('LibreOffice lost a sparkline type')


def main():
    maker, outdir = sys.argv[1], sys.argv[2]
    shutil.rmtree(outdir, ignore_errors=True)
    os.makedirs(outdir)
    run = subprocess.run([maker, outdir])
    if run.returncode != 0:
        print('FAIL maker exited %d' % run.returncode)
        return 1
    problems = []
    check_openpyxl(outdir, problems)
    check_libreoffice(outdir, problems)
    books = [os.path.join(outdir, name) for name in ('sparklines.xlsx', 'streamed.xlsx')]
    problems += reader_problems(books, os.path.join(outdir, 'gnumeric'))
    for problem in problems:
        print('FAIL', problem)
    print('%d problems' % len(problems))
    return 1 if problems else 0


if __name__ == '__main__':
    sys.exit(run_removing_workdir(main, sys.argv[2] if len(sys.argv) > 2 else '.'))

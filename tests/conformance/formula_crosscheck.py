#!/usr/bin/python3
# Cross-checks the values the engine stores for its formulas against LibreOffice's own
# recalculation of the same saved file; both sides are read with openpyxl (LibreOffice writes its
# results as a new .xlsx, which keeps raw numbers where a CSV would show dates and percentages).
#
# Usage: formula_crosscheck.py MAKER WORKDIR [COUNT]

import os
import re
import shutil
import subprocess
import sys
import tempfile
import zipfile

import datetime

import openpyxl
from openpyxl.utils.datetime import to_excel

sys.dont_write_bytecode = True  # the shared checks' import leaves no __pycache__ in the source tree
from shared_checks import reader_problems, run_removing_workdir

EXPORT_FILTER = 'xlsx:Calc MS Excel 2007 XML'
# Formulas of OOXML files are recalculated on every load, whatever the file's calcId says.
RECALC_ALWAYS = '''<?xml version="1.0" encoding="UTF-8"?>
<oor:items xmlns:oor="http://openoffice.org/2001/registry" xmlns:xs="http://www.w3.org/2001/XMLSchema" xmlns:xsi="http://www.w3.org/2001/XMLSchema-instance">
<item oor:path="/org.openoffice.Office.Calc/Formula/Load"><prop oor:name="OOXMLRecalcMode" oor:op="fuse"><value>0</value></prop></item>
<item oor:path="/org.openoffice.Office.Calc/Formula/Load"><prop oor:name="ODFRecalcMode" oor:op="fuse"><value>0</value></prop></item>
</oor:items>
'''
CANARY = '987654321'


def convert(paths, out):
    # A profile and temporary folder of its own, removed afterwards.
    private = tempfile.mkdtemp(prefix='lo-formula-')
    profile = os.path.join(private, 'profile')
    try:
        os.makedirs(os.path.join(profile, 'user'))
        os.makedirs(os.path.join(private, 'tmp'))
        with open(os.path.join(profile, 'user', 'registrymodifications.xcu'), 'w') as f:
            f.write(RECALC_ALWAYS)
        subprocess.run(['soffice', '-env:UserInstallation=file://' + profile, '--headless', '--convert-to',
                        EXPORT_FILTER, '--outdir', out] + paths,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=900,
                       env=dict(os.environ, TMPDIR=os.path.join(private, 'tmp')))
    finally:
        shutil.rmtree(private, ignore_errors=True)


def recalculated_sheet(out, stem):
    path = os.path.join(out, stem + '.xlsx')
    if not os.path.exists(path):
        return None
    return openpyxl.load_workbook(path, data_only=True)['Formulas']


def with_canary(src, dst):
    """A copy whose cached formula values all read 987654321: only a recalculation removes them."""
    with zipfile.ZipFile(src) as zin, zipfile.ZipFile(dst, 'w', zipfile.ZIP_DEFLATED) as zout:
        for item in zin.infolist():
            data = zin.read(item.filename)
            if item.filename.startswith('xl/worksheets/sheet'):
                data = re.sub(rb'(</f><v>)[^<]*(</v>)', rb'\g<1>' + CANARY.encode() + rb'\g<2>', data)
            zout.writestr(item, data)


def main():
    maker, workdir = sys.argv[1], sys.argv[2]
    count = sys.argv[3] if len(sys.argv) > 3 else '600'
    shutil.rmtree(workdir, ignore_errors=True)
    os.makedirs(workdir)
    if subprocess.run([maker, workdir, count]).returncode != 0:
        print('FAIL: the maker failed')
        return 1
    book = os.path.join(workdir, 'formulas.xlsx')
    manifest = []
    with open(os.path.join(workdir, 'formulas.tsv'), encoding='utf-8') as f:
        for line in f:
            ref, kind, expected, formula = line.rstrip('\n').split('\t', 3)
            manifest.append((ref, kind, expected, formula))

    cached = openpyxl.load_workbook(book, data_only=True)['Formulas']
    canary = os.path.join(workdir, 'canary.xlsx')
    with_canary(book, canary)
    out = os.path.join(workdir, 'lo')
    convert([book, canary], out)
    recalculated = recalculated_sheet(out, 'formulas')
    canary_sheet = recalculated_sheet(out, 'canary')
    if recalculated is None or canary_sheet is None:
        print('FAIL: LibreOffice produced no output (the file did not load)')
        return 1
    if any(str(cell.value) == CANARY for row in canary_sheet.iter_rows() for cell in row):
        print('FAIL: LibreOffice kept cached values; recalculation was not forced')
        return 1

    counts = {'x': [0, 0], 'r': [0, 0]}
    generator_agrees = 0
    failures = []
    for ref, kind, expected, formula in manifest:
        mine = cached[ref].value
        theirs = recalculated[ref].value
        # LibreOffice gives a result computed from a date the date's format; the number is the same.
        if isinstance(theirs, (datetime.datetime, datetime.date, datetime.time)):
            theirs = to_excel(theirs)
        ok = False
        try:
            mine_value, their_value = float(mine), float(theirs)
            if kind == 'x':
                # Every intermediate fits six decimals: the results are the same number.
                ok = abs(mine_value - their_value) <= 1e-9 * max(1.0, abs(their_value))
                generator_agrees += abs(their_value - float(expected)) <= 1e-9 * max(1.0, abs(their_value))
            else:
                # One repeating division at the end: six decimals, as a computed result keeps.
                ok = abs(mine_value - round(their_value, 6)) <= 1.01e-6
        except (TypeError, ValueError):
            ok = False
        counts[kind][0 if ok else 1] += 1
        if not ok:
            failures.append('%s =%s: engine %r, LibreOffice %r' % (ref, formula, mine, theirs))

    exact_ok, exact_bad = counts['x']
    round_ok, round_bad = counts['r']
    print('exact formulas: %d agree, %d differ' % (exact_ok, exact_bad))
    print('six-decimal formulas: %d agree, %d differ' % (round_ok, round_bad))
    print('generator expectation matched by LibreOffice: %d of %d' % (generator_agrees, exact_ok + exact_bad))
    for line in failures[:30]:
        print('  ' + line)
    # gnumeric loads the book without a warning and its parts pass the schemas.
    problems = reader_problems([book], os.path.join(workdir, 'gnumeric'))
    for line in problems:
        print('FAIL: ' + line)
    return 0 if not failures and not problems and exact_ok >= 500 else 1


if __name__ == '__main__':
    sys.exit(run_removing_workdir(main, sys.argv[2]))

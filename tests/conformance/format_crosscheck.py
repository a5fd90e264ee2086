# Cross-checks the engine's formatted cell texts against LibreOffice: the maker saves a book of
# formatted cells with its own renderings in a manifest; LibreOffice exports what it shows.
#
# Usage: format_crosscheck.py MAKER OUTDIR

import csv
import fnmatch
import os
import shutil
import subprocess
import sys
import tempfile

sys.dont_write_bytecode = True  # the shared checks' import leaves no __pycache__ in the source tree
from shared_checks import reader_problems, run_removing_workdir

# Comma separated, UTF-8, every sheet, and cell texts as shown rather than raw values.
CSV_FILTER = 'csv:Text - txt - csv (StarCalc):44,34,76,1,,0,false,true,true,false,false,-1'

# Where the engine's fixed templates and the spreadsheet's display legitimately part ways.
# Keys are "<sheet>!<format>|<value>" patterns; each has the reason it is expected.
EXPECTED_DIFFERENCES = {
    # The spreadsheet's own date system starts a day later and has no 1900-02-29.
    'Dates!*|1900-01-01': 'LibreOffice counts no 1900-02-29, so its days before March 1900 are one earlier',
    'Dates!*|1900-02-28': 'LibreOffice counts no 1900-02-29, so its days before March 1900 are one earlier',
    'Dates!*|1900-02-29': 'serial 60 is 1900-02-29 in the engine; LibreOffice shows 1900-02-28',
    'Times!303|t*': 'a pure time has day 0, shown 1900/1/0 by the engine and 1899/12/30 by LibreOffice',
    'Times!318|t*': 'a pure time has day 0, shown 1900/1/0 by the engine and 1899/12/30 by LibreOffice',
    # Built-in ids are displayed in LibreOffice's (English) locale; the engine has fixed templates.
    'Dates!none|*': 'the date preset is id 14: m/d/yyyy in LibreOffice, yyyy/m/d in the engine',
    'Dates!id14|*': 'id 14 is m/d/yyyy in LibreOffice, yyyy/m/d in the engine',
    'Dates!id22|*': 'id 22 is m/d/yyyy h:mm in LibreOffice, yyyy/m/d hh:mm in the engine',
    'Times!none|dt*': 'the date-time preset is id 22: m/d/yyyy h:mm in LibreOffice, yyyy/m/d hh:mm in the engine',
    'Times!none|t0': 'the hours-and-minutes preset is id 20 (h:mm); the engine template pads the hour',
    'Times!id20|*': 'id 20 is h:mm; the engine template pads the hour (%02d:%02d)',
    'Times!id18|*': 'id 18 is h:mm AM/PM; the engine template pads the hour',
    'Times!id32|*': 'id 32 is declared h"時"mm"分", padding the minutes; the engine template is %d時%d分',
    'Dates!342|*': 'aaa is a Japanese weekday only in a Japanese locale; LibreOffice shows English names',
    'Dates!343|*': 'aaaa is a Japanese weekday only in a Japanese locale; LibreOffice shows English names',
    'Numbers!id5|*': 'id 5 is declared as whole yen, so LibreOffice rounds; the engine keeps the fraction',
    # Engine templates that differ from the codes the styles part writes for the same kind.
    'Dates!303|*': 'the date-time template pads the hour (hh:mm); the written code is h:mm',
    'Times!303|dt*': 'the date-time template pads the hour (hh:mm); the written code is h:mm',
    'Dates!335|*': 'the written code is the full era date (ggge年m月d日); the template is era and year only',
    'Times!402|*': 'the written code pads minutes (h"時"mm"分"); the template is %d時%d分',
    'Times!404|dt*': 'kind 404 is written as id 46, elapsed [h]:mm:ss counting the days; the engine shows the time of day',
    'Times!id46|dt*': 'id 46 is elapsed [h]:mm:ss counting the days; the engine shows the time of day',
    'Numbers!107|*': 'kind 107 without decimals keeps the fraction; the written code #,##0 rounds it away',
    'Numbers!id3|*': 'id 3 (#,##0) without decimals keeps the fraction in the engine; LibreOffice rounds it away',
    'Numbers!108|*': 'kind 108 keeps the fraction and the minus sign; the written code rounds and brackets',
    'Numbers!108.2|neg*': 'kind 108 keeps the minus sign; the written code shows negatives in brackets',
    'Numbers!109.2|*': 'kind 109 renders the stored number; the written code shows exactly two places',
    'Numbers!104|*': 'kind 104 renders the stored number; the written code rounds to whole numbers',
    'Numbers!20[1-5]|*': 'yen kinds keep the fraction and the minus sign; the written codes round, drop or bracket',
    # printf rounding of the binary value against the spreadsheet's decimal rounding.
    'Numbers!10[78].2|small': '0.125 with two places: printf rounds the tie to even (0.12), LibreOffice away (0.13)',
    'Percents!*|pneg': '-12.5% with no places: printf rounds the tie to even (-12), LibreOffice away (-13)',
    'Percents!501.1|p8.25': '0.0825 x 100 is just below 8.25 in binary, so printf gives 8.2; LibreOffice 8.3',
    # Years past 2099.
    'Dates!334|9999-12-31': 'LibreOffice shows era years modulo 100 (R81); the engine the full era year (R7981)',
}


def column_number(letters):
    n = 0
    for c in letters:
        n = n * 26 + ord(c) - 64
    return n


def main():
    maker, workdir = sys.argv[1], sys.argv[2]
    shutil.rmtree(workdir, ignore_errors=True)
    os.makedirs(workdir)
    if subprocess.run([maker, workdir]).returncode != 0:
        print('the maker failed')
        return 1
    out = os.path.join(workdir, 'lo')
    os.makedirs(out)
    # LibreOffice gets a profile and temporary folder of its own, removed afterwards.
    private = tempfile.mkdtemp(prefix='lo-formats-')
    try:
        os.makedirs(os.path.join(private, 'tmp'))
        subprocess.run(['soffice', '-env:UserInstallation=file://' + os.path.join(private, 'profile'), '--headless',
                        '--convert-to', CSV_FILTER, '--outdir', out, os.path.join(workdir, 'formats.xlsx')],
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=500,
                       env=dict(os.environ, TMPDIR=os.path.join(private, 'tmp')))
    finally:
        shutil.rmtree(private, ignore_errors=True)

    sheets = {}
    agreed, listed, unexpected, listed_but_agreed = 0, 0, [], set()
    used_keys = set()
    with open(os.path.join(workdir, 'formats.tsv'), encoding='utf-8') as f:
        for line in f:
            sheet, cell, label, ours = line.rstrip('\n').split('\t')
            if sheet not in sheets:
                path = os.path.join(out, 'formats-%s.csv' % sheet)
                if not os.path.exists(path):  # a book LibreOffice cannot load leaves no file
                    print('LibreOffice produced no %s' % path)
                    return 1
                with open(path, encoding='utf-8', newline='') as g:
                    sheets[sheet] = list(csv.reader(g))
            rows = sheets[sheet]
            letters = ''.join(c for c in cell if c.isalpha())
            row, column = int(cell[len(letters):]) - 1, column_number(letters) - 1
            theirs = rows[row][column] if row < len(rows) and column < len(rows[row]) else ''
            # Padding of _ and _) placeholders is layout, not text.
            theirs = theirs.strip()
            key = '%s!%s' % (sheet, label)
            matched = [k for k in EXPECTED_DIFFERENCES if fnmatch.fnmatchcase(key, k)]
            if ours == theirs:
                agreed += 1
                continue
            if matched:
                listed += 1
                used_keys.update(matched)
                continue
            unexpected.append('%s %s: engine %r, LibreOffice %r' % (key, cell, ours, theirs))

    for line in unexpected:
        print('UNEXPECTED ' + line)
    for key in sorted(set(EXPECTED_DIFFERENCES) - used_keys):
        print('listed but never differing: %s' % key)
    print('agreements: %d, listed disagreements: %d, unexpected: %d' % (agreed, listed, len(unexpected)))
    # gnumeric loads the book without a warning and its parts pass the schemas.
    problems = reader_problems([os.path.join(workdir, 'formats.xlsx')], os.path.join(workdir, 'gnumeric'))
    for line in problems:
        print('FAIL: ' + line)
    return 1 if unexpected or problems else 0


if __name__ == '__main__':
    sys.exit(run_removing_workdir(main, sys.argv[2]))

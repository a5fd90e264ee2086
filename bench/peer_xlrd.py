#!/usr/bin/python3
"""W4 peer: reads every cell of the first sheet of a .xls (BIFF8) with xlrd and prints the data
checksum (cents of the numeric cells, count of the non-empty string cells).

usage: /usr/bin/python3 peer_xlrd.py PATH [LABEL]
"""
import sys
import time

import xlrd

EXPECTED = {100000: (24872325309101, 500000), 65000: (16159723974081, 325000)}


def main():
    path = sys.argv[1]
    label = sys.argv[2] if len(sys.argv) > 2 else "W4"
    start = time.monotonic()
    book = xlrd.open_workbook(path)
    sheet = book.sheet_by_index(0)
    cents = 0
    strings = 0
    for r in range(sheet.nrows):
        for cell in sheet.row(r):
            if cell.ctype == xlrd.XL_CELL_NUMBER:
                cents += int(round(cell.value * 100))
            elif cell.ctype == xlrd.XL_CELL_TEXT and cell.value != "":
                strings += 1
    wall = time.monotonic() - start
    if sheet.nrows in EXPECTED:
        verdict = "checksum ok" if EXPECTED[sheet.nrows] == (cents, strings) else "checksum MISMATCH"
    else:
        verdict = "checksum not checked"
    print("xlrd %s %s rows=%d wall=%.3fs cents=%d strings=%d %s"
          % (xlrd.__VERSION__, label, sheet.nrows, wall, cents, strings, verdict))


if __name__ == "__main__":
    main()

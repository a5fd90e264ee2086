#!/usr/bin/python3
"""Random texts in every text path and character set must never make a saved book unreadable.

Runs the text-book maker, then loads every book that saved with 0 in openpyxl (which refuses
parts that are not well-formed XML 1.0) and reads every cell, has gnumeric load it without a
warning, and checks every part against the ECMA-376 schemas (skipped when the validator beside
the repository is missing). Prints the books it rejects and a closing "N passed, N failed"
line; the work folder is removed at the end.

Usage: check_text_books.py MAKER WORKDIR [BOOKS] [SEED]
"""
import os
import shutil
import subprocess
import sys
import warnings

import openpyxl

sys.dont_write_bytecode = True  # the shared checks' import leaves no __pycache__ in the source tree
from shared_checks import gnumeric_clean, schema_check


def main():
    maker, work = sys.argv[1], sys.argv[2]
    books = sys.argv[3] if len(sys.argv) > 3 else "600"
    seed = sys.argv[4] if len(sys.argv) > 4 else "20261206"
    shutil.rmtree(work, ignore_errors=True)
    os.makedirs(work)
    try:
        made = subprocess.run([maker, work, books, seed], capture_output=True, text=True)
        print(made.stdout.strip())
        if made.returncode != 0:
            print(made.stderr)
            print("0 passed, 1 failed")
            return 1
        with open(os.path.join(work, "saved.txt")) as f:
            names = [line.strip() for line in f if line.strip()]
        passed = failed = 0
        for name in names:
            try:
                with warnings.catch_warnings():
                    warnings.simplefilter("ignore")
                    book = openpyxl.load_workbook(os.path.join(work, name))
                for sheet in book.worksheets:
                    for row in sheet.iter_rows(values_only=True):
                        pass
                passed += 1
            except Exception as error:  # any refusal is a book we saved wrongly
                failed += 1
                print("FAIL: %s: %s: %s" % (name, type(error).__name__, str(error)[:200]))
                shutil.copy(os.path.join(work, name), "/tmp/" + name) if os.environ.get("KEEP_FAILED") else None
            problem = gnumeric_clean(os.path.join(work, name), os.path.join(work, "gnumeric"))
            shutil.rmtree(os.path.join(work, "gnumeric"), ignore_errors=True)
            if problem:
                failed += 1
                print("FAIL: gnumeric %s: %s" % (name, problem[:300]))
            else:
                passed += 1
        if not names:
            failed += 1
            print("FAIL: no book saved")
        checked = schema_check(os.path.join(work, name) for name in names)
        if checked is not None:
            ok, lines = checked
            for line in lines:
                if not ok or line.startswith("schema check:"):
                    print(line)
            if ok:
                passed += 1
            else:
                failed += 1
        print("%d passed, %d failed" % (passed, failed))
        return 1 if failed else 0
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())

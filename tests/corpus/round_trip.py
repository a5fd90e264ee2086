#!/usr/bin/python3
"""Round trip of the corpus workbooks through the update path: each .xlsx/.xlsm is copied, opened
in UPDATE mode, given one value in an empty cell of every sheet and saved. Every saved copy must:

- pass `unzip -t` and load in openpyxl (values and formulas) and in LibreOffice;
- hold the value that was put, and every other cell's truth value (a formula cell may instead
  have no cached value when the package asks to be recalculated on loading);
- keep every archive entry the update path does not rewrite byte for byte, and drop calcChain;
- load in gnumeric without a warning that the original does not also give.

Usage: round_trip.py UPDATE_COPY CORPUS_DIR WORK_DIR
"""
import datetime
import json
import os
import re
import shutil
import subprocess
import sys
import tempfile
import zipfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(__file__))), "conformance"))
import shared_checks  # noqa: E402

import openpyxl  # noqa: E402
from openpyxl.utils.datetime import to_excel  # noqa: E402

from check_corpus import decoded, numbers_equal, truth_serial  # noqa: E402

def rewritten_parts(archive):
    """(workbook part, the entries the update path writes anew: workbook, its relationships,
    content types, styles, shared strings, worksheets; the entries it drops: calcChain)."""
    names = set(archive.namelist())
    rels = archive.read("_rels/.rels").decode("utf-8", "replace")
    workbook = "xl/workbook.xml"
    for found in re.finditer(r'<Relationship [^>]*>', rels):
        tag = found.group(0)
        if re.search(r'Type="[^"]*/officeDocument"', tag):
            workbook = re.search(r'Target="/?([^"]+)"', tag).group(1)
    folder = workbook.rsplit("/", 1)[0] + "/" if "/" in workbook else ""
    workbook_rels = folder + "_rels/" + workbook.rsplit("/", 1)[-1] + ".rels"
    parts = {workbook, workbook_rels, "[Content_Types].xml"}
    dropped = set()
    if workbook_rels in names:
        for tag in re.findall(r'<Relationship [^>]*>', archive.read(workbook_rels).decode("utf-8", "replace")):
            kind = re.search(r'Type="[^"]*/([A-Za-z]+)"', tag)
            target = re.search(r'Target="([^"]+)"', tag)
            if not kind or not target or 'TargetMode="External"' in tag:
                continue
            path = target.group(1)
            path = path[1:] if path.startswith("/") else os.path.normpath(folder + path).replace("\\", "/")
            if kind.group(1) in ("worksheet", "styles", "sharedStrings"):
                parts.add(path)
            elif kind.group(1) == "calcChain":
                dropped.add(path)
    return workbook, parts, dropped


def truth_value_equal(cell, value, epoch):
    t = cell["type"]
    if t == "n":
        if isinstance(value, (datetime.datetime, datetime.date, datetime.time)):
            return False
        return isinstance(value, (int, float)) and not isinstance(value, bool) and numbers_equal(float(value), float(cell["value"]))
    if t == "d":
        if isinstance(value, (int, float)) and not isinstance(value, bool):
            return numbers_equal(float(value), truth_serial(cell))
        if isinstance(value, (datetime.datetime, datetime.date, datetime.time)):
            return numbers_equal(to_excel(value, epoch), truth_serial(cell))
        if isinstance(value, datetime.timedelta):
            return numbers_equal(value.total_seconds() / 86400.0, truth_serial(cell))
        return False
    if t == "s":
        return isinstance(value, str) and (value == cell["value"] or decoded(value) == decoded(cell["value"]))
    if t == "b":
        return isinstance(value, bool) and value == cell["value"]
    if t == "e":
        return value == cell["value"]
    return True


def check_copy(original, copy, truth, put, problems, notes):
    name = os.path.basename(original)
    run = subprocess.run(["unzip", "-tq", copy], capture_output=True, text=True)
    if run.returncode != 0:
        problems.append("%s: unzip -t: %s" % (name, run.stdout.strip()[-300:]))
        return
    with zipfile.ZipFile(original) as before, zipfile.ZipFile(copy) as after:
        _, rewritten, dropped = rewritten_parts(before)
        after_names = set(after.namelist())
        for entry in before.namelist():
            if entry.endswith("/") or entry in rewritten:
                continue
            if entry in dropped:
                if entry in after_names:
                    problems.append("%s: %s kept" % (name, entry))
                continue
            if entry not in after_names:
                problems.append("%s: entry %s lost" % (name, entry))
            elif before.read(entry) != after.read(entry):
                problems.append("%s: entry %s changed" % (name, entry))
        full_calc = b'fullCalcOnLoad="1"' in after.read(rewritten_parts(after)[0])
    try:
        values = openpyxl.load_workbook(copy, data_only=True)
        openpyxl.load_workbook(copy, data_only=False)
    except Exception as exc:  # any refusal is the finding
        problems.append("%s: openpyxl: %s: %s" % (name, type(exc).__name__, exc))
        return
    # openpyxl reads no cells of a strict-namespace package: its truth has no sheets either.
    for sheet_name, cell in put if truth.get("sheet_names") else []:
        if sheet_name in values.sheetnames and values[sheet_name][cell].value != "roundtrip":
            problems.append("%s: %s!%s lost the value put (%r)" % (name, sheet_name, cell, values[sheet_name][cell].value))
    compared = same = 0
    for sheet_name, cells in truth.get("sheets", {}).items():
        if sheet_name not in values.sheetnames:
            problems.append("%s: sheet %s lost" % (name, sheet_name))
            continue
        sheet = values[sheet_name]
        for cell in cells:
            compared += 1
            value = sheet[cell["ref"]].value
            if "formula" in cell and value is None and full_calc:
                same += 1
                continue
            if truth_value_equal(cell, value, values.epoch):
                same += 1
            else:
                notes.append("%s!%s!%s: truth %s %r, after the round trip %r" %
                             (name, sheet_name, cell["ref"], cell["type"], cell.get("value"), value))
    return compared, same


def gnumeric_line(line):
    """A warning without what differs from run to run: process ids, times, cell positions."""
    line = re.sub(r"\(ssconvert:\d+\)", "", line)
    line = re.sub(r"\d\d:\d\d:\d\d\.\d+", "", line)
    return re.sub(r"!\$?[A-Z]{1,3}\$?\d+", "!", line).strip()


def main(argv):
    tool, corpus, work = argv[1], argv[2], argv[3]
    shutil.rmtree(work, ignore_errors=True)
    os.makedirs(work)
    problems, notes, copies = [], [], []
    compared = same = 0
    try:
        for name in sorted(os.listdir(os.path.join(corpus, "xlsx"))):
            with open(os.path.join(corpus, "truth", name + ".json"), encoding="utf-8") as handle:
                truth = json.load(handle)
            if "error" in truth or "decrypted_with" in truth:
                continue
            if shared_checks.doubled_entry(os.path.join(corpus, "xlsx", name)):
                continue   # refused on opening (check_corpus.py holds it to that)
            original = os.path.join(corpus, "xlsx", name)
            copy = os.path.join(work, name)
            run = subprocess.run([tool, original, copy], capture_output=True, timeout=300)
            try:
                result = json.loads(run.stdout.decode("utf-8", "replace"))
            except ValueError:
                problems.append("%s: update_copy failed (%d): %s" % (name, run.returncode, run.stderr[-500:]))
                continue
            if not result["ok"]:
                problems.append("%s: %s failed: %d %s" % (name, result["stage"], result["rc"], result["message"]))
                continue
            copies.append(copy)
            counted = check_copy(original, copy, truth, result["put"], problems, notes)
            if counted:
                compared += counted[0]
                same += counted[1]
        # LibreOffice loads every copy: one call for all of them, with a profile of its own.
        outdir = os.path.join(work, "lo")
        profile = tempfile.mkdtemp(prefix="lo-roundtrip-")
        try:
            subprocess.run(["soffice", "-env:UserInstallation=file://" + profile, "--headless", "--convert-to", "csv",
                            "--outdir", outdir] + copies, capture_output=True, timeout=1200)
        finally:
            shutil.rmtree(profile, ignore_errors=True)
        for copy in copies:
            base = os.path.splitext(os.path.basename(copy))[0]
            if not os.path.exists(os.path.join(outdir, base + ".csv")):
                problems.append("%s: LibreOffice did not load it" % os.path.basename(copy))
        # gnumeric: a copy may not warn where its original does not.
        for copy in copies:
            original = os.path.join(corpus, "xlsx", os.path.basename(copy))
            _, before = shared_checks.gnumeric_convert(original, os.path.join(work, "gn-before"))
            problem, after = shared_checks.gnumeric_convert(copy, os.path.join(work, "gn-after"))
            new = set(map(gnumeric_line, after.splitlines())) - set(map(gnumeric_line, before.splitlines()))
            # A package that asks to be recalculated has gnumeric compute CHAR() of characters it
            # cannot convert, where the original's cached results spared it that.
            new = {line for line in new if line.strip() and "iconv failed for CODE(" not in line}
            if problem and not before:
                problems.append("%s: gnumeric: %s" % (os.path.basename(copy), problem))
            elif new:
                problems.append("%s: gnumeric warns: %s" % (os.path.basename(copy), "; ".join(sorted(new))[:300]))
    finally:
        shutil.rmtree(work, ignore_errors=True)
    ratio = same / compared if compared else 1.0
    print("round trip: %d copies saved, %d truth cells compared, %d kept (%.4f%%), %d problems" %
          (len(copies), compared, same, 100.0 * ratio, len(problems)))
    for line in problems + notes[:100]:
        print(line)
    return 1 if problems or ratio < 0.995 else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))

#!/usr/bin/python3
"""Reads every workbook of the shared corpus through the engine and compares sheet names and cell
values with the truth an independent reader recorded beside each file.

Usage: check_corpus.py DUMP_CELLS CORPUS_DIR SUFFIXES [--min-equal RATIO] [--report FILE]

SUFFIXES is a comma list (".xlsx,.xlsm"). Files whose truth is an error (corrupt, encrypted)
must fail to open with a coded error. Every other file must open; its cells are compared (formula
cells by their cached value) and at least RATIO of all truth cells must be equal. The cells that
differ are listed (with --report into a file as well).
"""
import datetime
import json
import math
import os
import re
import subprocess
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(__file__))), "conformance"))
import shared_checks  # noqa: E402

CODED = re.compile(r"TXLS-\d{5}")


def load_truth(corpus, name):
    path = os.path.join(corpus, "truth", name + ".json")
    if not os.path.exists(path):
        return None
    with open(path, encoding="utf-8") as handle:
        return json.load(handle)


def numbers_equal(a, b):
    if a is None or b is None:
        return False
    return a == b or math.isclose(a, b, rel_tol=1e-12, abs_tol=1e-9)


def truth_serial(cell):
    if cell.get("serial") is not None:
        return cell["serial"]
    value = cell.get("value")
    if isinstance(value, str):
        try:
            moment = datetime.datetime.fromisoformat(value)
        except ValueError:
            return None
        delta = moment - datetime.datetime(1899, 12, 30)
        return delta.days + delta.seconds / 86400.0
    return None


ESCAPE = re.compile(r"_x([0-9A-Fa-f]{4})_")


def decoded(text):
    """The truth reader leaves the package's _xHHHH_ escapes in some texts; the engine decodes them."""
    return ESCAPE.sub(lambda match: chr(int(match.group(1), 16)), text) if isinstance(text, str) else text


def equal(truth, ours):
    """Whether our [ref, type, value] holds the truth cell's value."""
    kind, value = ours[1], ours[2]
    t = truth["type"]
    if t == "n":
        return kind in ("n", "d") and numbers_equal(float(value), float(truth["value"]))
    if t == "d":
        return kind in ("n", "d") and numbers_equal(float(value), truth_serial(truth))
    if t == "s":
        return kind in ("s",) and (value == truth["value"] or value == decoded(truth["value"]))
    if t == "b":
        return kind == "b" and bool(value) == bool(truth["value"])
    if t == "e":
        return kind == "e" and value == truth["value"]
    if t == "f":
        return kind == "f"
    return False


def dump(tool, path):
    run = subprocess.run([tool, path], capture_output=True, timeout=300)
    if run.returncode != 0:
        return None, "dump_cells exited %d: %s" % (run.returncode, run.stderr.decode(errors="replace")[-2000:])
    try:
        return json.loads(run.stdout.decode("utf-8", errors="replace")), None
    except ValueError as exc:
        return None, "unreadable output: %s" % exc


def main(argv):
    tool, corpus, suffixes = argv[1], argv[2], tuple(argv[3].split(","))
    min_equal = 0.995
    report_path = None
    args = argv[4:]
    while args:
        flag = args.pop(0)
        if flag == "--min-equal":
            min_equal = float(args.pop(0))
        elif flag == "--report":
            report_path = args.pop(0)
    files = []
    for folder in ("xlsx", "xls", "broken"):
        base = os.path.join(corpus, folder)
        for name in sorted(os.listdir(base)):
            if name.lower().endswith(suffixes):
                files.append((folder, name))
    failures, lines = [], []
    compared = same = 0
    for folder, name in files:
        truth = load_truth(corpus, name)
        path = os.path.join(corpus, folder, name)
        result, problem = dump(tool, path)
        if problem:
            failures.append("%s: %s" % (name, problem))
            continue
        # An encrypted package must be refused: its truth was made after decrypting it.
        if truth is not None and "decrypted_with" in truth:
            if result["ok"]:
                failures.append("%s: an encrypted package opened" % name)
            elif not CODED.search(result["message"]):
                failures.append("%s: refused without a coded message (%d)" % (name, result["rc"]))
            else:
                lines.append("%s: encrypted, refused: %d %s" % (name, result["rc"], result["message"]))
            continue
        # A package with two entries of one name means different workbooks to different readers:
        # it must be refused with a message naming the entry.
        doubled = shared_checks.doubled_entry(path)
        if doubled:
            if result["ok"]:
                failures.append("%s: a package with two entries %s opened" % (name, doubled))
            elif not CODED.search(result["message"]) or doubled not in result["message"]:
                failures.append("%s: refused without naming %s (%r)" % (name, doubled, result["message"]))
            else:
                lines.append("%s: two entries of one name, refused: %d %s" % (name, result["rc"], result["message"]))
            continue
        # A broken file must be refused with a coded message, whatever another reader made of it.
        if folder == "broken" and not result["ok"]:
            if not CODED.search(result["message"]):
                failures.append("%s: failed without a coded message (%d %r)" % (name, result["rc"], result["message"]))
            else:
                lines.append("%s: broken, refused: %d %s" % (name, result["rc"], result["message"]))
            continue
        if truth is None or "error" in truth:
            if result["ok"] and folder == "broken":
                failures.append("%s: a broken file opened" % name)
            elif result["ok"]:
                lines.append("%s: the truth reader failed (%s) but the engine read it" %
                             (name, truth and truth.get("error")))
            elif not CODED.search(result["message"]):
                failures.append("%s: failed without a coded message (%d %r)" % (name, result["rc"], result["message"]))
            else:
                lines.append("%s: refused: %d %s" % (name, result["rc"], result["message"]))
            continue
        if not result["ok"]:
            failures.append("%s: failed to open: %d %s" % (name, result["rc"], result["message"]))
            compared += sum(len(cells) for cells in truth["sheets"].values())
            continue
        ours = {sheet["name"]: {cell[0]: cell for cell in sheet["cells"]} for sheet in result["sheets"]}
        names = [sheet["name"] for sheet in result["sheets"]]
        if not truth["sheet_names"] and names:
            lines.append("%s: the truth reader found no sheets; the engine read %r" % (name, names))
        elif names != truth["sheet_names"]:
            failures.append("%s: sheet names %r, truth %r" % (name, names, truth["sheet_names"]))
        for sheet_name, cells in truth["sheets"].items():
            mine = ours.get(sheet_name, {})
            for cell in cells:
                compared += 1
                got = mine.get(cell["ref"])
                if got is not None and equal(cell, got):
                    same += 1
                else:
                    lines.append("%s!%s!%s: truth %s %r, engine %r" %
                                 (name, sheet_name, cell["ref"], cell["type"], cell.get("value"), got))
    ratio = same / compared if compared else 1.0
    summary = "corpus %s: %d files, %d cells compared, %d equal (%.4f%%), %d failures" % (
        ",".join(suffixes), len(files), compared, same, 100.0 * ratio, len(failures))
    text = "\n".join([summary] + failures + lines) + "\n"
    if report_path:
        with open(report_path, "w", encoding="utf-8") as handle:
            handle.write(text)
    print("\n".join([summary] + failures + lines[:200]))
    if failures or ratio < min_equal:
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))

#!/usr/bin/python3
"""Prints the table of a bench/run.sh run: per workload and side the medians of wall time, CPU
time (user + system) and peak RSS of the whole process, the output size, the checksum verdicts
and, on our row, the ratios ours / peer of the medians.

usage: summarize.py RESULTS.tsv NOTES.txt EXTRAS.txt ROWS ROUNDS
"""
import re
import statistics
import sys

PEER_NAMES = {"W1": "libxlsxwriter", "W2": "libxlsxwriter", "W3": "orcus-xlsx", "W3C": "orcus-xlsx", "W4": "xlrd",
              "W7": "lxw const_mem"}


def number(text):
    try:
        return float(text)
    except ValueError:
        return None


def median(values):
    values = [v for v in values if v is not None]
    return statistics.median(values) if values else None


def fmt(value, pattern):
    return "-" if value is None else format(value, pattern)


def ratio(ours, peer):
    return None if ours is None or not peer else ours / peer


def main():
    results, notes_path, extras_path, rows, rounds = sys.argv[1:6]
    runs = {}
    order = []
    for line in open(results, encoding="utf-8", errors="replace"):
        fields = line.rstrip("\n").split("\t")
        if len(fields) < 10:
            continue
        workload, side = fields[0], fields[1]
        key = (workload, side)
        if key not in runs:
            runs[key] = []
            order.append(key)
        runs[key].append({
            "wall": number(fields[3]), "cpu": number(fields[4]),
            "rss": None if number(fields[5]) is None else number(fields[5]) / 1024.0,
            "bytes": number(fields[6]), "check": fields[7], "status": fields[8], "line": fields[9],
        })

    def stats(key):
        entries = runs.get(key, [])
        checks = sorted({e["check"] for e in entries})
        return {
            "n": len(entries),
            "wall": median(e["wall"] for e in entries),
            "cpu": median(e["cpu"] for e in entries),
            "rss": median(e["rss"] for e in entries),
            "bytes": median(e["bytes"] for e in entries),
            "check": "/".join(checks) if checks else "-",
            "lines": [e["line"] for e in entries],
        }

    print("Tabsmith benchmarks: rows=%s, rounds=%s, medians of whole-process figures; ratios are ours/peer"
          % (rows, rounds))
    header = "%-8s %-14s %7s %7s %8s %10s %-9s %10s %9s %9s %11s" % (
        "workload", "side", "wall_s", "cpu_s", "rss_MiB", "bytes", "checksum",
        "ratio_wall", "ratio_cpu", "ratio_rss", "ratio_bytes")
    print(header)
    print("-" * len(header))
    workloads = []
    for workload, _ in order:
        if workload not in workloads and workload not in ("W5", "W6"):
            workloads.append(workload)
    for workload in workloads:
        ours, peer = stats((workload, "ours")), stats((workload, "peer"))
        if ours["n"]:
            print("%-8s %-14s %7s %7s %8s %10s %-9s %10s %9s %9s %11s" % (
                workload, "tabsmith", fmt(ours["wall"], ".3f"), fmt(ours["cpu"], ".3f"),
                fmt(ours["rss"], ".1f"), fmt(ours["bytes"], ".0f"), ours["check"],
                fmt(ratio(ours["wall"], peer["wall"]), ".2f"), fmt(ratio(ours["cpu"], peer["cpu"]), ".2f"),
                fmt(ratio(ours["rss"], peer["rss"]), ".2f"), fmt(ratio(ours["bytes"], peer["bytes"]), ".3f")))
        else:
            print("%-8s %-14s %s" % (workload, "tabsmith", "not available yet (see below)"))
        if peer["n"]:
            print("%-8s %-14s %7s %7s %8s %10s %s" % (
                workload, PEER_NAMES.get(workload, "peer"), fmt(peer["wall"], ".3f"), fmt(peer["cpu"], ".3f"),
                fmt(peer["rss"], ".1f"), fmt(peer["bytes"], ".0f"), peer["check"]))

    w1 = stats(("W1", "ours"))
    per_cell = median(number(m.group(1)) for line in w1["lines"]
                      for m in [re.search(r"bytes_per_cell=([0-9.]+)", line)] if m)
    if per_cell is not None:
        print("W1 tabsmith memory per stored cell: %.1f bytes (median; RSS growth while putting / cells; target <= 24)" % per_cell)

    w3 = stats(("W3", "ours"))
    held = median(number(m.group(1)) for line in w3["lines"]
                  for m in [re.search(r"held_per_cell=([0-9.]+)", line)] if m)
    if held is not None:
        print("W3 tabsmith memory per stored cell after the read: %.1f bytes (median; RSS held by the open book / cells; target <= 24)" % held)

    w6 = stats(("W6", "ours"))
    if w6["n"] and w1["n"]:
        print("W6 tabsmith: update of the W1 file %.3f s wall, %.1f MiB (medians); W6/W1 (our create) = %.2f (target <= 0.6)"
              % (w6["wall"], w6["rss"], w6["wall"] / w1["wall"]))

    w7, w7_peer = stats(("W7", "ours")), stats(("W7", "peer"))
    if w7["n"] and w7_peer["n"]:
        rss, wall = ratio(w7["rss"], w7_peer["rss"]), ratio(w7["wall"], w7_peer["wall"])
        print("W7 tabsmith streamed rows against constant_memory: rss ratio %s (target <= 3.0), wall ratio %s (target <= 0.4)"
              % (fmt(rss, ".2f"), fmt(wall, ".2f")))

    w5 = stats(("W5", "ours"))
    if w5["n"]:
        rates = [number(m.group(1)) for line in w5["lines"] for m in [re.search(r"\(([0-9.]+) statements/s\)", line)] if m]
        rate = median(rates)
        if rate is None:
            print("W5 tabsmith: no rate (see the run lines above)")
        else:
            print("W5 tabsmith: %.0f statements/s (median of %d; target >= 2,000,000/s: %s), wall %.3f s, rss %.1f MiB"
                  % (rate, len(rates), "met" if rate >= 2e6 else "not met", w5["wall"], w5["rss"]))

    for title, path in (("notes:", notes_path), ("extras:", extras_path)):
        lines = [line.rstrip() for line in open(path, encoding="utf-8", errors="replace") if line.strip()]
        if lines:
            print(title)
            for line in lines:
                print("  " + line)


if __name__ == "__main__":
    main()

#!/usr/bin/env python3
# module_cycles.py - the modules of src/ (its top-level folders) include each other in one
# direction only: fails, naming the lines, on an include against the order (and so on any cycle).
# Usage: module_cycles.py SRC_DIR
import os
import re
import sys

# What each module may include besides itself; README's layout section gives the same order.
BELOW = {
    "support": set(),
    "model": {"support"},
    "image": {"support", "model"},
    "format": {"support", "model"},
    "formula": {"support", "model", "format"},
    "cells": {"support", "model", "format", "formula"},
    "props": {"support", "model", "image", "format", "formula", "cells"},
    "datasource": {"support", "model", "image", "format", "formula", "cells", "props"},
    "xlsx_write": {"support", "model", "image", "format", "formula", "cells", "props", "datasource"},
    "readers": {"support", "model", "image", "format", "formula", "cells", "props", "datasource"},
}
# The HTML view reads the book as the package writer does, from beside it.
BELOW["html_write"] = set(BELOW["xlsx_write"])
# Output in other formats works on saved books: everything below the API, the API above it.
BELOW["export"] = set(BELOW)
BELOW["api"] = set(BELOW) | {"export"}

INCLUDE = re.compile(r'\s*#\s*include\s*"([A-Za-z0-9_]+)/')


def include_edges(src):
    """{module: {included module: first 'file:line' that includes it}}"""
    modules = sorted(d for d in os.listdir(src) if os.path.isdir(os.path.join(src, d)))
    edges = {m: {} for m in modules}
    for module in modules:
        for folder, _, files in os.walk(os.path.join(src, module)):
            for name in sorted(files):
                path = os.path.join(folder, name)
                with open(path, errors="replace") as text:
                    for number, line in enumerate(text, 1):
                        match = INCLUDE.match(line)
                        if match and match.group(1) in edges and match.group(1) != module:
                            where = "%s:%d" % (os.path.relpath(path, src), number)
                            edges[module].setdefault(match.group(1), where)
    return edges


def main():
    if len(sys.argv) != 2 or not os.path.isdir(sys.argv[1]):
        print("usage: module_cycles.py SRC_DIR", file=sys.stderr)
        return 2
    edges = include_edges(sys.argv[1])
    # BELOW is a strict order, so a cycle needs at least one include against it: that include is named.
    problems = []
    for module in sorted(edges):
        if module not in BELOW:
            problems.append("module %s has no place in the include order (module_cycles.py, README)" % module)
            continue
        for other, where in sorted(edges[module].items()):
            if other not in BELOW[module]:
                problems.append("%s includes %s against the include order  (%s)" % (module, other, where))
    for line in problems:
        print(line)
    if not problems:
        print("%d modules, include order kept, no cycles" % len(edges))
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())

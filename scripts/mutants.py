#!/usr/bin/env python3
"""mutants.py - how much of src/ the test suites notice when it breaks.

    scripts/mutants.py make [--count 150] [--seed 2026] [--build DIR]   writes scripts/mutants.json
    scripts/mutants.py run [--build DIR] [--timeout 300] [--only 3,17]  applies each, reports

`make` picks a fixed, seeded list of mutants spread over the modules of src/ in proportion to
their non-blank lines: comparison, arithmetic and logical operators swapped, conditions negated,
constants off by one, statements deleted, early returns, returned results changed. A mutant is
kept only when its file still compiles. `run` applies them one at a time to the source, rebuilds
the mutation build incrementally (Release, own folder), runs the suites through CTest with a time
limit (the mutated module's own suite first, then all of them, stopping at the first failure; the conformance books and the corpus round trip, which
take minutes per run, are left out) and restores the file whatever happens. A mutant is killed
when a suite fails or times out. The report gives killed / total and every survivor.
"""
import argparse
import json
import os
import random
import re
import subprocess
import sys
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
LIST = os.path.join(ROOT, "scripts", "mutants.json")
SLOW = "conformance_|corpus_xlsx_round_trip|install_pkg_config|deflate_threads_tsan|web_load"

REL = [(" < ", " <= "), (" <= ", " < "), (" > ", " >= "), (" >= ", " > "), (" == ", " != "), (" != ", " == ")]
ARITH = [(" + ", " - "), (" - ", " + ")]
LOGIC = [(" && ", " || "), (" || ", " && ")]
RESULTS = [("return true;", "return false;"), ("return false;", "return true;"), ("return 0;", "return -1;"),
           ("return kOk;", "return kFail;")]


def code_part(line):
    """The line without its comment and with string and character literals blanked."""
    line = re.sub(r'"(\\.|[^"\\])*"', lambda m: '"' + "_" * (len(m.group(0)) - 2) + '"', line)
    line = re.sub(r"'(\\.|[^'\\])'", "'_'", line)
    cut = line.find("//")
    return line if cut < 0 else line[:cut]


def balanced_end(text, start):
    """Index of the ')' closing the '(' at start, or -1."""
    depth = 0
    for k in range(start, len(text)):
        depth += {"(": 1, ")": -1}.get(text[k], 0)
        if depth == 0:
            return k
    return -1


def sites(lines):
    """Every mutation of the file: (kind, line index, new line)."""
    found = []
    for k, line in enumerate(lines):
        code = code_part(line)
        stripped = code.strip()
        if not stripped or stripped.startswith(("#", "static_assert", "template", "constexpr", "using", "namespace")):
            continue
        for kind, pairs in (("relational", REL), ("arithmetic", ARITH), ("logical", LOGIC), ("result", RESULTS)):
            for old, new in pairs:
                at = code.find(old)
                if at >= 0:
                    found.append((kind, k, line[:at] + new + line[at + len(old):]))
        match = re.search(r"\bif \(", code)
        if match:
            open_at = match.end() - 1
            close_at = balanced_end(code, open_at)
            if close_at > 0:
                condition = line[open_at + 1:close_at]
                found.append(("negated", k, line[:open_at + 1] + "!(" + condition + ")" + line[close_at:]))
                rest = line[close_at + 1:].strip()
                if rest.startswith("return ") and rest.endswith(";"):
                    found.append(("early return", k, line[:match.start()] + rest))
        for number in re.finditer(r"(?<![\w.])(\d+)(?![\w.])", code):
            value = int(number.group(1))
            found.append(("constant", k, line[:number.start()] + str(value + 1) + line[number.end():]))
        if (stripped.endswith(";") and not stripped.startswith(("return", "break", "continue", "case", "default"))
                and re.match(r"^[\w.\->\[\]*&:]+(\(|\s*[-+*/|&]?=\s|\+\+|--)", stripped)):
            found.append(("deleted", k, line[:len(line) - len(line.lstrip())] + ";"))
    return found


def sources():
    out = []
    for folder, _, names in os.walk(os.path.join(ROOT, "src")):
        for name in sorted(names):
            if name.endswith(".cpp"):
                path = os.path.join(folder, name)
                with open(path, encoding="utf-8") as handle:
                    size = sum(1 for line in handle if line.strip())
                out.append((os.path.relpath(path, ROOT), size))
    return sorted(out)


def object_target(build, path):
    """The ninja target of a source file's object in the library."""
    return "CMakeFiles/tabsmith_objects.dir/%s.o" % path


def configure(build):
    if not os.path.exists(os.path.join(build, "build.ninja")):
        linker = ["-DCMAKE_EXE_LINKER_FLAGS=-fuse-ld=lld", "-DCMAKE_SHARED_LINKER_FLAGS=-fuse-ld=lld"] \
            if subprocess.run(["which", "ld.lld"], capture_output=True).returncode == 0 else []
        # ccache, where there is one, makes the build after a restored file nearly free.
        launcher = ["-DCMAKE_CXX_COMPILER_LAUNCHER=ccache", "-DCMAKE_C_COMPILER_LAUNCHER=ccache"] \
            if subprocess.run(["which", "ccache"], capture_output=True).returncode == 0 else []
        subprocess.run(["cmake", "-S", ROOT, "-B", build, "-G", "Ninja", "-DCMAKE_BUILD_TYPE=Release"] + linker + launcher,
                       check=True, capture_output=True)
    subprocess.run(["cmake", "--build", build, "-j", str(os.cpu_count() or 2)], check=True, capture_output=True)


class Applied:
    """The mutant written into its file for the duration of a with-block."""

    def __init__(self, mutant):
        self.path = os.path.join(ROOT, mutant["file"])
        self.mutant = mutant

    def __enter__(self):
        with open(self.path, encoding="utf-8") as handle:
            self.original = handle.read()
        lines = self.original.split("\n")
        k = self.mutant["line"] - 1
        # The line may have moved since the list was made: the nearest line of the same text.
        if k >= len(lines) or lines[k] != self.mutant["before"]:
            near = [i for i, line in enumerate(lines) if line == self.mutant["before"]]
            if not near:
                raise LookupError("%s:%d no longer holds the mutated line" % (self.mutant["file"], self.mutant["line"]))
            k = min(near, key=lambda i: abs(i - k))
        lines[k] = self.mutant["after"]
        with open(self.path, "w", encoding="utf-8") as handle:
            handle.write("\n".join(lines))
        return self

    def __exit__(self, *_):
        with open(self.path, "w", encoding="utf-8") as handle:
            handle.write(self.original)


def make(args):
    build = args.build
    configure(build)
    rng = random.Random(args.seed)
    files = sources()
    modules = {}
    for path, size in files:
        modules.setdefault(path.split(os.sep)[1], []).append((path, size))
    total = sum(size for _, size in files)
    quota = {module: max(1, round(args.count * sum(s for _, s in entries) / total)) for module, entries in modules.items()}
    mutants = []
    for module in sorted(modules):
        entries = modules[module]
        tries = 0
        while sum(1 for m in mutants if m["module"] == module) < quota[module] and tries < 200:
            tries += 1
            path = rng.choices([p for p, _ in entries], weights=[s for _, s in entries])[0]
            with open(os.path.join(ROOT, path), encoding="utf-8") as handle:
                lines = handle.read().split("\n")
            found = sites(lines)
            kinds = sorted({kind for kind, _, _ in found})
            if not kinds:
                continue
            kind = rng.choice(kinds)
            _, k, after = rng.choice([site for site in found if site[0] == kind])
            mutant = {"module": module, "file": path, "line": k + 1, "kind": kind, "before": lines[k], "after": after}
            if any(m["file"] == path and m["line"] == k + 1 and m["after"] == after for m in mutants):
                continue
            with Applied(mutant):
                compiled = subprocess.run(["ninja", "-C", build, object_target(build, path)], capture_output=True)
            if compiled.returncode == 0:
                mutants.append(mutant)
                print("%3d %-10s %s:%d %s" % (len(mutants), kind, path, k + 1, after.strip()), flush=True)
    for number, mutant in enumerate(mutants, 1):
        mutant["id"] = number
    with open(LIST, "w", encoding="utf-8") as handle:
        json.dump({"seed": args.seed, "mutants": mutants}, handle, ensure_ascii=False, indent=1)
        handle.write("\n")
    subprocess.run(["ninja", "-C", build], capture_output=True)   # the sources are whole again
    print("%d mutants written to %s" % (len(mutants), os.path.relpath(LIST, ROOT)))


def judge(mutant, build, timeout):
    """killed, survived or invalid (does not build)."""
    with Applied(mutant):
        built = subprocess.run(["cmake", "--build", build, "-j", str(os.cpu_count() or 2)], capture_output=True)
        if built.returncode != 0:
            verdict = "invalid"
        else:
            # The suite of the mutated module first: most mutants die there within seconds.
            own = os.path.join(build, "tests", "test_" + mutant["module"])
            try:
                if os.path.exists(own) and subprocess.run([own, "--gtest_brief=1"], capture_output=True,
                                                          timeout=timeout).returncode != 0:
                    verdict = "killed"
                else:
                    tested = subprocess.run(["ctest", "--test-dir", build, "-j", str(os.cpu_count() or 2),
                                             "--stop-on-failure", "-E", SLOW, "--timeout", str(timeout)],
                                            capture_output=True, timeout=timeout * 2)
                    verdict = "survived" if tested.returncode == 0 else "killed"
            except subprocess.TimeoutExpired:
                verdict = "killed"
    return verdict


def run(args):
    build = args.build
    configure(build)
    with open(LIST, encoding="utf-8") as handle:
        mutants = json.load(handle)["mutants"]
    if args.only:
        wanted = {int(n) for n in args.only.split(",")}
        mutants = [m for m in mutants if m["id"] in wanted]
    killed, survivors, invalid, results = 0, [], [], []
    started = time.time()
    for mutant in mutants:
        label = "%3d %-12s %s:%d" % (mutant["id"], mutant["kind"], mutant["file"], mutant["line"])
        try:
            verdict = judge(mutant, build, args.timeout)
        except LookupError:   # the source changed since the list was drawn: not counted
            verdict = "gone"
        if verdict == "killed":
            killed += 1
        elif verdict == "survived":
            survivors.append(mutant)
        elif verdict == "invalid":
            invalid.append(mutant)
        results.append({"id": mutant["id"], "verdict": verdict})
        print("%s %s" % (label, verdict), flush=True)
    subprocess.run(["cmake", "--build", build], capture_output=True)
    total = killed + len(survivors)
    gone = sum(1 for r in results if r["verdict"] == "gone")
    print("mutants: %d killed of %d (%.1f%%), %d invalid, %d gone, %.0f s" %
          (killed, total, 100.0 * killed / max(total, 1), len(invalid), gone, time.time() - started))
    for mutant in survivors:
        print("survivor %d %s %s:%d\n    - %s\n    + %s" % (mutant["id"], mutant["kind"], mutant["file"], mutant["line"],
                                                           mutant["before"].strip(), mutant["after"].strip()))
    if args.report:
        with open(args.report, "w", encoding="utf-8") as handle:
            json.dump(results, handle, indent=1)
    return 0


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("action", choices=["make", "run"])
    parser.add_argument("--build", default=os.path.join(ROOT, "build-mutation"))
    parser.add_argument("--count", type=int, default=150)
    parser.add_argument("--seed", type=int, default=2026)
    parser.add_argument("--timeout", type=int, default=300)
    parser.add_argument("--only", default="")
    parser.add_argument("--report", default="")
    args = parser.parse_args()
    return make(args) if args.action == "make" else run(args)


if __name__ == "__main__":
    sys.exit(main())

#!/usr/bin/python3
"""Load test of the web example (examples/web/ behind scripts/web-demo.sh): WEB_REQUESTS (default
2000) requests to each handler from 8 clients on port WEB_TEST_PORT (default 8090). No request may
fail; every answer must be a workbook whose zip directory reads, every 50th one read in full with
openpyxl for the posted values; the php-fpm workers' peak memory of the run's last quarter stays
within 10% of the first's, no worker is lost, hostile fields get a workbook or a short error.
Prints the throughput, latencies and memory figures. TABSMITH_PHP_MODULE names the module to load."""
import http.client
import io
import os
import random
import re
import subprocess
import sys
import threading
import time
import urllib.parse
import zipfile

import openpyxl  # Debian's python3-openpyxl, beside the standard library of /usr/bin/python3

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
REQUESTS = int(os.environ.get("WEB_REQUESTS", "2000"))
PORT = int(os.environ.get("WEB_TEST_PORT", "8090"))
CLIENTS, SAMPLE_EVERY = 8, 50
XLSX_TYPE = "application/vnd.openxmlformats-officedocument.spreadsheetml.sheet"
failures, lock = [], threading.Lock()


def fail(message):
    with lock:
        failures.append(message)


def demo(*args):
    return subprocess.run(["bash", os.path.join(ROOT, "scripts", "web-demo.sh"), *args], env=dict(os.environ, WEB_PORT=str(PORT)),
                          check=True, capture_output=True, text=True).stdout


def invoice_fields(i):
    fields = {"number": f"INV-{i:05d}", "customer": f"Kobayashi 商事 {i}", "tax": str(i % 20)}
    for n in range(1, 1 + i % 4 + 1):
        fields.update({f"item{n}": f"Item {i}-{n} 東京", f"qty{n}": str(n + i % 7), f"price{n}": f"{i % 1000}.{n}5"})
    return fields


def request(conn, handler, i, body=None, query=""):
    """One request; returns (status, headers, body bytes)."""
    if handler == "invoice":
        data = body if body is not None else urllib.parse.urlencode(invoice_fields(i)).encode()
        conn.request("POST", "/invoice.php", data, {"Content-Type": "application/x-www-form-urlencoded"})
    else:
        conn.request("GET", "/table.php" + query)
    response = conn.getresponse()
    return response.status, {k.lower(): v for k, v in response.getheaders()}, response.read()


def check_workbook(what, status, headers, body):
    """Status, headers and the zip central directory of a workbook answer; None when all hold."""
    if status != 200 or headers.get("content-type") != XLSX_TYPE or \
            not re.match(r'attachment; filename="[A-Za-z0-9._-]+\.xlsx"$', headers.get("content-disposition", "")):
        return f"{what}: HTTP {status}, {headers.get('content-type')}, {headers.get('content-disposition')}: {body[:200]!r}"
    try:
        names = set(zipfile.ZipFile(io.BytesIO(body)).namelist())
    except zipfile.BadZipFile as error:
        return f"{what}: not a zip: {error}"
    return None if {"[Content_Types].xml", "xl/workbook.xml"} <= names else f"{what}: parts missing from {sorted(names)[:8]}"


def check_invoice_values(i, body):
    ws, fields = openpyxl.load_workbook(io.BytesIO(body))["Invoice"], invoice_fields(i)
    assert (ws["B3"].value, ws["B5"].value) == (fields["number"], fields["customer"]), (ws["B3"].value, ws["B5"].value)
    assert abs(ws["C17"].value - int(fields["tax"]) / 100) < 1e-9, ws["C17"].value
    for n in range(1, 5):
        row = [ws[f"{c}{7 + n}"].value for c in "ABCD"]
        expected = [n, fields[f"item{n}"], int(fields[f"qty{n}"])] if f"item{n}" in fields else [row[0], None, row[2]]
        assert row[:3] == expected and (f"item{n}" not in fields or abs(row[3] - float(fields[f"price{n}"])) < 1e-9), (n, row)


def check_table_values(body):
    wb = openpyxl.load_workbook(io.BytesIO(body), read_only=True)
    rows = list(wb["Data"].iter_rows(values_only=True))
    assert wb.sheetnames == ["Data"] and len(rows) == 10000 and all(len(r) == 5 for r in rows), (wb.sheetnames, len(rows))
    for r in (1, 2, 5000, 9999, 10000):
        assert rows[r - 1] == (r, f"C{r:05d}", f"Item {r}", r % 97, float(f"{r * 3}.{r % 100:02d}")), rows[r - 1]


def worker_pids(master):
    """The php-fpm pool's workers: the children of the master."""
    pids = []
    for entry in filter(str.isdigit, os.listdir("/proc")):
        try:
            with open(f"/proc/{entry}/stat") as f:
                pids += [int(entry)] if int(f.read().rsplit(")", 1)[1].split()[1]) == master else []
        except (OSError, IndexError, ValueError):
            pass
    return sorted(pids)


def rss_kb(pid):
    try:
        with open(f"/proc/{pid}/status") as f:
            return next((int(line.split()[1]) for line in f if line.startswith("VmRSS:")), 0)
    except OSError:
        return 0


def hostile_cases(conn):
    """Caller text the handlers must answer with a workbook or a short error, never more."""
    big = "x" * (1 << 20)

    def post(**changes):
        return urllib.parse.urlencode({"number": "H-1", "item1": "Thing", "qty1": "1", "price1": "10", "tax": "10", **changes}).encode()

    cases = [
        ("formula-like text", "invoice", post(customer='=<script>alert(1)</script>', item1='=HYPERLINK("http://x")'), "",
         {"B5": '=<script>alert(1)</script>', "B8": '=HYPERLINK("http://x")'}),
        ("$ variable text", "invoice", post(customer="$PATH", item1="\\$SYSDATE"), "", {"B5": "$PATH", "B8": "\\$SYSDATE"}),
        ("invalid UTF-8", "invoice", post() + b"&customer=%FF%FE%80", "", None),
        ("1 MB of text", "invoice", post(item1=big), "", None),
        ("1 MB invoice number", "invoice", post(number=big), "", None),
        ("array field", "invoice", post() + b"&customer%5B%5D=a", "", None),
        ("no invoice number", "invoice", post(number=""), "", None),
        ("quantity not a number", "invoice", post(qty1="1e9; DROP"), "", None),
        ("control characters", "invoice", post(customer="a\x00b\x1b"), "", None),
        ("sheet name with /", "table", None, "?sheet=" + urllib.parse.quote("a/b"), None),
        ("sheet name with quote", "table", None, "?sheet=" + urllib.parse.quote('x" MODE=READ BOOK="/etc/passwd'), None),
        ("sheet name too long", "table", None, "?sheet=" + "n" * 40, None),
        ("sheet name invalid UTF-8", "table", None, "?sheet=%C3%28", None),
        ("sheet name 1 MB", "table", None, "?sheet=" + "n" * 4000, None),
    ]
    results = []
    for name, handler, body, query, expected in cases:
        status, headers, answer = request(conn, handler, 0, body, query)
        problem, outcome = None, "workbook" + (" (values kept as text)" if expected else "")
        if status == 200:
            problem = check_workbook(name, status, headers, answer)
            ws = openpyxl.load_workbook(io.BytesIO(answer))["Invoice"] if not problem and expected else None
            for cell, value in (expected or {}).items() if ws else []:
                if ws[cell].value != value or ws[cell].data_type != "s":
                    problem = f"{name}: {cell} = {ws[cell].value!r} ({ws[cell].data_type}), expected text {value!r}"
        elif status in (400, 500) and len(answer) < 300 and headers.get("content-type", "").startswith("text/plain"):
            outcome = f"HTTP {status} {answer.decode('utf-8', 'replace').strip()!r}"
        else:
            problem, outcome = f"{name}: HTTP {status}, {headers.get('content-type')}, {len(answer)} bytes", "BROKEN"
        if problem:
            fail(problem)
        results.append((name, outcome))
    return results


def main():
    out = demo("start")
    match = re.search(r"pid files in (\S+);", out)
    if not match:
        sys.exit(f"web demo did not start: {out}")
    try:
        return load(match.group(1))
    finally:
        demo("stop")
        if os.path.exists(match.group(1)):
            print(f"FAIL: {match.group(1)} left behind")
            return 1


def load(run):
    with open(os.path.join(run, "php-fpm.pid")) as f:
        master = int(f.read())
    with open(os.path.join(run, "php-fpm.conf")) as f:
        pool_size = int(re.search(r"^pm\.max_children = (\d+)", f.read(), re.M).group(1))
    for _ in range(100):  # the master forks its workers after it opened the socket
        workers_before = worker_pids(master)
        if len(workers_before) >= pool_size:
            break
        time.sleep(0.1)
    jobs = [(handler, i) for handler in ("invoice", "table") for i in range(REQUESTS)]
    random.Random(7).shuffle(jobs)
    done = [0]
    latencies = {"invoice": [], "table": []}
    samples = []  # (handler, i, body) to read with openpyxl after the timed run
    memory = []  # (fraction of requests done, peak worker RSS in kB, sum of worker RSS in kB)
    running = threading.Event()
    running.set()

    def client():
        conn = http.client.HTTPConnection("127.0.0.1", PORT, timeout=120)
        while True:
            with lock:
                if not jobs:
                    break
                handler, i = jobs.pop()
            started = time.perf_counter()
            try:
                status, headers, body = request(conn, handler, i)
            except (OSError, http.client.HTTPException) as error:
                fail(f"{handler} {i}: {error!r}")
                conn.close()
                conn = http.client.HTTPConnection("127.0.0.1", PORT, timeout=120)
                continue
            problem = check_workbook(f"{handler} {i}", status, headers, body)
            if problem:
                fail(problem)
            with lock:
                latencies[handler].append(time.perf_counter() - started)
                done[0] += 1
                if not problem and i % SAMPLE_EVERY == 0:
                    samples.append((handler, i, body))
        conn.close()

    def watch():
        while running.is_set():
            figures = [rss_kb(pid) for pid in worker_pids(master)]
            if figures:
                memory.append((done[0] / (2 * REQUESTS), max(figures), sum(figures)))
            time.sleep(0.1)

    watcher = threading.Thread(target=watch)
    watcher.start()
    started = time.perf_counter()
    clients = [threading.Thread(target=client) for _ in range(CLIENTS)]
    for t in clients:
        t.start()
    for t in clients:
        t.join()
    wall = time.perf_counter() - started
    running.clear()
    watcher.join()

    for handler, i, body in samples:
        try:
            check_invoice_values(i, body) if handler == "invoice" else check_table_values(body)
        except Exception as error:  # noqa: BLE001 - any reading problem is a failure of that answer
            fail(f"{handler} {i}: openpyxl: {error!r}")
    conn = http.client.HTTPConnection("127.0.0.1", PORT, timeout=120)
    hostile = hostile_cases(conn)
    if check_workbook("after the hostile cases", *request(conn, "invoice", 1)):  # the workers still answer
        fail("no workbook after the hostile cases")
    conn.close()
    if worker_pids(master) != workers_before:
        fail(f"php-fpm workers changed (a worker died): {workers_before} -> {worker_pids(master)}")
    with open(os.path.join(run, "php-fpm.log"), errors="replace") as f:
        for line in f:
            if "signal" in line or "exited" in line:
                fail(f"php-fpm.log: {line.strip()}")

    total, cores = 2 * REQUESTS, len(os.sched_getaffinity(0))
    print(f"{total} requests ({REQUESTS} per handler) from {CLIENTS} clients in {wall:.1f} s: "
          f"{total / wall:.1f} requests/s, {total / wall / cores:.1f} requests/s per core ({cores} cores)")
    for handler, values in latencies.items():
        values.sort()
        if values:
            print(f"  {handler:8s} {len(values)} answers, p50 {values[len(values) // 2] * 1000:.1f} ms, "
                  f"p99 {values[min(len(values) - 1, int(len(values) * 0.99))] * 1000:.1f} ms")
    print(f"  {len(samples)} sampled answers read with openpyxl")
    first, last = [m for m in memory if m[0] <= 0.25], [m for m in memory if m[0] >= 0.75]
    if first and last:
        (peak_first, sum_first), (peak_last, sum_last) = ((max(m[1] for m in q), max(m[2] for m in q)) for q in (first, last))
        growth = (peak_last - peak_first) / peak_first * 100
        print(f"  worker RSS ({len(workers_before)} workers), peak of one worker: first quarter {peak_first / 1024:.1f} MB, "
              f"last quarter {peak_last / 1024:.1f} MB ({growth:+.1f}%); all workers: {sum_first / 1024:.1f} MB -> "
              f"{sum_last / 1024:.1f} MB")
        if peak_last > peak_first * 1.10:
            fail(f"worker memory grew {growth:.1f}% from the first to the last quarter")
    else:
        fail("no memory figures for the first or last quarter")
    print("  hostile fields:\n" + "\n".join(f"    {name}: {outcome}" for name, outcome in hostile))
    for problem in failures[:20]:
        print("FAIL:", problem)
    print(f"{len(failures)} failures" if failures else "OK: 0 failed requests")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())

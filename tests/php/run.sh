#!/bin/sh
# run.sh - runs the TABSMITH .phpt files with PHP's own runner against a built tabsmith.so;
# exits non-zero when any test fails, so that CTest reports it.
set -u
module="${1:?usage: run.sh /path/to/tabsmith.so}"
here="$(cd "$(dirname "$0")" && pwd)"
php="${PHP:-/usr/bin/php8.2}"
runner="$(ls /usr/lib/php/*/build/run-tests.php 2>/dev/null | head -n 1)"
if [ -z "$runner" ]; then
    echo "run-tests.php not found (php8.2-dev)" >&2
    exit 1
fi
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
cp "$here"/*.phpt "$here"/helper.inc "$work"/
# A legacy .xls workbook from the corpus beside the repository, for the test that reads one
# (it skips itself when the corpus is not there).
corpus="$here/../../../shared/corpus/xls/poi__34775.xls"
[ -f "$corpus" ] && cp "$corpus" "$work/sample.xls"
cd "$work" || exit 1
# -n keeps the system ini (and its extensions) out; the runner exits 1 on failed tests.
NO_INTERACTION=1 REPORT_EXIT_STATUS=1 "$php" -n "$runner" -n -p "$php" -d "extension=$module" -q --show-diff "$work"
status=$?
if ls "$work"/*.diff >/dev/null 2>&1; then
    status=1
fi
exit $status

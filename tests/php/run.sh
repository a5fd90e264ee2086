#!/bin/sh
# run.sh - runs the TABSMITH .phpt files with PHP's own runner against a built tabsmith.so, in a
# scratch folder removed at the end; exits non-zero when any test fails, so that CTest reports it.
set -u
module="${1:?usage: run.sh /path/to/tabsmith.so}"
php="${PHP:-/usr/bin/php8.2}"
runner="$(ls /usr/lib/php/*/build/run-tests.php 2>/dev/null | head -n 1)"
[ -n "$runner" ] || { echo "run-tests.php not found (php8.2-dev)" >&2; exit 1; }
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
cp "$(dirname "$0")"/*.phpt "$work"/
# -n keeps the system ini (and its extensions) out; the runner exits 1 on failed tests.
NO_INTERACTION=1 REPORT_EXIT_STATUS=1 "$php" -n "$runner" -n -p "$php" -d "extension=$module" -q --show-diff "$work" || exit 1
! ls "$work"/*.diff >/dev/null 2>&1

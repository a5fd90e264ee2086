#!/usr/bin/env bash
# The HTML view of a large sheet in a browser: bench_write fills W1's book (ROWS x 10 cells),
# writes its page and saves it as .xlsx (the page's time beside the save's), then headless
# Chromium opens the page and takes a screenshot of the first screen, which it does once the
# page has loaded. With several build folders (for instance before and after a change) the
# builds take turns round by round, so that all see the same machine load. Every file goes to
# a private temporary directory that is removed at the end.
#
#   bash bench/html_open.sh [BUILD_DIR ...]      default build-harness; ROWS=100000, ROUNDS=3
#
# One line per build and round: html= and save= seconds and their ratio, the page's bytes,
# and open= the seconds from starting Chromium to the screenshot written.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$here")
rows=${ROWS:-100000}
rounds=${ROUNDS:-3}
builds=("$@")
[[ ${#builds[@]} -gt 0 ]] || builds=("$root/build-harness")
chromium=$(command -v chromium || true)
[[ -n $chromium ]] || { echo "html_open: chromium is missing (scripts/install-deps.sh test installs it)" >&2; exit 1; }
for build in "${builds[@]}"; do
  [[ -x $build/bench/bench_write ]] || { echo "html_open: no $build/bench/bench_write (cmake --build $build --target bench_write)" >&2; exit 1; }
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

now() { date +%s.%N; }
for ((round = 1; round <= rounds; ++round)); do
  for build in "${builds[@]}"; do
    line=$("$build/bench/bench_write" "$work/view.xlsx" "$rows" HTML | grep 'HTML view')
    bytes=$(stat -c %s "$work/view.xlsx.html")
    start=$(now)
    "$chromium" --headless --no-sandbox --disable-gpu --user-data-dir="$work/profile" --window-size=1280,1000 \
      --screenshot="$work/first.png" "file://$work/view.xlsx.html" >/dev/null 2>&1
    open=$(printf '%.2fs' "$(echo "$(now) - $start" | bc)")
    [[ -s $work/first.png ]] || open="failed"
    printf '%-40s round %d: %s page_bytes=%d open=%s\n' "$build" "$round" "${line#tabsmith W1 HTML view }" \
      "$bytes" "$open"
    rm -rf "$work/profile" "$work/first.png" "$work/view.xlsx" "$work/view.xlsx.html"
  done
done

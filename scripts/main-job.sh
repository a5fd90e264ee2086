#!/usr/bin/env bash
# The main job: installs dependencies, builds the library and runs the example report.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bash "$root/scripts/install-deps.sh"
cmake -S "$root" -B "$root/build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$root/build" -j "$(nproc)" --target report_example
mkdir -p "$root/out"
cd "$root/out" && "$root/build/examples/report_example"

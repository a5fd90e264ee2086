#!/usr/bin/env bash
# The main job: installs dependencies, builds the library, the `tabsmith` tool and the C example,
# then produces out/sales_report.xlsx (statement file) and out/example_report.xlsx (C API).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bash "$root/scripts/install-deps.sh" build
cmake -S "$root" -B "$root/build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$root/build" -j "$(nproc)" --target tabsmith_cli report_example
mkdir -p "$root/out"
cd "$root" && "$root/build/cli/tabsmith" run examples/sales_report.txt -o out/sales_report.xlsx --charset utf8
cd "$root/out" && "$root/build/examples/report_example"

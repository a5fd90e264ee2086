#!/usr/bin/env bash
# The main job: installs dependencies, builds the library, the `tabsmith` tool and the C example,
# then produces out/sales_report.xlsx (statement file), out/invoice.xlsx (statement file filling a
# template workbook), out/example_report.xlsx (C API) and out/php_report.xlsx (the PHP module).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bash "$root/scripts/install-deps.sh" build
# Its own build folder without the test suites, whose frameworks only the test command installs.
build="$root/build-main"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTABSMITH_TESTS=OFF >/dev/null
cmake --build "$build" -j "$(nproc)" --target tabsmith_cli report_example tabsmith_php
mkdir -p "$root/out"
cd "$root" && "$build/cli/tabsmith" run examples/sales_report.txt -o out/sales_report.xlsx --charset utf8
cd "$root" && "$build/cli/tabsmith" run examples/invoice.txt --template examples/invoice_template.xlsx \
    -o out/invoice.xlsx --charset utf8
(cd "$root/out" && "$build/examples/report_example")
cd "$root" && php -n -d extension="$build/php/tabsmith.so" examples/report.php

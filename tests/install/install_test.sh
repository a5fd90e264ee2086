#!/usr/bin/env bash
# install_test.sh - `cmake --install` into a fresh prefix, then a C program built the way the
# README tells users to (pkg-config) writes a workbook through the installed library.
# Usage: install_test.sh BUILD_DIR
set -euo pipefail
build=$(realpath "$1")
work=$(mktemp -d /tmp/tabsmith-install.XXXXXX)
trap 'rm -rf "$work"' EXIT
cmake --install "$build" --prefix "$work/prefix" >/dev/null
export PKG_CONFIG_PATH="$work/prefix/lib/pkgconfig"
cat >"$work/app.c" <<'C'
#include <stdio.h>
#include <tabsmith.h>
int main(void) {
    XLS_BOOK book = {0};
    if (TXLS_open_book(&book, "MODE=CREATE BOOK=app.xlsx CHARSET=UTF8") != 0) return 1;
    if (TXLS_open_sheet(&book, "SHEET_NAME=売上") != 0) return 2;
    if (TXLS_put_cell(&book, "A1", "1,234") != 0) return 3;
    if (TXLS_close_book(&book, "SAVE") != 0) { puts(TXLS_error_mesg(&book)); return 4; }
    return 0;
}
C
# shellcheck disable=SC2046
cc -o "$work/app" "$work/app.c" $(pkg-config --cflags --libs tabsmith)
(cd "$work" && LD_LIBRARY_PATH="$work/prefix/lib" ./app)
test -s "$work/app.xlsx"
unzip -tq "$work/app.xlsx" >/dev/null
test -x "$work/prefix/bin/tabsmith"
echo "1 passed, 0 failed"

#!/usr/bin/env bash
# install_test.sh - `cmake --install` into a fresh prefix gives the tool, and a library, header and
# pkg-config file with which a C program built as the README shows writes a workbook.
# Usage: install_test.sh BUILD_DIR
set -euo pipefail
build=$(realpath "$1") work=$(mktemp -d /tmp/tabsmith-install.XXXXXX)
trap 'rm -rf "$work"' EXIT
cmake --install "$build" --prefix "$work/prefix" >/dev/null
test -x "$work/prefix/bin/tabsmith"
cat >"$work/app.c" <<'C'
#include <tabsmith.h>
int main(void) {
    XLS_BOOK book = {0};
    return TXLS_open_book(&book, "MODE=CREATE BOOK=app.xlsx CHARSET=UTF8") || TXLS_open_sheet(&book, "SHEET_NAME=売上")
        || TXLS_put_cell(&book, "A1", "1,234") || TXLS_close_book(&book, "SAVE");
}
C
# shellcheck disable=SC2046
cc -o "$work/app" "$work/app.c" $(PKG_CONFIG_PATH="$work/prefix/lib/pkgconfig" pkg-config --cflags --libs tabsmith)
(cd "$work" && LD_LIBRARY_PATH="$work/prefix/lib" ./app)
unzip -tq "$work/app.xlsx"

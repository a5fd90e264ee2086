#!/usr/bin/env bash
# install_test.sh - `cmake --install` into a fresh prefix gives the tool and its manual page, and a library, header and
# pkg-config file with which a C program built as the README shows writes a workbook, and with
# which the PHP module builds the PECL way (phpize, ./configure, make) and writes one from PHP.
# Usage: install_test.sh BUILD_DIR
set -euo pipefail
build=$(realpath "$1") work=$(mktemp -d /tmp/tabsmith-install.XXXXXX)
trap 'rm -rf "$work"' EXIT
cmake --install "$build" --prefix "$work/prefix" >/dev/null
test -x "$work/prefix/bin/tabsmith"
man -l "$work/prefix/share/man/man1/tabsmith.1" | grep 'TABSMITH(1)' >/dev/null
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
# The PHP module from its own sources against the installed library, found through pkg-config.
mkdir "$work/php" && cp "$(dirname "$0")/../../php/config.m4" "$(dirname "$0")/../../php/tabsmith_php.c" "$work/php/"
(cd "$work/php" && phpize >/dev/null 2>&1 && PKG_CONFIG_PATH="$work/prefix/lib/pkgconfig" ./configure --with-tabsmith >/dev/null &&
 make >/dev/null 2>&1)
php -n -d extension="$work/php/modules/tabsmith.so" -r '
  $b = TXLS_open_book("MODE=CREATE CHARSET=UTF8 BOOK=\"" . $argv[1] . "\"");
  exit((int)(TXLS_put_values($b, "A1=売上 B1=1,234") || TXLS_save_book($b)));' "$work/php.xlsx"
unzip -tq "$work/php.xlsx"

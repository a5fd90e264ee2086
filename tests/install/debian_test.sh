#!/usr/bin/env bash
# debian_test.sh - the Debian packages `cpack -G DEB` makes from a build, installed with dpkg as a
# user would: a C program built through pkg-config, a PHP script with the module phpenmod enabled,
# the tool and its manual page all work; a purge then leaves the machine as the test found it.
# Usage: debian_test.sh BUILD_DIR   (as root: it installs packages)
set -euo pipefail
build=$(realpath "$1")
packages=(libtabsmith2 libtabsmith-dev tabsmith php-tabsmith)
fail() { echo "debian_test.sh: $*" >&2; exit 1; }
[ "$(id -u)" -eq 0 ] || fail "must run as root: it installs and purges packages with dpkg"
for p in "${packages[@]}"; do
  state=$(dpkg-query -W -f='${db:Status-Status}' "$p" 2>/dev/null || true)
  [ -z "$state" ] || [ "$state" = not-installed ] || fail "$p is on this machine already ($state); the test leaves it alone"
done
# What the PHP module tools keep, to compare after the purge.
php_state() { find /etc/php /var/lib/php/modules -xdev 2>/dev/null | sort; }
work=$(mktemp -d /tmp/tabsmith-deb.XXXXXX) installed=no
php_state >"$work/before"
cleanup() {
  [ "$installed" = no ] || run_dpkg -P "${packages[@]}" || true
  rm -rf "$work"
}
trap cleanup EXIT
# dpkg serves one installation at a time; another one on the machine is waited for, not failed on.
run_dpkg() {
  local try
  for try in $(seq 60); do
    dpkg "$@" >"$work/dpkg.log" 2>&1 && return 0
    grep -q 'lock' "$work/dpkg.log" || break
    sleep 2
  done
  cat "$work/dpkg.log" >&2
  return 1
}

cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work/deb" >"$work/cpack.log" 2>&1 || { cat "$work/cpack.log" >&2; exit 1; }
debs=("$work"/deb/*.deb)
[ ${#debs[@]} -eq 4 ] || fail "expected 4 packages, cpack made: ${debs[*]}"
installed=yes
# Images that leave manual pages out (dpkg path-exclude) still get this one: it is under test.
run_dpkg -i --path-include='/usr/share/man/man1/tabsmith.1*' "${debs[@]}"
for p in "${packages[@]}"; do dpkg -L "$p"; done | sort -u >"$work/files"

cat >"$work/app.c" <<'C'
#include <tabsmith.h>
int main(void) {
    XLS_BOOK book = {0};
    return TXLS_open_book(&book, "MODE=CREATE BOOK=app.xlsx CHARSET=UTF8") || TXLS_open_sheet(&book, "SHEET_NAME=売上")
        || TXLS_put_cell(&book, "A1", "1,234") || TXLS_close_book(&book, "SAVE");
}
C
# shellcheck disable=SC2046
(cd "$work" && cc -o app app.c $(env -u PKG_CONFIG_PATH pkg-config --cflags --libs tabsmith) && env -u LD_LIBRARY_PATH ./app)
unzip -tq "$work/app.xlsx"

phpquery -v "$(php -r 'echo PHP_MAJOR_VERSION, ".", PHP_MINOR_VERSION;')" -s cli -m tabsmith >/dev/null ||
  fail "the package did not enable the module for PHP's command line"
php -r '
  $b = TXLS_open_book("MODE=CREATE CHARSET=UTF8 BOOK=\"" . $argv[1] . "\"");
  exit((int)(ini_get("tabsmith.memory_limit") !== "0" || TXLS_put_values($b, "A1=売上 B1=1,234") || TXLS_save_book($b)));' "$work/php.xlsx"
unzip -tq "$work/php.xlsx"

tabsmith --version | grep -q "2\.0\.4" || fail "tabsmith --version does not name the packaged version"
man tabsmith 2>/dev/null | grep -q 'TABSMITH(1)' || fail "man tabsmith shows no manual page"

run_dpkg -P "${packages[@]}"
installed=no
while read -r f; do [ -d "$f" ] || [ ! -e "$f" ] || fail "the purge left $f"; done <"$work/files"
php_state >"$work/after"
diff "$work/before" "$work/after" >&2 || fail "the purge left PHP's module settings changed"

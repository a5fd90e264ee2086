#!/usr/bin/env bash
# The web example (examples/web/) behind nginx and php-fpm on a private port:
#   scripts/web-demo.sh [start]   installs nginx and php8.2-fpm when missing (as root), builds the
#                                 PHP module when needed, starts both daemons and prints the URL
#   scripts/web-demo.sh stop      stops them and removes the private folder
# Environment: WEB_PORT (default 8089), WEB_WORKERS (php-fpm workers, default 4),
# TABSMITH_PHP_MODULE (a tabsmith.so to use instead of build-main/php/tabsmith.so).
# The daemons run directly, with configurations from examples/web/conf/ filled into a private
# folder that also holds their pid files, socket, logs and temporary files; the machine's own
# sites and services are not touched.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
port=${WEB_PORT:-8089}
workers=${WEB_WORKERS:-4}
run=${XDG_RUNTIME_DIR:-/tmp}/tabsmith-web-$(id -u)-$port
conf="$root/examples/web/conf"

stop() {
  local name pid
  for name in nginx php-fpm; do
    [ -f "$run/$name.pid" ] || continue
    pid=$(cat "$run/$name.pid")
    # Only a process that still is our daemon (its command line names our folder) is signalled.
    if [ -n "$pid" ] && grep -qs "$run" "/proc/$pid/cmdline"; then
      kill -TERM "$pid"
      for _ in $(seq 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
    fi
  done
  rm -rf "$run"
}

if [ "${1:-start}" = stop ]; then
  stop
  echo "web demo stopped"
  exit 0
fi
[ "${1:-start}" = start ] || { echo "usage: web-demo.sh [start|stop]" >&2; exit 2; }

# Packages, only those missing; installing never starts the packaged services for us.
missing=()
for p in nginx php8.2-fpm; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  [ "$(id -u)" -eq 0 ] || { echo "web-demo.sh: ${missing[*]} missing; run as root to install" >&2; exit 1; }
  echo "== installing ${missing[*]}"
  DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends "${missing[@]}" >/dev/null
fi

# The PHP module: the one given, the main job's build, or built there now.
module=${TABSMITH_PHP_MODULE:-$root/build-main/php/tabsmith.so}
if [ ! -f "$module" ]; then
  bash "$root/scripts/install-deps.sh" build
  jobs=$(nproc); [ "$jobs" -gt 2 ] && jobs=2
  cmake -S "$root" -B "$root/build-main" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTABSMITH_TESTS=OFF >/dev/null
  cmake --build "$root/build-main" -j "$jobs" --target tabsmith_php
  module=$root/build-main/php/tabsmith.so
fi
module=$(cd "$(dirname "$module")" && pwd)/$(basename "$module")

stop   # a previous run on this port
mkdir -p "$run/tmp"
chmod 755 "$run"
nginx_user="" fpm_user=""
if [ "$(id -u)" -eq 0 ]; then
  # Workers never run as root: nginx and the pool run as www-data, which owns the temporary files.
  nginx_user="user www-data www-data;"
  fpm_user=$'user = www-data\ngroup = www-data\nlisten.owner = www-data\nlisten.group = www-data'
  chown www-data:www-data "$run/tmp"
fi
fill() {
  local text
  text=$(<"$1")
  text=${text//@RUN@/$run}; text=${text//@ROOT@/$root/examples/web}; text=${text//@PORT@/$port}
  text=${text//@MODULE@/$module}; text=${text//@WORKERS@/$workers}
  text=${text//@NGINX_USER@/$nginx_user}; text=${text//@FPM_USER@/$fpm_user}
  printf '%s\n' "$text" >"$2"
}
fill "$conf/nginx.conf.in" "$run/nginx.conf"
fill "$conf/php-fpm.conf.in" "$run/php-fpm.conf"

/usr/sbin/php-fpm8.2 -c "$conf/php.ini" -y "$run/php-fpm.conf" -p "$run"
/usr/sbin/nginx -p "$run" -c "$run/nginx.conf" -e "$run/nginx-error.log"
for _ in $(seq 50); do [ -S "$run/php-fpm.sock" ] && [ -s "$run/nginx.pid" ] && break; sleep 0.1; done
[ -S "$run/php-fpm.sock" ] && [ -s "$run/nginx.pid" ] || { echo "web-demo.sh: daemons did not start; logs in $run" >&2; exit 1; }
echo "web demo: http://127.0.0.1:$port/   (logs and pid files in $run; stop with scripts/web-demo.sh stop)"

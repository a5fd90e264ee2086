#!/usr/bin/env bash
# Installs the Debian 12 packages a task needs (run as root), only those still missing:
#   install-deps.sh build   compiler, CMake and the libraries the engine, tool and PHP module use
#   install-deps.sh test    build + the test frameworks, the reading programs the tests check with,
#                           the fuzz build's runtime (libFuzzer), the XML parser, what cpack
#                           needs to make Debian packages (dpkg-shlibdeps, file) and the
#                           browser the HTML view is measured in
#   install-deps.sh bench   build + the peer programs the benchmark compares against
# apt's own progress stays in a log file; one line per step goes to the terminal.
set -euo pipefail
build=(build-essential cmake ninja-build pkg-config
       zlib1g-dev libminizip-dev libdeflate-dev libisal-dev libpng-dev libjpeg-dev
       php8.2-dev php8.2-cli)
test=(googletest libgtest-dev clang lld python3 python3-openpyxl python3-pil libreoffice-calc-nogui poppler-utils gnumeric unzip
      libclang-rt-dev libxml2-dev man-db dpkg-dev file chromium)
bench=(libxlsxwriter-dev liborcus-bin python3-xlrd libreoffice-calc-nogui python3)
# Installed without their recommendations (gnumeric would bring a desktop's worth of them).
lean=(gnumeric)

packages=("${build[@]}")
for group in "${@:-build}"; do
  case "$group" in
    build) ;;
    test) packages+=("${test[@]}") ;;
    bench) packages+=("${bench[@]}") ;;
    *) echo "install-deps.sh: unknown group '$group' (build, test or bench)" >&2; exit 2 ;;
  esac
done

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -eq 0 ]; then
  echo "== packages: all present"
  exit 0
fi
# Each package once, in the order first named.
readarray -t missing < <(printf '%s\n' "${missing[@]}" | awk '!seen[$0]++')
log=$(mktemp /tmp/tabsmith-apt.XXXXXX)
echo "== packages: installing ${missing[*]} (apt log: $log)"
export DEBIAN_FRONTEND=noninteractive
full=() slim=()
for p in "${missing[@]}"; do
  if printf '%s\n' "${lean[@]}" | grep -qx "$p"; then slim+=("$p"); else full+=("$p"); fi
done
if ! { apt-get update -qq &&
       { [ ${#full[@]} -eq 0 ] || apt-get install -y -qq "${full[@]}"; } &&
       { [ ${#slim[@]} -eq 0 ] || apt-get install -y -qq --no-install-recommends "${slim[@]}"; }; } >"$log" 2>&1; then
  tail -n 30 "$log" >&2
  echo "install-deps.sh: apt-get failed; the whole log is $log" >&2
  exit 1
fi
rm -f "$log"
echo "== packages: done"

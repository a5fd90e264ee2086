#!/usr/bin/env bash
# Installs what building, testing and benchmarking Tabsmith need on Debian 12 (run as root).
set -euo pipefail
packages=(
  build-essential cmake ninja-build pkg-config
  googletest libgtest-dev libbenchmark-dev
  zlib1g-dev libminizip-dev libdeflate-dev libpng-dev libjpeg-dev
  php8.2-dev php8.2-cli
  python3 python3-openpyxl libreoffice-calc-nogui unzip
  libxlsxwriter-dev liborcus-bin python3-xlrd
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq "${missing[@]}"
fi

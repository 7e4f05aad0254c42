#!/usr/bin/env bash
# Installs the Debian packages Quillmere needs to build, test and run, skipping
# those already present.
set -euo pipefail

packages=(
  cmake ninja-build ccache pkg-config g++
  libsqlite3-dev sqlite3
  unixodbc unixodbc-dev tdsodbc odbc-postgresql postgresql
  qt6-base-dev libgl-dev libglx-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  fonts-arphic-ukai fonts-arphic-uming fonts-noto-cjk
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -q --no-install-recommends "${missing[@]}"

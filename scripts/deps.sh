#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the demo need, when
# they are missing. Runs apt-get as root (or through sudo).
set -euo pipefail

packages=(g++ cmake ninja-build pkg-config libsqlite3-dev libcairo2-dev libxlsxwriter-dev
          libgtest-dev libgmock-dev libbenchmark-dev fonts-dejavu-core
          poppler-utils tmux clang sqlite3 libpq-dev postgresql python3-openpyxl
          dpkg-dev groff-base)
if [ "${1:-}" = "--fuzz" ]; then packages+=(libclang-rt-dev); fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -q
$sudo apt-get install -y -q --no-install-recommends "${missing[@]}"

#!/usr/bin/env bash
# Configures and builds everything in build/ (or $KEL_BUILD_DIR).
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
build="${KEL_BUILD_DIR:-$here/build}"
"$here/scripts/deps.sh"
cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
      -DKEL_WERROR="${KEL_WERROR:-ON}" >/dev/null
cmake --build "$build" -j "$(nproc)"

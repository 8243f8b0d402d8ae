#!/usr/bin/env bash
# Builds everything and runs every test, then the fuzz targets for a short
# while (KEL_FUZZ_SECONDS, default 20; 0 skips them).
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
build="${KEL_BUILD_DIR:-$here/build}"
"$here/scripts/build.sh"
ctest --test-dir "$build" --output-on-failure -j "$(nproc)" --timeout 120
if [ "${KEL_FUZZ_SECONDS:-20}" != "0" ] && [ -x "$here/scripts/fuzz.sh" ]; then
  "$here/scripts/fuzz.sh" "${KEL_FUZZ_SECONDS:-20}"
fi

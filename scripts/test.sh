#!/usr/bin/env bash
# Builds everything and runs every test (a PostgreSQL server of their own
# included). The fuzz targets run first for a
# short while (KEL_FUZZ_SECONDS in all, default 30; 0 skips them), so that
# the test summary is the last thing printed.
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
build="${KEL_BUILD_DIR:-$here/build}"
"$here/scripts/build.sh"
if [ "${KEL_FUZZ_SECONDS:-30}" != "0" ]; then
  "$here/scripts/fuzz.sh" "${KEL_FUZZ_SECONDS:-30}" > "$build/fuzz.log" 2>&1 || {
    tail -n 60 "$build/fuzz.log"; echo "test.sh: fuzzing found a fault (log: $build/fuzz.log)"; exit 1; }
  grep -h "^fuzz.sh:\|stat::number_of_executed_units" "$build/fuzz.log" || true
fi
# The record manager's tests run on SQLite files and on a private PostgreSQL
# server (Unix socket in build/pg, stopped at the end).
KEL_TEST_PG="$("$here/scripts/pg.sh" start "$build/pg")"
export KEL_TEST_PG
trap '"$here/scripts/pg.sh" stop "$build/pg"' EXIT
ctest --test-dir "$build" --output-on-failure -j "$(nproc)" --timeout 120

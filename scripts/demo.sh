#!/usr/bin/env bash
# Builds the programs and starts the report module on a demo installation
# (made once with kelrec demo in build/demo; remove that folder for a new one).
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
build="${KEL_BUILD_DIR:-$here/build}"
"$here/scripts/build.sh"
demo="${KEL_DEMO_DIR:-$build/demo}"
if [ ! -d "$demo/DADES" ]; then
  "$build/bin/kelrec" demo "$demo"
fi
mkdir -p "$demo/tmp"
export KELROOT="$demo/" KELEXE="$build/bin/" KELTMP="$demo/tmp/"
exec "$build/bin/RBPNDLST"

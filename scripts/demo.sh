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
mkdir -p "$demo/tmp" "$demo/AJUDA"
# The help files of the build, also in a demo made before they changed.
cp "$build/bin/install/AJUDA/"*.HLP "$demo/AJUDA/"
# The launcher's part: a session with a menu title, and a terminal whose
# work date is today and whose output goes to a PDF.
printf '[Menu]\r\nTitol=Administraci\242 de finques\r\nNomMenu=RBPNDLST\r\n' > "$demo/tmp/Sessio.ini"
printf '[Pantalla]\r\nSeleccio=0\r\nCol0=15000700000700070007\r\n[Sistema]\r\nData=%s\r\nSortida=PDF\r\nIdioma=CAT\r\n' \
  "$(date +%Y%m%d)" > "$demo/tmp/TavoTerm.ini"
export KELROOT="$demo/" KELEXE="$build/bin/" KELTMP="$demo/tmp/"
exec "$build/bin/RBPNDLST"

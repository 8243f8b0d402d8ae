#!/usr/bin/env bash
# KELPRINT on the work file of a ten-year report: seconds and peak memory
# (maximum resident set size) for the PDF, text, XLSX and CSV devices.
#
#   bench/kelprint_bench.sh [PAGES]       (default 9000)
#
# The work file is made once and kept under build/bench-data/: the records
# the report writes (page headings, a line per receipt with its unit's
# columns on the first one, unit subtotals, estate totals with the "N"
# alignment), for as many estates as fill PAGES pages (and a little more).
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
build="${KEL_BUILD_DIR:-$here/build}"
kelprint="$build/bin/KELPRINT"
pages="${1:-9000}"
data="$build/bench-data"
work="$data/kelprint-$pages.tmp"

[ -x "$kelprint" ] || { echo "no $kelprint: build first (scripts/build.sh)" >&2; exit 2; }
[ -x /usr/bin/time ] || { echo "no /usr/bin/time (Debian package time)" >&2; exit 2; }
mkdir -p "$data"

if [ ! -s "$work" ]; then
  awk -v pages="$pages" '
    function rec(r) { printf "%s\r\n", r }
    function pf(v) { return v < 0 ? v " " : " " v " " }
    function item(col, text, adv) {
      if (lines >= 66) { rec("PAGE" pf(66)); lines = 0 }
      rec(pf(col) "," text "," pf(adv)); lines += adv
    }
    function amount(c,   s, w) {
      w = int(c / 100) ""; s = ""
      while (length(w) > 3) { s = "." substr(w, length(w) - 2) s; w = substr(w, 1, length(w) - 3) }
      s = w s "\047" sprintf("%02d", c % 100)
      return sprintf("%10s", s)
    }
    function heading() {
      page++; rec("PAGE" pf(66)); lines = 0
      rec("*@e"); item(1, "ADMINISTRACI\340 DE FINQUES DEMO, SL", 0)
      rec("JUSD"); item(85, sprintf("P\267GINA %4d", page), 2)
      item(10, "RELACI\340 DE PENDENTS DE VERTICAL EXISTENTS ENTRE 01/01/2016 I 31/12/2025", 2)
      rec("*q"); item(1, "REBUT", 0); item(11, "DEPART.", 0); item(22, "TITULAR", 0)
      item(53, "TEL\324FON", 0); item(74, "D.EXPED.", 0); item(85, "D.COBR.", 0)
      item(96, "  PENDENT", 0); item(105, "   TORNAT", 1)
      item(1, dashes, 0)
    }
    BEGIN {
      rec("DEVICEPDF"); srand(7)
      for (i = 0; i < 135; i++) dashes = dashes "-"
      for (e = 1; page <= pages; e++) {
        estate_started = 0; tp = 0
        for (u = 1; u <= 20 && page <= pages; u++) {
          n = int(rand() * 8)
          for (r = 0; r < n; r++) {
            if (page == 0 || lines > 59) heading()
            if (!estate_started) {
              estate_started = 1; item(0, "", 2)
              if (lines > 58) heading()
              item(1, sprintf("FINCA %03d - C. DE PROVEN\200A, %d", e % 1000, e), 1)
            }
            item(0, "", 1)
            if (r == 0) {
              item(1, sprintf("%03d%03dV", e % 1000, u), 0); item(11, u "r 2a", 0)
              item(22, "MONTSERRAT RIBA I SOLER", 0); item(53, "93" (4100000 + e * 7 + u), 0)
            }
            m = 1 + r % 12
            item(74, sprintf("01/%02d/2016", m), 0); item(85, sprintf("05/%02d/2016", m), 0)
            c = 45000 + int(rand() * 90000); tp += c
            rec("JUSD"); item(r % 4 ? 96 : 105, substr(amount(c), 2), 0); rec("JUSE")
          }
          if (n > 0) { rec("JUSD"); item(115, amount(c * n), 0); item(126, amount(0), 1) }
        }
        if (estate_started) {
          item(115, substr(dashes, 1, 21), 1)
          if (lines > 58) heading()
          rec("JUSN 113 \\.\\"); item(75, "TOTAL FINCA ", 0)
          rec("JUSD"); item(115, amount(tp), 0); item(126, amount(0), 1)
        }
      }
    }' >"$work.part"
  mv "$work.part" "$work"
fi

run() {  # device
  local dir
  dir="$(mktemp -d "$data/kelprint.XXXXXX")"
  mkdir -p "$dir/tmp" "$dir/root"
  { printf 'DEVICE%s\r\n' "$1"; tail -n +2 "$work"; } >"$dir/tmp/kelprint.tmp"
  KELROOT="$dir/root/" KELTMP="$dir/tmp/" /usr/bin/time -f "%e %M" -o "$dir/time" \
    "$kelprint" >"$dir/out" 2>"$dir/err" || { cat "$dir/out" "$dir/err" >&2; rm -rf "$dir"; return 1; }
  read -r secs kib <"$dir/time"
  printf '%-4s %s, %s s, peak %d MB\n' "$1" "$(grep -o '[0-9]* pàgin[a-z]*' "$dir/out")" \
    "$secs" "$((kib / 1024))"
  rm -rf "$dir"
}

echo "work file  $(($(wc -c <"$work") / 1048576)) MB, $(grep -c '^PAGE' "$work") page records"
run PDF
run TXT
run XLSX
run CSV

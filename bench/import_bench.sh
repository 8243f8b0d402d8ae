#!/usr/bin/env bash
# kelrec import of a ten-year office's receipts against the sqlite3 command
# importing the same CSV into a typed table with the same two indexes as the
# receipts file's keys, in the same run, each onto a fresh file. Prints the
# rows, the seconds of each and their ratio.
#
#   bench/import_bench.sh [ROWS]        (default 2400000)
#
# The CSV is made once and kept under build/bench-data/: the demo data of 999
# estates and 10 years, every estate's units doubled (unit + 50) to reach an
# office of about 20,000 units, cut to ROWS receipts, in key order.
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
build="${KEL_BUILD_DIR:-$here/build}"
kelrec="$build/bin/kelrec"
rows="${1:-2400000}"
data="$build/bench-data"
csv="$data/receipts-$rows.csv"

command -v sqlite3 >/dev/null || { echo "no sqlite3 command (scripts/deps.sh)" >&2; exit 2; }
[ -x "$kelrec" ] || { echo "no $kelrec: build first (scripts/build.sh)" >&2; exit 2; }
mkdir -p "$data"

if [ ! -s "$csv" ]; then
  if [ ! -s "$data/demo-receipts.csv" ]; then
    rm -rf "$data/demo"
    "$kelrec" demo "$data/demo" --estates 999 --years 10 --seed 1 >/dev/null
    "$kelrec" export "$data/demo" receipts >"$data/demo-receipts.csv.part"
    mv "$data/demo-receipts.csv.part" "$data/demo-receipts.csv"
  fi
  # Each estate's receipts, then the same again for its units + 50.
  awk -F, -v OFS=, -v limit="$rows" '
    function out(line) { if (written++ < limit) print line }
    NR == 1 { print; next }
    $1 != estate { for (i = 0; i < n; i++) out(copy[i]); n = 0; estate = $1 }
    { out($0); $2 += 50; copy[n++] = $0 }
    END { for (i = 0; i < n; i++) out(copy[i]) }' "$data/demo-receipts.csv" >"$csv.part"
  mv "$csv.part" "$csv"
fi
have=$(($(wc -l <"$csv") - 1))

work="$(mktemp -d "$data/run.XXXXXX")"
trap 'rm -rf "$work"' EXIT
"$kelrec" init "$work/kel"

# Runs a command under /usr/bin/time: "wall-seconds cpu-seconds" into $1.
timed() {
  local into="$1"
  shift
  /usr/bin/time -f "%e %U %S" -o "$work/time" "$@" || return 1
  read -r wall user sys <"$work/time"
  printf -v "$into" '%s %s' "$wall" "$(awk -v u="$user" -v s="$sys" 'BEGIN { printf "%.2f", u + s }')"
}

cat >"$work/reference.sql" <<EOF
CREATE TABLE receipts(estate INTEGER NOT NULL, unit INTEGER NOT NULL,
  issued TEXT NOT NULL, collected TEXT NOT NULL, amount REAL NOT NULL,
  state TEXT NOT NULL);
CREATE INDEX receipts_unit_issued ON receipts(estate, unit, issued);
CREATE INDEX receipts_collected_unit ON receipts(collected, estate, unit);
.import --csv --skip 1 $csv receipts
EOF
timed sqlite_t sqlite3 -init "$work/reference.sql" "$work/reference.db" .quit </dev/null
sqlite_rows=$(sqlite3 "$work/reference.db" "SELECT count(*) FROM receipts")

if ! timed kelrec_t "$kelrec" import "$work/kel" receipts "$csv" 2>"$work/kelrec.err"; then
  cat "$work/kelrec.err" >&2
  exit 1
fi

read -r sqlite_wall sqlite_cpu <<<"$sqlite_t"
read -r kelrec_wall kelrec_cpu <<<"$kelrec_t"
echo "rows            $have (sqlite3 holds $sqlite_rows)"
echo "sqlite3 import  $sqlite_wall s ($sqlite_cpu s of processor)"
echo "kelrec import   $kelrec_wall s ($kelrec_cpu s of processor)"
awk -v k="$kelrec_wall" -v s="$sqlite_wall" -v kc="$kelrec_cpu" -v sc="$sqlite_cpu" 'BEGIN {
  printf "ratio           %.2f (target 1.5 at most; processor time %.2f)\n", k / s, kc / sc }'

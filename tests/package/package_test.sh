#!/usr/bin/env bash
# The Debian package end to end, without touching the system: cpack makes
# it from the build folder, dpkg-deb extracts it into a scratch folder, and
# the extracted programs do the work. kelrec makes a demo installation from
# the package's template; RBPNDLST, typed at under tmux, prints a report
# through the package's KELPRINT as a PDF; KELPRINT prints the same work file
# as XLSX. The manual pages must render without warnings.
#   tests/package/package_test.sh BUILD_DIR
# Exit 77 (skipped) when a tool it needs is missing.
set -euo pipefail
build="$(cd "$1" && pwd)"
for tool in cpack dpkg-deb tmux groff; do
  command -v "$tool" >/dev/null || { echo "package_test: no $tool"; exit 77; }
done
scratch="$(mktemp -d)"
# Process ids come round again: the clock keeps the socket apart from one an
# earlier run with the same id left, and the socket goes at the end.
socket="kel_pkg_$$_$(date +%s%N)"
cleanup() {
  tmux -L "$socket" kill-server 2>/dev/null || true
  rm -f "${TMUX_TMPDIR:-/tmp}/tmux-$(id -u)/$socket"
  rm -rf "$scratch"
}
trap cleanup EXIT
fail() {
  echo "package_test: $*" >&2
  exit 1
}

(cd "$build" && cpack -G DEB -B "$scratch/pkg" >"$scratch/cpack.log" 2>&1) ||
  { cat "$scratch/cpack.log"; fail "cpack failed"; }
debs=("$scratch"/pkg/*.deb)
deb="${debs[0]}"
[ -f "$deb" ] || fail "cpack made no package"
depends="$(dpkg-deb -f "$deb" Depends)"
for lib in libxlsxwriter libcairo2 libsqlite3 fonts-dejavu-core; do
  [[ "$depends" == *"$lib"* ]] || fail "Depends lacks $lib: $depends"
done
dpkg-deb -x "$deb" "$scratch/root"
usr="$scratch/root/usr"
for program in RBPNDLST KELPRINT kelrec; do
  [ -x "$usr/bin/$program" ] || fail "no usr/bin/$program in the package"
done
for page in RBPNDLST KELPRINT kelrec; do
  man="$usr/share/man/man1/$page.1.gz"
  [ -f "$man" ] || fail "no manual page $page(1)"
  warnings="$(zcat "$man" | groff -man -Tutf8 -ww -z 2>&1)"
  [ -z "$warnings" ] || fail "$page(1) renders with warnings: $warnings"
done

# kelrec must take the package's template, not the source tree's: mark it.
template="$usr/share/kel-pendents/install"
printf '; del paquet\r\n' >>"$template/Tavo.ini"
inst="$scratch/inst"
"$usr/bin/kelrec" demo "$inst" --estates 5 --years 1 >/dev/null || fail "kelrec demo failed"
grep -q "del paquet" "$inst/Tavo.ini" || fail "kelrec demo did not copy the package's template"
mkdir -m 700 "$inst/tmp"
printf '[Sistema]\r\nData=20261207\r\nSortida=PDF\r\n' >"$inst/tmp/TavoTerm.ini"

# A report typed at the extracted RBPNDLST, as a launcher would start it.
run="KELROOT=$(printf %q "$inst/") KELEXE=$(printf %q "$usr/bin/") \
KELTMP=$(printf %q "$inst/tmp/") TERM=xterm-256color $(printf %q "$usr/bin/RBPNDLST"); \
echo \$? > $(printf %q "$inst/rc"); exec sleep 60"
tmux -L "$socket" new-session -d -s kel -x 80 -y 25 "sh -c $(printf %q "$run")"
screen() { tmux -L "$socket" capture-pane -p -J -t kel 2>/dev/null || true; }
wait_for() {  # text
  for _ in $(seq 200); do
    screen | grep -qF "$1" && return 0
    sleep 0.1
  done
  screen
  fail "the screen never showed \"$1\""
}
wait_file() {  # glob pattern, what
  for _ in $(seq 300); do
    compgen -G "$1" >/dev/null && return 0
    sleep 0.1
  done
  screen
  fail "no $2"
}
wait_for "Data inicial"
tmux -L "$socket" send-keys -t kel 01012000 Enter 31122099 Enter 1 Enter 5 Enter
wait_for "Confirmeu"
tmux -L "$socket" send-keys -t kel Enter
wait_file "$inst/LLISTATS/RBPNDLST-*.pdf" "PDF from the package's KELPRINT"
wait_for "31/12/2099"
sleep 0.2
tmux -L "$socket" send-keys -t kel Escape
wait_file "$inst/rc" "end of RBPNDLST"
sleep 0.1
[ "$(cat "$inst/rc")" = "0" ] || fail "RBPNDLST ended with $(cat "$inst/rc")"
pdf=("$inst"/LLISTATS/*.pdf)
pdfinfo "${pdf[0]}" | grep -q "^Pages: *[1-9]" || fail "the PDF has no pages"

# The same work file as a spreadsheet.
sed -i '1s/.*/DEVICEXLSX\r/' "$inst/tmp/kelprint.tmp"
said="$(env -i KELROOT="$inst/" KELTMP="$inst/tmp/" PATH=/usr/bin:/bin "$usr/bin/KELPRINT")" ||
  fail "KELPRINT XLSX failed"
xlsx=("$inst"/LLISTATS/*.xlsx)
[ "$(head -c 2 "${xlsx[0]}")" = "PK" ] || fail "no XLSX: $said"
echo "package_test: $(basename "$deb"): demo, report as PDF and XLSX"

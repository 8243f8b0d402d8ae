#!/usr/bin/env bash
# Remakes the README's pictures in docs/: form 1 and the preview as the real
# programs show them in an 80 x 25 terminal (tmux, on a socket of its own),
# and the first page of the PDF that "I" prints from the preview. A demo
# installation of 12 estates is made in a scratch folder for it.
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
build="${KEL_BUILD_DIR:-$here/build}"
"$here/scripts/build.sh" >/dev/null
bin="$build/bin"
docs="$here/docs"
mkdir -p "$docs"

work="$(mktemp -d)"
sock="kel_pictures_$$"
trap 'tmux -L "$sock" kill-server 2>/dev/null || true; rm -rf "$work"' EXIT
inst="$work/inst"
"$bin/kelrec" demo "$inst" --estates 12 >/dev/null
mkdir -p "$inst/tmp"
printf '[Menu]\r\nTitol=Administraci\242 de finques\r\nNomMenu=RBPNDLST\r\n' >"$inst/tmp/Sessio.ini"
printf '[Sistema]\r\nData=20261207\r\nSortida=PANTALLA\r\nImpressora=PDF\r\nIdioma=CAT\r\n' \
  >"$inst/tmp/TavoTerm.ini"

tmux -L "$sock" new-session -d -s kel -x 80 -y 25 \
  "env KELROOT='$inst/' KELEXE='$bin/' KELTMP='$inst/tmp/' TERM=xterm-256color '$bin/RBPNDLST'; sleep 60"

# Waits until the screen shows the text (UTF-8).
wait_for() {
  for _ in $(seq 150); do
    tmux -L "$sock" capture-pane -p -t kel | grep -qF "$1" && return 0
    sleep 0.1
  done
  echo "pictures.sh: the screen never showed \"$1\":" >&2
  tmux -L "$sock" capture-pane -p -t kel >&2
  exit 1
}
# The screen with its colours, as a PNG.
shoot() {
  sleep 0.3
  tmux -L "$sock" capture-pane -e -p -t kel >"$work/$1.ans"
  "$bin/ansi2png" "$work/$1.ans" 80 25 "$docs/$1.png"
  echo "docs/$1.png"
}

wait_for "Data inicial"
tmux -L "$sock" send-keys -t kel 01012026 Enter 31122026 Enter 1 Enter 12
shoot form1
tmux -L "$sock" send-keys -t kel Enter
wait_for "Confirmeu"
tmux -L "$sock" send-keys -t kel Enter
wait_for "Pàgina 1 de"
shoot preview
tmux -L "$sock" send-keys -t kel I
wait_for "KELPRINT:"
pdf="$(ls "$inst"/LLISTATS/*.pdf)"
pdftoppm -f 1 -l 1 -r 80 -png -singlefile "$pdf" "$docs/listing"
echo "docs/listing.png"
tmux -L "$sock" send-keys -t kel Escape
wait_for "Data inicial"
tmux -L "$sock" send-keys -t kel Escape

#!/usr/bin/env bash
# A private PostgreSQL server for the tests: made with initdb in a folder of
# its own (build/pg unless given), listening only on a Unix socket there (no
# TCP port), with a database "kel" whose owner is the user running this.
#   scripts/pg.sh start [DIR]   starts it (making it first) and prints its URI
#   scripts/pg.sh stop [DIR]    stops it
#   scripts/pg.sh uri [DIR]     prints the URI of a running one
# As root the server runs as the "postgres" user of the Debian package
# (initdb refuses root); the role and the database are root's all the same.
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
cmd="${1:-}"
dir="${2:-${KEL_BUILD_DIR:-$here/build}/pg}"

bindir=""
for d in $(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V -r); do
  if [ -x "$d/initdb" ]; then bindir="$d"; break; fi
done
if [ -z "$bindir" ]; then
  echo "pg.sh: the PostgreSQL server is not installed (scripts/deps.sh installs it)" >&2
  exit 1
fi

me="$(id -un)"
as_server() {
  if [ "$(id -u)" -eq 0 ]; then runuser -u postgres -- "$@"; else "$@"; fi
}

socket_dir() {
  # A socket path is limited to about 100 bytes: a deep folder gets a short
  # one of its own in /tmp.
  if [ -f "$dir/socketdir" ]; then cat "$dir/socketdir"; return; fi
  local s="$dir/run"
  if [ "${#s}" -gt 80 ]; then s="$(mktemp -d /tmp/kelpg.XXXXXX)"; fi
  mkdir -p "$s"
  printf '%s\n' "$s" > "$dir/socketdir"
  printf '%s\n' "$s"
}

uri() { printf 'postgresql:///kel?host=%s\n' "$(socket_dir)"; }

case "$cmd" in
  start)
    mkdir -p "$dir"
    dir="$(cd "$dir" && pwd)"
    sock="$(socket_dir)"
    if [ "$(id -u)" -eq 0 ]; then chown postgres: "$sock"; fi
    if [ ! -f "$dir/data/PG_VERSION" ]; then
      rm -rf "$dir/data"
      mkdir -p "$dir/data"
      if [ "$(id -u)" -eq 0 ]; then chown postgres: "$dir/data"; fi
      as_server "$bindir/initdb" -D "$dir/data" -U "$me" -A trust -E UTF8 \
        --locale=C.UTF-8 >"$dir/initdb.log" 2>&1 || {
        cat "$dir/initdb.log" >&2; exit 1; }
    fi
    if ! as_server "$bindir/pg_ctl" -D "$dir/data" status >/dev/null 2>&1; then
      # Scratch data: durability is not wanted, speed is.
      as_server "$bindir/pg_ctl" -D "$dir/data" -l "$dir/data/server.log" -w -t 60 \
        -o "-c listen_addresses='' -k $sock -c fsync=off -c synchronous_commit=off -c full_page_writes=off" \
        start >/dev/null || { tail -n 20 "$dir/data/server.log" >&2; exit 1; }
    fi
    if ! "$bindir/psql" -h "$sock" -U "$me" -d kel -Atc 'SELECT 1' >/dev/null 2>&1; then
      "$bindir/createdb" -h "$sock" -U "$me" kel
    fi
    uri
    ;;
  stop)
    if [ -f "$dir/data/PG_VERSION" ]; then
      as_server "$bindir/pg_ctl" -D "$dir/data" -m fast -w stop >/dev/null 2>&1 || true
    fi
    ;;
  uri)
    uri
    ;;
  *)
    echo "usage: scripts/pg.sh start|stop|uri [DIR]" >&2
    exit 2
    ;;
esac

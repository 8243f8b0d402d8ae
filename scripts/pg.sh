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

# A folder the server writes to (its data, its socket), made once and
# remembered in $dir/<name>dir. As root the server's user must reach it;
# where it cannot (a checkout below /root), or where a socket path would be
# too long (about 100 bytes at most), the folder goes to /tmp.
server_folder() {
  local name="$1" d="$dir/$1"
  if [ -f "$dir/${name}dir" ]; then cat "$dir/${name}dir"; return; fi
  mkdir -p "$d"
  if [ "$name" = "run" ] && [ "${#d}" -gt 80 ]; then d="$(mktemp -d /tmp/kelpg-run.XXXXXX)"; fi
  if [ "$(id -u)" -eq 0 ]; then
    chown postgres: "$d"
    if ! runuser -u postgres -- test -w "$d"; then
      d="$(mktemp -d "/tmp/kelpg-$name.XXXXXX")"
      chown postgres: "$d"
    fi
  fi
  printf '%s\n' "$d" > "$dir/${name}dir"
  printf '%s\n' "$d"
}

uri() { printf 'postgresql:///kel?host=%s\n' "$(server_folder run)"; }

case "$cmd" in
  start)
    mkdir -p "$dir"
    dir="$(cd "$dir" && pwd)"
    sock="$(server_folder run)"
    data="$(server_folder data)"
    if [ ! -f "$data/PG_VERSION" ]; then
      as_server "$bindir/initdb" -D "$data" -U "$me" -A trust -E UTF8 \
        --locale=C.UTF-8 >"$dir/initdb.log" 2>&1 || {
        cat "$dir/initdb.log" >&2; exit 1; }
    fi
    if ! as_server "$bindir/pg_ctl" -D "$data" status >/dev/null 2>&1; then
      # Scratch data: durability is not wanted, speed is.
      as_server "$bindir/pg_ctl" -D "$data" -l "$data/server.log" -w -t 60 \
        -o "-c listen_addresses='' -k $sock -c fsync=off -c synchronous_commit=off -c full_page_writes=off" \
        start >/dev/null || { tail -n 20 "$data/server.log" >&2; exit 1; }
    fi
    if ! "$bindir/psql" -h "$sock" -U "$me" -d kel -Atc 'SELECT 1' >/dev/null 2>&1; then
      "$bindir/createdb" -h "$sock" -U "$me" kel
    fi
    uri
    ;;
  stop)
    if [ -f "$dir/datadir" ] && [ -f "$(cat "$dir/datadir")/PG_VERSION" ]; then
      as_server "$bindir/pg_ctl" -D "$(cat "$dir/datadir")" -m fast -w stop >/dev/null 2>&1 || true
    fi
    # Folders made in /tmp go with the server.
    for name in data run; do
      if [ -f "$dir/${name}dir" ]; then
        d="$(cat "$dir/${name}dir")"
        case "$d" in /tmp/kelpg-*) rm -rf "$d"; rm -f "$dir/${name}dir" ;; esac
      fi
    done
    ;;
  uri)
    uri
    ;;
  *)
    echo "usage: scripts/pg.sh start|stop|uri [DIR]" >&2
    exit 2
    ;;
esac

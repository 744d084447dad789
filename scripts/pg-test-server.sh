#!/usr/bin/env bash
# A throwaway PostgreSQL server on loopback for the tests.
#   pg-test-server.sh start DIR PORT   initialises DIR and starts the server
#   pg-test-server.sh stop DIR         stops it
# The server runs as the "postgres" system user (initdb refuses root) and trusts
# loopback connections; tests reach it as user postgres.
set -euo pipefail
cmd=${1:?start or stop}
dir=${2:?data directory}
PGBIN=$(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V | tail -n 1)
[ -x "$PGBIN/pg_ctl" ] || { echo "PostgreSQL server binaries not found" >&2; exit 1; }

as_pg() {
  if [ "$(id -u)" = 0 ]; then runuser -u postgres -- "$@"; else "$@"; fi
}

case "$cmd" in
start)
  port=${3:?port}
  rm -rf "$dir"
  mkdir -p "$dir"
  [ "$(id -u)" = 0 ] && chown postgres:postgres "$dir"
  as_pg "$PGBIN/initdb" -D "$dir/data" -U postgres -A trust -E UTF8 --locale=C.UTF-8 >"$dir/initdb.log" 2>&1 \
    || { cat "$dir/initdb.log" >&2; exit 1; }
  as_pg "$PGBIN/pg_ctl" -D "$dir/data" -l "$dir/server.log" -w -t 60 \
    -o "-p $port -k $dir -c listen_addresses=127.0.0.1 -c fsync=off -c max_connections=60" start >/dev/null \
    || { cat "$dir/server.log" >&2; exit 1; }
  ;;
stop)
  as_pg "$PGBIN/pg_ctl" -D "$dir/data" -m fast -w stop >/dev/null 2>&1 || true
  ;;
*)
  echo "usage: $0 start DIR PORT | stop DIR" >&2; exit 2 ;;
esac

#!/usr/bin/env bash
# A throwaway PostgreSQL server for the tests: initdb into a temporary folder as an unprivileged
# user, listening only on a Unix socket in that folder (no TCP port).
#   pgserver.sh start DIR   prints the connection string of the running server
#   pgserver.sh stop DIR    stops it and removes DIR
# The server also stops by itself when the process that started it (the test run) is gone.
set -euo pipefail
cmd=${1:-}; dir=${2:-}
[ -n "$cmd" ] && [ -n "$dir" ] || { echo "usage: $0 start|stop DIR" >&2; exit 2; }
bin=$(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V | tail -1 || true)
# Where no server can be started the run goes on: the server tests then report skipped.
skip() { echo "SKIPPED: no test server: $*"; exit 0; }
[ -x "$bin/initdb" ] || { [ "$cmd" = stop ] && { rm -rf "$dir"; exit 0; }; skip "PostgreSQL server programs not found"; }

as_owner() {
  if [ "$(id -u)" -eq 0 ]; then runuser -u postgres -- "$@"; else "$@"; fi
}

case "$cmd" in
start)
  # A server left by a run that was cut short goes first.
  [ -d "$dir/data" ] && as_owner "$bin/pg_ctl" -D "$dir/data" -m immediate stop >/dev/null 2>&1 || true
  rm -rf "$dir"
  mkdir -p "$dir"
  [ "$(id -u)" -eq 0 ] && chown postgres "$dir"
  cd "$dir" # the server's user may not enter the folder the run started in
  as_owner "$bin/initdb" -D "$dir/data" -U kadrol -A trust -E UTF8 --locale=C.UTF-8 >"$dir/initdb.log" 2>&1 \
    || { cat "$dir/initdb.log" >&2; skip "initdb failed"; }
  as_owner "$bin/pg_ctl" -D "$dir/data" -l "$dir/server.log" -w -t 60 \
    -o "-c listen_addresses='' -k $dir -c fsync=off -c synchronous_commit=off -c max_connections=60" start >/dev/null \
    || { cat "$dir/server.log" >&2; skip "the server did not start"; }
  # A watchdog stops the server when the test run that started it ends, however it ends.
  parent=${PGSERVER_OWNER_PID:-$PPID}
  ( trap '' HUP; while kill -0 "$parent" 2>/dev/null && [ -d "$dir/data" ]; do sleep 2; done
    as_owner "$bin/pg_ctl" -D "$dir/data" -m immediate stop >/dev/null 2>&1 || true
    rm -rf "$dir" ) </dev/null >/dev/null 2>&1 &
  echo "host=$dir user=kadrol dbname=postgres"
  ;;
stop)
  [ -d "$dir/data" ] && as_owner "$bin/pg_ctl" -D "$dir/data" -m fast stop >/dev/null 2>&1 || true
  rm -rf "$dir"
  ;;
*) echo "usage: $0 start|stop DIR" >&2; exit 2 ;;
esac

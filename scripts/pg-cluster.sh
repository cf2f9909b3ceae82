#!/usr/bin/env bash
# A throwaway PostgreSQL cluster for the tests, in a folder of its own:
#
#   scripts/pg-cluster.sh start DIR   makes and starts it; prints its libpq connection string
#   scripts/pg-cluster.sh stop DIR    stops it and removes DIR
#
# The cluster has the superuser role tarvino, trusts every local connection and listens only on a
# Unix socket in DIR (no TCP port, so it never meets a server the machine already runs). Data in
# DIR/data, the server's log in DIR/log. Nothing is synced to disk: it lives for one test run.
# PostgreSQL refuses to run as root, so under root the server runs as the system user postgres
# that Debian's package makes, and DIR belongs to that user.
set -euo pipefail

usage() {
  echo "Uso: $0 start|stop CARPETA" >&2
  exit 2
}
fail() {
  echo "pg-cluster: $1" >&2
  exit 1
}

[ $# -eq 2 ] || usage
action=$1
dir=$2
[ -n "$dir" ] || usage
# A folder is ours once this file is in it: only such a folder is ever emptied or removed.
marker=.tarvino-pg-cluster

# The newest server installed by Debian's packages (/usr/lib/postgresql/<version>/bin).
bindir=
for candidate in $(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V); do
  if [ -x "$candidate/initdb" ] && [ -x "$candidate/pg_ctl" ]; then
    bindir=$candidate
  fi
done
[ -n "$bindir" ] || fail "no hay un servidor PostgreSQL instalado (apt-get install postgresql)."

as_owner=()
if [ "$(id -u)" -eq 0 ]; then
  id postgres >/dev/null 2>&1 || fail "falta el usuario del sistema postgres (lo crea el paquete postgresql)."
  as_owner=(runuser -u postgres --)
fi
pg() { "${as_owner[@]}" "$bindir/$1" "${@:2}"; }

# The server's process, when one is alive for DIR. pg_ctl status alone is not enough: a server
# killed outright stays a zombie until its parent reaps it, and a zombie answers to kill -0.
# Read from /proc: a minimal Debian has no ps.
server_pid() {
  local pid stat name state
  pid=$(head -n 1 "$dir/data/postmaster.pid" 2>/dev/null) || return 1
  [[ "$pid" =~ ^[0-9]+$ ]] || return 1
  stat=$(cat "/proc/$pid/stat" 2>/dev/null) || return 1 # "PID (NAME) STATE ..."
  name=${stat#*(}
  name=${name%%)*}
  state=${stat##*) }
  state=${state%% *}
  [ "$name" = postgres ] && [ "$state" != Z ] || return 1
  echo "$pid"
}
running() { server_pid >/dev/null; }

# The folder written out in full, without "..", so the connection string works from anywhere.
case "$dir" in
  /*) ;;
  *) dir="$PWD/$dir" ;;
esac
dir=$(realpath -m -- "$dir")

case "$action" in
start)
  # libpq's "host=…" ends at a space, and the server takes -k inside a quoted option.
  case "$dir" in
    *[[:space:]\'\"\\]*) fail "la carpeta «$dir» tiene espacios o comillas; elija otra." ;;
  esac
  # A Unix socket's path holds at most 107 bytes; the server adds "/.s.PGSQL.5432".
  [ $((${#dir} + 14)) -le 107 ] || fail "la ruta «$dir» es demasiado larga para el socket del servidor."
  if [ -e "$dir" ]; then
    [ -d "$dir" ] || fail "«$dir» existe y no es una carpeta."
    if [ -f "$dir/$marker" ]; then
      running && fail "ya hay un servidor en «$dir»; deténgalo antes con: $0 stop $dir"
      # Left by a run that ended without stopping it: start afresh.
      find "$dir" -mindepth 1 -delete
    elif [ -n "$(ls -A "$dir")" ]; then
      fail "«$dir» no está vacía y no es de este programa; no se toca."
    fi
  fi
  mkdir -p "$dir"
  touch "$dir/$marker"
  # The test programs (root's, or another account's) reach the socket through DIR.
  chmod 0755 "$dir"
  if [ ${#as_owner[@]} -gt 0 ]; then
    chown -R postgres: "$dir"
    runuser -u postgres -- test -w "$dir" ||
      fail "el usuario postgres no llega a «$dir» (¿una carpeta de más arriba es privada?)."
  fi

  # C collation: text sorts by its bytes, as SQLite's does.
  if ! pg initdb -D "$dir/data" -U tarvino --auth=trust -E UTF8 --locale=C --no-sync \
      >"$dir/initdb.log" 2>&1; then
    cat "$dir/initdb.log" >&2
    fail "initdb falló en «$dir/data»."
  fi
  if ! pg pg_ctl start -D "$dir/data" -l "$dir/log" -w -t 60 \
      -o "-c listen_addresses='' -k '$dir' -c fsync=off -c synchronous_commit=off -c full_page_writes=off" \
      >/dev/null; then
    tail -n 20 "$dir/log" >&2 || true
    fail "el servidor no arrancó (registro en «$dir/log»)."
  fi
  echo "host=$dir user=tarvino dbname=postgres"
  ;;
stop)
  [ -e "$dir" ] || exit 0
  if [ ! -f "$dir/$marker" ]; then
    # An empty folder is what a start that failed early leaves.
    rmdir -- "$dir" 2>/dev/null && exit 0
    fail "«$dir» no es una carpeta de $0; no se toca."
  fi
  status=0
  if pid=$(server_pid); then
    if ! pg pg_ctl stop -D "$dir/data" -m immediate -w -t 30 >/dev/null; then
      echo "pg-cluster: el servidor de «$dir» no se detuvo; se termina a la fuerza." >&2
      kill -KILL "$pid" 2>/dev/null || true
      status=1
    fi
  fi
  rm -rf -- "$dir"
  exit "$status"
  ;;
*)
  usage
  ;;
esac

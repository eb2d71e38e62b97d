#!/usr/bin/env bash
# Runs COMMAND with real databases behind it:
#   - a private unixODBC configuration that registers the SQLite ODBC driver under
#     the name "Microsoft Access Driver (*.mdb)" and psqlODBC (Unicode) under
#     "SQL Server" (the system's /etc/odbcinst.ini is never read or written);
#   - a throw-away PostgreSQL server on 127.0.0.1 and a free port, trust
#     authentication, superuser "postgres", with an empty database "ingestor_test".
# COMMAND sees INGESTOR_TEST_ODBCSYSINI (the configuration folder; ODBC tests point
# ODBCSYSINI at it themselves, since unixODBC reads it once per process),
# INGESTOR_TEST_PG_PORT, PGHOST, PGPORT, PGUSER (psqlODBC leaves a port missing from
# its connection string to these) and INGESTOR_TEST_ALL_BACKENDS=1 (tests fail
# rather than skip when a route is missing).
# The server is stopped and every temporary file removed on any exit, Ctrl-C
# included; the exit status is COMMAND's.
#
# Usage: tests/db/with-databases.sh COMMAND [ARG...]
# Needs the Debian packages libsqliteodbc, odbc-postgresql and postgresql. As root the
# server runs as the "postgres" system user (initdb and postgres refuse root).
set -u

die() {
  echo "with-databases: $*" >&2
  exit 2
}

[ $# -gt 0 ] || die "usage: $0 COMMAND [ARG...]"

first_match() {
  local f
  for f in "$@"; do
    if [ -e "$f" ]; then
      echo "$f"
      return 0
    fi
  done
  return 1
}

sqlite_driver=$(first_match /usr/lib/*/odbc/libsqlite3odbc.so /usr/lib/odbc/libsqlite3odbc.so) ||
  die "SQLite ODBC driver libsqlite3odbc.so not found (Debian package libsqliteodbc)"
pg_driver=$(first_match /usr/lib/*/odbc/psqlodbcw.so /usr/lib/odbc/psqlodbcw.so) ||
  die "PostgreSQL ODBC driver psqlodbcw.so not found (Debian package odbc-postgresql)"
# The newest installed server version.
pg_bin=$(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V | tail -n 1)
[ -n "$pg_bin" ] && [ -x "$pg_bin/initdb" ] && [ -x "$pg_bin/postgres" ] ||
  die "PostgreSQL server not found under /usr/lib/postgresql (Debian package postgresql)"

as_server_user=()
if [ "$(id -u)" = 0 ]; then
  getent passwd postgres >/dev/null || die "running as root but there is no 'postgres' user"
  as_server_user=(runuser -u postgres --)
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/ingestor-db.XXXXXX") || die "cannot create a temporary folder"
# The server user must reach its own subfolder.
chmod 755 "$work"
odbc_dir="$work/odbc"
pg_dir="$work/pg"
mkdir -p "$odbc_dir" "$pg_dir"
if [ ${#as_server_user[@]} -gt 0 ]; then
  chown postgres: "$pg_dir"
fi

server_pid=""
launcher_pid=""

stop_server() {
  # Interrupted while starting: the server may be up without being known yet.
  if [ -z "$server_pid" ] && [ -n "$launcher_pid" ]; then
    server_pid=$(head -n 1 "$pg_dir/data/postmaster.pid" 2>/dev/null)
  fi
  if [ -n "$server_pid" ] && kill -0 "$server_pid" 2>/dev/null; then
    # SIGINT: fast shutdown (open sessions are ended, nothing is left to recover).
    kill -INT "$server_pid" 2>/dev/null
    local i
    for i in $(seq 1 100); do
      kill -0 "$server_pid" 2>/dev/null || break
      sleep 0.1
    done
    if kill -0 "$server_pid" 2>/dev/null; then
      kill -QUIT "$server_pid" 2>/dev/null
      sleep 1
      kill -KILL "$server_pid" 2>/dev/null
    fi
  fi
  server_pid=""
  if [ -n "$launcher_pid" ]; then
    # The launcher (runuser, or the server itself) ends with the server; a
    # server still starting up is told to stop through it.
    kill -0 "$launcher_pid" 2>/dev/null && kill -TERM "$launcher_pid" 2>/dev/null
    wait "$launcher_pid" 2>/dev/null
    launcher_pid=""
  fi
}

cleanup() {
  stop_server
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM
trap 'exit 129' HUP

# --- ODBC configuration -------------------------------------------------------
cat >"$odbc_dir/odbcinst.ini" <<EOF
[ODBC]
Trace=No

[Microsoft Access Driver (*.mdb)]
Description=SQLite 3 through ODBC, standing in for the desktop database driver
Driver=$sqlite_driver
Setup=$sqlite_driver

[SQL Server]
Description=PostgreSQL (Unicode) standing in for the server database driver
Driver=$pg_driver
EOF
: >"$odbc_dir/odbc.ini"

# --- PostgreSQL ---------------------------------------------------------------
# Runs a command in the server's folder as the server's user; exec keeps the
# pid of a background launch that of runuser (or of the server itself).
in_pg_dir() {
  (cd "$pg_dir" && exec "${as_server_user[@]}" "$@")
}

if ! in_pg_dir "$pg_bin/initdb" -N -D "$pg_dir/data" -A trust -U postgres -E UTF8 --no-locale \
  >"$pg_dir/initdb.log" 2>&1; then
  cat "$pg_dir/initdb.log" >&2
  die "initdb failed"
fi
in_pg_dir mkdir -p "$pg_dir/socket"

# Ports some process is listening on (IPv4 and IPv6).
listening_ports() {
  cat /proc/net/tcp /proc/net/tcp6 2>/dev/null |
    awk 'NR > 1 && $4 == "0A" { split($2, a, ":"); print a[2] }' |
    while read -r hex; do echo $((16#$hex)); done
}

port=""
for attempt in $(seq 1 20); do
  candidate=$((20000 + RANDOM % 40000))
  if listening_ports | grep -qx "$candidate"; then
    continue
  fi
  : >"$pg_dir/server.log"
  in_pg_dir "$pg_bin/postgres" -D "$pg_dir/data" -h 127.0.0.1 -p "$candidate" \
    -k "$pg_dir/socket" -c fsync=off -c full_page_writes=off >>"$pg_dir/server.log" 2>&1 &
  launcher_pid=$!
  # Ready, or gone (most often: the port was taken between the check and the bind).
  for i in $(seq 1 300); do
    if ! kill -0 "$launcher_pid" 2>/dev/null; then
      break
    fi
    if "$pg_bin/pg_isready" -q -h 127.0.0.1 -p "$candidate" -U postgres; then
      port=$candidate
      break
    fi
    sleep 0.1
  done
  if [ -n "$port" ]; then
    break
  fi
  kill -0 "$launcher_pid" 2>/dev/null && {
    cat "$pg_dir/server.log" >&2
    die "PostgreSQL did not accept connections within 30 seconds"
  }
  wait "$launcher_pid" 2>/dev/null
  launcher_pid=""
done
if [ -z "$port" ]; then
  cat "$pg_dir/server.log" >&2
  die "PostgreSQL could not be started"
fi
server_pid=$(head -n 1 "$pg_dir/data/postmaster.pid" 2>/dev/null)

if ! "$pg_bin/createdb" -h 127.0.0.1 -p "$port" -U postgres ingestor_test; then
  die "could not create the database ingestor_test"
fi

export INGESTOR_TEST_ODBCSYSINI="$odbc_dir"
export INGESTOR_TEST_PG_PORT="$port"
export INGESTOR_TEST_ALL_BACKENDS=1
export PGHOST=127.0.0.1
export PGPORT="$port"
export PGUSER=postgres

"$@"
status=$?
exit "$status"

# Sourced by test.sh (or by hand): a throw-away PostgreSQL 15 cluster for the service
# tests, owned by an unprivileged user and reachable only through a private Unix socket
# folder. calvestra_pg_start exports CALVESTRA_TEST_PG (the maintenance database's
# address); calvestra_pg_stop stops the server and removes its folder.
#   . tools/pg-test-cluster.sh && calvestra_pg_start && trap calvestra_pg_stop EXIT

CALVESTRA_PG_BIN=${CALVESTRA_PG_BIN:-/usr/lib/postgresql/15/bin}

calvestra_pg_available() {
  [ -x "$CALVESTRA_PG_BIN/initdb" ] && [ -x "$CALVESTRA_PG_BIN/pg_ctl" ]
}

# Runs a command as the cluster's owner: the server refuses to run as root.
calvestra_pg_as_owner() {
  if [ "$(id -u)" -eq 0 ]; then
    runuser -u "$CALVESTRA_PG_OWNER" -- "$@"
  else
    "$@"
  fi
}

calvestra_pg_start() {
  calvestra_pg_available || { echo "PostgreSQL 15 is not installed ($CALVESTRA_PG_BIN)" >&2; return 1; }
  CALVESTRA_PG_OWNER=$(id -un)
  if [ "$(id -u)" -eq 0 ]; then
    CALVESTRA_PG_OWNER=postgres
    id -u postgres >/dev/null 2>&1 || useradd --system --no-create-home --shell /usr/sbin/nologin postgres
  fi
  CALVESTRA_PG_DIR=$(mktemp -d /tmp/calvestra-pg.XXXXXX)
  chmod 700 "$CALVESTRA_PG_DIR"
  mkdir -p "$CALVESTRA_PG_DIR/socket"
  chown -R "$CALVESTRA_PG_OWNER" "$CALVESTRA_PG_DIR"
  calvestra_pg_as_owner "$CALVESTRA_PG_BIN/initdb" -D "$CALVESTRA_PG_DIR/data" -U calvestra \
    --auth=trust --no-sync -E UTF8 --locale=C >"$CALVESTRA_PG_DIR/initdb.log" 2>&1 ||
    { cat "$CALVESTRA_PG_DIR/initdb.log" >&2; return 1; }
  # No TCP at all; the socket folder is the cluster owner's alone. The tests' data
  # are thrown away, so durability is traded for speed.
  calvestra_pg_as_owner "$CALVESTRA_PG_BIN/pg_ctl" -D "$CALVESTRA_PG_DIR/data" -l "$CALVESTRA_PG_DIR/server.log" -w \
    -o "-c listen_addresses='' -c unix_socket_directories=$CALVESTRA_PG_DIR/socket -c unix_socket_permissions=0700 -c fsync=off -c synchronous_commit=off -c full_page_writes=off -c max_connections=400" \
    start >/dev/null || { cat "$CALVESTRA_PG_DIR/server.log" >&2; return 1; }
  export CALVESTRA_TEST_PG="postgresql://calvestra@/postgres?host=$CALVESTRA_PG_DIR/socket"
  export CALVESTRA_PG_DIR
}

calvestra_pg_stop() {
  [ -n "${CALVESTRA_PG_DIR:-}" ] && [ -d "$CALVESTRA_PG_DIR" ] || return 0
  # Also from another shell than the one that started it (the benchmarks' own).
  CALVESTRA_PG_OWNER=${CALVESTRA_PG_OWNER:-$(stat -c %U "$CALVESTRA_PG_DIR/data")}
  calvestra_pg_as_owner "$CALVESTRA_PG_BIN/pg_ctl" -D "$CALVESTRA_PG_DIR/data" -m immediate -w stop >/dev/null 2>&1 || true
  rm -rf "$CALVESTRA_PG_DIR"
  unset CALVESTRA_PG_DIR CALVESTRA_TEST_PG
}

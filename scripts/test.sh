#!/usr/bin/env bash
# Installs what is missing, builds, starts a throwaway PostgreSQL server on loopback and
# runs every test against the embedded database and that server. Fails when the server
# cannot be started. TAVRELL_BUILD_DIR and TAVRELL_CMAKE_ARGS as for scripts/build.sh.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
scripts/install-deps.sh
scripts/build.sh

pgdir=$(mktemp -d /tmp/tavrell-pg.XXXXXX)
port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])' 2>/dev/null || echo 55432)
cleanup() { "$root/scripts/pg-test-server.sh" stop "$pgdir"; rm -rf "$pgdir"; }
trap cleanup EXIT
if ! "$root/scripts/pg-test-server.sh" start "$pgdir" "$port"; then
  echo "The test PostgreSQL server could not be started." >&2
  exit 1
fi
export TAVRELL_TEST_PGSERVER="host=127.0.0.1 port=$port user=postgres"
export QT_QPA_PLATFORM=offscreen
# This command provides the test server and every tool the tests use: a test that would skip
# for want of one fails instead.
export CI=${CI:-1}
cd "$root/${TAVRELL_BUILD_DIR:-build}"
ctest --output-on-failure -j2

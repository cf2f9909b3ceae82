#!/usr/bin/env bash
# Installs what is missing, builds Tarvino with its tests and runs every test headless. The tests
# of the server engine run against a throwaway PostgreSQL cluster started here and stopped at the
# end, whatever happens; a caller that already has one names it in TARVINO_TEST_SERVER (a libpq
# connection string) and it is used instead.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-deps.sh"
"$root/scripts/build.sh"
if [ -z "${TARVINO_TEST_SERVER:-}" ]; then
  # Under /tmp: the server's socket lives in this folder, and a socket's path is short.
  cluster=$(mktemp -d /tmp/tarvino-pg.XXXXXX)
  trap '"$root/scripts/pg-cluster.sh" stop "$cluster"' EXIT
  TARVINO_TEST_SERVER=$("$root/scripts/pg-cluster.sh" start "$cluster")
  export TARVINO_TEST_SERVER
fi
cd "$root/build"
QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j"$(nproc)"

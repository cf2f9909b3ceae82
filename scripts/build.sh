#!/usr/bin/env bash
# Configures and builds Tarvino into build/ (the program and its bd1 live in build/bin).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cmake -S "$root" -B "$root/build" -DCMAKE_BUILD_TYPE="${BUILD_TYPE:-RelWithDebInfo}" >/dev/null
cmake --build "$root/build" -j"$(nproc)"

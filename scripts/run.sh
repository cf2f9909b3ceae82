#!/usr/bin/env bash
# Installs what is missing, builds Tarvino and starts it.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-deps.sh"
"$root/scripts/build.sh"
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "No hay una pantalla gráfica: Tarvino se inicia en una pantalla virtual (Xvfb)." >&2
  exec xvfb-run -a -s "-screen 0 1280x1024x24" "$root/build/bin/tarvino"
fi
exec "$root/build/bin/tarvino"

#!/usr/bin/env bash
# Tries the Debian package as a new shop would: makes it (package.sh), checks it with lintian,
# unpacks it into a temporary root and starts the program from there on a virtual display, in a
# new home folder. The program must make its data folder and bd1 there; a product is added with
# the sqlcipher shell; then, at the keyboard as a cashier does, admin logs in, sells one unit,
# pays in cash and leaves the program, which closes the day and leaves a copy in the data folder,
# not beside the program.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)

if [ "${1:-}" != "--en-pantalla" ]; then
  "$root/scripts/package.sh"
  "$root/scripts/install-deps.sh" lintian xdotool xvfb xauth sqlcipher x11-apps
  deb=$(ls "$root"/tarvino_*_amd64.deb | head -n 1)
  echo "== $(basename "$deb"): $(stat -c %s "$deb") bytes"
  dpkg-deb -f "$deb" Installed-Size Depends | sed 's/^/   /'
  echo "== lintian"
  lintian --fail-on error "$deb" || { echo "lintian encontró errores." >&2; exit 1; }
  work=$(mktemp -d)
  trap 'rm -rf "$work"' EXIT
  dpkg-deb -x "$deb" "$work/raiz"
  xvfb-run -a -s "-screen 0 1366x768x24" "$0" --en-pantalla "$work"
  exit 0
fi

work=$2
program="$work/raiz/usr/bin/tarvino"
export HOME="$work/casa"
unset XDG_DATA_HOME
mkdir -p "$HOME"
data="$HOME/.local/share/tarvino"
key="PRAGMA key='QmK482';"

fail() {
  echo "$1" >&2
  if command -v xwd >/dev/null; then
    xwd -root -silent > "$root/try-package-pantalla.xwd" &&
      echo "Pantalla guardada en $root/try-package-pantalla.xwd" >&2
  fi
  exit 1
}
# Waits up to 20 s for a condition.
until_true() {
  for _ in $(seq 100); do
    if eval "$1"; then return 0; fi
    sleep 0.2
  done
  fail "No ocurrió: $2"
}
windows() { xdotool search --onlyvisible --name "$1" 2>/dev/null | wc -l; }
# Keys to the program's window that has the keyboard, as a cashier types them.
keys() {
  local window
  window=$(xdotool search --onlyvisible --name "$1" | tail -n 1)
  xdotool windowfocus --sync "$window"
  shift
  for k in "$@"; do
    case "$k" in
      text:*) xdotool type --delay 60 "${k#text:}" ;;
      *) xdotool key --delay 60 "$k" ;;
    esac
    sleep 0.3
  done
}
sql() { sqlcipher "$data/bd1" "$key $1" | tail -n 1; }

echo "== --version y --help sin pantalla"
env -u DISPLAY "$program" --version
env -u DISPLAY "$program" --help | head -n 1

echo "== primer inicio"
"$program" &
pid=$!
until_true '[ "$(windows "^Tarvino 1.0$")" -ge 1 ]' "la pregunta de crear la base de datos"
keys "^Tarvino 1.0$" Return
until_true '[ -f "$data/bd1" ]' "bd1 en $data"
until_true '[ "$(windows "^TARVINO 1.0$")" -ge 1 ]' "la ventana de ingreso"
sql "INSERT INTO Productos (CodigoProducto, NombreProducto, Cantidad, PrecioCosto, PrecioVenta,
     StockCritico, Categoria) VALUES ('100', 'Leche', 10, 700, 990, 2, 'Almacén');" >/dev/null

echo "== ingreso, venta y cobro"
keys "^TARVINO 1.0$" text:admin Tab text:admin Return
sleep 2
keys "^TARVINO 1.0$" text:100 Return
until_true '[ "$(sql "SELECT count(*) FROM Temporal;")" = 0 ]' "la venta sin registrar aún"
# PAGAR follows the code box in the keyboard order (the quantity box is off).
keys "^TARVINO 1.0$" Tab Tab Return
sleep 1
keys "^TARVINO 1.0$" text:5000 Return Return
until_true '[ "$(sql "SELECT count(*) FROM Temporal;")" = 1 ]' "la venta registrada"

echo "== salida: cierre del día y copia"
window=$(xdotool search --onlyvisible --name "^TARVINO 1.0$" | tail -n 1)
python3 "$root/scripts/close-window.py" "$window"
until_true '[ "$(windows "^Confirmación$")" -ge 1 ]' "la pregunta de salida"
keys "^Confirmación$" Return
until_true '! kill -0 $pid 2>/dev/null' "el fin del programa"
wait "$pid" || true

test "$(sql "SELECT count(*) FROM Recaudacion;")" = 1 || fail "el día no quedó cerrado"
copies=$(ls "$data/respaldos" 2>/dev/null | wc -l)
test "$copies" = 1 || fail "no hay copia en $data/respaldos"
test ! -e "$work/raiz/usr/bin/bd1" && test ! -e "$work/raiz/usr/bin/respaldos" ||
  fail "hay datos junto al programa"
echo "Datos en $data:"
ls -A "$data" "$data/respaldos" | sed 's/^/   /'
echo "El paquete funcionó como en un comercio nuevo."

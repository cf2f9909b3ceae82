#!/usr/bin/env bash
# Builds Tarvino against SQLCipher 4.5.5 (the SQLCipher the next Debian ships; its sources come
# from the npm package @commapp/sqlcipher-amalgamation) in build-sqlcipher4/, runs the conversion
# tests there with those of start-up and record sets, and hands one shop folder back and forth
# between that build and the normal one (build/, against this system's SQLCipher 3):
#   1. the normal build makes bd1 and records and closes a day;
#   2. the SQLCipher 4 build converts it once (keeping bd1-sqlcipher3), records and closes a day,
#      and its bd1 and copy open with the key alone; a second day converts nothing;
#   3. the normal build refuses the converted file, naming the copy kept from before;
#   4. the normal build goes on with that copy;
#   5. a new shop made by the SQLCipher 4 build opens with the key alone;
#   6. the SQLCipher 4 build, meeting a damaged bd1 still in SQLCipher 3's settings, puts back its
#      copy made by SQLCipher 3, converted, and goes on with it.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-deps.sh" libssl-dev
command -v npm >/dev/null || "$root/scripts/install-deps.sh" npm

build="$root/build-sqlcipher4"
sources="$build/sqlcipher-4.5.5"
if [ ! -f "$sources/sqlite3.c" ]; then
  mkdir -p "$sources"
  (cd "$sources" && npm pack --silent @commapp/sqlcipher-amalgamation@4.5.5 >/dev/null &&
    tar xzf commapp-sqlcipher-amalgamation-4.5.5.tgz --strip-components=2 package/src/sqlite3.c package/src/sqlite3.h)
fi
# ccache, when there, keeps a second run from compiling SQLCipher's 8 MB source again.
launcher=()
if command -v ccache >/dev/null; then
  launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTARVINO_SQLCIPHER_SOURCE="$sources" \
  "${launcher[@]}" >/dev/null
cmake --build "$build" -j"$(nproc)" --target tarvino tarvino_shop_file test_cipher_format test_startup test_recordset
cmake -S "$root" -B "$root/build" -DCMAKE_BUILD_TYPE="${BUILD_TYPE:-RelWithDebInfo}" "${launcher[@]}" >/dev/null
cmake --build "$root/build" -j"$(nproc)" --target tarvino_shop_file
# The conversion, and opening, refusing and reading files, on SQLCipher 4.
(cd "$build" && QT_QPA_PLATFORM=offscreen ctest -R '^(test_cipher_format|test_startup|test_recordset)$' --output-on-failure -j"$(nproc)")

three="$root/build/bin/tarvino_shop_file"
four="$build/bin/tarvino_shop_file"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
shop="$work/tienda"
mkdir -p "$shop"

step() { echo; echo "== $1"; }
expect() { # expect TEXT FILE
  grep -qF -- "$1" "$2" || { echo "Falta «$1» en la salida." >&2; exit 1; }
}

step "1. SQLCipher 3: un comercio nuevo, un día con una venta"
"$three" "$shop" | tee "$work/1"
expect "SQLCipher 3." "$work/1"
expect "Ventas cerradas en bd1: 1;" "$work/1"

# Kept for step 6: the shop as SQLCipher 3 left it, bd1 and its copy.
cp -a "$shop" "$work/danado"

step "2. SQLCipher 4: el mismo archivo, convertido una vez"
"$four" "$shop" | tee "$work/2"
expect "SQLCipher 4.5.5" "$work/2"
expect "se convirtió al cifrado de SQLCipher 4.5.5" "$work/2"
expect "Ventas cerradas en bd1: 2;" "$work/2"
test -f "$shop/bd1-sqlcipher3"
"$four" "$shop" | tee "$work/2b"
if grep -q "se convirtió" "$work/2b"; then echo "Se convirtió dos veces." >&2; exit 1; fi
expect "Ventas cerradas en bd1: 3;" "$work/2b"

step "3. SQLCipher 3: el archivo convertido se rechaza con un mensaje claro"
set +e
"$three" "$shop" | tee "$work/3"
status=${PIPESTATUS[0]}
set -e
test "$status" -eq 1
expect "convirtió" "$work/3"
expect "bd1-sqlcipher3" "$work/3"
if grep -q "copia de respaldo más reciente" "$work/3"; then
  echo "Se ofreció una copia que SQLCipher 3 no puede leer." >&2; exit 1
fi

step "4. SQLCipher 3: sigue con el archivo guardado antes de la conversión"
old="$work/anterior"
mkdir -p "$old"
cp "$shop/bd1-sqlcipher3" "$old/bd1"
"$three" "$old" | tee "$work/4"
expect "Ventas cerradas en bd1: 2;" "$work/4"

step "5. SQLCipher 4: un comercio nuevo se abre con la clave sola"
mkdir -p "$work/nuevo"
"$four" "$work/nuevo" | tee "$work/5"
expect "Ventas cerradas en bd1: 1;" "$work/5"

step "6. SQLCipher 4: un bd1 de SQLCipher 3 dañado se reemplaza por su copia de SQLCipher 3"
damaged="$work/danado"
rm -f "$damaged/bd1-wal" "$damaged/bd1-shm"
# 64 bytes in the middle of the second page (the products): it no longer decrypts.
head -c 64 /dev/zero | tr '\0' 'Z' | dd of="$damaged/bd1" bs=1 seek=1324 conv=notrunc status=none
"$four" "$damaged" | tee "$work/6"
expect "¿Desea volver a esa copia?" "$work/6"
expect "Ventas cerradas en bd1: 2;" "$work/6"
test -f "$damaged/bd1-apartado-1"

echo
echo "El archivo pasó de SQLCipher 3 a SQLCipher 4 y de vuelta como se esperaba."

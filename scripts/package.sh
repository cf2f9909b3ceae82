#!/usr/bin/env bash
# Installs what is missing, builds Tarvino in build-package/ and makes the Debian package
# tarvino_<version>_amd64.deb in the project folder.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-deps.sh" dpkg-dev file librsvg2-bin lintian desktop-file-utils

# Debian's own compiler and linker flags (hardening) for a program that is installed.
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
eval "$(dpkg-buildflags --export=sh)"

build="$root/build-package"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTARVINO_PACKAGE=ON \
  -DCMAKE_CXX_FLAGS="$CXXFLAGS $CPPFLAGS" -DCMAKE_EXE_LINKER_FLAGS="$LDFLAGS" \
  -DCMAKE_INSTALL_PREFIX=/usr -DCMAKE_SKIP_INSTALL_ALL_DEPENDENCY=ON >/dev/null
cmake --build "$build" -j"$(nproc)" --target tarvino package_files
desktop-file-validate "$root/packaging/tarvino.desktop"
(cd "$build" && cpack -G DEB >/dev/null)

deb=$(ls "$build"/tarvino_*_amd64.deb)
cp "$deb" "$root/"
echo "Paquete: $root/$(basename "$deb")"

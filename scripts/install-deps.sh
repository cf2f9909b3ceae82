#!/usr/bin/env bash
# Installs the Debian packages Tarvino needs to build, test and run, and any named as arguments;
# does nothing when all are present.
set -euo pipefail

packages=(
  build-essential cmake pkg-config
  qt6-base-dev qt6-base-dev-tools qt6-qpa-plugins qt6-translations-l10n libgl-dev
  # The charts of the drawer's counts (ARQUEOS DE CAJA). Qt Charts' CMake files need Qt OpenGL's,
  # which Debian 12's qt6-charts-dev does not pull in.
  qt6-charts-dev libqt6opengl6-dev
  libsqlcipher-dev sqlcipher
  zlib1g-dev
  libsodium-dev
  fonts-liberation
  xvfb xauth
  unzip locales
  # Only the stock benchmark uses it: its reference export is written with libxlsxwriter.
  libxlsxwriter-dev
  # The database server a shop with several tills shares; the tests start a throwaway one
  # (scripts/pg-cluster.sh).
  postgresql libpq-dev
)
# A caller may ask for more (the package's tools).
packages+=("$@")

# The locales the tests read and write numbers in, besides the C library's own.
wanted_locales=(es_CL.UTF-8 en_US.UTF-8)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

missing_locales=()
for l in "${wanted_locales[@]}"; do
  # locale -a names them in lower case without the hyphen: es_CL.utf8.
  if ! locale -a 2>/dev/null | grep -qix "${l%%.*}.utf8"; then
    missing_locales+=("$l")
  fi
done

if [ ${#missing[@]} -eq 0 ] && [ ${#missing_locales[@]} -eq 0 ]; then
  exit 0
fi

as_root=()
if [ "$(id -u)" -ne 0 ]; then
  as_root=(sudo)
fi
if [ ${#missing[@]} -gt 0 ]; then
  echo "Instalando: ${missing[*]}"
  "${as_root[@]}" apt-get update -qq
  # Debian's postgresql package makes a server of its own on port 5432 and starts it. The tests
  # never use that one, and on a machine without systemd (a container) its start may fail and
  # with it the whole install: while installing, a policy-rc.d that refuses every start keeps
  # services down, unless the machine already has a policy of its own.
  policy=/usr/sbin/policy-rc.d
  if [[ " ${missing[*]} " == *" postgresql "* ]] && [ ! -e "$policy" ]; then
    trap '"${as_root[@]}" rm -f "$policy"' EXIT
    printf '#!/bin/sh\n# Put by Tarvino'"'"'s install-deps.sh while it installs; removed after.\nexit 101\n' |
      "${as_root[@]}" tee "$policy" >/dev/null
    "${as_root[@]}" chmod 755 "$policy"
  fi
  DEBIAN_FRONTEND=noninteractive "${as_root[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
if [ ${#missing_locales[@]} -gt 0 ]; then
  echo "Generando los locales: ${missing_locales[*]}"
  for l in "${missing_locales[@]}"; do
    line="$l UTF-8"
    if grep -q "^# *$line" /etc/locale.gen; then
      "${as_root[@]}" sed -i "s/^# *$line/$line/" /etc/locale.gen
    elif ! grep -q "^$line" /etc/locale.gen; then
      echo "$line" | "${as_root[@]}" tee -a /etc/locale.gen >/dev/null
    fi
  done
  "${as_root[@]}" locale-gen
fi

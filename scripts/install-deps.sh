#!/usr/bin/env bash
# Installs the Debian packages the project needs, when they are missing.
set -euo pipefail
packages=(
  build-essential cmake ninja-build ccache pkg-config clang-format
  qt6-base-dev qt6-base-dev-tools qt6-translations-l10n libgl-dev
  libsqlite3-dev sqlite3 libjpeg-dev
  libpq-dev postgresql
  xvfb xauth x11-apps imagemagick fonts-dejavu-core fonts-liberation xdg-utils poppler-utils
  g++-mingw-w64-x86-64 wine64 wine
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
echo "Installing: ${missing[*]}"
SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO="sudo"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"

#!/usr/bin/env bash
# Installs from Debian's packages what a fresh Debian 12 machine lacks to build, run and
# test Tavrell. Does nothing when everything is there.
set -euo pipefail
packages=(
  build-essential cmake ninja-build pkg-config dpkg-dev desktop-file-utils lintian clang-format
  qt6-base-dev qt6-base-dev-tools libqt6sql6-sqlite libqt6sql6-psql libgl-dev
  qt6-translations-l10n
  libsqlite3-dev sqlite3
  postgresql libpq-dev
  xdg-utils
  poppler-utils unzip
  libreoffice-writer-nogui
  xvfb xauth imagemagick xdotool
  adwaita-icon-theme
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
echo "Installing: ${missing[*]}"
SUDO=""
[ "$(id -u)" = 0 ] || SUDO="sudo"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"

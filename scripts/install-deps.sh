#!/usr/bin/env bash
# Installs the Debian 12 packages that building, running, testing and
# packaging morvax-tool need (clang and its runtime for scripts/fuzz.sh; the
# validators of the desktop entry and the metainfo, dpkg-shlibdeps and file
# for cpack -G DEB; Qt's SQLite and PostgreSQL drivers for the journal, and
# a PostgreSQL server, which the line-journal tests start privately). Runs
# apt-get only when something is missing.
set -euo pipefail

PACKAGES=(
  build-essential cmake pkg-config
  qt6-base-dev libgl-dev libqt6sql6-sqlite libqt6sql6-psql
  libhidapi-dev libudev-dev
  fonts-liberation
  xvfb xauth imagemagick x11-utils
  clang libclang-rt-dev
  desktop-file-utils appstream dpkg-dev file
  postgresql
)

missing=()
for p in "${PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

SUDO=""
if [ "$(id -u)" -ne 0 ]; then
  SUDO="sudo"
fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"

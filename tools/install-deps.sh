#!/usr/bin/env bash
# Installs what building and testing need on a Debian-like machine.
set -euo pipefail
packages=(
  cmake g++ make pkg-config
  libwxgtk3.2-dev libgtk-3-dev libx11-dev libxtst-dev
  libgtest-dev googletest
  xvfb xauth adwaita-icon-theme openbox
  g++-mingw-w64-x86-64 wine64 nsis icoutils
  desktop-file-utils appstream dpkg-dev file x11-utils man-db util-linux
  srecord binutils
  gettext
  ser2net
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
echo "Installing: ${missing[*]}"
$SUDO apt-get update
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y --no-install-recommends "${missing[@]}"

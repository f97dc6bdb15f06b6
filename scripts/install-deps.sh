#!/usr/bin/env bash
# Installs the Debian packages serbox needs to build, test and run. Does nothing
# when they are all present; uses sudo when not run as root.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config
  qt6-base-dev qt6-base-dev-tools qt6-serialport-dev qt6-qpa-plugins libgl-dev libx11-dev fonts-dejavu-core
  libgtest-dev googletest
  clang libclang-rt-14-dev
  xvfb xdotool x11-utils imagemagick
  openbox x11-xkb-utils xkb-data x11-apps dbus-daemon dbus-bin at-spi2-core python3-gi gir1.2-atspi-2.0
  dpkg-dev file ser2net
  g++-mingw-w64-x86-64-posix wine64 nsis qt6-translations-l10n
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
if [ "$(id -u)" -ne 0 ]; then
  sudo="sudo"
fi
echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"

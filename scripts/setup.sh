#!/usr/bin/env bash
# Installs what a fresh Debian 12 machine lacks and builds everything.
# Usage: scripts/setup.sh [build-dir]
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$here/build}

packages=(
  g++ cmake ninja-build pkg-config
  # clang with libFuzzer: the fuzz test of the image readers
  clang libclang-rt-14-dev
  libicu-dev libgtest-dev libgmock-dev
  qt6-base-dev qt6-base-dev-tools qt6-svg-dev libgl-dev
  # Qt's own Japanese texts (file dialogs, standard buttons)
  qt6-translations-l10n
  # the Debian package: dpkg-shlibdeps computes its Depends
  dpkg-dev file
  # independent readers used by the interop tests
  genisoimage xorriso p7zip-full udftools libarchive-tools python3 python3-pycdlib
  # benchmarks and screenshots
  time hyperfine xvfb fonts-noto-cjk
  # a private session bus for the screen saver test
  dbus-daemon
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo=sudo
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build "$build"

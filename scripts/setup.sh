#!/usr/bin/env bash
# Installs what a fresh Debian 12 machine lacks to build and run the two
# programs, and builds parumero-cli and parumero into build/ -- nothing else:
# scripts/test.sh adds what the tests, the fuzz target and the package need.
# Usage: scripts/setup.sh [build-dir]
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$here/build}

toolchain=(g++ cmake ninja-build libicu-dev)
desktop=(
  qt6-base-dev qt6-base-dev-tools qt6-svg-dev libgl-dev
  # Qt's own Japanese texts (file dialogs, standard buttons)
  qt6-translations-l10n
)
# Unity batches of 12 files read the headers once a batch: half the
# processor time of one file at a time, with batches enough for both cores.
configure() {
  cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPARUMERO_TESTS=OFF \
        -DCMAKE_UNITY_BUILD=ON -DCMAKE_UNITY_BUILD_BATCH_SIZE=12 "$@"
}

"$here/scripts/apt-install.sh" "${toolchain[@]}"
if [ -f "$build/CMakeCache.txt" ]; then
  # A folder made before (by this script or scripts/test.sh) keeps its
  # settings, tests included, and its objects.
  "$here/scripts/apt-install.sh" "${desktop[@]}"
else
  # On a fresh machine the core and parumero-cli compile while the desktop
  # program's packages download and install: the first image came 40% sooner
  # in a fresh Debian 12 (see the README).
  configure -DPARUMERO_GUI=OFF >/dev/null
  mkdir -p "$build"
  cmake --build "$build" --target parumero-cli >"$build/first-build.log" 2>&1 &
  core=$!
  "$here/scripts/apt-install.sh" "${desktop[@]}" || { kill "$core" 2>/dev/null; wait "$core" || true; exit 1; }
  wait "$core" || { cat "$build/first-build.log" >&2; exit 1; }
  configure -DPARUMERO_GUI=ON
fi
cmake --build "$build" --target parumero-cli parumero

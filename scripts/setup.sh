#!/usr/bin/env bash
# Installs what a fresh Debian 12 machine lacks to build and run the two
# programs, and builds parumero-cli and parumero into build/ -- nothing else:
# scripts/test.sh adds what the tests, the fuzz target and the package need.
# Usage: scripts/setup.sh [build-dir]
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$here/build}

packages=(
  g++ cmake ninja-build libicu-dev
  qt6-base-dev qt6-base-dev-tools qt6-svg-dev libgl-dev
  # Qt's own Japanese texts (file dialogs, standard buttons)
  qt6-translations-l10n
)
"$here/scripts/apt-install.sh" "${packages[@]}"

# A new build folder starts without the tests; one that scripts/test.sh has
# configured keeps them (and its objects). Unity batches of 12 files read the
# headers once a batch: half the processor time of one file at a time, with
# batches enough left for both cores.
if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPARUMERO_TESTS=OFF \
        -DCMAKE_UNITY_BUILD=ON -DCMAKE_UNITY_BUILD_BATCH_SIZE=12
fi
cmake --build "$build" --target parumero-cli parumero

#!/usr/bin/env bash
# Builds the Debian package of both programs from a build folder (default
# build/) and prints its path.
# Usage: scripts/package.sh [build-dir]
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$here/build}" && pwd)
cmake --build "$build" -j2 >&2
cd "$build"
cpack -G DEB >&2
ls -t "$build"/parumero_*.deb | head -n 1

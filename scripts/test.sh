#!/usr/bin/env bash
# Builds (installing what is missing) and runs every test: unit, golden,
# interop, fuzz (60 s, when clang is there) and GUI tests, all under CTest.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$here/build}
"$here/scripts/setup.sh" "$build"
cd "$build"
ctest --output-on-failure -j2 "$@"

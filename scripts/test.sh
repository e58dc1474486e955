#!/usr/bin/env bash
# Builds (installing what is missing) and runs every test: unit, golden,
# interop and GUI tests, all under CTest.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$here/build}
"$here/scripts/setup.sh" "$build"
(cd "$build" && ctest --output-on-failure -j2 "$@")

# The whole suite once more under AddressSanitizer and UndefinedBehaviorSanitizer,
# in a build folder of its own (SANITIZE=0 skips it while iterating).
if [ "${SANITIZE:-1}" != 0 ]; then
  asan=${ASAN_BUILD_DIR:-$here/build-asan}
  cmake -S "$here" -B "$asan" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPARUMERO_SANITIZE=ON >/dev/null
  cmake --build "$asan"
  (cd "$asan" && ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
     ctest --output-on-failure -j2 "$@")
fi

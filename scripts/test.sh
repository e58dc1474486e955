#!/usr/bin/env bash
# Builds (installing what is missing) and runs every test: unit, golden,
# interop, files of 4 GiB and more (label large), fuzz (60 s, when clang is
# there) and GUI tests, all under CTest; then builds the Debian package,
# checks what it holds, installs it, runs it from /usr/bin and removes it;
# then the suite again under AddressSanitizer and UBSan, and the threaded
# tests under ThreadSanitizer.
#
# The large-file check writes and reads 27 GiB on about one core: it runs
# beside the builds and the other runs, which keep the other core busy, and
# its report comes last. Arguments go to every ctest (-R, -E, ...).
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$here/build}
# Unity batches: the headers read once per 12 files, in every tree.
unity=(-DCMAKE_UNITY_BUILD=ON -DCMAKE_UNITY_BUILD_BATCH_SIZE=12)
# The sanitizer trees compile with -O1 and line tables only (-g1): enough for
# the reports' stack traces, and a third less processor time than -O2 -g.
sanitized=(-DCMAKE_BUILD_TYPE=RelWithDebInfo "-DCMAKE_CXX_FLAGS_RELWITHDEBINFO=-O1 -g1 -DNDEBUG")

# The programs first, as the README's first command makes them; then what the
# tests need beyond them, and every target.
"$here/scripts/setup.sh" "$build"
packages=(
  libgtest-dev libgmock-dev
  # clang with libFuzzer: the fuzz test of the image readers
  clang libclang-rt-14-dev
  # the Debian package: dpkg-shlibdeps computes its Depends
  dpkg-dev file
  # independent readers used by the interop tests
  genisoimage xorriso p7zip-full udftools libarchive-tools python3 python3-pycdlib
  # benchmarks and screenshots
  time hyperfine xvfb fonts-noto-cjk
  # a private session bus for the screen saver test
  dbus-daemon
  # --reflink on a loop-mounted btrfs (and XFS in bench/reflink.sh)
  btrfs-progs xfsprogs
  # the firmwares and boot loaders that boot the bootable images, and the
  # tools that make a FAT image; qemu also boots the
  # kernel of the kernel tests, which fetch it and busybox themselves (apt-get
  # download into a cache, nothing installed)
  qemu-system-x86 ovmf isolinux syslinux-common grub-efi-amd64-bin grub-common mtools dosfstools
)
"$here/scripts/apt-install.sh" "${packages[@]}"
cmake -S "$here" -B "$build" -DPARUMERO_TESTS=ON "${unity[@]}" >/dev/null
# The large-file check needs only parumero-cli and the readers: it starts as
# soon as the program is there, in a process group of its own, so that a
# failure below stops all of it.
cmake --build "$build" --target parumero-cli
large_log=$build/large-files.log
setsid bash -c 'cd "$1" && shift && exec ctest --output-on-failure -L large "$@"' - "$build" "$@" >"$large_log" 2>&1 &
large=$!
trap 'kill -- -"$large" 2>/dev/null || true' EXIT
cmake --build "$build"
# Three at a time: many tests wait on child processes, timers or the disk.
(cd "$build" && ctest --output-on-failure -j3 -LE large "$@")

deb=$("$here/scripts/package.sh" "$build")
version=$(sed -n 's/^project(parumero VERSION \([0-9.]*\).*/\1/p' "$here/CMakeLists.txt")
contents=$(dpkg-deb -c "$deb")
for f in usr/bin/parumero usr/bin/parumero-cli usr/share/applications/parumero.desktop \
         usr/share/icons/hicolor/scalable/apps/parumero.svg usr/share/man/man1/parumero.1.gz \
         usr/share/man/man1/parumero-cli.1.gz usr/share/bash-completion/completions/parumero-cli \
         usr/share/doc/parumero/copyright; do
  grep -q " \./$f\$" <<<"$contents" || { echo "package lacks /$f" >&2; exit 1; }
done
info=$(dpkg-deb -I "$deb")
for field in "Package: parumero" "Version: $version-1" "Depends: .*libicu" "Depends: .*libqt6widgets6" \
             "Depends: .*libc6"; do
  grep -q "^ $field" <<<"$info" || { echo "package control lacks \"$field\"" >&2; exit 1; }
done
dpkg-deb --fsys-tarfile "$deb" | tar -xOf - ./usr/share/doc/parumero/copyright | grep -q "^License: Expat$" ||
  { echo "package copyright names no MIT (Expat) licence" >&2; exit 1; }

# Installing is done as root (directly or through sudo) and one run at a
# time: dpkg takes no second caller.
sudo=""
[ "$(id -u)" -eq 0 ] || sudo=sudo
(
  flock 9
  $sudo dpkg -i "$deb" >/dev/null
  trap '$sudo dpkg -r parumero >/dev/null' EXIT
  got=$(/usr/bin/parumero-cli --version)
  [ "$got" = "parumero-cli $version" ] || { echo "installed parumero-cli says \"$got\"" >&2; exit 1; }
) 9>/tmp/parumero-package-test.lock
echo "package $deb: contents, control and installed run checked"

# The whole suite once more under AddressSanitizer and UndefinedBehaviorSanitizer,
# in a build folder of its own (SANITIZE=0 skips it while iterating). Left
# out, as they would only repeat: the large-file images (13.5 GiB each), the
# fuzz target (built with both sanitizers in the plain tree), the screenshot
# tool and the window bench.
if [ "${SANITIZE:-1}" != 0 ]; then
  asan=${ASAN_BUILD_DIR:-$here/build-asan}
  # clang (installed above for the fuzz target) builds this tree in three
  # quarters of g++'s time, and adds a second compiler's warnings. (Its
  # ThreadSanitizer fails where Qt forks, so that tree stays with g++.) A tree
  # made with another compiler starts afresh: on a switch of compiler CMake
  # would drop this command line's settings, the sanitizers among them.
  grep -qs '^CMAKE_CXX_COMPILER:.*clang++$' "$asan/CMakeCache.txt" || rm -rf "$asan/CMakeCache.txt" "$asan/CMakeFiles"
  cmake -S "$here" -B "$asan" -G Ninja "${sanitized[@]}" -DCMAKE_CXX_COMPILER=clang++ -DPARUMERO_SANITIZE=ON \
        -DPARUMERO_TOOLS=OFF -DPARUMERO_FUZZ=OFF "${unity[@]}" >/dev/null
  cmake --build "$asan"
  (cd "$asan" && ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
     ctest --output-on-failure -j3 -LE 'large|fuzz' "$@")
fi

# The threads under ThreadSanitizer: the scan's and the writer's, a size
# preview measuring while a build runs (RunnerTest), and the desktop program's
# window, build worker and preview thread (its test forks the session bus, so
# TSan must let a threaded process fork). Only the tests that run them, to keep
# the run short (TSAN=0 skips it).
if [ "${TSAN:-1}" != 0 ]; then
  tsan=${TSAN_BUILD_DIR:-$here/build-tsan}
  cmake -S "$here" -B "$tsan" -G Ninja "${sanitized[@]}" -DPARUMERO_TSAN=ON -DPARUMERO_FUZZ=OFF \
        -DPARUMERO_TOOLS=OFF "${unity[@]}" >/dev/null
  cmake --build "$tsan" --target parumero_tests parumero-cli ui_MainDialog_test
  (cd "$tsan" && TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1:die_after_fork=0 \
     ctest --output-on-failure -j2 -R '^(WriterTest|RunnerTest|Scan)\.|^Cli\.BuildSucceeds$|^ui\.MainDialog_test$')
fi

trap - EXIT
status=0
wait "$large" || status=$?
cat "$large_log"
exit "$status"

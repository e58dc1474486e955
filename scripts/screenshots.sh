#!/usr/bin/env bash
# Regenerates the screenshots in docs/ under a virtual X server with a
# Japanese font: the main window idle (size of samples/sample) and during a
# build, the volume information window and the image file dialog, once in
# Japanese and once in English (names ending in -en).
# Usage: scripts/screenshots.sh [build-dir]   (needs xvfb and fonts-noto-cjk)
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$here/build}
cmake --build "$build" --target parumero-shots -j2
# The sample is copied to a short, neutral path, so the pictures do not show
# where this checkout happens to live.
shots=/tmp/parumero-shots-home
rm -rf "$shots" && mkdir -p "$shots" && cp -a "$here/samples/sample" "$shots/"
trap 'rm -rf "$shots"' EXIT
# Prefer the Japanese forms of the shared CJK glyphs; no session bus, so the
# screen saver is left alone; the home folder (where the image goes) is the
# neutral one too.
# LANG picks the program's language; the codeset stays UTF-8 either way.
for lang in ja_JP.UTF-8 C.UTF-8; do
  HOME="$shots" FC_LANG=ja LANG=C.UTF-8 LC_MESSAGES=$lang QT_QPA_PLATFORM=xcb DBUS_SESSION_BUS_ADDRESS= \
    xvfb-run -a -s "-screen 0 1024x768x24 -dpi 96" \
    "$build/ui/parumero-shots" "$here/docs" "$shots/sample"
done

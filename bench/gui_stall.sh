#!/usr/bin/env bash
# The desktop window's longest event-loop stall while the size of a folder of
# 100,000 small files in 2,000 folders is measured: after the folder is
# dropped, after two changes of kind, and after a build's outcome box
# (bench/GuiStall.cpp, run without a display).
#
# Goal: no stall above 100 ms.
# Usage: bench/gui_stall.sh [build-dir] [work-dir]      (GOAL_MS=100)
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$here/build}
work=${2:-/tmp/parumero-bench}
tree=$work/small
cmake --build "$build" --target parumero-gui-bench -j2 >/dev/null
mkdir -p "$work"
# The same tree as bench/size_preview.sh; the stamp tells a finished one.
if [ ! -e "$tree.done" ]; then
    rm -rf "$tree"
    python3 "$here/bench/make_tree.py" small "$tree"
    touch "$tree.done"
fi
echo "# $(date -u '+%Y-%m-%d %H:%M UTC'), load $(cut -d' ' -f1-3 /proc/loadavg)"
QT_QPA_PLATFORM=offscreen "$build/ui/parumero-gui-bench" "$tree" "${GOAL_MS:-100}"

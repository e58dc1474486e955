#!/usr/bin/env bash
# The desktop window's longest event-loop stall while the size of a folder of
# 100,000 small files in 2,000 folders is measured: after the folder is
# dropped, after two changes of kind, and after a build's outcome box
# (bench/GuiStall.cpp, run without a display).
#
# RUNS rounds (default 5); each prints its phases. The verdict is on the
# median of the rounds' longest stalls: a stall the program causes shows in
# every round, one a busy machine's scheduler causes in a single round.
#
# Goal: no stall above 100 ms.
# Usage: bench/gui_stall.sh [build-dir] [work-dir]      (RUNS=5 GOAL_MS=100)
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
. "$here/bench/common.sh"
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
goal=${GOAL_MS:-100}
echo "# $(date -u '+%Y-%m-%d %H:%M UTC'), load $(cut -d' ' -f1-3 /proc/loadavg)"
echo "tree: $(find "$tree" -type f | wc -l) files, $(find "$tree" -mindepth 1 -type d | wc -l) folders"
worst=()
for ((r = 1; r <= ${RUNS:-5}; r++)); do
    echo "round $r"
    out=$(QT_QPA_PLATFORM=offscreen "$build/ui/parumero-gui-bench" "$tree" "$goal" 2>"$work/err.txt") ||
        { echo "failed:" >&2; cat "$work/err.txt" >&2; exit 1; }
    grep -v '^longest' <<<"$out"
    worst+=("$(sed -n 's/^longest stall \([0-9.]*\) ms.*/\1/p' <<<"$out")")
done
m=$(printf '%s\n' "${worst[@]}" | median)
echo "longest stall per round: ${worst[*]} ms; median $m ms"
awk -v m="$m" -v g="$goal" 'BEGIN{printf "goal (no stall above %d ms): %s\n", g, m <= g ? "met" : "MISSED"}'
echo "# load after: $(cut -d' ' -f1-3 /proc/loadavg)"

#!/usr/bin/env bash
# Times the size preview (parumero-cli --size) on a tree of 100,000 small files
# in 2,000 folders against a plain walk of the same tree that reads the same
# metadata (find -printf), and reports peak memory. Warm cache: each command
# runs once untimed first.
# Usage: bench/size_preview.sh [build-dir] [work-dir]
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$here/build}
work=${2:-/tmp/parumero-bench}
cli=$build/cli/parumero-cli
tree=$work/small
[ -d "$tree" ] || python3 "$here/bench/make_tree.py" small "$tree"

median() { sort -n | awk '{a[NR]=$1} END {print (NR%2 ? a[(NR+1)/2] : (a[NR/2]+a[NR/2+1])/2)}'; }
run() {  # label, command...: prints median seconds of 5 runs and peak RSS
    local label=$1; shift
    "$@" >/dev/null 2>&1 || true
    local times=() peak=0
    for i in 1 2 3 4 5; do
        /usr/bin/time -f '%e %M' -o "$work/time.txt" "$@" >/dev/null 2>&1 || true
        read -r t m < "$work/time.txt"
        times+=("$t"); [ "$m" -gt "$peak" ] && peak=$m
    done
    local med; med=$(printf '%s\n' "${times[@]}" | median)
    printf '%-28s %8.3f s  %8.1f MiB\n' "$label" "$med" "$(awk -v m="$peak" 'BEGIN{print m/1024}')"
    echo "$med" > "$work/last.txt"
}
echo "tree: $(find "$tree" -type f | wc -l) files, $(find "$tree" -mindepth 1 -type d | wc -l) folders"
run "find -printf" find "$tree" -printf '%s %T@ %p\n'; f=$(cat "$work/last.txt")
for kind in joliet bridge udf; do
    run "parumero-cli --size ($kind)" "$cli" --size --kind $kind "$tree"; p=$(cat "$work/last.txt")
    printf '%-28s %8.2fx find\n' "" "$(awk -v p="$p" -v f="$f" 'BEGIN{print p/f}')"
done

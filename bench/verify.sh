#!/usr/bin/env bash
# Times `parumero-cli --verify` of a 1 GiB image (the "large" tree of
# build.sh: about 200 files) against its reading limit: `cat IMAGE` to
# /dev/null plus `cat` of every file of the source to /dev/null, one after the
# other. Everything is in the page cache (one untimed run of each first), so
# the figures are those of reading and comparing, not of the disk.
#
# Prints a Markdown table per kind: median wall time, the limit, the ratio to
# it, and peak resident memory; then whether the goal (within 1.5x) is met.
#
# Usage: bench/verify.sh [build-dir] [work-dir]     (RUNS=5 KINDS="joliet bridge udf")
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
. "$here/bench/common.sh"
build=${1:-$here/build}
work=${2:-/tmp/parumero-bench}
runs=${RUNS:-5}
kinds=${KINDS:-joliet bridge udf}
cli=$build/cli/parumero-cli
[ -x "$cli" ] || { echo "no $cli: build first" >&2; exit 1; }
mkdir -p "$work"
tree=$work/large
if [ ! -e "$tree.done" ]; then
    rm -rf "$tree"
    python3 "$here/bench/make_tree.py" large "$tree"
    touch "$tree.done"
fi
find "$tree" -type f -print0 | sort -z > "$work/list"

echo "# $(date -u '+%Y-%m-%d %H:%M UTC'), $(nproc) cores, load before: $(cut -d' ' -f1-3 /proc/loadavg), $runs timed runs"
echo
echo "| kind | image | verify | cat image + cat source | ratio | peak memory |"
echo "|---|---:|---:|---:|---:|---:|"
verdict=met
for kind in $kinds; do
    image=$work/verify-$kind.img
    [ -e "$image" ] || "$cli" --quiet --kind "$kind" "$tree" "$image" >/dev/null
    verify=("$cli" --verify --kind "$kind" "$tree" "$image")
    limit=(sh -c 'cat "$1" > /dev/null && xargs -0 cat < "$2" > /dev/null' cat "$image" "$work/list")
    CMD=("${verify[@]}"); timed_run; CMD=("${limit[@]}"); timed_run  # warm-up
    tv=() tl=() mem=0
    for ((r = 1; r <= runs; r++)); do
        CMD=("${verify[@]}"); timed_run; tv+=("$LAST_T"); [ "$LAST_M" -gt "$mem" ] && mem=$LAST_M
        CMD=("${limit[@]}"); timed_run; tl+=("$LAST_T")
    done
    mv=$(printf '%s\n' "${tv[@]}" | median)
    ml=$(printf '%s\n' "${tl[@]}" | median)
    ratio=$(awk -v a="$mv" -v b="$ml" 'BEGIN{printf "%.2f", a/b}')
    awk -v r="$ratio" 'BEGIN{exit !(r > 1.5)}' && verdict="missed ($kind at ${ratio}x)"
    mib=$(( $(stat -c %s "$image") >> 20 ))
    printf '| %s | %d MiB | %.3f s | %.3f s | %s | %.1f MiB |\n' "$kind" "$mib" "$mv" "$ml" "$ratio" "$(awk -v m="$mem" 'BEGIN{print m/1024}')"
done
echo
echo "goal: verify within 1.5x of reading image and source: $verdict"

#!/usr/bin/env bash
# Times the size preview (parumero-cli --size) on a tree of 100,000 small files
# in 2,000 folders against a plain walk of the same tree that reads the same
# metadata (find -printf), and reports peak memory.
#
# Warm cache: every command runs once untimed first. Then RUNS rounds (default
# 7), each running every command once, so a burst of load from elsewhere
# touches all of them alike; the medians are compared. Wall time comes from a
# microsecond clock (/usr/bin/time's %e counts only hundredths, a few percent
# of a 0.25 s walk); peak memory is the largest %M of all runs.
#
# Goal: within 2x of find, under 100 MiB.
# Usage: bench/size_preview.sh [build-dir] [work-dir]      (RUNS=7, CLI=binary)
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
. "$here/bench/common.sh"
build=${1:-$here/build}
work=${2:-/tmp/parumero-bench}
runs=${RUNS:-7}
cli=${CLI:-$build/cli/parumero-cli}
tree=$work/small
[ -x "$cli" ] || { echo "no $cli: build first" >&2; exit 1; }
mkdir -p "$work"
# The stamp tells a finished tree from one whose generation was interrupted.
if [ ! -e "$tree.done" ]; then
    rm -rf "$tree"
    python3 "$here/bench/make_tree.py" small "$tree"
    touch "$tree.done"
fi

labels=("find -printf" "parumero-cli --size (joliet)" "parumero-cli --size (bridge)" "parumero-cli --size (udf)")
command_for() {
    case $1 in
        0) CMD=(find "$tree" -printf '%s %T@ %p\n') ;;
        1) CMD=("$cli" --size --kind joliet "$tree") ;;
        2) CMD=("$cli" --size --kind bridge "$tree") ;;
        3) CMD=("$cli" --size --kind udf "$tree") ;;
    esac
}
echo "# $(date -u '+%Y-%m-%d %H:%M UTC'), load $(cut -d' ' -f1-3 /proc/loadavg)"
echo "tree: $(find "$tree" -type f | wc -l) files, $(find "$tree" -mindepth 1 -type d | wc -l) folders; $runs runs each"
declare -A times=() peak=()
for i in "${!labels[@]}"; do command_for "$i"; timed_run; done  # warm-up
for ((r = 1; r <= runs; r++)); do
    for i in "${!labels[@]}"; do
        command_for "$i"; timed_run
        times[$i]+="$LAST_T "
        [ "${peak[$i]:-0}" -ge "$LAST_M" ] || peak[$i]=$LAST_M
    done
done
f=$(printf '%s\n' ${times[0]} | median)
echo
echo "| command | median | ratio to find | peak memory |"
echo "|---|---:|---:|---:|"
verdict=met
for i in "${!labels[@]}"; do
    m=$(printf '%s\n' ${times[$i]} | median)
    awk -v l="${labels[$i]}" -v t="$m" -v f="$f" -v k="${peak[$i]}" \
        'BEGIN{printf "| %s | %.3f s | %.2f | %.1f MiB |\n", l, t, t/f, k/1024}'
    if [ "$i" -gt 0 ] && ! awk -v t="$m" -v f="$f" -v k="${peak[$i]}" 'BEGIN{exit !(t/f <= 2 && k < 100*1024)}'; then
        verdict=MISSED
    fi
done
echo
echo "goal (within 2x of find, under 100 MiB): $verdict"
echo "# load after: $(cut -d' ' -f1-3 /proc/loadavg)"

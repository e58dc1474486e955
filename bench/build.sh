#!/usr/bin/env bash
# Times whole image builds against the copy limit and the peers, on two trees:
# "large" (about 200 files, 1 GiB) and "small" (100,000 files of about 512
# bytes in 2,000 folders).
#
# For each tree every command runs once untimed (warm cache), then RUNS timed
# rounds; within a round the commands run one after another, so a burst of
# load from elsewhere touches all of them alike. Before each run the output is
# removed and `sync` flushes earlier writeback, so no run pays for the one
# before it. The output file lies in WORK, on the same disk as the tree. The
# copy limit is `cat` of every file of the tree into one file.
#
# Prints a Markdown table per tree: median wall time, throughput (source bytes
# per second), ratio to cat's median, and peak resident memory (the largest
# of all runs, /usr/bin/time %M), then the goals met or missed.
#
# COLD=1 times every run from a cold page cache instead: the cache is dropped
# before each run (as root only; otherwise the bench says so and stops), no
# untimed warm-up, and cat also runs with 8 readers at once for comparison.
# The printed ranges are the fastest and slowest run.
#
# Usage: bench/build.sh [build-dir] [work-dir]     (RUNS=5 TREES="large small" COLD=0)
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
. "$here/bench/common.sh"
build=${1:-$here/build}
work=${2:-/tmp/parumero-bench}
runs=${RUNS:-5}
trees=${TREES:-large small}
cli=$build/cli/parumero-cli
out=$work/out.img
[ -x "$cli" ] || { echo "no $cli: build first" >&2; exit 1; }
for tool in genisoimage xorriso /usr/bin/time; do
    command -v "$tool" >/dev/null || { echo "needs $tool (apt-get install $tool)" >&2; exit 1; }
done
mkdir -p "$work"
cold=${COLD:-0}
if [ "$cold" = 1 ] && ! { [ "$(id -u)" -eq 0 ] && [ -w /proc/sys/vm/drop_caches ]; }; then
    echo "COLD=1 needs root to drop the page cache (/proc/sys/vm/drop_caches): skipped" >&2
    exit 0
fi

# A tree is made once; the stamp tells a finished tree from an interrupted one.
make_tree() {
    local kind=$1 dir=$work/$1
    if [ ! -e "$dir.done" ]; then
        rm -rf "$dir"
        python3 "$here/bench/make_tree.py" "$kind" "$dir"
        touch "$dir.done"
    fi
}

labels=(cat "genisoimage -J" "xorriso -as mkisofs -J" "genisoimage -J -udf"
        "parumero-cli --kind joliet" "parumero-cli --kind bridge" "parumero-cli --kind udf")
[ "$cold" = 1 ] && labels+=("cat, 8 at once")
command_for() {  # index, tree -> the command line in CMD
    local t=$2
    case $1 in
        0) CMD=(sh -c 'xargs -0 cat < "$1" > "$2"' cat "$work/list" "$out") ;;
        1) CMD=(genisoimage -quiet -J -o "$out" "$t") ;;
        2) CMD=(xorriso -as mkisofs -quiet -J -o "$out" "$t") ;;
        3) CMD=(genisoimage -quiet -J -udf -o "$out" "$t") ;;
        4) CMD=("$cli" --quiet --kind joliet "$t" "$out") ;;
        5) CMD=("$cli" --quiet --kind bridge "$t" "$out") ;;
        6) CMD=("$cli" --quiet --kind udf "$t" "$out") ;;
        7) CMD=(sh -c 'xargs -0 -n 500 -P 8 cat < "$1" > /dev/null' cat "$work/list") ;;
    esac
}

# One run of a build, from an empty output and a settled disk.
run_once() {
    rm -f "$out"
    sync
    if [ "$cold" = 1 ]; then echo 3 > /proc/sys/vm/drop_caches; fi
    timed_run
}


echo "# $(date -u '+%Y-%m-%d %H:%M UTC'), $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^ //')"
echo "# load before: $(cut -d' ' -f1-3 /proc/loadavg), $runs timed runs per command"
verdicts=()
for tree in $trees; do
    make_tree "$tree"
    dir=$work/$tree
    find "$dir" -type f -print0 | sort -z > "$work/list"
    files=$(tr -cd '\0' < "$work/list" | wc -c)
    bytes=$(find "$dir" -type f -printf '%s\n' | awk '{s+=$1} END {print s}')
    declare -A times=() peak=() size=()
    for i in "${!labels[@]}"; do  # warm-up (not when cold), and the image sizes
        [ "$cold" = 1 ] && break
        command_for "$i" "$dir"; run_once
        size[$i]=$(stat -c %s "$out" 2>/dev/null || echo 0)
    done
    for ((r = 1; r <= runs; r++)); do
        # Each round in another order (the same orders every time the bench
        # runs): on this virtual machine the run after one that wrote a large
        # image is now and then several times slower, so no command may keep
        # the same predecessor.
        for i in $(awk -v n="${#labels[@]}" -v seed="$r" 'BEGIN {
                       srand(seed); for (k = 0; k < n; k++) a[k] = k
                       for (k = n - 1; k > 0; k--) { j = int(rand() * (k + 1)); t = a[k]; a[k] = a[j]; a[j] = t }
                       for (k = 0; k < n; k++) print a[k] }'); do
            command_for "$i" "$dir"; run_once
            times[$i]+="$LAST_T "
            size[$i]=$(stat -c %s "$out" 2>/dev/null || echo 0)
            [ "${peak[$i]:-0}" -ge "$LAST_M" ] || peak[$i]=$LAST_M
        done
    done
    rm -f "$out"

    echo
    echo "## $tree: $files files, $(awk -v b="$bytes" 'BEGIN{printf "%.1f", b/1048576}') MiB of data"
    echo
    echo "| command$([ "$cold" = 1 ] && echo ", cold cache") | median | range | throughput | ratio to cat | peak memory | image |"
    echo "|---|---:|---:|---:|---:|---:|---:|"
    declare -A med=()
    for i in "${!labels[@]}"; do
        med[$i]=$(printf '%s\n' ${times[$i]} | median)
    done
    for i in "${!labels[@]}"; do
        lo=$(printf '%s\n' ${times[$i]} | sort -g | head -n1); hi=$(printf '%s\n' ${times[$i]} | sort -g | tail -n1)
        awk -v l="${labels[$i]}" -v t="${med[$i]}" -v c="${med[0]}" -v m="${peak[$i]}" -v b="$bytes" -v s="${size[$i]}" \
            -v lo="$lo" -v hi="$hi" \
            'BEGIN{printf "| %s | %.3f s | %.2f–%.2f s | %.0f MiB/s | %.2f | %.1f MiB | %.1f MiB |\n", l, t, lo, hi, b/1048576/t, t/c, m/1024, s/1048576}'
    done
    echo
    echo "all runs (s):"
    for i in "${!labels[@]}"; do printf '  %-28s %s\n' "${labels[$i]}" "${times[$i]}"; done

    ratio() { awk -v a="${med[$1]}" -v b="${med[$2]}" 'BEGIN{printf "%.2f", a/b}'; }
    check() {  # text, condition (awk expression over r) -> one verdict line
        local r=$2
        if awk -v r="$r" "BEGIN{exit !($3)}"; then verdicts+=("met     $tree: $1 ($r)"); else verdicts+=("MISSED  $tree: $1 ($r)"); fi
    }
    if [ "$cold" = 1 ]; then
        for i in 4 5 6; do
            if [ "$tree" = small ]; then
                check "${labels[$i]} at most 0.5x cold cat" "$(ratio $i 0)" 'r <= 0.5'
                check "${labels[$i]} under half of genisoimage -J" "$(ratio $i 1)" 'r < 0.5'
            else
                check "${labels[$i]} within 1.1x cold cat" "$(ratio $i 0)" 'r <= 1.1'
            fi
        done
    elif [ "$tree" = large ]; then
        for i in 4 5 6; do
            check "${labels[$i]} at most 1.0x cat" "$(ratio $i 0)" 'r <= 1.0'
            check "${labels[$i]} at most 0.7x genisoimage -J" "$(ratio $i 1)" 'r <= 0.7'
        done
    fi
    for p in 1 2; do check "joliet faster than ${labels[$p]}" "$(ratio 4 $p)" 'r < 1'; done
    check "bridge faster than genisoimage -J -udf" "$(ratio 5 3)" 'r < 1'
    check "udf faster than genisoimage -J -udf" "$(ratio 6 3)" 'r < 1'
    for i in 4 5 6; do
        check "${labels[$i]} peak memory under 64 MiB" "$(awk -v m="${peak[$i]}" 'BEGIN{printf "%.1f MiB", m/1024}')" 'r+0 < 64'
    done
    unset times peak size med
done
echo
echo "# load after: $(cut -d' ' -f1-3 /proc/loadavg)"
printf '%s\n' "${verdicts[@]}"

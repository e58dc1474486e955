#!/usr/bin/env bash
# Peak memory per entry of the size preview and of a build (to /dev/null), on
# a tree of 1,000,000 small files in 20,000 folders, against genisoimage -J of
# the same tree. One run each (peak memory barely varies); times are shown
# for the record, not judged (the machine is shared).
#
# Goal: at most 200 bytes per entry, the build no slower than before.
# Usage: bench/memory.sh [build-dir] [work-dir]      (FILES=1000000, CLI=binary)
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
. "$here/bench/common.sh"
build=${1:-$here/build}
work=${2:-/tmp/parumero-bench}
files=${FILES:-1000000}
folders=$((files / 50))
cli=${CLI:-$build/cli/parumero-cli}
tree=$work/million-$files
[ -x "$cli" ] || { echo "no $cli: build first" >&2; exit 1; }
mkdir -p "$work"
if [ ! -e "$tree.done" ]; then
    rm -rf "$tree"
    python3 "$here/bench/make_tree.py" small "$tree" --files "$files" --folders "$folders" --size 64
    touch "$tree.done"
fi
entries=$((files + folders + 1))
: > "$work/empty.txt"

report() {  # name, then the command in CMD
    timed_run
    awk -v n="$1" -v m="$LAST_M" -v e="$entries" -v t="$LAST_T" \
        'BEGIN { printf "%-34s %8.1f MiB  %6.0f bytes/entry  %7.2f s\n", n, m / 1024, m * 1024 / e, t }'
}

echo "$entries entries"
CMD=(find "$tree" -printf '%s\n')
timed_run  # warm the cache
for kind in joliet bridge; do
    CMD=("$cli" --settings "$work/empty.txt" --except "$work/empty.txt" --size --kind "$kind" "$tree")
    report "parumero-cli --size --kind $kind"
    CMD=("$cli" --settings "$work/empty.txt" --except "$work/empty.txt" --quiet --kind "$kind" "$tree" -)
    # stdout is /dev/null in timed_run, so "-" writes the image nowhere.
    report "parumero-cli --kind $kind (build)"
done
if command -v genisoimage >/dev/null; then
    CMD=(genisoimage -quiet -J -o /dev/null "$tree")
    report "genisoimage -J"
fi

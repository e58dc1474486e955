#!/usr/bin/env bash
# The copy buffer of the user-space path (standard output, pipes, fallbacks):
# parumero-cli built with each buffer size from 32 KiB to 1 MiB writes the
# warm 1 GiB tree's Joliet image into /dev/null (copy_file_range cannot go
# there), interleaved in shuffled rounds with cat and genisoimage; medians.
# Usage: bench/buffer_size.sh [ROUNDS]   (default 5)
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
rounds=${1:-5}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
source "$here/bench/common.sh"

tree=$work/tree
python3 "$here/bench/make_tree.py" large "$tree" >/dev/null
sizes=(32 64 128 256 512 1024)
for kib in "${sizes[@]}"; do
    b=$work/build-$kib
    cmake -S "$here" -B "$b" -G Ninja -DCMAKE_BUILD_TYPE=Release -DPARUMERO_TESTS=OFF -DPARUMERO_GUI=OFF \
          -DCMAKE_CXX_FLAGS="-DPARUMERO_READ_PIECE_KIB=$kib" >/dev/null
    cmake --build "$b" --target parumero-cli >/dev/null
done
cat "$tree"/*/* >/dev/null  # warm

declare -A runs
for ((r = 0; r < rounds; r++)); do
    for what in $(printf '%s\n' "${sizes[@]}" cat genisoimage | shuf); do
        case $what in
        cat) CMD=(sh -c "cat $tree/*/* >/dev/null") ;;
        genisoimage) CMD=(genisoimage -quiet -J -o /dev/null "$tree") ;;
        *) CMD=("$work/build-$what/cli/parumero-cli" --quiet --kind joliet "$tree" -) ;;
        esac
        timed_run
        runs[$what]+="$LAST_T "
    done
done
for what in "${sizes[@]}" cat genisoimage; do
    printf '%-12s %s s\n' "$what" "$(printf '%s\n' ${runs[$what]} | median)"
done

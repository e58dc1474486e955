#!/usr/bin/env bash
# --reflink on file systems that share blocks: a 10 GiB tree of 40 files of
# 256 MiB after one of 3,000 bytes (which, in a bridge image, leaves the large files' data on odd
# sectors unless the option aligns them) on a loop-mounted btrfs and XFS; for each, the build with and without
# the option (RUNS times each, median), the space the image took (df, before
# and after, synced) and a --verify of the image. Needs root (mount).
# Usage: bench/reflink.sh [build-dir] [work-dir]     (RUNS=3 GIB=10 KIND=bridge)
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
cli=${1:-$here/build}/cli/parumero-cli
work=${2:-/tmp/parumero-reflink}
runs=${RUNS:-3}
gib=${GIB:-10}
kind=${KIND:-bridge}
[ "$(id -u)" -eq 0 ] || { echo "needs root to mount" >&2; exit 1; }
mkdir -p "$work"
used() { sync; df -B1 --output=used "$1" | tail -1; }
echo "| file system | option | median | runs (s) | space the image took | tree |"
echo "|---|---|---:|---|---:|---:|"
for fs in btrfs xfs; do
  img=$work/$fs.img mnt=$work/$fs
  umount "$mnt" 2>/dev/null || true
  rm -f "$img" && truncate -s $((gib * 2 + 4))G "$img"
  if [ "$fs" = btrfs ]; then mkfs.btrfs -q -f "$img" >/dev/null; else mkfs.xfs -q -f -m reflink=1 "$img"; fi
  mkdir -p "$mnt" && mount -o loop "$img" "$mnt"
  mkdir -p "$mnt/src"
  head -c 3000 /dev/urandom >"$mnt/src/a.txt"
  for i in $(seq 1 $((gib * 4))); do head -c 268435456 /dev/urandom >"$mnt/src/f$i.bin"; done
  for opt in "" --reflink; do
    times=()
    for r in $(seq "$runs"); do
      rm -f "$mnt/out.iso"
      before=$(used "$mnt")
      s=$(date +%s%N)
      "$cli" --quiet --kind "$kind" $opt "$mnt/src" "$mnt/out.iso"
      e=$(date +%s%N)
      took=$(( $(used "$mnt") - before ))
      times+=("$(echo "scale=3; ($e - $s) / 1000000000" | bc)")
    done
    "$cli" --verify --kind "$kind" "$mnt/src" "$mnt/out.iso" >/dev/null
    median=$(printf '%s\n' "${times[@]}" | sort -n | sed -n "$(( (runs + 1) / 2 ))p")
    echo "| $fs | ${opt:-(none)} | $median s | ${times[*]} | $((took / 1048576)) MiB | $gib GiB |"
  done
  umount "$mnt" && rm -f "$img"
done

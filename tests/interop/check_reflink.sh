#!/usr/bin/env bash
# --reflink on a loop-mounted btrfs: every kind gives the same bytes as on the
# build folder's own file system, reads back whole (--verify, 7z), and the
# image's file data shares the source's blocks. Needs root and btrfs (exit 77:
# skipped).
set -euo pipefail
cli=$1
[ "$(id -u)" -eq 0 ] && grep -qw btrfs /proc/filesystems && command -v mkfs.btrfs >/dev/null || exit 77
work=$(mktemp -d)
trap 'umount "$work/mnt" 2>/dev/null || true; rm -rf "$work"' EXIT
truncate -s 1G "$work/fs.img"
mkfs.btrfs -q -f "$work/fs.img" >/dev/null
mkdir "$work/mnt" "$work/plain"
mount -o loop "$work/fs.img" "$work/mnt" || exit 77
src=$work/mnt/src
mkdir -p "$src/sub"
head -c 5000000 /dev/urandom >"$src/big.bin"   # past the piece read ahead, no whole sectors
head -c 3000 /dev/urandom >"$src/sub/odd.bin"
: >"$src/sub/empty"
sync
for kind in joliet bridge udf; do
  SOURCE_DATE_EPOCH=1 "$cli" --quiet --reflink --kind "$kind" --date "2024-01-01 00:00:00" "$src" "$work/mnt/$kind.iso"
  SOURCE_DATE_EPOCH=1 "$cli" --quiet --reflink --kind "$kind" --date "2024-01-01 00:00:00" "$src" "$work/plain/$kind.iso"
  cmp "$work/mnt/$kind.iso" "$work/plain/$kind.iso"
  "$cli" --verify --kind "$kind" "$src" "$work/mnt/$kind.iso" >/dev/null
  rm -rf "$work/x" && 7z x -y -o"$work/x" "$work/mnt/$kind.iso" >/dev/null && diff -r "$src" "$work/x"
done
sync
# The big file's 5 MB are shared by the source and every image.
shared=$(btrfs filesystem du --raw -s "$work/mnt/udf.iso" | awk 'NR == 2 { print $3 }')
[ "$shared" -ge 4000000 ] || { echo "udf.iso shares $shared bytes with the source" >&2; exit 1; }
echo "reflink: every kind the same bytes on btrfs and elsewhere, read back whole, ${shared} bytes shared"

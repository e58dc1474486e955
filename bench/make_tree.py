#!/usr/bin/env python3
"""Generates benchmark trees.

  make_tree.py small DIR [--files 100000] [--folders 2000] [--size 512]
      many small files spread over nested folders
  make_tree.py large DIR [--files 200] [--total-mib 1024]
      a few large files (random bytes) in a handful of folders
The content is deterministic (seeded), so runs compare like with like.
"""
import argparse
import os
import random


def small(root, files, folders, size):
    rnd = random.Random(1)
    dirs = []
    for i in range(folders):
        # two levels: 50 top folders, the rest spread below them
        parent = root if i < 50 else dirs[rnd.randrange(50)]
        d = os.path.join(parent, f"folder {i:04d}")
        os.makedirs(d, exist_ok=True)
        dirs.append(d)
    blob = rnd.randbytes(size * 4)
    for i in range(files):
        d = dirs[i % folders]
        n = rnd.randrange(size // 2, size * 3 // 2)
        with open(os.path.join(d, f"file_{i:06d}.dat"), "wb") as f:
            f.write(blob[i % size: i % size + n])


def large(root, files, total_mib):
    rnd = random.Random(2)
    per = total_mib * 1024 * 1024 // files
    block = rnd.randbytes(1 << 20)
    for i in range(files):
        d = os.path.join(root, f"set{i % 8}")
        os.makedirs(d, exist_ok=True)
        left = per + (i * 4099) % 2048  # sizes that do not end on a sector
        with open(os.path.join(d, f"movie_{i:03d}.bin"), "wb") as f:
            k = i
            while left > 0:
                chunk = block[(k * 7919) % 4096:][:min(left, (1 << 20) - 4096)]
                f.write(chunk)
                left -= len(chunk)
                k += 1


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("kind", choices=["small", "large"])
    ap.add_argument("dir")
    ap.add_argument("--files", type=int)
    ap.add_argument("--folders", type=int, default=2000)
    ap.add_argument("--size", type=int, default=512)
    ap.add_argument("--total-mib", type=int, default=1024)
    a = ap.parse_args()
    os.makedirs(a.dir, exist_ok=True)
    if a.kind == "small":
        small(a.dir, a.files or 100000, a.folders, a.size)
    else:
        large(a.dir, a.files or 200, a.total_mib)


if __name__ == "__main__":
    main()

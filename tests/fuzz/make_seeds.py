#!/usr/bin/python3
"""Makes the fuzz corpus: small images of every kind built with parumero-cli,
each written in the sparse form ReaderFuzz.cpp reads (non-zero sectors only)."""
import os
import struct
import subprocess
import sys
import tempfile

SECTOR = 2048


def sparse(image):
    sectors = [(n, image[n * SECTOR:(n + 1) * SECTOR]) for n in range(len(image) // SECTOR)]
    kept = [(n, s) for n, s in sectors if any(s)]
    head = struct.pack("<IH", len(sectors), len(kept)) + b"".join(struct.pack("<I", n) for n, _ in kept)
    return head + b"".join(s for _, s in kept)


def main(cli, out):
    os.makedirs(out, exist_ok=True)
    with tempfile.TemporaryDirectory() as work:
        src = os.path.join(work, "src")
        os.makedirs(os.path.join(src, "sub", "深い"))
        for rel, data in (("a.txt", b"alpha"), ("sub/b.bin", b"b" * 3000), ("sub/深い/名前.txt", b"x"), ("empty", b"")):
            with open(os.path.join(src, rel), "wb") as f:
                f.write(data)
        for name in ("none.ini", "none.txt"):  # an --except file that is missing refuses the build
            open(os.path.join(work, name), "w").close()
        for kind in ("joliet", "bridge", "udf", "posix", "udf-posix"):
            image, options = os.path.join(work, kind + ".iso"), ["--kind", kind]
            if kind == "posix":  # Rock Ridge: its entries, a link's SL, the root's CE
                os.symlink("../a.txt", os.path.join(src, "sub", "link"))
                options = ["--kind", "joliet", "--posix"]
            if kind == "udf-posix":  # the link's path components in its UDF entry
                options = ["--kind", "udf", "--posix"]
            subprocess.run([cli, "--quiet", *options, "--settings", os.path.join(work, "none.ini"),
                            "--except", os.path.join(work, "none.txt"), src, image], check=True, stdout=subprocess.DEVNULL)
            with open(image, "rb") as f, open(os.path.join(out, kind), "wb") as seed:
                seed.write(sparse(f.read()))


if __name__ == "__main__":
    main(*sys.argv[1:3])

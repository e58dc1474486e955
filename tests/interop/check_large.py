#!/usr/bin/python3
"""Files of 4 GiB and more in "joliet" and "bridge" images: sparse files of
4 GiB, 4 GiB + 1 and 9 GiB + 123 bytes, marked at the start, around every
section boundary of the multi-extent records and at the end, read back whole
by 7z, bsdtar, osirrox and --verify; every byte each reader streams must be
the source's (zeros but for the marks). The sources are holes, and so is the
image (17 GiB long, a few blocks on disk), one at a time, removed at once.
"""

import hashlib
import os
import re
import shutil
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import check_images  # noqa: E402
from check_images import Cli, Report, built_ok, run, text  # noqa: E402

SECTION = 0xFFFFF800
SIZES = {"a.txt": 6, "b4g.bin": 4 << 30, "c4g1.bin": (4 << 30) + 1, "d9g.bin": (9 << 30) + 123, "z.txt": 5}


def marks(name, size):
    """{offset: bytes} written into the file; bytes unlike those of any other mark or file."""
    ats = {0, max(size - 16, 0)} | {k * SECTION - 8 for k in range(1, size // SECTION + 1)}
    return {at: hashlib.sha256(f"{name}@{at}".encode()).digest()[:min(16, size)] for at in ats}


def make_source(src):
    os.makedirs(src)
    for name, size in SIZES.items():
        with open(os.path.join(src, name), "wb") as f:
            f.truncate(size)
            for at, mark in marks(name, size).items():
                f.seek(at)
                f.write(mark)


def streamed(args, size, want):
    """Whether a reader's stream is `size` bytes of zeros but for the marks `want` ({offset: bytes}), read
    in pieces: hashing the sources took longer than the readers."""
    p = subprocess.Popen(args, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
    zeros, at, same = bytes(1 << 20), 0, True
    while piece := p.stdout.read(1 << 20):
        expect = zeros[:len(piece)]
        for m, mark in want.items():
            if m < at + len(piece) and at < m + len(mark):
                lo, hi = max(m, at), min(m + len(mark), at + len(piece))
                expect = expect[:lo - at] + mark[lo - m:hi - m] + expect[hi - at:]
        same &= piece == expect
        at += len(piece)
    return p.wait() == 0 and same and at == size, f"{at} bytes, exit {p.returncode}"


def check_kind(kind, cli, src, work, rep):
    image = os.path.join(work, f"{kind}.iso")
    try:
        if not rep.check(f"build --kind {kind}", lambda: built_ok(cli.build(src, image, kind))):
            return
        m = re.search(r"([\d,]+) BYTE", text(cli.size(src, kind).stdout))
        rep.result(f"{kind}: --size predicts the image length", bool(m) and int(m.group(1).replace(",", "")) == os.path.getsize(image))
        p = cli.verify(src, image, kind)
        rep.result(f"{kind}: parumero-cli --verify", p.returncode == 0, text(p.stdout + p.stderr)[-800:])
        rep.result(f"{kind}: the sources' holes stay holes", os.stat(image).st_blocks < 1 << 17)
        if kind == "bridge":
            p = run(["7z", "t", image])
            rep.result("bridge: 7z t clean", p.returncode == 0 and b"Warning" not in p.stdout + p.stderr, text(p.stdout)[-800:])
        readers = {
            "7z x -so": lambda n: ["7z", "x", "-so", image, n],
            "bsdtar -xOf": lambda n: ["bsdtar", "-xOf", image, n],
            "osirrox -concat": lambda n: ["osirrox", "-indev", image, "-concat", "overwrite", "-", "/" + n],
        }
        for reader, args in readers.items():
            for name in SIZES:
                rep.check(f"{kind}: {reader} {name}", lambda: streamed(args(name), SIZES[name], marks(name, SIZES[name])))
    finally:
        if os.path.exists(image):
            os.remove(image)


def main(argv):
    rep = Report("large")
    check_images.RUN_TIMEOUT = 1800  # a build or a verify of 13.5 GiB
    work = tempfile.mkdtemp(prefix="parumero-large-")
    try:
        if rep.result("disk space for one image", shutil.disk_usage(work).free > sum(SIZES.values()) + (1 << 30)):
            src = os.path.join(work, "src")
            make_source(src)
            cli = Cli(os.path.abspath(argv[-1]), work, "JST-9")
            for kind in ("joliet", "bridge"):
                check_kind(kind, cli, src, work, rep)
    finally:
        shutil.rmtree(work, ignore_errors=True)
    return rep.close()


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))

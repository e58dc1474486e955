#!/usr/bin/python3
"""Files of 4 GiB and more in "joliet" and "bridge" images: sparse files of
4 GiB, 4 GiB + 1 and 9 GiB + 123 bytes, marked at the start, around every
section boundary of the multi-extent records and at the end, read back whole
by 7z, bsdtar, osirrox and --verify; each SHA-256 must equal the
source's. Hashes are taken from streams, and one image at a time is on disk
(13.5 GiB), removed at once; the sources are holes.
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


def make_source(src):
    os.makedirs(src)
    for name, size in SIZES.items():
        with open(os.path.join(src, name), "wb") as f:
            f.truncate(size)
            for at in {0, max(size - 16, 0)} | {k * SECTION - 8 for k in range(1, size // SECTION + 1)}:
                f.seek(at)  # bytes unlike those of any other mark or file
                f.write(hashlib.sha256(f"{name}@{at}".encode()).digest()[:min(16, size)])


def streamed(args):
    p = subprocess.Popen(args, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
    digest = hashlib.file_digest(p.stdout, "sha256").hexdigest()
    return digest if p.wait() == 0 else f"exit {p.returncode}"


def check_kind(kind, cli, src, want, work, rep):
    image = os.path.join(work, f"{kind}.iso")
    try:
        if not rep.check(f"build --kind {kind}", lambda: built_ok(cli.build(src, image, kind))):
            return
        m = re.search(r"([\d,]+) BYTE", text(cli.size(src, kind).stdout))
        rep.result(f"{kind}: --size predicts the image length", bool(m) and int(m.group(1).replace(",", "")) == os.path.getsize(image))
        p = cli.verify(src, image, kind)
        rep.result(f"{kind}: parumero-cli --verify", p.returncode == 0, text(p.stdout + p.stderr)[-800:])
        if kind == "bridge":
            p = run(["7z", "t", image])
            rep.result("bridge: 7z t clean", p.returncode == 0 and b"Warning" not in p.stdout + p.stderr, text(p.stdout)[-800:])
        readers = {
            "7z x -so": lambda n: streamed(["7z", "x", "-so", image, n]),
            "bsdtar -xOf": lambda n: streamed(["bsdtar", "-xOf", image, n]),
            "osirrox -concat": lambda n: streamed(["osirrox", "-indev", image, "-concat", "overwrite", "-", "/" + n]),
        }
        for reader, read in readers.items():
            for name, digest in want.items():
                rep.check(f"{kind}: {reader} {name}", lambda: (read(name) == digest, f"source sha256 {digest}"))
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
            want = {}
            for name in SIZES:
                with open(os.path.join(src, name), "rb") as f:
                    want[name] = hashlib.file_digest(f, "sha256").hexdigest()
            cli = Cli(os.path.abspath(argv[-1]), work, "JST-9")
            for kind in ("joliet", "bridge"):
                check_kind(kind, cli, src, want, work, rep)
    finally:
        shutil.rmtree(work, ignore_errors=True)
    return rep.close()


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))

#!/usr/bin/python3
"""Files of 4 GiB and more in "joliet" and "bridge" images: sparse files of
4 GiB, 4 GiB + 1 and 9 GiB + 123 bytes, marked at the start, around every
section boundary of the multi-extent records and at the end, read back whole
by 7z, bsdtar, osirrox, pycdlib and --verify; each SHA-256 must equal the
source's. One image at a time, removed at once: the disk never holds more
than one (13.5 GiB); the sources are holes.
"""

import hashlib
import os
import shutil
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import check_images  # noqa: E402
from check_images import Cli, Report, built_ok, open_pycdlib, run, text  # noqa: E402

GIB = 1 << 30
SECTION = 0xFFFFF800
SIZES = {"b4g.bin": 4 * GIB, "c4g1.bin": 4 * GIB + 1, "d9g.bin": 9 * GIB + 123}
PIECE = 4 << 20


def make_source(src):
    os.makedirs(src)
    for name, data in (("a.txt", b"first\n"), ("z.txt", b"last\n")):
        with open(os.path.join(src, name), "wb") as f:
            f.write(data)
    for name, size in SIZES.items():
        marks = [0, size - 16] + [k * SECTION - 8 for k in range(1, size // SECTION + 1)]
        with open(os.path.join(src, name), "wb") as f:
            f.truncate(size)
            for at in marks:  # bytes unlike those of any other mark or file
                f.seek(at)
                f.write(hashlib.sha256(f"{name}@{at}".encode()).digest()[:16])


class Hasher:
    """A file object that hashes what is written to it (pycdlib's output)."""

    def __init__(self):
        self.h, self.n = hashlib.sha256(), 0

    def write(self, b):
        self.h.update(b)
        self.n += len(b)
        return len(b)


def hash_stream(f):
    h = hashlib.sha256()
    while chunk := f.read(PIECE):
        h.update(chunk)
    return h.hexdigest()


def hash_command(args):
    """SHA-256 of a reader's standard output, streamed (no copy on disk)."""
    import subprocess
    p = subprocess.Popen(args, stdout=subprocess.PIPE, stderr=subprocess.PIPE)
    digest = hash_stream(p.stdout)
    err = p.stderr.read()
    return digest, p.wait(), text(err)


def check_kind(kind, cli, src, want, work, rep):
    image = os.path.join(work, f"{kind}.iso")
    try:
        if not rep.check(f"build --kind {kind}", lambda: built_ok(cli.build(src, image, kind))):
            return

        def verify():
            p = cli.verify(src, image, kind)
            return p.returncode == 0 and text(p.stdout).startswith("identical"), text(p.stdout + p.stderr)[-800:]
        rep.check(f"{kind}: parumero-cli --verify", verify)

        readers = {
            "7z x -so": lambda n: ["7z", "x", "-so", image, n],
            "bsdtar -xOf": lambda n: ["bsdtar", "-xOf", image, n],
            "osirrox -concat": lambda n: ["osirrox", "-indev", image, "-concat", "overwrite", "-", "/" + n],
        }
        for reader, command in readers.items():
            for name, digest in want.items():
                def extract():
                    got, rc, err = hash_command(command(name))
                    return rc == 0 and got == digest, f"exit {rc}, sha256 {got}: {err[-400:]}"
                rep.check(f"{kind}: {reader} {name}", extract)
        if kind == "bridge":
            def seven_test():
                p = run(["7z", "t", image])
                said = text(p.stdout + p.stderr)
                return p.returncode == 0 and "Warning" not in said and "Error" not in said, said[-800:]
            rep.check("bridge: 7z t clean", seven_test)

        def pycdlib_joliet():
            iso = open_pycdlib(image)
            bad = []
            for name, digest in want.items():
                out = Hasher()
                iso.get_file_from_iso_fp(out, joliet_path="/" + name)
                if out.h.hexdigest() != digest:
                    bad.append(f"{name}: {out.n} bytes, sha256 {out.h.hexdigest()}")
            iso.close()
            return not bad, "\n".join(bad)
        rep.check(f"{kind}: pycdlib Joliet files", pycdlib_joliet)
    finally:
        if os.path.exists(image):
            os.remove(image)


def main(argv):
    if len(argv) != 2 or argv[0] != "--cli":
        print("usage: check_large.py --cli PARUMERO_CLI", file=sys.stderr)
        return 2
    rep = Report("large")
    check_images.RUN_TIMEOUT = 1800  # a build or a verify of 13.5 GiB
    need = sum(SIZES.values()) + (1 << 30)
    work = tempfile.mkdtemp(prefix="parumero-large-")
    try:
        if not rep.result("disk space for one image", shutil.disk_usage(work).free > need, f"need {need} bytes free"):
            return rep.close()
        src = os.path.join(work, "src")
        make_source(src)
        want = {}
        for name in sorted(os.listdir(src)):
            with open(os.path.join(src, name), "rb") as f:
                want[name] = hash_stream(f)
        cli = Cli(os.path.abspath(argv[1]), work, "JST-9")
        for kind in ("joliet", "bridge"):
            check_kind(kind, cli, src, want, work, rep)
    finally:
        shutil.rmtree(work, ignore_errors=True)
    return rep.close()


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))

#!/usr/bin/python3
"""Builds images with parumero-cli and reads them back with independent readers
(isoinfo, osirrox, 7z, bsdtar, udfinfo, pycdlib): every tree a reader
extracts must equal the source byte for byte, file times included. One line
per check; non-zero exit on a failure.
"""

import argparse
import collections
import importlib.util
import io
import os
import re
import shutil
import stat
import filecmp
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import make_test_tree  # noqa: E402

SECTOR = 2048
LABEL = "INTEROP_TEST"
DATE = "2024-05-06 07:08:09"
DONE_TEXT = "イメージの作成が終了しました。"


class Report:
    def __init__(self, group):
        self.group, self.counts = group, collections.Counter()

    def result(self, name, ok, detail=""):
        word = "PASS" if ok else "FAIL"
        self.counts[word] += 1
        if detail.strip() and not ok:
            name += "\n      " + detail.strip().replace("\n", "\n      ")
        print(f"{word}  {self.group}: {name}", flush=True)
        return ok

    def check(self, name, fn):
        """Runs fn() -> (ok, detail); a reader that throws has rejected the image."""
        try:
            ok, detail = fn()
        except Exception as e:
            ok, detail = False, f"{type(e).__name__}: {e}"
        return self.result(name, ok, detail)

    def close(self):
        c = self.counts
        print(f"interop {self.group}: {c['PASS']} checks passed, {c['FAIL']} failed")
        return 1 if c["FAIL"] else 0


RUN_TIMEOUT = 120  # seconds; the large-file check raises it


def run(args, env=None, timeout=None):
    return subprocess.run(args, capture_output=True, env=env, timeout=timeout or RUN_TIMEOUT)


def text(b):
    return b.decode("utf-8", "replace")


def make_writable(root):
    # Some readers extract folders without write or search bits.
    for d, dirs, _ in os.walk(root):
        for n in dirs:
            os.chmod(os.path.join(d, n), os.stat(os.path.join(d, n)).st_mode | stat.S_IRWXU)


def read_tree(root):
    """{relative path: (None, None) for a folder, (bytes, mtime in whole
    seconds) for a file}; symbolic links are not followed."""
    make_writable(root)
    out = {}
    for d, dirs, files in os.walk(root):
        out.update({os.path.relpath(os.path.join(d, n), root): (None, None) for n in dirs})
        for n in files:
            with open(os.path.join(d, n), "rb") as f:
                out[os.path.relpath(f.name, root)] = (f.read(), int(os.stat(f.fileno()).st_mtime))
    return out


def compare_trees(want, got):
    """(ok, detail) for two read_tree() results; times are compared where `got` has them."""
    both = want.keys() & got.keys()
    problems = []
    for label, items in (("missing", want.keys() - got.keys()), ("unexpected", got.keys() - want.keys()),
                         ("different", {k for k in both if want[k][0] != got[k][0]}),
                         ("another time than the source", {f"{k}: {got[k][1]} instead of {want[k][1]}"
                                                           for k in both if got[k][1] not in (None, want[k][1])})):
        if items:
            problems.append(f"{label} ({len(items)}): " + ", ".join(sorted(items)[:6]))
    return not problems, "\n".join(problems)


def clean_run(args, refused=None):
    """(ok, detail) of a reader that must exit 0 without `refused` (a pattern) in its output."""
    p = run(args)
    said = text(p.stdout + p.stderr)
    return p.returncode == 0 and not (refused and re.search(refused, said)), f"exit {p.returncode}: {said[-800:]}"


def check_extract(rep, name, args, out, want, refused=None):
    """A reader that extracts the whole image into `out`: its tree must equal `want`."""
    def extract():
        os.makedirs(out)
        ok, detail = clean_run(args, refused)
        result = compare_trees(want, read_tree(out)) if ok else (ok, detail)
        shutil.rmtree(out)
        return result
    rep.check(name, extract)


class Cli:
    """parumero-cli with settings and exclusion list of its own, so that files
    beside the program or in the user's config folder cannot change a build."""

    def __init__(self, path, work, tz):
        cfg = os.path.join(work, "config")
        os.makedirs(cfg)
        self.path, self.settings, self.except_file = path, f"{cfg}/parumero.INI", f"{cfg}/except.txt"
        for p in (self.settings, self.except_file):
            open(p, "w").close()
        # The texts compared are the Japanese ones.
        self.env = {k: v for k, v in dict(os.environ, TZ=tz, LANG="C.UTF-8", LC_MESSAGES="ja_JP.UTF-8", XDG_CONFIG_HOME=cfg).items()
                    if k not in ("SOURCE_DATE_EPOCH", "LC_ALL")}

    def build(self, source, image, kind, *options, **env):
        return run([self.path, "--kind", kind, *options, "--settings", self.settings, "--except", self.except_file,
                    "--label", LABEL, "--date", DATE, "--", source, image], env=dict(self.env, **env))

    def verify(self, source, image, kind, *options):  # parsed as a script parses it: in English
        return run([self.path, "--verify", "--kind", kind, *options, "--except", self.except_file, "--", source, image],
                   env=dict(self.env, LC_ALL="C"))

    def size(self, source, kind):
        return run([self.path, "--size", "--kind", kind, "--except", self.except_file, source], env=self.env)


def built_ok(p):
    return p.returncode == 0 and DONE_TEXT in text(p.stdout), f"exit {p.returncode}: {text(p.stderr).strip()}"


def both(n, width):
    return n.to_bytes(width, "little") + n.to_bytes(width, "big")


def scaffold_record(extent, ident):
    # A 34-byte directory record of a one-sector folder.
    return bytes([34, 0]) + both(extent, 4) + both(SECTOR, 4) + bytes(7) + bytes([2, 0, 0]) + both(1, 2) + bytes([1, ident])


def open_pycdlib(image, udf_only=False):
    """pycdlib opens only images with an ISO 9660 primary volume descriptor.
    A UDF-only image is given a minimal ISO 9660 volume in the zero sectors
    after the recognition sequence: the descriptor (19), its terminator (20),
    an empty root folder (21) and its path tables (22, 23). Every UDF byte it
    reads is the image's own."""
    import pycdlib
    iso = pycdlib.PyCdlib()
    if not udf_only:
        iso.open(image)
        return iso
    with open(image, "rb") as f:
        data = bytearray(f.read())
    if any(data[19 * SECTOR:24 * SECTOR]):
        raise AssertionError("sectors 19 to 23 of a UDF image are not zero")
    root, table = 21, bytes([1, 0])
    pvd = (bytes([1]) + b"CD001" + bytes([1, 0]) + b" " * 32 + b"UDF ONLY".ljust(32) + bytes(8)
           + both(len(data) // SECTOR, 4) + bytes(32) + both(1, 2) + both(1, 2) + both(SECTOR, 2) + both(10, 4)
           + (22).to_bytes(4, "little") + bytes(4) + (23).to_bytes(4, "big") + bytes(4)
           + scaffold_record(root, 0) + b" " * (128 * 4 + 37 * 3) + (b"0" * 16 + b"\0") * 4 + bytes([1]))
    sectors = {19: pvd, 20: bytes([255]) + b"CD001" + bytes([1]),
               root: scaffold_record(root, 0) + scaffold_record(root, 1),
               22: table + root.to_bytes(4, "little") + (1).to_bytes(2, "little") + bytes(2),
               23: table + root.to_bytes(4, "big") + (1).to_bytes(2, "big") + bytes(2)}
    for n, content in sectors.items():
        data[n * SECTOR:(n + 1) * SECTOR] = content.ljust(SECTOR, b"\0")
    iso.open_fp(io.BytesIO(bytes(data)))
    return iso


def pycdlib_tree(image, key, udf_only):
    """read_tree()-shaped dict (without times) of the Joliet or UDF hierarchy."""
    iso, tree = open_pycdlib(image, udf_only), {}
    for d, dirs, files in iso.walk(**{key: "/"}):
        base = d.strip("/")
        tree.update({os.path.join(base, n): (None, None) for n in dirs})
        for n in files:
            out = io.BytesIO()
            iso.get_file_from_iso_fp(out, **{key: d.rstrip("/") + "/" + n})
            tree[os.path.join(base, n.removesuffix(";1") if key == "joliet_path" else n)] = (out.getvalue(), None)
    iso.close()
    return tree


def check_kind(kind, cli, work, rep):
    src = make_test_tree.make_tree(os.path.join(work, "src"))
    want = read_tree(src)
    image = os.path.join(work, f"{kind}.iso")
    if not rep.check(f"build --kind {kind}", lambda: built_ok(cli.build(src, image, kind))):
        return
    size, iso, udf = os.path.getsize(image), kind in ("joliet", "bridge"), kind in ("bridge", "udf")

    def one_reader():  # the same UDF identifier in both
        p = [cli.build(src, f"{work}/r{n}.iso", kind, PARUMERO_READERS=str(n), SOURCE_DATE_EPOCH="1700000000")
             for n in (1, 8)]
        same = all(q.returncode == 0 for q in p) and filecmp.cmp(f"{work}/r1.iso", f"{work}/r8.iso", shallow=False)
        return same, f"exit {[q.returncode for q in p]}"
    rep.check("the same bytes read ahead by 1 reader as by 8", one_reader)

    def size_preview():
        p = cli.size(src, kind)
        m = re.search(r": ([\d,]+) Sectors\s+([\d,]+) BYTE", text(p.stdout))
        ok = p.returncode == 0 and m and int(m.group(2).replace(",", "")) == size
        return ok, f"image {size} bytes, --size said: {text(p.stdout).strip()}"
    rep.check("--size predicts the image length", size_preview)

    # Our own readers: every hierarchy holds the source (names, sizes, times,
    # bytes), and a file's entries in each share its sectors.
    def verify():
        p = cli.verify(src, image, kind)
        return p.returncode == 0 and text(p.stdout).startswith("identical"), f"exit {p.returncode}: {text(p.stdout + p.stderr)[-800:]}"
    rep.check("parumero-cli --verify: every hierarchy holds the source", verify)

    def fields(args, expect):
        """A reader that must exit 0 with every expected line in its report."""
        p = run(args)
        wrong = [line for line in expect if line not in text(p.stdout).splitlines()]
        return p.returncode == 0 and not wrong, f"exit {p.returncode}; expected {wrong}\n{text(p.stdout + p.stderr)}"
    if iso:
        rep.check("isoinfo -d: label, volume size, Joliet", lambda: fields(
            ["isoinfo", "-d", "-i", image], [f"Volume id: {LABEL}", f"Volume size is: {size // SECTOR}",
                                             "Joliet with UCS level 3 found"]))
        check_extract(rep, "xorriso loads without SORRY or FAILURE; osirrox -extract tree and file times equal the source",
                      ["osirrox", "-indev", image, "-extract", "/", f"{work}/osirrox"], f"{work}/osirrox", want,
                      refused=r"\b(SORRY|FAILURE)\b")
        check_extract(rep, "bsdtar -xf tree and file times equal the source",
                      ["bsdtar", "-xf", image, "-C", f"{work}/bsdtar"], f"{work}/bsdtar", want)
    if udf:
        files = sum(data is not None for data, _ in want.values())
        rep.check("udfinfo: label, blocks, revision, counts", lambda: fields(
            ["udfinfo", image], [f"label={LABEL}", f"blocks={size // SECTOR}", "udfrev=1.02", "integrity=closed",
                                 f"numfiles={files}", f"numdirs={len(want) - files + 1}"]))
    for key, name in [("joliet_path", "Joliet")] * iso + [("udf_path", "UDF")] * udf:
        rep.check(f"pycdlib: {name} tree and every file" + ("" if iso else " (ISO 9660 scaffold added)"),
                  lambda: compare_trees(want, pycdlib_tree(image, key, not iso)))
    check_extract(rep, "7z x tree and file times equal the source", ["7z", "x", "-y", f"-o{work}/7z", image],
                  f"{work}/7z", want, refused=r"Warning|Error")
    if kind == "bridge":
        # 7z ends a UDF volume at its last structure and reports anything
        # after it ("Headers Error", "data after the end"): both images test clean.
        empty = os.path.join(work, "empty")
        os.makedirs(empty)
        rep.check("build of an empty folder", lambda: built_ok(cli.build(empty, f"{work}/empty.iso", kind)))
        for img in (image, f"{work}/empty.iso"):
            rep.check(f"7z t {os.path.basename(img)} exits 0 without warnings",
                      lambda: clean_run(["7z", "t", img], r"Warning|Error"))


READERS = {"joliet": "isoinfo osirrox 7z bsdtar", "bridge": "isoinfo osirrox 7z bsdtar udfinfo", "udf": "udfinfo 7z"}


def main(argv):
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--cli", required=True, help="path of parumero-cli")
    parser.add_argument("--kind", required=True, choices=sorted(READERS))
    parser.add_argument("--keep", action="store_true", help="keep the work folder")
    parser.add_argument("--tz", default="JST-9", help="TZ of the builds (a POSIX zone string)")
    args = parser.parse_args(argv)

    rep = Report(args.kind)
    missing = ([t for t in READERS[args.kind].split() if not shutil.which(t)]
               + ["python3-pycdlib"] * (importlib.util.find_spec("pycdlib") is None))
    if not rep.result("readers installed", not missing, f"missing {missing} (scripts/test.sh installs them)"):
        return rep.close()
    work = tempfile.mkdtemp(prefix=f"parumero-interop-{args.kind}-")
    try:
        cli = Cli(os.path.abspath(args.cli), work, args.tz)
        check_kind(args.kind, cli, work, rep)
    finally:
        if args.keep:
            print(f"work folder kept: {work}")
        else:
            make_writable(work)
            shutil.rmtree(work, ignore_errors=True)
    return rep.close()


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))

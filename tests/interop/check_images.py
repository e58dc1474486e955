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
SOURCE_TIMES = {}  # relative path -> modification time of the source file


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
    """{relative path: None for a folder, bytes for a file}; symlinks are not followed."""
    make_writable(root)
    out = {}
    for d, dirs, files in os.walk(root):
        for n in dirs:
            out[os.path.relpath(os.path.join(d, n), root)] = None
        for n in files:
            with open(os.path.join(d, n), "rb") as f:
                out[os.path.relpath(f.name, root)] = f.read()
    return out


def compare_trees(want, got):
    """(ok, detail) for two read_tree() results."""
    problems = []
    for label, items in (("missing", set(want) - set(got)), ("unexpected", set(got) - set(want)),
                         ("different", {k for k in set(want) & set(got) if want[k] != got[k]})):
        if items:
            problems.append(f"{label} ({len(items)}): " + ", ".join(sorted(items)[:6]))
    return not problems, "\n".join(problems)


def extracted_equal(root, want):
    """compare_trees() of an extracted tree, file times included; removes the tree."""
    ok, detail = compare_trees(want, read_tree(root))
    times = []
    for rel, data in want.items():
        path = os.path.join(root, rel)
        if data is not None and os.path.isfile(path) and int(os.stat(path).st_mtime) != SOURCE_TIMES[rel]:
            times.append(f"{rel}: {int(os.stat(path).st_mtime)} instead of {SOURCE_TIMES[rel]}")
    if times:
        ok, detail = False, f"{detail}\n{len(times)} files with another time than their source: " + ", ".join(times[:4])
    shutil.rmtree(root)
    return ok, detail


def check_extract(rep, name, args, out, want, ok_codes=(0,), refused=None):
    """A reader that extracts the whole image into `out`; `refused` is a
    pattern of its output that fails the check although it extracted."""
    def extract():
        os.makedirs(out)
        p = run(args)
        said = text(p.stdout + p.stderr)
        if p.returncode not in ok_codes:
            return False, f"exit {p.returncode}: {said[-800:]}"
        if refused and re.search(refused, said):
            return False, f"the reader complained: {said[-800:]}"
        return extracted_equal(out, want)
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
        self.env = dict(os.environ, TZ=tz, LANG="C.UTF-8", LC_MESSAGES="ja_JP.UTF-8", XDG_CONFIG_HOME=cfg)
        for name in ("SOURCE_DATE_EPOCH", "LC_ALL"):
            self.env.pop(name, None)

    def build(self, source, image, kind, **env):
        return run([self.path, "--kind", kind, "--settings", self.settings, "--except", self.except_file,
                    "--label", LABEL, "--date", DATE, "--", source, image], env=dict(self.env, **env))

    def verify(self, source, image, kind):
        return run([self.path, "--verify", "--kind", kind, "--except", self.except_file, "--", source, image], env=self.env)

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


def pycdlib_tree(iso, key):
    """read_tree()-shaped dict of the Joliet or UDF hierarchy."""
    tree = {}
    for d, dirs, files in iso.walk(**{key: "/"}):
        base = d.strip("/")
        for n in dirs:
            tree[os.path.join(base, n)] = None
        for n in files:
            image_path = d.rstrip("/") + "/" + n
            rel = os.path.join(base, n.removesuffix(";1") if key == "joliet_path" else n)
            out = io.BytesIO()
            iso.get_file_from_iso_fp(out, **{key: image_path})
            tree[rel] = out.getvalue()
    return tree


def check_kind(kind, cli, work, rep):
    src = make_test_tree.make_tree(os.path.join(work, "src"))
    want = read_tree(src)
    SOURCE_TIMES.update({rel: int(os.stat(os.path.join(src, rel)).st_mtime) for rel in want})
    files = {k: v for k, v in want.items() if v is not None}
    image = os.path.join(work, f"{kind}.iso")
    if not rep.check(f"build --kind {kind}", lambda: built_ok(cli.build(src, image, kind))):
        return
    size = os.path.getsize(image)

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
    rep.result("image is whole sectors", size % SECTOR == 0, f"{size} bytes")

    # Our own readers: every hierarchy holds the source (names, sizes, times,
    # bytes), and a file's entries in each share its sectors.
    def verify():
        p = cli.verify(src, image, kind)
        return p.returncode == 0 and text(p.stdout).startswith("identical"), f"exit {p.returncode}: {text(p.stdout + p.stderr)[-800:]}"
    rep.check("parumero-cli --verify: every hierarchy holds the source", verify)

    if kind in ("joliet", "bridge"):
        check_iso_readers(image, size // SECTOR, want, work, rep)
    if kind in ("bridge", "udf"):
        check_udf_readers(kind, image, size // SECTOR, want, files, rep)
    check_extract(rep, "7z x tree and file times equal the source", ["7z", "x", "-y", f"-o{work}/7z", image],
                  f"{work}/7z", want, refused=r"Warning|Error")
    if kind == "bridge":
        # 7z ends a UDF volume at its last structure and reports anything
        # after it ("Headers Error", "data after the end"): both images test clean.
        empty = os.path.join(work, "empty")
        os.makedirs(empty)
        rep.check("build of an empty folder", lambda: built_ok(cli.build(empty, f"{work}/empty.iso", kind)))
        for img in (image, f"{work}/empty.iso"):
            def seven_test():
                p = run(["7z", "t", img])
                said = text(p.stdout + p.stderr)
                return p.returncode == 0 and not re.search(r"Warning|Error", said), f"exit {p.returncode}: {said[-800:]}"
            rep.check(f"7z t {os.path.basename(img)} exits 0 without warnings", seven_test)


def check_iso_readers(image, sectors, want, work, rep):
    def descriptor():
        out = text(run(["isoinfo", "-d", "-i", image]).stdout)
        problems = [what for line, what in ((f"Volume id: {LABEL}\n", "volume id is not the label"),
                                            (f"Volume size is: {sectors}\n", f"volume size is not {sectors}"),
                                            ("Joliet with UCS level 3 found", "no Joliet UCS-2 level 3 escape"))
                    if line not in out]
        return not problems, "; ".join(problems) + "\n" + out
    rep.check("isoinfo -d: label, volume size, Joliet", descriptor)

    # xorriso must load the image without a SORRY or FAILURE event.
    check_extract(rep, "xorriso loads without SORRY or FAILURE; osirrox -extract tree and file times equal the source",
                  ["osirrox", "-indev", image, "-extract", "/", f"{work}/osirrox"], f"{work}/osirrox", want,
                  refused=r"\b(SORRY|FAILURE)\b")
    check_extract(rep, "bsdtar -xf tree and file times equal the source",
                  ["bsdtar", "-xf", image, "-C", f"{work}/bsdtar"], f"{work}/bsdtar", want)

    def pycdlib_joliet():
        iso = open_pycdlib(image)
        ok, detail = compare_trees(want, pycdlib_tree(iso, "joliet_path"))
        iso.close()
        return ok, detail
    rep.check("pycdlib: Joliet tree and every file", pycdlib_joliet)


def check_udf_readers(kind, image, sectors, want, files, rep):
    def udfinfo():
        p = run(["udfinfo", image])
        fields = dict(line.split("=", 1) for line in text(p.stdout).splitlines() if "=" in line)
        expect = {"label": LABEL, "blocks": str(sectors), "udfrev": "1.02", "integrity": "closed",
                  "numfiles": str(len(files)), "numdirs": str(len(want) - len(files) + 1)}
        wrong = {k: fields.get(k) for k, v in expect.items() if fields.get(k) != v}
        return p.returncode == 0 and not wrong, f"exit {p.returncode}; expected {expect}, found {wrong}\n{text(p.stderr)}"
    rep.check("udfinfo: label, blocks, revision, counts", udfinfo)

    def pycdlib_udf():
        iso = open_pycdlib(image, udf_only=kind == "udf")
        ok, detail = compare_trees(want, pycdlib_tree(iso, "udf_path"))
        iso.close()
        return ok, detail
    rep.check("pycdlib: UDF tree and every file" + (" (ISO 9660 scaffold added)" if kind == "udf" else ""), pycdlib_udf)


READERS = {
    "joliet": ["isoinfo", "osirrox", "7z", "bsdtar"],
    "bridge": ["isoinfo", "osirrox", "7z", "bsdtar", "udfinfo"],
    "udf": ["udfinfo", "7z"],
}


def main(argv):
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--cli", required=True, help="path of parumero-cli")
    parser.add_argument("--kind", required=True, choices=sorted(READERS))
    parser.add_argument("--keep", action="store_true", help="keep the work folder")
    parser.add_argument("--tz", default="JST-9", help="TZ of the builds (a POSIX zone string)")
    args = parser.parse_args(argv)

    rep = Report(args.kind)
    missing = [t for t in READERS[args.kind] if not shutil.which(t)]
    if importlib.util.find_spec("pycdlib") is None:
        missing.append("python3-pycdlib")
    if not rep.result("readers installed", not missing, f"missing {missing} (scripts/setup.sh installs them)"):
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

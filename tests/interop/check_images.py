#!/usr/bin/python3
"""Builds images with parumero-cli and reads them back with independent readers.

  check_images.py --cli PATH --kind joliet|bridge|udf   one image kind
  check_images.py --cli PATH --kind bad                  bad input through the CLI

Readers: isoinfo (genisoimage), xorriso/osirrox, 7z, bsdtar (libarchive),
udfinfo (udftools) and pycdlib. Every tree a reader extracts must equal the
source byte for byte. Prints one line per check and exits non-zero when any
check failed. Needs only the standard library and Debian's python3-pycdlib.
"""

import argparse
import collections
import importlib.util
import io
import itertools
import os
import random
import re
import shutil
import socket
import stat
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import make_test_tree  # noqa: E402

SECTOR = 2048
LABEL = "INTEROP_TEST"
DATE = "2024-05-06 07:08:09"
UDF_PARTITION_START = 257
DONE_TEXT = "イメージの作成が終了しました。"


# ---------------------------------------------------------------- reporting

class Report:
    def __init__(self, group):
        self.group = group
        self.counts = collections.Counter()

    def result(self, name, ok, detail=""):
        word = "PASS" if ok else "FAIL"
        self.counts[word] += 1
        line = f"{word}  {self.group}: {name}"
        detail = detail.strip()
        if detail and not ok:
            line += "\n      " + detail.replace("\n", "\n      ")
        print(line, flush=True)
        return ok

    def skip(self, name, why):
        self.counts["SKIP"] += 1
        print(f"SKIP  {self.group}: {name} ({why})", flush=True)

    def check(self, name, fn):
        """Runs fn() -> (ok, detail); an exception is a failure, not a crash."""
        try:
            ok, detail = fn()
        except Exception as e:  # a reader that throws has rejected the image
            ok, detail = False, f"{type(e).__name__}: {e}"
        return self.result(name, ok, detail)

    def close(self):
        c = self.counts
        print(f"interop {self.group}: {c['PASS']} checks passed, {c['FAIL']} failed, {c['SKIP']} skipped")
        return 1 if c["FAIL"] else 0


# ---------------------------------------------------------------- helpers

def run(args, env=None, timeout=120):
    return subprocess.run(args, capture_output=True, env=env, timeout=timeout)


def text(b):
    return b.decode("utf-8", "replace")


def read_tree(root):
    """{relative path: None for a folder, bytes for a file}; symlinks are not followed."""
    out = {}
    for d, dirs, files in os.walk(root):
        rel = os.path.relpath(d, root)
        for n in dirs:
            out[os.path.normpath(os.path.join(rel, n))] = None
        for n in files:
            with open(os.path.join(d, n), "rb") as f:
                out[os.path.normpath(os.path.join(rel, n))] = f.read()
    return out


def compare_trees(want, got):
    """(ok, detail) for two read_tree() results."""
    missing = sorted(set(want) - set(got))
    extra = sorted(set(got) - set(want))
    differ = sorted(k for k in set(want) & set(got) if want[k] != got[k])
    problems = []
    for label, items in (("missing", missing), ("unexpected", extra), ("different", differ)):
        if items:
            problems.append(f"{label} ({len(items)}): " + ", ".join(items[:6]))
    return not problems, "\n".join(problems)


def make_writable(root):
    # Some readers extract folders without write or search bits.
    for d, dirs, _ in os.walk(root):
        for n in dirs:
            p = os.path.join(d, n)
            os.chmod(p, os.stat(p).st_mode | stat.S_IRWXU)


def extracted(root):
    make_writable(root)
    return read_tree(root)


SOURCE_TIMES = {}  # relative path -> modification time of the source file


def wrong_times(root, want):
    """Files whose extracted modification time is not the source's."""
    bad = []
    for rel, data in want.items():
        path = os.path.join(root, rel)
        if data is not None and os.path.isfile(path) and int(os.stat(path).st_mtime) != SOURCE_TIMES[rel]:
            bad.append(f"{rel}: {int(os.stat(path).st_mtime)} instead of {SOURCE_TIMES[rel]}")
    return bad


def extracted_equal(root, want):
    """compare_trees() of an extracted tree, file times included."""
    ok, detail = compare_trees(want, extracted(root))
    times = wrong_times(root, want)
    if times:
        ok, detail = False, detail + f"\n{len(times)} files with another time than their source: " \
            + ", ".join(times[:4])
    shutil.rmtree(root)
    return ok, detail


class Cli:
    """parumero-cli with settings and exclusion list of its own, so that files
    beside the program or in the user's config folder cannot change a build."""

    def __init__(self, path, work, tz):
        self.path = path
        cfg = os.path.join(work, "config")
        os.makedirs(cfg, exist_ok=True)
        self.settings = os.path.join(cfg, "parumero.INI")
        self.except_file = os.path.join(cfg, "except.txt")
        for p in (self.settings, self.except_file):
            open(p, "w").close()
        self.env = dict(os.environ, TZ=tz, LANG="C.UTF-8", XDG_CONFIG_HOME=cfg)
        self.env.pop("SOURCE_DATE_EPOCH", None)

    def build(self, source, image, kind, label=LABEL, date=DATE, extra_env=None, timeout=120):
        args = [self.path, "--kind", kind, "--settings", self.settings, "--except", self.except_file, "--quiet"]
        if label is not None:
            args += ["--label", label]
        if date is not None:
            args += ["--date", date]
        env = dict(self.env, **(extra_env or {}))
        return run(args + ["--", source, image], env=env, timeout=timeout)

    def size(self, source, kind):
        return run([self.path, "--size", "--kind", kind, "--except", self.except_file, source], env=self.env)


def built_ok(p):
    return p.returncode == 0 and DONE_TEXT in text(p.stdout), f"exit {p.returncode}: {text(p.stderr).strip()}"


# ---------------------------------------------------------------- isoinfo

LIST_LINE = re.compile(rb"^([d-])[-rwx]{9}\s+\d+\s+\d+\s+\d+\s+(\d+)\s+\S+\s+\d+\s+\d+\s+\[\s*(\d+)\s+\d+\]\s\s(.*) $")


def isoinfo_listing(image, joliet):
    """[(path bytes, is_dir, size, extent)] from isoinfo -l, dot entries left out."""
    p = run(["isoinfo", "-i", image, "-l"] + (["-J"] if joliet else []))
    if p.returncode != 0:
        raise RuntimeError(f"isoinfo -l exit {p.returncode}: {text(p.stderr)}")
    entries, folder = [], None
    for line in p.stdout.split(b"\n"):
        if line.startswith(b"Directory listing of "):
            folder = line[len(b"Directory listing of "):].rstrip()
            continue
        m = LIST_LINE.match(line)
        if not m or folder is None:
            continue
        name = m.group(4)
        if name in (b".", b".."):
            continue
        entries.append((folder + name, m.group(1) == b"d", int(m.group(2)), int(m.group(3))))
    return entries


def isoinfo_name(name):
    # isoinfo -J prints each UTF-16 unit beyond Latin-1 as "_".
    units = name.encode("utf-16-be")
    return "".join(chr(c) if c < 0x100 else "_"
                   for c in (int.from_bytes(units[i:i + 2], "big") for i in range(0, len(units), 2)))


# ---------------------------------------------------------------- pycdlib

def open_pycdlib(image):
    import pycdlib
    iso = pycdlib.PyCdlib()
    iso.open(image)
    return iso


def pycdlib_read(iso, **path):
    out = io.BytesIO()
    iso.get_file_from_iso_fp(out, **path)
    return out.getvalue()


def both16(n):
    return n.to_bytes(2, "little") + n.to_bytes(2, "big")


def both32(n):
    return n.to_bytes(4, "little") + n.to_bytes(4, "big")


def scaffold_record(extent, ident):
    # A 34-byte directory record of a one-sector folder.
    return (bytes([34, 0]) + both32(extent) + both32(SECTOR) + bytes(7) + bytes([2, 0, 0])
            + both16(1) + bytes([1, ident]))


def open_pycdlib_udf_only(image):
    """pycdlib opens only images with an ISO 9660 primary volume descriptor.
    It is given the UDF image with a minimal ISO 9660 volume put into the
    zero sectors after the recognition sequence: the descriptor (19), its
    terminator (20), an empty root folder (21) and its path tables (22, 23).
    Every UDF byte it reads is the image's own."""
    with open(image, "rb") as f:
        data = bytearray(f.read())
    total = len(data) // SECTOR
    if any(data[19 * SECTOR:24 * SECTOR]):
        raise AssertionError("sectors 19 to 23 of a UDF image are not zero")
    root, table_l, table_m = 21, 22, 23
    blank = lambda n: b" " * n  # noqa: E731
    pvd = (bytes([1]) + b"CD001" + bytes([1, 0]) + blank(32) + b"UDF ONLY".ljust(32) + bytes(8)
           + both32(total) + bytes(32) + both16(1) + both16(1) + both16(SECTOR) + both32(10)
           + table_l.to_bytes(4, "little") + bytes(4) + table_m.to_bytes(4, "big") + bytes(4)
           + scaffold_record(root, 0) + blank(128 * 4 + 37 * 3) + (b"0" * 16 + b"\0") * 4 + bytes([1]))
    sectors = {
        19: pvd,
        20: bytes([255]) + b"CD001" + bytes([1]),
        root: scaffold_record(root, 0) + scaffold_record(root, 1),
        table_l: bytes([1, 0]) + root.to_bytes(4, "little") + (1).to_bytes(2, "little") + bytes(2),
        table_m: bytes([1, 0]) + root.to_bytes(4, "big") + (1).to_bytes(2, "big") + bytes(2),
    }
    for n, content in sectors.items():
        data[n * SECTOR:(n + 1) * SECTOR] = content.ljust(SECTOR, b"\0")
    import pycdlib
    iso = pycdlib.PyCdlib()
    iso.open_fp(io.BytesIO(bytes(data)))
    return iso


def pycdlib_tree(iso, key):
    """read_tree()-shaped dict of the Joliet or UDF hierarchy, and {path: record}."""
    tree, records = {}, {}
    for d, dirs, files in iso.walk(**{key: "/"}):
        base = d.strip("/")
        for n in dirs:
            tree[os.path.join(base, n)] = None
        for n in files:
            image_path = d.rstrip("/") + "/" + n
            rel = os.path.join(base, n[:-2] if key == "joliet_path" and n.endswith(";1") else n)
            tree[rel] = pycdlib_read(iso, **{key: image_path})
            records[rel] = iso.get_record(**{key: image_path})
    return tree, records


def iso9660_files(iso):
    """[(path bytes, record)] of every file in the ISO 9660 hierarchy, walked
    through the directory records (the names are code page 932 bytes)."""
    out, todo = [], [(b"", iso.get_record(iso_path="/"))]
    while todo:
        path, rec = todo.pop()
        for child in rec.children:
            if child.is_dot() or child.is_dotdot():
                continue
            name = path + b"/" + child.file_identifier()
            if child.is_dir():
                todo.append((name, child))
            else:
                out.append((name, child))
    return out


# ---------------------------------------------------------------- one kind

def check_kind(kind, cli, work, rep):
    src = make_test_tree.make_tree(os.path.join(work, "src"))
    want = read_tree(src)
    SOURCE_TIMES.update({rel: int(os.stat(os.path.join(src, rel)).st_mtime) for rel in want})
    files = {k: v for k, v in want.items() if v is not None}
    image = os.path.join(work, f"{kind}.iso")

    if not rep.check(f"build --kind {kind}", lambda: built_ok(cli.build(src, image, kind))):
        return
    size = os.path.getsize(image)
    sectors = size // SECTOR

    def size_preview():
        p = cli.size(src, kind)
        m = re.search(r": ([\d,]+) Sectors\s+([\d,]+) BYTE", text(p.stdout))
        ok = p.returncode == 0 and m and int(m.group(2).replace(",", "")) == size
        return ok, f"image {size} bytes, --size said: {text(p.stdout).strip()}"
    rep.check("--size predicts the image length", size_preview)
    rep.result("image is whole sectors", size % SECTOR == 0, f"{size} bytes")

    iso_kind = kind in ("joliet", "bridge")
    udf_kind = kind in ("bridge", "udf")
    if iso_kind:
        check_iso_readers(image, sectors, src, want, files, work, rep)
    if udf_kind:
        check_udf_readers(kind, image, sectors, want, files, work, rep)
    check_7z(kind, image, want, work, rep)
    check_reproducible(kind, cli, src, work, rep)


def check_iso_readers(image, sectors, src, want, files, work, rep):
    def descriptor():
        out = text(run(["isoinfo", "-d", "-i", image]).stdout)
        problems = []
        if f"Volume id: {LABEL}\n" not in out:
            problems.append("volume id is not the label")
        if f"Volume size is: {sectors}\n" not in out:
            problems.append(f"volume size is not {sectors}")
        if "Joliet with UCS level 3 found" not in out:
            problems.append("no Joliet UCS-2 level 3 escape")
        return not problems, "; ".join(problems) + "\n" + out
    rep.check("isoinfo -d: label, volume size, Joliet", descriptor)

    # Joliet through isoinfo: it shows names beyond Latin-1 as "_", so
    # compare with the source names shown the same way.
    shown = collections.defaultdict(list)  # isoinfo path -> source paths
    for rel in want:
        shown["/" + "/".join(isoinfo_name(c) for c in rel.split("/"))].append(rel)

    def joliet_listing():
        got = collections.Counter((p.decode("latin-1").rstrip("/").removesuffix(";1"), d, 0 if d else s)
                                  for p, d, s, _ in isoinfo_listing(image, joliet=True))
        exp = collections.Counter()
        for path, rels in shown.items():
            for rel in rels:
                exp[(path, want[rel] is None, 0 if want[rel] is None else len(want[rel]))] += 1
        return got == exp, f"missing {sorted(exp - got)[:5]}, unexpected {sorted(got - exp)[:5]}"
    rep.check("isoinfo -J -l lists every entry with its size", joliet_listing)

    def joliet_extract():
        bad = []
        for path, rels in shown.items():
            if want[rels[0]] is None:
                continue
            data = run(["isoinfo", "-i", image, "-J", "-x", (path + ";1").encode("latin-1")]).stdout
            # isoinfo writes every file whose shown path matches, one after
            # the other: names that read alike under "_" come out joined.
            if all(data != b"".join(want[r] for r in order) for order in itertools.permutations(rels)):
                bad.append(rels[0])
        return not bad, f"{len(bad)} files differ: {bad[:6]}"
    rep.check("isoinfo -J -x extracts every file", joliet_extract)

    # The 8.3 side: each ISO 9660 file record must share its extent with its
    # Joliet twin and hold the same bytes under the short name.
    joliet_at = {}
    try:
        for path, is_dir, _, extent in isoinfo_listing(image, joliet=True):
            if not is_dir:
                joliet_at.setdefault(extent, []).append(path)
    except Exception as e:
        rep.result("isoinfo -J -l extents", False, str(e))
    twin_of = {}  # extent -> source path, through pycdlib's true Joliet names
    try:
        iso = open_pycdlib(image)
        for d, _, names in iso.walk(joliet_path="/"):
            for n in names:
                rec = iso.get_record(joliet_path=d.rstrip("/") + "/" + n)
                twin_of[rec.extent_location()] = os.path.join(d.strip("/"), n.removesuffix(";1"))
        iso.close()
    except Exception as e:
        rep.result("pycdlib reads the Joliet records", False, f"{type(e).__name__}: {e}")

    def short_names():
        entries = isoinfo_listing(image, joliet=False)
        listed_files = [e for e in entries if not e[1]]
        bad, folders = [], {}
        for path, _, size, extent in listed_files:
            rel = twin_of.get(extent)
            if rel is None or extent not in joliet_at:
                bad.append(f"{path!r}: no Joliet file at extent {extent}")
                continue
            name = path.rsplit(b"/", 1)[1]
            if not name.endswith(b";1") or len(name) - 2 > 12:
                bad.append(f"{path!r}: not an 8.3 identifier")
            data = run(["isoinfo", "-i", image, "-x", path]).stdout
            if size != len(files[rel]) or data != files[rel]:
                bad.append(f"{path!r}: content differs from {rel}")
            # Files of one ISO 9660 folder are the files of one Joliet folder.
            iso_dir, jol_dir = path.rsplit(b"/", 1)[0], os.path.dirname(rel)
            if folders.setdefault(iso_dir, jol_dir) != jol_dir:
                bad.append(f"{path!r}: in the folder of {folders[iso_dir]!r}, twin in {jol_dir!r}")
        for path, is_dir, _, _ in entries:
            if is_dir and len(path.rstrip(b"/").rsplit(b"/", 1)[1]) > 8:
                bad.append(f"{path!r}: folder identifier over 8 bytes")
        if len(listed_files) != len(files) or len({e[3] for e in listed_files}) != len(files):
            bad.append(f"{len(listed_files)} ISO 9660 file records for {len(files)} files")
        if len([e for e in entries if e[1]]) != len(want) - len(files):
            bad.append("folder count differs")
        return not bad, "\n".join(bad[:8])
    rep.check("isoinfo -l / -x: every file right under its 8.3 name", short_names)

    def xorriso_find():
        p = run(["xorriso", "-indev", image, "-find", "/"])
        log = text(p.stdout + p.stderr)
        sorry = [l for l in log.splitlines() if "SORRY" in l or "FAILURE" in l]
        listed = {l.strip("'").lstrip("/") for l in text(p.stdout).splitlines() if l.startswith("'/")}
        listed.discard("")
        ok = p.returncode == 0 and not sorry and listed == set(want)
        return ok, "\n".join(sorry[:5]) + f"\nexit {p.returncode}; missing {sorted(set(want) - listed)[:5]}" \
            f", unexpected {sorted(listed - set(want))[:5]}"
    rep.check("xorriso -find loads the tree without SORRY or FAILURE", xorriso_find)

    def osirrox():
        out = os.path.join(work, "osirrox")
        p = run(["osirrox", "-indev", image, "-extract", "/", out])
        if p.returncode != 0:
            return False, f"exit {p.returncode}: {text(p.stderr)[-800:]}"
        return extracted_equal(out, want)
    rep.check("osirrox -extract tree and file times equal the source", osirrox)

    def bsdtar():
        out = os.path.join(work, "bsdtar")
        os.makedirs(out)
        p = run(["bsdtar", "-xf", image, "-C", out])
        if p.returncode != 0:
            return False, f"exit {p.returncode}: {text(p.stderr)[-800:]}"
        return extracted_equal(out, want)
    rep.check("bsdtar -xf tree and file times equal the source", bsdtar)

    def pycdlib_joliet():
        iso = open_pycdlib(image)
        tree, _ = pycdlib_tree(iso, "joliet_path")
        ok, detail = compare_trees(want, tree)
        # The ISO 9660 records as pycdlib parses them point at the same data.
        for path, rec in iso9660_files(iso):
            rel = twin_of.get(rec.extent_location())
            if rel is None or rec.get_data_length() != len(files[rel]):
                ok, detail = False, detail + f"\nISO 9660 record {path!r} has no Joliet twin of its size"
        iso.close()
        return ok, detail
    rep.check("pycdlib: Joliet tree and every file, ISO 9660 records", pycdlib_joliet)


def check_udf_readers(kind, image, sectors, want, files, work, rep):
    def udfinfo():
        p = run(["udfinfo", image])
        out = text(p.stdout)
        fields = dict(l.split("=", 1) for l in out.splitlines() if "=" in l)
        folders = sum(1 for v in want.values() if v is None)
        expect = {"label": LABEL, "blocks": str(sectors), "udfrev": "1.02", "integrity": "closed",
                  "numfiles": str(len(files)), "numdirs": str(folders + 1)}
        wrong = {k: fields.get(k) for k, v in expect.items() if fields.get(k) != v}
        return p.returncode == 0 and not wrong, f"exit {p.returncode}; expected {expect}, found {wrong}\n" \
            f"{text(p.stderr)}"
    rep.check("udfinfo: label, blocks, revision, counts", udfinfo)

    if kind == "udf":
        def pycdlib_udf_only():
            iso = open_pycdlib_udf_only(image)
            tree, _ = pycdlib_tree(iso, "udf_path")
            iso.close()
            return compare_trees(want, tree)
        rep.check("pycdlib: UDF tree and every file (ISO 9660 scaffold added)", pycdlib_udf_only)
        return

    def pycdlib_udf():
        iso = open_pycdlib(image)
        tree, records = pycdlib_tree(iso, "udf_path")
        ok, detail = compare_trees(want, tree)
        # Bridge: the ISO 9660 and Joliet extents are the UDF data blocks
        # shifted by the partition start.
        bad = []
        for rel, rec in records.items():
            udf_block = rec.alloc_descs[0].log_block_num if rec.alloc_descs else None
            joliet = iso.get_record(joliet_path="/" + rel + ";1").extent_location()
            if udf_block is None or joliet != UDF_PARTITION_START + udf_block:
                bad.append(f"{rel}: Joliet extent {joliet}, UDF block {udf_block}")
        for path, rec in iso9660_files(iso):
            if rec.extent_location() - UDF_PARTITION_START not in \
                    {r.alloc_descs[0].log_block_num for r in records.values() if r.alloc_descs}:
                bad.append(f"ISO 9660 {path!r}: extent {rec.extent_location()} is no UDF data block")
        iso.close()
        if bad:
            ok, detail = False, detail + "\n" + "\n".join(bad[:6])
        return ok, detail
    rep.check("pycdlib: UDF tree, every file, extents = 257 + UDF block", pycdlib_udf)


def check_7z(kind, image, want, work, rep):
    def sevenzip():
        out = os.path.join(work, "7z")
        p = run(["7z", "x", "-y", f"-o{out}", image])
        # 7z flags a bridge image's trailing ISO 9660 structures as a header
        # error (exit 2) yet extracts every file: judge it by the tree.
        if p.returncode != 0 and not (kind == "bridge" and p.returncode == 2):
            return False, f"exit {p.returncode}: {text(p.stdout + p.stderr)[-800:]}"
        return extracted_equal(out, want)
    rep.check("7z x tree and file times equal the source" + (" (exit status not judged)" if kind == "bridge" else ""),
              sevenzip)


def check_reproducible(kind, cli, src, work, rep):
    def twice():
        images = []
        for n in (1, 2):
            image = os.path.join(work, f"repro{n}.iso")
            p = cli.build(src, image, kind, extra_env={"SOURCE_DATE_EPOCH": "1700000000"})
            if p.returncode != 0:
                return False, f"build {n}: exit {p.returncode}: {text(p.stderr)}"
            images.append(image)
        same = run(["cmp", images[0], images[1]])
        for i in images:
            os.remove(i)
        return same.returncode == 0, text(same.stdout).strip()
    rep.check("SOURCE_DATE_EPOCH: two builds are identical (cmp)", twice)


# ---------------------------------------------------------------- bad input

def joliet_tree(image):
    iso = open_pycdlib(image)
    tree, _ = pycdlib_tree(iso, "joliet_path")
    iso.close()
    return tree


def check_bad_input(cli, work, rep):
    ok_src = os.path.join(work, "plain")
    os.makedirs(ok_src)
    with open(os.path.join(ok_src, "a.txt"), "w") as f:
        f.write("plain\n")
    out = os.path.join(work, "out")
    os.makedirs(out)

    def refused(p, *texts):
        err = text(p.stderr)
        missing = [t for t in texts if t not in err]
        return p.returncode == 1 and not missing, f"exit {p.returncode}, missing {missing}; stderr: {err.strip()}"

    rep.check("missing source folder", lambda: refused(
        cli.build(os.path.join(work, "no such folder"), os.path.join(out, "x.iso"), "joliet"),
        "フォルダが見つかりません。"))
    rep.check("a file instead of a folder", lambda: refused(
        cli.build(os.path.join(ok_src, "a.txt"), os.path.join(out, "x.iso"), "joliet"),
        "フォルダが見つかりません。"))
    rep.check("image path whose parent is a regular file", lambda: refused(
        cli.build(ok_src, os.path.join(ok_src, "a.txt", "x.iso"), "joliet"),
        "イメージファイルを開けませんでした。", "パスが不正です。"))
    rep.check("label of 16 characters refused", lambda: refused(
        cli.build(ok_src, os.path.join(out, "x.iso"), "joliet", label="0123456789ABCDEF"),
        "15 文字以内で入力してください。"))
    rep.check("label of 15 Japanese characters accepted", lambda: built_ok(
        cli.build(ok_src, os.path.join(out, "jp.iso"), "bridge", label="あ" * 15)))

    if os.path.exists("/dev/full"):
        # A name without ".iso", ".img" or ".bin" gets ".iso" appended, so
        # /dev/full is reached through a link with that extension.
        full = os.path.join(out, "full.iso")
        os.symlink("/dev/full", full)
        rep.check("/dev/full as the image: disk full", lambda: refused(
            cli.build(ok_src, full, "joliet"), "ディスクが満杯です。"))
    else:
        rep.skip("/dev/full as the image", "no /dev/full")

    def missing_folder():
        image = os.path.join(work, "new", "deeper", "x.iso")
        ok, detail = built_ok(cli.build(ok_src, image, "udf"))
        return ok and os.path.isfile(image), detail
    rep.check("missing image folders are created", missing_folder)

    def no_extension():
        p = cli.build(ok_src, os.path.join(out, "noext"), "joliet")
        return p.returncode == 0 and os.path.isfile(os.path.join(out, "noext.iso")), text(p.stderr)
    rep.check("an image name without extension gets .iso", no_extension)

    def image_inside_source():
        src = os.path.join(work, "inside")
        shutil.copytree(ok_src, src)
        image = os.path.join(src, "self.iso")
        for n in (1, 2):  # the second build finds the image already there
            ok, detail = built_ok(cli.build(src, image, "joliet"))
            if not ok:
                return False, f"build {n}: {detail}"
        tree = joliet_tree(image)
        return set(tree) == {"a.txt"}, f"image holds {sorted(tree)}"
    rep.check("an image inside the source folder is not taken in", image_inside_source)

    # Entries that are neither files nor folders, and links that lead nowhere
    # or in circles: the build must finish and keep the regular data.
    odd = os.path.join(work, "odd")
    os.makedirs(os.path.join(odd, "sub"))
    with open(os.path.join(odd, "regular.txt"), "w") as f:
        f.write("regular\n")
    os.mkfifo(os.path.join(odd, "fifo"))
    with socket.socket(socket.AF_UNIX) as sock:
        try:
            sock.bind(os.path.join(odd, "socket"))
        except OSError as e:  # a socket path is limited to about 100 bytes
            rep.skip("a socket in the tree", str(e))
    os.symlink("nowhere", os.path.join(odd, "dangling"))
    os.symlink("self", os.path.join(odd, "self"))
    os.symlink("ping", os.path.join(odd, "pong"))
    os.symlink("pong", os.path.join(odd, "ping"))
    os.symlink("..", os.path.join(odd, "sub", "up"))
    os.symlink("regular.txt", os.path.join(odd, "link.txt"))
    for kind in ("joliet", "bridge", "udf"):
        image = os.path.join(out, f"odd-{kind}.iso")

        def odd_build():
            try:
                p = cli.build(odd, image, kind, timeout=60)
            except subprocess.TimeoutExpired:
                return False, "the build did not finish within 60 s"
            ok, detail = built_ok(p)
            if not ok:
                return ok, detail
            xdir = os.path.join(work, f"odd-{kind}")
            r = run(["7z", "x", "-y", f"-o{xdir}", image])
            tree = extracted(xdir)
            problems = []
            for rel, data in (("regular.txt", b"regular\n"), ("link.txt", b"regular\n")):
                if tree.get(rel) != data:
                    problems.append(f"{rel} missing or wrong")
            for rel in ("fifo", "socket", "dangling", "self", "ping", "pong"):
                if rel in tree:
                    problems.append(f"{rel} taken in")
            if any(k.count("/") > 3 for k in tree):
                problems.append("the looping link was followed")
            return r.returncode in (0, 2) and not problems, f"7z exit {r.returncode}; {problems}; {sorted(tree)}"
        rep.check(f"FIFO, socket, dangling link, link loops ({kind})", odd_build)

    # A name that is not valid UTF-8 still brings its data into the image.
    raw = os.path.join(work.encode(), b"rawname")
    os.makedirs(raw)
    payload = random.Random(7).randbytes(5000)
    with open(os.path.join(raw, b"caf\xe9 \xff.bin"), "wb") as f:
        f.write(payload)
    for kind in ("joliet", "bridge", "udf"):
        def raw_name():
            image = os.path.join(out, f"raw-{kind}.iso")
            ok, detail = built_ok(cli.build(raw.decode(errors="surrogateescape"), image, kind))
            if not ok:
                return ok, detail
            with open(image, "rb") as f:
                data = f.read()
            at = data.find(payload)
            return at >= 0 and at % SECTOR == 0, f"payload found at {at}"
        rep.check(f"a name that is not UTF-8 ({kind})", raw_name)


# ---------------------------------------------------------------- main

READERS = {
    "joliet": ["isoinfo", "xorriso", "osirrox", "7z", "bsdtar", "cmp"],
    "bridge": ["isoinfo", "xorriso", "osirrox", "7z", "bsdtar", "udfinfo", "cmp"],
    "udf": ["udfinfo", "7z", "cmp"],
    "bad": ["7z"],
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
        if args.kind == "bad":
            check_bad_input(cli, work, rep)
        else:
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

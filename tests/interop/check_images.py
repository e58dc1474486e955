#!/usr/bin/python3
"""Builds images with parumero-cli and reads them back with independent readers
(isoinfo, xorriso/osirrox, 7z, bsdtar, udfinfo, pycdlib): every tree a reader
extracts must equal the source byte for byte, file times included. --kind bad
sends bad input through the CLI. One line per check; non-zero exit on a failure.
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
SOURCE_TIMES = {}  # relative path -> modification time of the source file


class Report:
    def __init__(self, group):
        self.group, self.counts = group, collections.Counter()

    def result(self, name, ok, detail=""):
        """ok None: skipped, for the reason in detail."""
        word = "SKIP" if ok is None else "PASS" if ok else "FAIL"
        self.counts[word] += 1
        detail = detail.strip()
        if ok is None:
            name += f" ({detail})"
        elif detail and not ok:
            name += "\n      " + detail.replace("\n", "\n      ")
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
        print(f"interop {self.group}: {c['PASS']} checks passed, {c['FAIL']} failed, {c['SKIP']} skipped")
        return 1 if c["FAIL"] else 0


def run(args, env=None, timeout=120):
    return subprocess.run(args, capture_output=True, env=env, timeout=timeout)


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


def check_extract(rep, name, args, out, want, ok_codes=(0,)):
    """A reader that extracts the whole image into `out`."""
    def extract():
        os.makedirs(out)
        p = run(args)
        if p.returncode not in ok_codes:
            return False, f"exit {p.returncode}: {text(p.stdout + p.stderr)[-800:]}"
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
        self.env = dict(os.environ, TZ=tz, LANG="C.UTF-8", XDG_CONFIG_HOME=cfg)
        self.env.pop("SOURCE_DATE_EPOCH", None)

    def build(self, source, image, kind, label=LABEL, extra_env=None, timeout=120):
        args = [self.path, "--kind", kind, "--settings", self.settings, "--except", self.except_file, "--quiet",
                "--label", label, "--date", DATE, "--", source, image]
        return run(args, env=dict(self.env, **(extra_env or {})), timeout=timeout)

    def size(self, source, kind):
        return run([self.path, "--size", "--kind", kind, "--except", self.except_file, source], env=self.env)


def built_ok(p):
    return p.returncode == 0 and DONE_TEXT in text(p.stdout), f"exit {p.returncode}: {text(p.stderr).strip()}"


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
        elif (m := LIST_LINE.match(line)) and folder is not None and m.group(4) not in (b".", b".."):
            entries.append((folder + m.group(4), m.group(1) == b"d", int(m.group(2)), int(m.group(3))))
    return entries


def isoinfo_name(name):
    # isoinfo -J prints each UTF-16 unit beyond Latin-1 as "_".
    units = name.encode("utf-16-be")
    return "".join(chr(u) if u < 0x100 else "_" for u in (int.from_bytes(units[i:i + 2], "big")
                                                        for i in range(0, len(units), 2)))


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
    """read_tree()-shaped dict of the Joliet or UDF hierarchy, and {path: record}."""
    tree, records = {}, {}
    for d, dirs, files in iso.walk(**{key: "/"}):
        base = d.strip("/")
        for n in dirs:
            tree[os.path.join(base, n)] = None
        for n in files:
            image_path = d.rstrip("/") + "/" + n
            rel = os.path.join(base, n.removesuffix(";1") if key == "joliet_path" else n)
            out = io.BytesIO()
            iso.get_file_from_iso_fp(out, **{key: image_path})
            tree[rel], records[rel] = out.getvalue(), iso.get_record(**{key: image_path})
    return tree, records


def iso9660_files(iso):
    """[(path bytes, record)] of every file in the ISO 9660 hierarchy, walked
    through the directory records (the names are code page 932 bytes)."""
    out, todo = [], [(b"", iso.get_record(iso_path="/"))]
    while todo:
        path, rec = todo.pop()
        for child in rec.children:
            if not (child.is_dot() or child.is_dotdot()):
                (todo if child.is_dir() else out).append((path + b"/" + child.file_identifier(), child))
    return out


def check_kind(kind, cli, work, rep):
    src = make_test_tree.make_tree(os.path.join(work, "src"))
    want = read_tree(src)
    SOURCE_TIMES.update({rel: int(os.stat(os.path.join(src, rel)).st_mtime) for rel in want})
    files = {k: v for k, v in want.items() if v is not None}
    image = os.path.join(work, f"{kind}.iso")
    if not rep.check(f"build --kind {kind}", lambda: built_ok(cli.build(src, image, kind))):
        return
    size = os.path.getsize(image)

    def size_preview():
        p = cli.size(src, kind)
        m = re.search(r": ([\d,]+) Sectors\s+([\d,]+) BYTE", text(p.stdout))
        ok = p.returncode == 0 and m and int(m.group(2).replace(",", "")) == size
        return ok, f"image {size} bytes, --size said: {text(p.stdout).strip()}"
    rep.check("--size predicts the image length", size_preview)
    rep.result("image is whole sectors", size % SECTOR == 0, f"{size} bytes")

    if kind in ("joliet", "bridge"):
        check_iso_readers(image, size // SECTOR, want, files, work, rep)
    if kind in ("bridge", "udf"):
        check_udf_readers(kind, image, size // SECTOR, want, files, rep)
    # 7z flags a bridge image's trailing ISO 9660 structures as a header error
    # (exit 2) yet extracts every file: judge it by the tree.
    bridge = kind == "bridge"
    check_extract(rep, "7z x tree and file times equal the source" + (" (exit status not judged)" if bridge else ""),
                  ["7z", "x", "-y", f"-o{work}/7z", image], f"{work}/7z", want, (0, 2) if bridge else (0,))

    def twice():
        images = [os.path.join(work, f"repro{n}.iso") for n in (1, 2)]
        for n, path in enumerate(images, 1):
            p = cli.build(src, path, kind, extra_env={"SOURCE_DATE_EPOCH": "1700000000"})
            if p.returncode != 0:
                return False, f"build {n}: exit {p.returncode}: {text(p.stderr)}"
        same = run(["cmp"] + images)
        for path in images:
            os.remove(path)
        return same.returncode == 0, text(same.stdout)
    rep.check("SOURCE_DATE_EPOCH: two builds are identical (cmp)", twice)


def joliet_twins(image):
    """{extent: source path} of every Joliet file record, through pycdlib's true names."""
    iso, twins = open_pycdlib(image), {}
    for d, _, names in iso.walk(joliet_path="/"):
        for n in names:
            rec = iso.get_record(joliet_path=d.rstrip("/") + "/" + n)
            twins[rec.extent_location()] = os.path.join(d.strip("/"), n.removesuffix(";1"))
    iso.close()
    return twins


def check_iso_readers(image, sectors, want, files, work, rep):
    def descriptor():
        out = text(run(["isoinfo", "-d", "-i", image]).stdout)
        problems = [what for line, what in ((f"Volume id: {LABEL}\n", "volume id is not the label"),
                                            (f"Volume size is: {sectors}\n", f"volume size is not {sectors}"),
                                            ("Joliet with UCS level 3 found", "no Joliet UCS-2 level 3 escape"))
                    if line not in out]
        return not problems, "; ".join(problems) + "\n" + out
    rep.check("isoinfo -d: label, volume size, Joliet", descriptor)

    # isoinfo shows Joliet names beyond Latin-1 as "_": compare with the
    # source names shown the same way.
    shown = collections.defaultdict(list)  # isoinfo path -> source paths
    for rel in want:
        shown["/" + "/".join(isoinfo_name(c) for c in rel.split("/"))].append(rel)

    def joliet_listing():
        got = collections.Counter((p.decode("latin-1").rstrip("/").removesuffix(";1"), d, 0 if d else s)
                                  for p, d, s, _ in isoinfo_listing(image, joliet=True))
        exp = collections.Counter((path, want[rel] is None, len(want[rel] or b""))
                                  for path, rels in shown.items() for rel in rels)
        return got == exp, f"missing {sorted(exp - got)[:5]}, unexpected {sorted(got - exp)[:5]}"
    rep.check("isoinfo -J -l lists every entry with its size", joliet_listing)

    def joliet_extract():
        bad = []
        for path, rels in shown.items():
            if want[rels[0]] is not None:
                data = run(["isoinfo", "-i", image, "-J", "-x", (path + ";1").encode("latin-1")]).stdout
                # Files whose shown paths match come out joined, one after the other.
                if all(data != b"".join(want[r] for r in order) for order in itertools.permutations(rels)):
                    bad.append(rels[0])
        return not bad, f"{len(bad)} files differ: {bad[:6]}"
    rep.check("isoinfo -J -x extracts every file", joliet_extract)

    def short_names():
        # Each ISO 9660 file record shares its extent with its Joliet twin and
        # holds the same bytes under an 8.3 name, in the twin's folder.
        joliet_at = {extent for _, is_dir, _, extent in isoinfo_listing(image, joliet=True) if not is_dir}
        twin_of = joliet_twins(image)
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
            if size != len(files[rel]) or run(["isoinfo", "-i", image, "-x", path]).stdout != files[rel]:
                bad.append(f"{path!r}: content differs from {rel}")
            iso_dir, jol_dir = path.rsplit(b"/", 1)[0], os.path.dirname(rel)
            if folders.setdefault(iso_dir, jol_dir) != jol_dir:
                bad.append(f"{path!r}: in the folder of {folders[iso_dir]!r}, twin in {jol_dir!r}")
        bad += [f"{p!r}: folder identifier over 8 bytes" for p, d, _, _ in entries
                if d and len(p.rstrip(b"/").rsplit(b"/", 1)[1]) > 8]
        if len(listed_files) != len(files) or len({e[3] for e in listed_files}) != len(files):
            bad.append(f"{len(listed_files)} ISO 9660 file records for {len(files)} files")
        if len(entries) - len(listed_files) != len(want) - len(files):
            bad.append("folder count differs")
        return not bad, "\n".join(bad[:8])
    rep.check("isoinfo -l / -x: every file right under its 8.3 name", short_names)

    def xorriso_find():
        p = run(["xorriso", "-indev", image, "-find", "/"])
        sorry = [line for line in text(p.stdout + p.stderr).splitlines() if "SORRY" in line or "FAILURE" in line]
        listed = {line.strip("'").lstrip("/") for line in text(p.stdout).splitlines() if line.startswith("'/")} - {""}
        return p.returncode == 0 and not sorry and listed == set(want), "\n".join(sorry[:5]) + \
            f"\nexit {p.returncode}; missing {sorted(set(want) - listed)[:5]}, unexpected {sorted(listed - set(want))[:5]}"
    rep.check("xorriso -find loads the tree without SORRY or FAILURE", xorriso_find)
    check_extract(rep, "osirrox -extract tree and file times equal the source",
                  ["osirrox", "-indev", image, "-extract", "/", f"{work}/osirrox"], f"{work}/osirrox", want)
    check_extract(rep, "bsdtar -xf tree and file times equal the source",
                  ["bsdtar", "-xf", image, "-C", f"{work}/bsdtar"], f"{work}/bsdtar", want)

    def pycdlib_joliet():
        twin_of, iso = joliet_twins(image), open_pycdlib(image)
        ok, detail = compare_trees(want, pycdlib_tree(iso, "joliet_path")[0])
        # The ISO 9660 records as pycdlib parses them point at the same data.
        for path, rec in iso9660_files(iso):
            rel = twin_of.get(rec.extent_location())
            if rel is None or rec.get_data_length() != len(files[rel]):
                ok, detail = False, detail + f"\nISO 9660 record {path!r} has no Joliet twin of its size"
        iso.close()
        return ok, detail
    rep.check("pycdlib: Joliet tree and every file, ISO 9660 records", pycdlib_joliet)


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
        tree, records = pycdlib_tree(iso, "udf_path")
        ok, detail = compare_trees(want, tree)
        # Bridge: the ISO 9660 and Joliet extents are the UDF data blocks
        # shifted by the partition start.
        blocks = {rel: rec.alloc_descs[0].log_block_num for rel, rec in records.items() if rec.alloc_descs}
        bad = []
        for rel in records if kind == "bridge" else ():
            joliet = iso.get_record(joliet_path="/" + rel + ";1").extent_location()
            if rel not in blocks or joliet != UDF_PARTITION_START + blocks[rel]:
                bad.append(f"{rel}: Joliet extent {joliet}, UDF block {blocks.get(rel)}")
        for path, rec in iso9660_files(iso) if kind == "bridge" else ():
            if rec.extent_location() - UDF_PARTITION_START not in blocks.values():
                bad.append(f"ISO 9660 {path!r}: extent {rec.extent_location()} is no UDF data block")
        iso.close()
        return ok and not bad, "\n".join([detail] + bad[:6])
    rep.check("pycdlib: UDF tree, every file, extents = 257 + UDF block" if kind == "bridge"
              else "pycdlib: UDF tree and every file (ISO 9660 scaffold added)", pycdlib_udf)


def check_bad_input(cli, work, rep):
    ok_src, out = os.path.join(work, "plain"), os.path.join(work, "out")
    os.makedirs(ok_src)
    os.makedirs(out)
    with open(os.path.join(ok_src, "a.txt"), "w") as f:
        f.write("plain\n")

    def refused(p, *texts):
        err = text(p.stderr)
        missing = [t for t in texts if t not in err]
        return p.returncode == 1 and not missing, f"exit {p.returncode}, missing {missing}; stderr: {err.strip()}"

    x_iso, not_found = os.path.join(out, "x.iso"), "フォルダが見つかりません。"
    # A name without ".iso", ".img" or ".bin" gets ".iso" appended, so
    # /dev/full is reached through a link with that extension.
    full = os.path.join(out, "full.iso")
    os.symlink("/dev/full", full)
    cases = [("missing source folder", (os.path.join(work, "no such folder"), x_iso), [not_found]),
             ("a file instead of a folder", (os.path.join(ok_src, "a.txt"), x_iso), [not_found]),
             ("image path whose parent is a regular file", (ok_src, os.path.join(ok_src, "a.txt", "x.iso")),
              ["イメージファイルを開けませんでした。", "パスが不正です。"])]
    if os.path.exists("/dev/full"):
        cases.append(("/dev/full as the image: disk full", (ok_src, full), ["ディスクが満杯です。"]))
    else:
        rep.result("/dev/full as the image", None, "no /dev/full")
    for name, args, texts in cases:
        rep.check(name, lambda: refused(cli.build(*args, "joliet"), *texts))
    rep.check("label of 16 characters refused", lambda: refused(
        cli.build(ok_src, x_iso, "joliet", label="0123456789ABCDEF"), "15 文字以内で入力してください。"))
    for name, image, kind, label, made in (
            ("label of 15 Japanese characters accepted", f"{out}/jp.iso", "bridge", "あ" * 15, f"{out}/jp.iso"),
            ("missing image folders are created", f"{work}/new/deeper/x.iso", "udf", LABEL, f"{work}/new/deeper/x.iso"),
            ("an image name without extension gets .iso", f"{out}/noext", "joliet", LABEL, f"{out}/noext.iso")):
        def accepted():
            ok, detail = built_ok(cli.build(ok_src, image, kind, label=label))
            return ok and os.path.isfile(made), detail
        rep.check(name, accepted)

    def image_inside_source():
        src = os.path.join(work, "inside")
        shutil.copytree(ok_src, src)
        image = os.path.join(src, "self.iso")
        for n in (1, 2):  # the second build finds the image already there
            ok, detail = built_ok(cli.build(src, image, "joliet"))
            if not ok:
                return False, f"build {n}: {detail}"
        iso = open_pycdlib(image)
        tree = pycdlib_tree(iso, "joliet_path")[0]
        iso.close()
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
            rep.result("a socket in the tree", None, str(e))
    for name, target in (("dangling", "nowhere"), ("self", "self"), ("pong", "ping"), ("ping", "pong"),
                         ("sub/up", ".."), ("link.txt", "regular.txt")):
        os.symlink(target, os.path.join(odd, name))
    for kind in ("joliet", "bridge", "udf"):
        def odd_build():
            image, xdir = os.path.join(out, f"odd-{kind}.iso"), os.path.join(work, f"odd-{kind}")
            try:
                ok, detail = built_ok(cli.build(odd, image, kind, timeout=60))
            except subprocess.TimeoutExpired:
                return False, "the build did not finish within 60 s"
            if not ok:
                return ok, detail
            r = run(["7z", "x", "-y", f"-o{xdir}", image])
            tree = read_tree(xdir)
            problems = [f"{rel} missing or wrong" for rel in ("regular.txt", "link.txt") if tree.get(rel) != b"regular\n"]
            problems += [f"{rel} taken in" for rel in ("fifo", "socket", "dangling", "self", "ping", "pong") if rel in tree]
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
                at = f.read().find(payload)
            return at >= 0 and at % SECTOR == 0, f"payload found at {at}"
        rep.check(f"a name that is not UTF-8 ({kind})", raw_name)


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

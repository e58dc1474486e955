#!/usr/bin/python3
"""Builds an image with parumero-cli, checks it with parumero-cli --verify and
reads it back with independent readers (isoinfo, osirrox, 7z, bsdtar, udfinfo,
pycdlib): every tree a reader extracts must equal the source byte for byte,
file times included. One line per check; non-zero exit on a failure.
"""

import argparse
import importlib.util
import io
import os
import re
import shutil
import stat
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import make_test_tree  # noqa: E402

SECTOR, LABEL, DATE = 2048, "INTEROP_TEST", "2024-05-06 07:08:09"
DONE_TEXT = "イメージの作成が終了しました。"
READERS = {"joliet": ["isoinfo", "osirrox", "7z", "bsdtar"], "bridge": ["isoinfo", "osirrox", "7z", "bsdtar", "udfinfo"],
           "udf": ["udfinfo", "7z"]}
failures = 0


def check(group, name, fn):
    """Runs fn() -> (ok, detail) and prints one line; a reader that throws has rejected the image."""
    global failures
    try:
        ok, detail = fn()
    except Exception as e:
        ok, detail = False, f"{type(e).__name__}: {e}"
    failures += not ok
    more = "\n      " + str(detail).strip().replace("\n", "\n      ") if not ok and str(detail).strip() else ""
    print(f"{'PASS' if ok else 'FAIL'}  {group}: {name}{more}", flush=True)
    return ok


def run(args, env=None):
    p = subprocess.run(args, capture_output=True, env=env, timeout=120)
    return p.returncode, (p.stdout + p.stderr).decode("utf-8", "replace")


def read_tree(root, times=False):
    """{relative path: None for a folder, bytes (and the whole-second time) for a file}."""
    out = {}
    for d, dirs, files in os.walk(root):
        for n in dirs:  # some readers extract folders without write or search bits
            os.chmod(os.path.join(d, n), os.stat(os.path.join(d, n)).st_mode | stat.S_IRWXU)
            out[os.path.relpath(os.path.join(d, n), root)] = None
        for n in files:
            with open(os.path.join(d, n), "rb") as f:
                out[os.path.relpath(f.name, root)] = (f.read(), int(os.stat(f.name).st_mtime)) if times else f.read()
    return out


def compare(want, got):
    problems = [f"{label} ({len(items)}): " + ", ".join(sorted(items)[:6]) for label, items in (
        ("missing", set(want) - set(got)), ("unexpected", set(got) - set(want)),
        ("different bytes or time", {k for k in set(want) & set(got) if want[k] != got[k]})) if items]
    return not problems, "\n".join(problems)


def extract(args, out, want, ok_codes=(0,), refused=None):
    os.makedirs(out)
    code, said = run(args)
    if code not in ok_codes or (refused and re.search(refused, said)):
        return False, f"exit {code}: {said[-800:]}"
    ok, detail = compare(want, read_tree(out, times=True))
    shutil.rmtree(out)
    return ok, detail


def both(n, width):
    return n.to_bytes(width, "little") + n.to_bytes(width, "big")


def open_pycdlib(image, udf_only):
    """pycdlib opens only images with an ISO 9660 primary volume descriptor, so a
    UDF-only image gets a minimal ISO 9660 volume in the zero sectors after the
    recognition sequence: descriptor (19), terminator (20), empty root (21),
    path tables (22, 23). Every UDF byte it reads is the image's own."""
    import pycdlib
    with open(image, "rb") as f:
        data = bytearray(f.read())
    if udf_only:
        assert not any(data[19 * SECTOR:24 * SECTOR]), "sectors 19 to 23 of a UDF image are not zero"
        rec = [bytes([34, 0]) + both(21, 4) + both(SECTOR, 4) + bytes(7) + bytes([2, 0, 0]) + both(1, 2) + bytes([1, i])
               for i in (0, 1)]
        pvd = (bytes([1]) + b"CD001" + bytes([1, 0]) + b" " * 32 + b"UDF ONLY".ljust(32) + bytes(8)
               + both(len(data) // SECTOR, 4) + bytes(32) + both(1, 2) + both(1, 2) + both(SECTOR, 2) + both(10, 4)
               + (22).to_bytes(4, "little") + bytes(4) + (23).to_bytes(4, "big") + bytes(4)
               + rec[0] + b" " * (128 * 4 + 37 * 3) + (b"0" * 16 + b"\0") * 4 + bytes([1]))
        for n, content in {19: pvd, 20: bytes([255]) + b"CD001" + bytes([1]), 21: rec[0] + rec[1],
                           22: bytes([1, 0]) + (21).to_bytes(4, "little") + (1).to_bytes(2, "little") + bytes(2),
                           23: bytes([1, 0]) + (21).to_bytes(4, "big") + (1).to_bytes(2, "big") + bytes(2)}.items():
            data[n * SECTOR:(n + 1) * SECTOR] = content.ljust(SECTOR, b"\0")
    iso = pycdlib.PyCdlib()
    iso.open_fp(io.BytesIO(bytes(data)))
    return iso


def pycdlib_equal(image, key, want, udf_only=False):
    iso, tree = open_pycdlib(image, udf_only), {}
    for d, dirs, files in iso.walk(**{key: "/"}):
        tree.update({os.path.join(d.strip("/"), n): None for n in dirs})
        for n in files:
            out = io.BytesIO()
            iso.get_file_from_iso_fp(out, **{key: d.rstrip("/") + "/" + n})
            tree[os.path.join(d.strip("/"), n.removesuffix(";1"))] = out.getvalue()
    iso.close()
    return compare(want, tree)


def check_kind(kind, cli, work, tz):
    cfg = os.path.join(work, "config")
    os.makedirs(cfg)
    settings, except_file = f"{cfg}/parumero.INI", f"{cfg}/except.txt"
    for p in (settings, except_file):  # files beside the program or in the user's config must not change a build
        open(p, "w").close()
    env = {k: v for k, v in os.environ.items() if k not in ("SOURCE_DATE_EPOCH", "LC_ALL")}
    env.update(TZ=tz, LANG="C.UTF-8", LC_MESSAGES="ja_JP.UTF-8", XDG_CONFIG_HOME=cfg)  # Japanese texts are compared
    src, image = make_test_tree.make_tree(os.path.join(work, "src")), os.path.join(work, f"{kind}.iso")
    want, timed = read_tree(src), read_tree(src, times=True)
    files = [k for k, v in want.items() if v is not None]
    common = ["--kind", kind, "--except", except_file]

    def build():
        code, said = run([cli, *common, "--settings", settings, "--label", LABEL, "--date", DATE, "--", src, image], env)
        return code == 0 and DONE_TEXT in said, f"exit {code}: {said}"
    if not check(kind, f"build --kind {kind}", build):
        return
    size, sectors = os.path.getsize(image), os.path.getsize(image) // SECTOR

    def size_preview():
        code, said = run([cli, "--size", *common, src], env)
        m = re.search(r": ([\d,]+) Sectors\s+([\d,]+) BYTE", said)
        return code == 0 and m and int(m.group(2).replace(",", "")) == size, f"image {size} bytes, --size said: {said}"
    checks = [("--size predicts the image length", size_preview),
              ("image is whole sectors", lambda: (size % SECTOR == 0, f"{size} bytes")),
              # Our own readers: every hierarchy holds the source (names, sizes, times, bytes) and shares its sectors.
              ("parumero-cli --verify: every hierarchy holds the source", lambda: (
                  lambda r: (r[0] == 0 and r[1].startswith("identical"), r[1][-800:]))(
                  run([cli, "--verify", *common, "--", src, image], env)))]
    if kind != "udf":
        def isoinfo():
            out = run(["isoinfo", "-d", "-i", image])[1]
            lines = (f"Volume id: {LABEL}\n", f"Volume size is: {sectors}\n", "Joliet with UCS level 3 found")
            return all(line in out for line in lines), out
        checks += [("isoinfo -d: label, volume size, Joliet", isoinfo),
                   ("xorriso loads without SORRY or FAILURE; osirrox -extract tree and file times equal the source",
                    lambda: extract(["osirrox", "-indev", image, "-extract", "/", f"{work}/osirrox"], f"{work}/osirrox",
                                    timed, refused=r"\b(SORRY|FAILURE)\b")),
                   ("bsdtar -xf tree and file times equal the source",
                    lambda: extract(["bsdtar", "-xf", image, "-C", f"{work}/bsdtar"], f"{work}/bsdtar", timed)),
                   ("pycdlib: Joliet tree and every file", lambda: pycdlib_equal(image, "joliet_path", want))]
    if kind != "joliet":
        def udfinfo():
            code, said = run(["udfinfo", image])
            fields = dict(line.split("=", 1) for line in said.splitlines() if "=" in line)
            expect = {"label": LABEL, "blocks": str(sectors), "udfrev": "1.02", "integrity": "closed",
                      "numfiles": str(len(files)), "numdirs": str(len(want) - len(files) + 1)}
            return code == 0 and all(fields.get(k) == v for k, v in expect.items()), f"expected {expect}\n{said}"
        checks += [("udfinfo: label, blocks, revision, counts", udfinfo),
                   ("pycdlib: UDF tree and every file" + (" (ISO 9660 scaffold added)" if kind == "udf" else ""),
                    lambda: pycdlib_equal(image, "udf_path", want, udf_only=kind == "udf"))]
    # 7z flags a bridge image's trailing ISO 9660 structures as a header error
    # (exit 2) yet extracts every file: judge it by the tree.
    bridge = kind == "bridge"
    checks.append(("7z x tree and file times equal the source" + (" (exit status not judged)" if bridge else ""),
                   lambda: extract(["7z", "x", "-y", f"-o{work}/7z", image], f"{work}/7z", timed,
                                   (0, 2) if bridge else (0,))))
    for name, fn in checks:
        check(kind, name, fn)


def main(argv):
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--cli", required=True, help="path of parumero-cli")
    parser.add_argument("--kind", required=True, choices=sorted(READERS))
    parser.add_argument("--keep", action="store_true", help="keep the work folder")
    parser.add_argument("--tz", default="JST-9", help="TZ of the builds (a POSIX zone string)")
    args = parser.parse_args(argv)
    missing = [t for t in READERS[args.kind] if not shutil.which(t)]
    missing += ["python3-pycdlib"] if importlib.util.find_spec("pycdlib") is None else []
    if check(args.kind, "readers installed", lambda: (not missing, f"missing {missing} (scripts/setup.sh installs them)")):
        work = tempfile.mkdtemp(prefix=f"parumero-interop-{args.kind}-")
        try:
            check_kind(args.kind, os.path.abspath(args.cli), work, args.tz)
        finally:
            if args.keep:
                print(f"work folder kept: {work}")
            else:
                subprocess.run(["chmod", "-R", "u+rwx", work])
                shutil.rmtree(work, ignore_errors=True)
    print(f"interop {args.kind}: {failures} failed")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))

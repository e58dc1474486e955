#!/usr/bin/python3
"""Linux attributes (--posix) as the Linux kernel mounts them: a tree with a
script, a private file, a file of another owner, symbolic links of every sort,
a hard-link pair and a long name goes into an image of one kind, and one boot
mounts every view that kind has. Rock Ridge and UDF must give back mode,
owner, size, time, link count, link target and data; the Joliet view (norock)
names, sizes and data, a link to a file inside the tree as that file.
Before the boot, bsdtar and pycdlib list the Rock Ridge tree too, pycdlib
the UDF tree's entries (the names of a hard-linked file share one;
7-Zip opens no UDF volume with a symbolic link: it knows files and folders
only), and --verify --posix compares the image with the source.
Exit 77 (skipped) without a kernel."""
import argparse, os, re, shutil, stat, sys, tempfile

here = os.path.dirname(os.path.abspath(__file__))
sys.path[:0] = [here, os.path.join(here, "..", "interop")]
import kmount  # noqa: E402
from check_images import Cli, Report, open_pycdlib, run, text  # noqa: E402

TIME = 1_600_000_000
FULL, JOLIET = (kmount.FIELDS, "keep"), (("size", "md5"), "joliet")
VIEWS = {"joliet": {"iso9660": FULL, "iso9660:norock": JOLIET},
         "bridge": {"iso9660": FULL, "iso9660:norock": JOLIET, "udf": FULL},
         "udf": {"udf": FULL}}
LONG = "a name longer than sixty-four characters, which Joliet cannot hold whole.txt"


def make_tree(root, kind):
    files = {"python3.11": ("#!/bin/sh\necho script\n", 0o755), "private.txt": ("mine\n", 0o600),
             "other owner.txt": ("theirs\n", 0o640), "data.bin": (bytes(range(256)) * 9, 0o644)}
    if kind == "udf":  # names that the kinds with Joliet refuse, with or without Rock Ridge
        files.update({"odd: *? and \\.txt": ("odd\n", 0o644), LONG: ("long\n", 0o644)})
    for d in ("sub", "links"):
        os.makedirs(os.path.join(root, d))
    for name, (data, mode) in files.items():
        with open(os.path.join(root, name), "wb") as f:
            f.write(data.encode() if isinstance(data, str) else data)
        os.chmod(f.name, mode)
    if os.geteuid() == 0:  # another owner needs root (CI's); otherwise it stays the user's
        os.chown(os.path.join(root, "other owner.txt"), 1234, 5678)
    os.link(os.path.join(root, "data.bin"), os.path.join(root, "sub", "data again.bin"))
    os.chmod(os.path.join(root, "sub"), 0o750)
    for name, target in (("relative", "../python3.11"), ("absolute", "/usr/bin/env"), ("dangling", "nowhere/at all"),
                         ("up", "..")):
        os.symlink(target, os.path.join(root, "links", name))
    for d, dirs, names in os.walk(root, topdown=False):  # folders last: adding an entry touches its folder
        for n in names + dirs:
            os.utime(os.path.join(d, n), (TIME, TIME), follow_symlinks=False)


def mode_of(text):
    """st_mode of an ls mode string such as drwxr-x---."""
    kind = {"d": stat.S_IFDIR, "l": stat.S_IFLNK, "-": stat.S_IFREG}[text[0]]
    return kind | sum(1 << (8 - i) for i, c in enumerate(text[1:10]) if c != "-")


def peer_views(image, kind):
    """{reader: (view, fields)}: the Rock Ridge tree as bsdtar (which, in a bridge, reads only the first tree
    it meets) and pycdlib list it. bsdtar counts no links where the data comes before the directories (the
    bridge), and the listings give no time to the second."""
    def entry(mode, uid, gid, nlink, target):
        return kmount.Entry(mode_of(mode) if isinstance(mode, str) else mode, int(uid), int(gid), None, None,
                            None if nlink is None else int(nlink), None, target)
    bsdtar, pycd = {}, {}
    for line in text(run(["bsdtar", "-tvf", image]).stdout).splitlines():
        if m := re.match(r"(\S{10}) +(\d+) +(\d+) +(\d+) +\d+ \w+ +\d+ +[\d:]+ (.+?)(?: -> (.*)| link to .*)?$", line):
            if m[5] != ".":
                bsdtar[m[5]] = entry(m[1], m[3], m[4], m[2], m[6])
    iso = open_pycdlib(image)
    for d, dirs, files in iso.walk(rr_path="/"):
        for n in dirs + files:
            rr = iso.get_record(rr_path=d.rstrip("/") + "/" + n).rock_ridge
            px = rr.dr_entries.px_record or rr.ce_entries.px_record
            pycd[os.path.join(d, n).lstrip("/")] = entry(rr.get_file_mode(), px.posix_user_id, px.posix_group_id,
                                                         px.posix_file_links,
                                                         rr.symlink_path().decode() if rr.is_symlink() else None)
    iso.close()
    return {"bsdtar -tvf": (bsdtar, ("mode", "uid", "gid") + ("nlink",) * (kind == "joliet") + ("target",)),
            "pycdlib": (pycd, ("mode", "uid", "gid", "nlink", "target"))}


def shared_udf_entries(image, src, udf_only):
    """The files of the source whose names pycdlib finds in more than one UDF entry (the kernel, which
    checks the attributes, shows no entry locations)."""
    iso, entries = open_pycdlib(image, udf_only), {}
    for d, dirs, files in iso.walk(udf_path="/"):
        for n in dirs + files:
            ino = os.lstat(os.path.join(src, d[1:], n)).st_ino
            entries.setdefault(ino, set()).add(iso.get_record(udf_path=os.path.join(d, n)).orig_extent_loc)
    iso.close()
    return [f"names of one file in {len(e)} entries" for e in entries.values() if len(e) > 1]


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--cli")
    ap.add_argument("--kind", choices=VIEWS, default="joliet")
    a = ap.parse_args()
    rep, work = Report(f"kernel {a.kind}"), tempfile.mkdtemp(prefix="parumero-kernel-")
    try:
        src, image = os.path.join(work, "src"), os.path.join(work, "image.iso")
        make_tree(src, a.kind)
        views = VIEWS[a.kind]
        p = Cli(a.cli, work, "UTC").build(src, image, a.kind, "--posix")
        if not rep.result("build", p.returncode == 0, text(p.stderr)):
            return rep.close()
        if "iso9660" in views:  # the same tree as other readers of Rock Ridge list it
            for reader, (view, what) in peer_views(image, a.kind).items():
                diffs = kmount.compare(src, view, what)
                rep.result(f"{reader}: {', '.join(what)} as in the source", not diffs, "\n".join(diffs))
        if "udf" in views:
            diffs = shared_udf_entries(image, src, a.kind == "udf")
            rep.result("pycdlib, UDF: one entry for hard links", not diffs, "\n".join(diffs))
        p = Cli(a.cli, work + "/v", "UTC").verify(src, image, a.kind, "--posix")
        rep.result("parumero-cli --verify --posix", p.returncode == 0, text(p.stdout + p.stderr))
        try:
            got = kmount.listing(image, list(views))
        except kmount.Unavailable as e:  # a skip, unless a check above failed
            print(f"SKIP  no kernel to mount with: {e}")
            return rep.close() or 77
        for view, (what, links) in views.items():
            if rep.result(f"{view}: mounted", got[view].error is None, got[view].error or ""):
                diffs = kmount.compare(src, got[view], what, links)
                rep.result(f"{view}: {', '.join(what)} as in the source", not diffs, "\n".join(diffs))
    finally:
        shutil.rmtree(work, ignore_errors=True)
    return rep.close()


if __name__ == "__main__":
    sys.exit(main())

#!/usr/bin/python3
"""What the Linux kernel makes of an image. This machine's kernel has no isofs
or udf, so Debian's kernel boots in qemu (KVM where there is one) from a
busybox initramfs, attaches the image read-only, mounts it once per view asked
for (iso9660: Rock Ridge, iso9660:norock: Joliet, iso9660:nojoliet,norock:
plain ISO 9660, udf) and lists every path with its mode, owner, size, time,
link count, link target and MD5 on the serial console. Kernel and busybox are
taken from the Debian archive once (apt-get download, never installed) and
kept in $PARUMERO_KERNEL_CACHE, by default ~/.cache/parumero-kernel.

Usage: kmount.py IMAGE [--mount VIEW ...] [--compare SOURCE]
Exit 77 when the kernel cannot be had (no archive)."""
import argparse, collections, gzip, hashlib, os, re, stat, subprocess, sys, tempfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "interop"))
from check_images import run, text  # noqa: E402

VIEWS = ("iso9660", "iso9660:norock", "iso9660:nojoliet,norock", "udf")
# Loaded in this order; whatever else they need is found in their .modinfo.
MODULES = ("virtio_pci", "virtio_blk", "nls_utf8", "isofs", "udf")
FIELDS = ("mode", "uid", "gid", "size", "mtime", "nlink", "md5", "target")
Entry = collections.namedtuple("Entry", FIELDS)
BOOT_TIMEOUT = 900  # seconds for one boot and all its views, under emulation

# The listing goes to the serial console between markers, one block a view;
# kernel messages stay off the console (loglevel=1) and come through dmesg.
INIT = r"""#!/bin/busybox sh
/bin/busybox --install -s /bin
mount -t proc proc /proc
mount -t devtmpfs dev /dev
for m in @MODULES@; do insmod /lib/$m.ko; done
i=0; while [ ! -b /dev/vda ] && [ $i -lt 100 ]; do sleep 0.1; i=$((i+1)); done
for view in $(echo "$kmount" | tr / ' '); do
  fs=${view%%:*}; opts=ro,loud; [ "$fs" = "$view" ] || opts=ro,loud,${view#*:}
  echo "@@KMOUNT $view"
  dmesg -c >/dev/null
  if mount -t "$fs" -o "$opts" /dev/vda /mnt 2>/tmp/err; then
    cd /mnt
    find . -mindepth 1 | while IFS= read -r p; do
      sum=-; [ -f "$p" ] && [ ! -L "$p" ] && sum=$(md5sum <"$p") && sum=${sum%% *}
      echo "E $(stat -c '%f %u %g %s %Y %h' "$p") $sum ${p#./}"
      [ -L "$p" ] && echo "L $(readlink "$p")"
    done
    cd /; umount /mnt
  else
    sed 's/^/X /' /tmp/err; echo "X mount failed"
  fi
  dmesg | sed 's/^/K /'
  echo "@@KMOUNT-END"
done
poweroff -f
"""


class Unavailable(Exception):
    """The kernel or busybox could not be had."""


class View(dict):
    """{path: Entry} of one mount; `error` says why there is none, `log` holds the kernel's messages."""
    error, log = None, ""


def cache_dir():
    return os.environ.get("PARUMERO_KERNEL_CACHE") or os.path.join(
        os.environ.get("XDG_CACHE_HOME") or os.path.expanduser("~/.cache"), "parumero-kernel")


def cpio(entries):
    """A newc archive of (name, mode, data or device number) entries."""
    out = bytearray()
    for ino, (name, mode, data) in enumerate(entries + [("TRAILER!!!", 0, b"")], 1):
        rdev, data = (data, b"") if isinstance(data, int) else (0, data)
        fields = (ino, mode, 0, 0, 1, 0, len(data), 0, 0, rdev >> 8, rdev & 0xFF, len(name) + 1, 0)
        out += b"070701" + "".join(f"{f:08x}" for f in fields).encode() + name.encode() + b"\0"
        out += bytes(-len(out) % 4) + data + bytes(-len(data) % 4)
    return bytes(out)


def download(work):
    """{"bb": busybox-static, "k": the kernel linux-image-amd64 stands for}, fetched into `work` (after
    fetching the package lists once more when the archive has moved on)."""
    for attempt in range(2):
        try:
            deps = run(["apt-cache", "depends", "linux-image-amd64"]).stdout
            kernel = re.search(rb"Depends: (linux-image-\S+)", deps)
            if kernel and subprocess.run(["apt-get", "download", kernel[1], "busybox-static"], cwd=work,
                                      capture_output=True, timeout=600).returncode == 0:
                return dict(zip(("bb", "k"), (os.path.join(work, f) for f in sorted(os.listdir(work)))))
        except OSError as e:
            raise Unavailable(e)
        if attempt == 0 and os.geteuid() == 0:
            run(["apt-get", "update", "-qq"], timeout=600)
    raise Unavailable("apt-get download of linux-image-amd64's kernel and busybox-static failed")


def prepare():
    """(kernel, initramfs) from the cache, made there first if need be (again when INIT or MODULES change)."""
    cache = cache_dir()
    kernel = os.path.join(cache, "vmlinuz")
    initrd = os.path.join(cache, f"initrd-{hashlib.md5((INIT + str(MODULES)).encode()).hexdigest()[:12]}.img")
    if os.path.exists(initrd):
        return kernel, initrd
    os.makedirs(cache, exist_ok=True)
    with tempfile.TemporaryDirectory(dir=cache) as work:
        for into, deb in download(work).items():
            if run(["dpkg", "-x", deb, os.path.join(work, into)], timeout=600).returncode:
                raise Unavailable(f"dpkg -x {deb} failed")
        found = {n[:-3].replace("-", "_"): os.path.join(d, n)
                 for d, _, files in os.walk(os.path.join(work, "k/lib/modules")) for n in files if n.endswith(".ko")}
        modules = {}

        def add(name):  # its dependencies first
            data = open(found[name], "rb").read()
            for dep in re.search(rb"\0depends=([^\0]*)", data)[1].decode().replace("-", "_").split(","):
                if dep and dep not in modules:
                    add(dep)
            modules.setdefault(name, data)
        for m in MODULES:
            add(m)
        init = INIT.replace("@MODULES@", " ".join(modules))
        entries = [(d, 0o40755, b"") for d in ("bin", "dev", "lib", "mnt", "proc", "sys", "tmp")]
        entries += [("dev/console", 0o20600, 5 << 8 | 1), ("init", 0o100755, init.encode()),
                    ("bin/busybox", 0o100755, open(os.path.join(work, "bb/bin/busybox"), "rb").read())]
        entries += [(f"lib/{m}.ko", 0o100644, data) for m, data in modules.items()]
        boot = os.path.join(work, "k/boot")
        os.replace(os.path.join(boot, next(f for f in os.listdir(boot) if f.startswith("vmlinuz"))), kernel)
        with open(initrd + ".new", "wb") as f:
            f.write(gzip.compress(cpio(entries)))
        os.replace(initrd + ".new", initrd)
    return kernel, initrd


def listing(image, views=VIEWS, timeout=BOOT_TIMEOUT):
    """{view: View} from one boot with `image` attached read-only."""
    kernel, initrd = prepare()
    args = ["qemu-system-x86_64", "-machine", "accel=kvm:tcg", "-m", "512", "-display", "none", "-monitor", "none",
             "-serial", "stdio", "-net", "none", "-no-reboot", "-kernel", kernel, "-initrd", initrd,
             "-append", f"console=ttyS0 loglevel=1 panic=-1 kmount={'/'.join(views)}",
             "-drive", f"file={image},if=none,id=d,format=raw,readonly=on",
             # the sector size of an optical drive
             "-device", "virtio-blk-pci,drive=d,logical_block_size=2048,physical_block_size=2048"]
    try:
        p = run(args, timeout=timeout)
        out, err, ended = p.stdout, p.stderr, f"qemu exited {p.returncode}"
    except subprocess.TimeoutExpired as e:
        out, err, ended = e.stdout or b"", e.stderr or b"", f"no end after {timeout} s"
    console = out.decode("utf-8", "surrogateescape").replace("\r", "")
    got = {}
    for name, block in re.findall(r"^@@KMOUNT (\S+)\n(.*?)^@@KMOUNT-END$", console, re.M | re.S):
        view, path = got.setdefault(name, View()), None
        for kind, _, rest in (line.partition(" ") for line in block.splitlines()):
            if kind == "E":
                mode, uid, gid, size, mtime, nlink, md5, path = rest.split(" ", 7)
                view[path] = Entry(int(mode, 16), *map(int, (uid, gid, size, mtime, nlink)),
                                   None if md5 == "-" else md5, None)
            elif kind == "L":
                view[path] = view[path]._replace(target=rest)
            elif kind in "XK":
                view.log += rest + "\n"
        if "X mount failed" in block:
            view.error = view.log
    for name in views:
        if name not in got:
            got[name] = View()
            got[name].error = f"no listing: {ended}\n{console[-2000:]}{text(err)[-1000:]}"
    return got


def joliet_name(path):
    """The path as a Joliet tree can hold it: each name cut to 64 UTF-16 units."""
    return "/".join(n.encode("utf-16-be")[:128].decode("utf-16-be", "ignore") for n in path.split("/"))


def source_view(source, links="keep"):
    """{path: Entry} of a folder as lstat sees it. links="joliet": as a tree without links shows it, where a
    link to a file inside the folder is that file and every other link is absent."""
    out, root = {}, os.path.realpath(source)
    for d, dirs, files in os.walk(source):
        for n in dirs + files:
            p = os.path.join(d, n)
            rel, st = os.path.relpath(p, source), os.lstat(p)
            target = os.readlink(p) if stat.S_ISLNK(st.st_mode) else None
            if links == "joliet":
                rel, real = joliet_name(rel), os.path.realpath(p)
                if target is not None:
                    if not (os.path.isfile(real) and real.startswith(root + os.sep)):
                        continue
                    st, target = os.stat(p), None
            md5 = hashlib.md5(open(p, "rb").read()).hexdigest() if stat.S_ISREG(st.st_mode) else None
            out[rel] = Entry(st.st_mode, st.st_uid, st.st_gid, st.st_size, int(st.st_mtime), st.st_nlink, md5, target)
    return out


def compare(source, view, what=FIELDS, links="keep"):
    """The differences, one line each, between a folder and a view of it. The sizes and link counts of
    folders are left out: each file system counts them its own way."""
    want, diffs = source_view(source, links), []
    diffs += [f"{p}: missing" for p in sorted(want.keys() - view.keys())]
    diffs += [f"{p}: not in the source" for p in sorted(view.keys() - want.keys())]
    for p in sorted(want.keys() & view.keys()):
        w, g = want[p], view[p]
        for field in what:
            a, b = getattr(w, field), getattr(g, field)
            if a != b and not (field in ("size", "nlink") and stat.S_ISDIR(w.mode)):
                diffs.append(f"{p}: {field} {b:o} instead of {a:o}" if field == "mode" else
                             f"{p}: {field} {b} instead of {a}")
    return diffs


def show(path, e):
    return (f"{e.mode:07o} {e.uid:>5} {e.gid:>5} {e.size:>9} {e.mtime} {e.nlink:>2} {e.md5 or '-':32} {path}"
            + (f" -> {e.target}" if e.target is not None else ""))


def main():
    ap = argparse.ArgumentParser(description="Lists an image as the Linux kernel mounts it.")
    ap.add_argument("image")
    ap.add_argument("--mount", action="append", choices=VIEWS, help="a view (default: all)")
    ap.add_argument("--compare", metavar="SOURCE", help="print the differences from this folder instead")
    a = ap.parse_args()
    try:
        views = listing(a.image, a.mount or VIEWS)
    except Unavailable as e:
        print(f"kmount: no kernel to mount with: {e}", file=sys.stderr)
        return 77
    failed = False
    for name, view in views.items():
        print(f"== {name}")
        failed |= view.error is not None
        lines = view.error.splitlines() if view.error else (
            compare(a.compare, view) if a.compare else [show(p, e) for p, e in sorted(view.items())])
        print("\n".join(lines))
        failed |= bool(a.compare and lines)
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())

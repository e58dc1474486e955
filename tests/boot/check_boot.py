#!/usr/bin/python3
# Bootable images of one kind, from Debian's loaders made at test time
# (isolinux.bin with the boot information table, or for the "UDF" kind, whose
# ISO 9660 tree is empty, a few bytes of code that need no file system; GRUB as
# \EFI\BOOT\BOOTX64.EFI in a FAT image). Without --firmware the catalog
# readers must find the entries asked for; with it SeaBIOS and OVMF in qemu (no
# KVM) must boot each entry, the loaders printing their marker twice (powering
# off can cut the last line). CASE both: the UEFI image outside the source;
# both-inside: both in it; uefi-large: a 40 MiB UEFI image alone; windows: both
# inside, beside a sparse sources/install.wim of 4.5 GiB read back whole.
import argparse, os, re, shutil, subprocess, sys, tempfile, time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "interop"))
from check_images import Report, SECTOR, open_pycdlib, run, text  # noqa: E402

MARKER = {"seabios": "PARUMERO-BIOS-BOOTED", "ovmf": "PARUMERO-UEFI-BOOTED"}
MODULES = "/usr/lib/syslinux/modules/bios"


def bios_loader(src, kind):
    d = os.path.join(src, "isolinux")
    os.makedirs(d)
    if kind == "udf":  # 16-bit code: write the marker to COM1, halt
        code = bytes([0xFA, 0x0E, 0x1F, 0xFC, 0xE8, 0, 0, 0x5E, 0x83, 0xC6, 0x12, 0xBA, 0xF8, 0x03, 0xAC, 0x84,
                      0xC0, 0x74, 0x03, 0xEE, 0xEB, 0xF8, 0xF4, 0xEB, 0xFD]) + (MARKER["seabios"] + "\r\n").encode() * 2
        open(os.path.join(d, "serial.bin"), "wb").write(code.ljust(2048, b"\0"))
        return [os.path.join(d, "serial.bin")]
    for m in ("/usr/lib/ISOLINUX/isolinux.bin", *(f"{MODULES}/{n}.c32" for n in ("ldlinux", "libcom32", "libutil", "cat"))):
        shutil.copy(m, d)
    # SAY never reaches the serial port; cat.c32 does, and runs again and
    # again: the test stops the machine once the marker is there.
    open(os.path.join(d, "marker.txt"), "w").write((MARKER["seabios"] + "\n") * 2)
    open(os.path.join(d, "isolinux.cfg"), "w").write(
        "SERIAL 0 115200\nPROMPT 0\nTIMEOUT 1\nDEFAULT m\nLABEL m\n  COM32 cat.c32\n  APPEND marker.txt\n")
    return [os.path.join(d, "isolinux.bin"), "--boot-load-size", "4", "--boot-info-table"]


def uefi_loader(work, path, mib):
    open(os.path.join(work, "grub.cfg"), "w").write(f"echo {MARKER['ovmf']}\necho {MARKER['ovmf']}\nhalt\n")
    efi = os.path.join(work, "BOOTX64.EFI")
    for cmd in (["grub-mkstandalone", "-O", "x86_64-efi", "-o", efi, "--install-modules=normal echo halt configfile test",
                 "--locales=", "--fonts=", "--themes=", f"boot/grub/grub.cfg={work}/grub.cfg"],
                ["mkfs.vfat", "-C", path, str(mib * 1024)], ["mmd", "-i", path, "::/EFI", "::/EFI/BOOT"],
                ["mcopy", "-i", path, efi, "::/EFI/BOOT/BOOTX64.EFI"]):
        subprocess.run(cmd, check=True, capture_output=True)
    return path


def check_readers(rep, kind, image, loader, efi):
    data, efi_bytes, iso = open(image, "rb").read(), open(efi, "rb").read(), open_pycdlib(image)
    bc = iso.eltorito_boot_catalog
    got = [(bc.validation_entry.platform_id, bc.initial_entry.sector_count, bc.initial_entry.load_rba)]
    got += [(s.platform_id, e.sector_count, e.load_rba) for s in bc.sections for e in s.section_entries]
    efi_load = len(efi_bytes) // 512
    rep.result("pycdlib: platforms and load sizes", [g[:2] for g in got] == [(0, 4), (0xEF, efi_load)], repr(got))
    (_, _, bios_at), (_, _, efi_at) = got
    rep.result("the UEFI image lies whole where its entry points", data[efi_at * SECTOR:][:len(efi_bytes)] == efi_bytes)
    if kind != "udf":  # the "UDF" kind has no Joliet tree, and its loader no table
        rep.result("the BIOS entry shares the loader's extent",
                   iso.get_record(joliet_path="/isolinux/isolinux.bin;1").extent_location() == bios_at)
        src, copy = open(loader, "rb").read(), data[bios_at * SECTOR:][:os.path.getsize(loader)]
        padded = src + bytes(-len(src) % 4)
        table = [16, bios_at, len(src), sum(int.from_bytes(padded[i:i + 4], "little") for i in range(64, len(padded), 4))]
        rep.result("the boot information table, and the loader's other bytes",
                   copy[:8] + copy[64:] == src[:8] + src[64:] and copy[24:64] == bytes(40) and
                   [int.from_bytes(copy[i:i + 4], "little") for i in (8, 12, 16, 20)] == [t & 0xFFFFFFFF for t in table])
    iso.close()
    checks = {
        "xorriso -report_el_torito": (["xorriso", "-indev", image, "-report_el_torito", "plain"],
                                      r"boot img :\s+\d+\s+(\S+)\s+y\s+none\s+\S+\s+\S+\s+(\d+)\s+(\d+)",
                                      [("BIOS", "4", str(bios_at)), ("UEFI", str(efi_load), str(efi_at))]),
        # As 7z opens it by itself (UDF where there is one), the boot extents
        # must not read as data after the end of the volume.
        "7z t: nothing after the volume": (["7z", "t", image], r"Everything is Ok|WARNING|Warning", ["Everything is Ok"]),
    }
    for name, (cmd, pattern, expect) in checks.items():
        out = text(run(cmd).stdout)
        rep.result(name, re.findall(pattern, out) == expect, out)


def remaster(rep, a, work, src, loader, efi):
    """--boot-from takes the entries of a xorriso-made image, boot information table included."""
    old, new = os.path.join(work, "xorriso.iso"), os.path.join(work, "remastered.iso")
    run(["xorriso", "-as", "mkisofs", "-o", old, "-b", loader, "-no-emul-boot", "-boot-load-size", "4",
         *(["-boot-info-table"] if a.kind != "udf" else []), "-eltorito-alt-boot", "-e", "efi.img", "-no-emul-boot", "-graft-points", src, f"efi.img={efi}"])
    report = lambda image: re.sub(r"\s+\d+\n", "\n", text(run(["xorriso", "-indev", image, "-report_el_torito", "plain"]).stdout))
    entries = lambda image: re.findall(r"boot img :.*", report(image))
    p = run([a.cli, "--quiet", "--kind", a.kind, "--boot-from", old, src, new])
    rep.result("--boot-from a xorriso-made image: the same entries", p.returncode == 0 and len(entries(old)) == 2 and
               entries(old) == entries(new), report(old) + report(new) + text(p.stderr))
    p = run([a.cli, "--verify", "--kind", a.kind, "--boot-from", old, src, new])
    rep.result("--boot-from: --verify", p.returncode == 0, text(p.stdout) + text(p.stderr))


def boot(rep, image, firmware):
    log = f"{image}.{firmware}.serial"
    cmd = ["qemu-system-x86_64", "-m", "256", "-display", "none", "-no-reboot", "-net", "none", "-serial", f"file:{log}",
           "-drive", f"file={image},media=cdrom,format=raw,readonly=on", "-boot", "d"]
    q = subprocess.Popen(cmd + (["-bios", "/usr/share/ovmf/OVMF.fd"] if firmware == "ovmf" else []),
                         stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    start, seen = time.time(), b""
    while time.time() - start < 120 and MARKER[firmware].encode() not in seen:  # a UEFI boot takes about 25 s here
        time.sleep(1)
        done = q.poll() is not None
        seen = open(log, "rb").read()
        if done:
            break
    q.kill()
    q.wait()
    rep.result(f"boots under {firmware} ({time.time() - start:.0f} s)", MARKER[firmware].encode() in seen,
               seen.decode(errors="replace")[-2000:])


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--cli", required=True)
    ap.add_argument("--kind", required=True)
    ap.add_argument("--case", default="both")
    ap.add_argument("--firmware", action="store_true")
    a = ap.parse_args()
    rep, work = Report(f"boot {a.kind} {a.case}"), tempfile.mkdtemp(prefix="parumero-boot-")
    try:
        src = os.path.join(work, "src")
        os.makedirs(src)
        open(os.path.join(src, "readme.txt"), "w").write("a bootable image\n")
        bios = a.case != "uefi-large"
        bios_args = bios_loader(src, a.kind) if bios else []
        if a.case == "windows":  # a setup disc's big file: sparse, marked at the start, at 4 GiB and at its end
            wim = os.path.join(src, "sources", "install.wim")
            os.makedirs(os.path.dirname(wim))
            wim_marks = {0: b"start", 4 << 30: b"4 GiB", (9 << 29) - 5: b"end."}
            with open(wim, "wb") as f:
                for at, mark in wim_marks.items():
                    f.seek(at), f.write(mark)
        efi = uefi_loader(work, os.path.join(src if a.case in ("both-inside", "windows") else work, "efiboot.img"),
                          40 if a.case == "uefi-large" else 2)
        args = (["--boot-bios", *bios_args] if bios else []) + ["--boot-uefi", efi]
        image = os.path.join(work, f"{a.kind}.iso")
        p = run([a.cli, "--quiet", "--kind", a.kind, *args, src, image])
        if rep.result("build", p.returncode == 0, text(p.stderr)):
            p = run([a.cli, "--verify", "--kind", a.kind, *args, src, image])
            rep.result("--verify", p.returncode == 0, text(p.stdout) + text(p.stderr))
            if not a.firmware:
                check_readers(rep, a.kind, image, bios_args[0], efi)
                remaster(rep, a, work, src, os.path.relpath(bios_args[0], src), efi)
            for firmware in (["seabios"] if bios else []) + ["ovmf"] if a.firmware else []:
                boot(rep, image, firmware)
            if a.case == "windows":  # its sections through the ISO 9660 readers: interop_large_files
                from check_large import streamed
                rep.check("install.wim whole through 7z (UDF)",
                          lambda: streamed(["7z", "x", "-so", image, "sources/install.wim"], os.path.getsize(wim), wim_marks))
    finally:
        shutil.rmtree(work, ignore_errors=True)
    sys.exit(rep.close())


if __name__ == "__main__":
    main()

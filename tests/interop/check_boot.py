#!/usr/bin/python3
"""Bootable images of every kind read back by independent readers of the boot
catalog: xorriso's El Torito report, dumpet, isoinfo -d, 7z's [BOOT] listing
and pycdlib. Each must find the entries asked for: the platforms in order, the
load sizes, the sectors (the BIOS image shares its file's extent, the UEFI
image lies whole where the entry points), and the validation checksum.
"""

import argparse
import os
import re
import shutil
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from check_images import Report, SECTOR, run, text  # noqa: E402

LOADER = bytes((i * 7 + 3) & 0xFF for i in range(5000))  # stands for isolinux.bin
EFI_KIB = 2048  # a FAT image of 2 MiB: 4096 load sectors


def make_inputs(work):
    src = os.path.join(work, "src")
    os.makedirs(os.path.join(src, "isolinux"))
    with open(os.path.join(src, "isolinux", "isolinux.bin"), "wb") as f:
        f.write(LOADER)
    with open(os.path.join(src, "readme.txt"), "w") as f:
        f.write("bootable\n")
    efi = os.path.join(work, "efiboot.img")
    subprocess.run(["mkfs.vfat", "-C", efi, str(EFI_KIB)], check=True, capture_output=True)
    return src, efi


def check_kind(kind, cli, work, rep):
    src, efi = make_inputs(work)
    image = os.path.join(work, f"{kind}.iso")
    args = ["--boot-bios", os.path.join(src, "isolinux", "isolinux.bin"), "--boot-load-size", "4",
            "--boot-info-table", "--boot-uefi", efi]
    p = run([cli, "--quiet", "--kind", kind, *args, src, image])
    if not rep.result("build", p.returncode == 0, text(p.stderr)):
        return
    with open(image, "rb") as f:
        data = f.read()
    with open(efi, "rb") as f:
        efi_bytes = f.read()
    # Asked for: BIOS with 4 sectors, then UEFI with the whole FAT image.
    want = [(0x00, 4), (0xEF, EFI_KIB * 2)]

    def pycdlib_entries():
        import pycdlib
        iso = pycdlib.PyCdlib()
        iso.open(image)
        bc = iso.eltorito_boot_catalog
        got = [(bc.validation_entry.platform_id, bc.initial_entry.sector_count, bc.initial_entry.load_rba)]
        for s in bc.sections:
            got += [(s.platform_id, e.sector_count, e.load_rba) for e in s.section_entries]
        # The BIOS entry points at the loader's own record in the ISO 9660 tree
        # (the "UDF" kind has no Joliet tree: its UDF tree lists it).
        loader_extent = None
        if kind != "udf":
            loader_extent = iso.get_record(joliet_path="/isolinux/isolinux.bin;1").extent_location()
        iso.close()
        return got, loader_extent

    entries, loader_extent = pycdlib_entries()
    rep.result("pycdlib: platforms and load sizes", [(p_, n) for p_, n, _ in entries] == want, repr(entries))
    bios_sector, efi_sector = entries[0][2], entries[1][2]
    if loader_extent is not None:
        rep.result("pycdlib: the BIOS entry shares isolinux.bin's extent", bios_sector == loader_extent,
                   f"{bios_sector} vs {loader_extent}")
    rep.result("the UEFI image lies whole where its entry points",
               data[efi_sector * SECTOR:efi_sector * SECTOR + len(efi_bytes)] == efi_bytes)
    copy = data[bios_sector * SECTOR:bios_sector * SECTOR + len(LOADER)]
    rep.result("the loader's copy differs from it only in the boot information table",
               copy[:8] == LOADER[:8] and copy[64:] == LOADER[64:] and
               int.from_bytes(copy[12:16], "little") == bios_sector and
               int.from_bytes(copy[16:20], "little") == len(LOADER) and
               int.from_bytes(copy[8:12], "little") == 16 and copy[24:64] == bytes(40))
    padded = LOADER + bytes(-len(LOADER) % 4)
    checksum = sum(int.from_bytes(padded[i:i + 4], "little") for i in range(64, len(padded), 4)) & 0xFFFFFFFF
    rep.result("the boot information table's checksum", int.from_bytes(copy[20:24], "little") == checksum)

    def xorriso():
        p = run(["xorriso", "-indev", image, "-report_el_torito", "plain"])
        rows = re.findall(r"El Torito boot img :\s+\d+\s+(\S+)\s+y\s+none\s+\S+\s+\S+\s+(\d+)\s+(\d+)", text(p.stdout))
        got = [(r[0], int(r[1]), int(r[2])) for r in rows]
        return got == [("BIOS", 4, bios_sector), ("UEFI", EFI_KIB * 2, efi_sector)], text(p.stdout)
    rep.check("xorriso -report_el_torito", xorriso)

    def dumpet():
        p = run(["dumpet", "-i", image])
        out = text(p.stdout)
        loads = [int(n) for n in re.findall(r"Load Sectors: (\d+)", out)]
        lbas = [int(n) for n in re.findall(r"Load LBA: (\d+)", out)]
        ok = (p.returncode == 0 and "PlatformId: 0x00" in out and "PlatformId: 0xef" in out and
              loads == [4, EFI_KIB * 2] and lbas == [bios_sector, efi_sector] and "Key bytes: 0x55aa" in out)
        return ok, out + text(p.stderr)
    rep.check("dumpet", dumpet)

    def isoinfo():
        out = text(run(["isoinfo", "-d", "-i", image]).stdout)
        ok = ("El Torito VD version 1 found" in out and "Arch 0 (x86)" in out and "Key 55 AA" in out and
              re.search(r"Nsect 4\b", out) is not None and
              re.search(r"Bootoff ([0-9A-F]+) (\d+)", out).group(2) == str(bios_sector))
        return ok, out
    rep.check("isoinfo -d", isoinfo)

    def seven_zip():
        out = text(run(["7z", "l", "-tiso", image]).stdout)
        sizes = [int(m) for m in re.findall(r"\s(\d+)\s+\d+\s+\[BOOT\]/\d-Boot-NoEmul\.img", out)]
        return sizes == [4 * 512, len(efi_bytes)], out
    rep.check("7z [BOOT] listing", seven_zip)

    def seven_zip_test():
        # As 7z opens the image by itself (UDF where there is one): the boot
        # extents must not read as data after the end of the volume.
        p = run(["7z", "t", image])
        out = text(p.stdout) + text(p.stderr)
        return p.returncode == 0 and "Everything is Ok" in out and "WARNING" not in out.upper(), out
    rep.check("7z t: no data after the volume", seven_zip_test)

    p = run([cli, "--verify", "--kind", kind, *args, src, image])
    rep.result("--verify", p.returncode == 0, text(p.stdout) + text(p.stderr))


def main(argv):
    ap = argparse.ArgumentParser()
    ap.add_argument("--cli", required=True)
    ap.add_argument("--kind", required=True)
    a = ap.parse_args(argv)
    rep = Report(f"boot {a.kind}")
    work = tempfile.mkdtemp(prefix="parumero-boot-interop-")
    try:
        check_kind(a.kind, a.cli, work, rep)
    finally:
        shutil.rmtree(work, ignore_errors=True)
    return rep.close()


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))

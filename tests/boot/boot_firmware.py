#!/usr/bin/env python3
"""Real firmware boots our bootable images.

At test time it makes a BIOS loader (isolinux.bin with the boot information
table, ldlinux.c32, a configuration that prints a marker on the serial port) and a UEFI loader (a standalone GRUB whose embedded configuration
prints a marker and halts, as \\EFI\\BOOT\\BOOTX64.EFI in a FAT image), builds
an image of the chosen kind with the entries asked for and boots it in
qemu-system-x86_64 under SeaBIOS and under OVMF. Each loader prints its marker
twice: powering off can cut the last line of the serial output.

usage: boot_firmware.py --cli PARUMERO_CLI --kind KIND --case CASE
CASE: both (BIOS entry inside the source, UEFI image outside it; for the
"UDF" kind the BIOS loader is a few bytes of code that needs no file system), both-inside
(both images inside the source), uefi-large (UEFI only, a FAT image too large
for the catalog's 16-bit load size).
"""
import argparse
import os
import shutil
import subprocess
import sys
import tempfile
import time

ISOLINUX = "/usr/lib/ISOLINUX/isolinux.bin"
BIOS_MODULES = "/usr/lib/syslinux/modules/bios"
OVMF = "/usr/share/ovmf/OVMF.fd"
BIOS_MARKER = "PARUMERO-BIOS-BOOTED"
UEFI_MARKER = "PARUMERO-UEFI-BOOTED"
BOOT_SECONDS = 120  # no KVM here: a UEFI boot takes about 25 s


def run(*cmd, **kw):
    subprocess.run(cmd, check=True, stdout=subprocess.DEVNULL, **kw)


def bios_loader(src):
    d = os.path.join(src, "isolinux")
    os.makedirs(d)
    shutil.copy(ISOLINUX, d)
    for m in ("ldlinux.c32", "libcom32.c32", "libutil.c32", "cat.c32"):
        shutil.copy(os.path.join(BIOS_MODULES, m), d)
    # SAY and DISPLAY never reach the serial port here (only the screen);
    # cat.c32 does. It comes back to the prompt and runs again: the test
    # stops the machine once the marker is there.
    with open(os.path.join(d, "marker.txt"), "w") as f:
        f.write(f"{BIOS_MARKER}\n{BIOS_MARKER}\n")
    with open(os.path.join(d, "isolinux.cfg"), "w") as f:
        f.write("SERIAL 0 115200\nPROMPT 0\nTIMEOUT 1\nDEFAULT marker\nLABEL marker\n  COM32 cat.c32\n  APPEND marker.txt\n")
    return os.path.join(d, "isolinux.bin")


def serial_loader(src):
    """A BIOS loader that needs no file system: 16-bit code that writes the
    marker to COM1 and halts. isolinux reads its files through the ISO 9660
    tree, which the "UDF" kind leaves empty."""
    code = bytes([0xFA, 0x0E, 0x1F, 0xFC,   # cli; push cs; pop ds; cld
                  0xE8, 0x00, 0x00,         # call next
                  0x5E,                     # next: pop si
                  0x83, 0xC6, 0x12,         # add si, message - next
                  0xBA, 0xF8, 0x03,         # mov dx, 0x3F8
                  0xAC,                     # print: lodsb
                  0x84, 0xC0, 0x74, 0x03,   # test al, al; jz done
                  0xEE, 0xEB, 0xF8,         # out dx, al; jmp print
                  0xF4, 0xEB, 0xFD])        # done: hlt; jmp done
    code += f"{BIOS_MARKER}\r\n{BIOS_MARKER}\r\n".encode() + b"\0"
    d = os.path.join(src, "boot")
    os.makedirs(d)
    path = os.path.join(d, "serial.bin")
    with open(path, "wb") as f:
        f.write(code.ljust(2048, b"\0"))
    return path


def uefi_loader(work, path, megabytes):
    cfg = os.path.join(work, "grub.cfg")
    with open(cfg, "w") as f:
        f.write(f"echo {UEFI_MARKER}\necho {UEFI_MARKER}\nhalt\n")
    efi = os.path.join(work, "BOOTX64.EFI")
    run("grub-mkstandalone", "-O", "x86_64-efi", "-o", efi,
        "--install-modules=normal echo halt configfile test",
        "--locales=", "--fonts=", "--themes=", f"boot/grub/grub.cfg={cfg}")
    run("mkfs.vfat", "-C", path, str(megabytes * 1024))
    run("mmd", "-i", path, "::/EFI", "::/EFI/BOOT")
    run("mcopy", "-i", path, efi, "::/EFI/BOOT/BOOTX64.EFI")
    return path


def boot(image, firmware, marker):
    """True when the marker shows on the serial port before the time is up."""
    log = image + "." + firmware + ".serial"
    cmd = ["qemu-system-x86_64", "-m", "256", "-display", "none", "-no-reboot", "-serial", f"file:{log}",
           "-drive", f"file={image},media=cdrom,format=raw,readonly=on", "-boot", "d", "-net", "none"]
    if firmware == "ovmf":
        cmd += ["-bios", OVMF]
    q = subprocess.Popen(cmd, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    start = time.time()
    found = False
    try:
        while time.time() - start < BOOT_SECONDS:
            time.sleep(1)
            with open(log, "rb") as f:
                if marker.encode() in f.read():
                    found = True
                    break
            if q.poll() is not None:
                break
    finally:
        if q.poll() is None:
            q.kill()
        q.wait()
    with open(log, "rb") as f:
        found = found or marker.encode() in f.read()
    print(f"{os.path.basename(image)} under {firmware}: {'booted' if found else 'NO MARKER'} "
          f"in {time.time() - start:.0f} s", flush=True)
    return found


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--cli", required=True)
    ap.add_argument("--kind", required=True)
    ap.add_argument("--case", default="both")
    a = ap.parse_args()
    work = tempfile.mkdtemp(prefix="parumero-boot-")
    try:
        src = os.path.join(work, "src")
        os.makedirs(src)
        with open(os.path.join(src, "readme.txt"), "w") as f:
            f.write("a bootable image\n")
        args, boots = [], []
        if a.case in ("both", "both-inside") and a.kind == "udf":
            args += ["--boot-bios", serial_loader(src)]
            boots.append(("seabios", BIOS_MARKER))
        elif a.case in ("both", "both-inside"):
            args += ["--boot-bios", bios_loader(src), "--boot-load-size", "4", "--boot-info-table"]
            boots.append(("seabios", BIOS_MARKER))
        if a.case == "both":
            args += ["--boot-uefi", uefi_loader(work, os.path.join(work, "efiboot.img"), 8)]
        elif a.case == "both-inside":
            os.makedirs(os.path.join(src, "efi"))
            args += ["--boot-uefi", uefi_loader(work, os.path.join(src, "efi", "efiboot.img"), 8)]
        elif a.case == "uefi-large":
            # 40 MiB: more 512-byte sectors than the catalog's field holds.
            args += ["--boot-uefi", uefi_loader(work, os.path.join(work, "efiboot.img"), 40)]
        else:
            sys.exit(f"unknown case {a.case}")
        boots.append(("ovmf", UEFI_MARKER))
        image = os.path.join(work, f"{a.kind}-{a.case}.iso")
        env = dict(os.environ, SOURCE_DATE_EPOCH="1700000000")
        run(a.cli, "--quiet", "--kind", a.kind, *args, src, image, env=env)
        verify = subprocess.run([a.cli, "--verify", "--kind", a.kind, *args, src, image], capture_output=True, text=True)
        if verify.returncode != 0:
            sys.exit(f"--verify of {image} failed:\n{verify.stdout}{verify.stderr}")
        failed = [fw for fw, marker in boots if not boot(image, fw, marker)]
        if failed:
            for fw in failed:
                with open(image + "." + fw + ".serial", "rb") as f:
                    sys.stderr.write(f"--- serial output under {fw} ---\n" + f.read().decode(errors="replace")[-3000:] + "\n")
            sys.exit(f"{image} did not boot under {', '.join(failed)}")
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()

"""The folder tree that the interop checks put into every image kind, with
what tends to break readers or writers. The same seed gives the same names,
bytes and times.
"""

import os
import random

MiB = 1 << 20

# Times are fixed so that two runs give the same tree.
FIXED_MTIME = 1_600_000_000  # 2020-09-13 (summer time where there is one)
WINTER_MTIME = 1_610_000_000  # 2021-01-07

TEXT_FILES = {
    # Japanese names, nested three folders and more.
    "写真/説明.txt": "写真の説明です。\n",
    "写真/旅行/京都/日記.txt": "清水寺へ行きました。\n",
    "資料/2024年/第1四半期/報告書 (最終).txt": "売上は前年比 5% 増。\n",
    "深い/第1層/第2層/第3層/第4層/底.txt": "ここが一番下。\n",
    # Trail byte 0x5C in code page 932 (表, ソ): must not act as a separator.
    "ソフト表.txt": "表計算\n",
    # Half-width katakana: single bytes in code page 932.
    "ｶﾀｶﾅ.txt": "半角カナ\n",
    # Beyond code page 932: an emoji and a character outside the BMP.
    "😀 smile.txt": "emoji\n",
    "𠮷野家/𠮷.txt": "tsuchiyoshi\n",
    # Long names that get 8.3 aliases, some sharing a prefix.
    "Release notes 2024.txt": "release notes\n", "a.b.c.d": "dots\n", "name with spaces.txt": "spaces\n",
    "plus+sign.txt": "plus\n", "comma,name.txt": "comma\n", "semi;colon.txt": "semicolon\n",
    "equals=sign.txt": "equals\n", "[brackets].txt": "brackets\n", "mix + , ; = [ ] all.txt": "all of them\n",
    **{f"Document version {n}.txt": f"{n}\n" for n in ("one", "two", "three", "four")},
    # A folder's 8.3 name must fit 8 bytes, so a dotted folder keeps it short.
    "dot.dir/inner file.txt": "inside a dotted folder\n",
    # Already legal 8.3 names, one in mixed case.
    "README.TXT": "readme\n", "MixCase.Txt": "mixed case\n",
    # Joliet holds at most 64 UTF-16 units: this one is exactly 64.
    "L" * 60 + ".txt": "longest Joliet name\n",
    # Hidden entries.
    ".hidden": "hidden file\n", ".config/settings.ini": "[hidden folder]\n",
}

# Sizes around sector boundaries and up to a few MiB, in random bytes.
BINARY_SIZES = {
    "empty.txt": 0, "exact2048.bin": 2048, "exact2049.bin": 2049, "data/one byte.bin": 1, "data/2047.bin": 2047,
    "data/4095.bin": 4095, "data/4097.bin": 4097, "data/64k.bin": 65536, "data/odd size 100003.bin": 100003,
    "data/nested/one MiB.bin": MiB, "data/nested/three MiB plus.bin": 3 * MiB + 5,
}

EMPTY_FOLDERS = ["empty folder", "data/nested/empty"]

# Enough entries that the folder's ISO 9660, Joliet and UDF directories each
# span several sectors; the names share a long prefix, so their aliases
# run past ~9 and ~99.
MANY_FOLDER, MANY_COUNT = "many", 300
# Enough folders that both path tables span several sectors.
FOLDERS_FOLDER, FOLDERS_COUNT = "folders", 200


def make_tree(dest, seed=2024):
    """Creates the tree under dest (which must not exist yet)."""
    rng = random.Random(seed)
    os.makedirs(dest)
    paths = []

    def write(rel, data):
        path = os.path.join(dest, rel)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as f:
            f.write(data)
        paths.append(path)

    for rel, text in TEXT_FILES.items():
        write(rel, text.encode("utf-8"))
    for rel, size in BINARY_SIZES.items():
        write(rel, rng.randbytes(size))
    for i in range(MANY_COUNT):
        write(f"{MANY_FOLDER}/entry {i:03d} with a long name.txt",
              f"entry {i}\n".encode() + rng.randbytes(rng.randrange(0, 3000)))
    for i in range(FOLDERS_COUNT):
        rel = f"{FOLDERS_FOLDER}/subfolder number {i:03d}"
        os.makedirs(os.path.join(dest, rel))
        if i % 10 == 0:
            write(f"{rel}/file {i}.txt", f"in folder {i}\n".encode())
    for rel in EMPTY_FOLDERS:
        os.makedirs(os.path.join(dest, rel), exist_ok=True)

    # Folders last, deepest first, so writing files does not touch them again.
    folders = [root for root, _, _ in os.walk(dest)]
    for i, path in enumerate(paths + sorted(folders, key=len, reverse=True)):
        t = FIXED_MTIME if i % 2 == 0 else WINTER_MTIME
        os.utime(path, (t, t))
    return dest


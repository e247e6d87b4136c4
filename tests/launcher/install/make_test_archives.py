#!/usr/bin/env python3
"""Makes the 7z archives the extraction tests read.

    make_test_archives.py <7zz> <output folder>

Writes <output>/input/<case>/... (the files as they should come out) and
<output>/<case>.7z. Archives with hostile names are written by 7zz with
harmless placeholder names of the same length, which are then patched in the
uncompressed header and the header CRCs recomputed: 7zz itself refuses to
store such names.
"""
import os
import shutil
import struct
import subprocess
import sys
import zlib

SEVEN_ZIP, OUT = sys.argv[1], sys.argv[2]

BCJ2 = ["-m0=BCJ2", "-m1=LZMA:d=1m", "-m2=LZMA:d=64k", "-m3=LZMA:d=64k",
        "-mb0:1", "-mb0s1:2", "-mb0s2:3"]


def code_like_bytes(seed, size):
    """Bytes with many x86 call and jump opcodes, which the branch filters rewrite."""
    out = bytearray()
    state = seed
    while len(out) < size:
        state = (state * 1103515245 + 12345) & 0x7FFFFFFF
        if state % 5 == 0:
            out += bytes([0xE8]) + struct.pack("<I", state % 4096)
        elif state % 7 == 0:
            out += bytes([0x0F, 0x85]) + struct.pack("<I", state % 8192)
        else:
            out += bytes([(state >> 8) & 0xFF, (state >> 16) & 0x3F])
    return bytes(out[:size])


def write(path, data):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data)


def make(case, files, methods, names=None, extra=None, modes=None):
    """files: relative path -> bytes (None for a folder). names: the order given to 7zz."""
    src = os.path.join(OUT, "input", case)
    shutil.rmtree(src, ignore_errors=True)
    os.makedirs(src)
    for rel, data in files.items():
        if data is None:
            os.makedirs(os.path.join(src, rel), exist_ok=True)
        else:
            write(os.path.join(src, rel), data)
    for rel, mode in (modes or {}).items():
        os.chmod(os.path.join(src, rel), mode)
    archive = os.path.join(OUT, case + ".7z")
    if os.path.exists(archive):
        os.remove(archive)
    # -mtr=off keeps POSIX attributes out of the archive, as the launcher's
    # own archive is made; the attribute case leaves them in on purpose.
    store = [] if modes else ["-mtr=off"]
    args = [SEVEN_ZIP, "a", "-t7z", "-bso0", "-bsp0"] + store + methods + (extra or [])
    args += [archive] + (names or list(files.keys()))
    subprocess.run(args, cwd=src, check=True)
    return archive


def patch_names(archive, replacements):
    """Replaces names in an archive written with an uncompressed header."""
    with open(archive, "rb") as f:
        data = bytearray(f.read())
    next_offset, next_size = struct.unpack_from("<QQ", data, 12)
    start = 32 + next_offset
    header = bytes(data[start:start + next_size])
    for old, new in replacements:
        old16, new16 = old.encode("utf-16-le"), new.encode("utf-16-le")
        assert len(old16) == len(new16) and header.count(old16) == 1, (archive, old)
        header = header.replace(old16, new16)
    data[start:start + next_size] = header
    struct.pack_into("<I", data, 28, zlib.crc32(header))
    struct.pack_into("<I", data, 8, zlib.crc32(bytes(data[12:32])))
    with open(archive, "wb") as f:
        f.write(data)


def main():
    os.makedirs(OUT, exist_ok=True)
    text = b"plain text that repeats, " * 200
    code = code_like_bytes(7, 60000)
    make("lzma", {"a.txt": text, "b.bin": code}, ["-m0=LZMA"])
    make("lzma2", {"a.txt": text, "b.bin": code}, ["-m0=LZMA2"])
    make("bcj", {"plugin.dll": code, "readme.txt": text}, ["-m0=BCJ", "-m1=LZMA2"])
    make("bcj2", {"plugin.dll": code, "other.ocx": code_like_bytes(11, 30000)}, BCJ2)
    make("folder", {"sub": None, "sub/inner.txt": text, "sub/deeper/leaf.bin": code[:999],
                    "empty.txt": b""}, ["-m0=LZMA2"], names=["sub", "empty.txt"])
    make("attributes", {"locked.txt": b"read only", "plain.txt": b"plain"}, ["-m0=LZMA2"],
         modes={"locked.txt": 0o444, "plain.txt": 0o755})
    make("inuse", {"a.txt": b"first", "b.txt": b"second", "c.txt": b"third"}, ["-m0=LZMA2"])
    deep = "/".join(["d%02d" % i + "x" * 196 for i in range(11)])
    make("longname", {"short.txt": b"short", deep + "/f.txt": b"deep"}, ["-m0=LZMA2"],
         names=["short.txt", "d00" + "x" * 196])
    hostile = {"QQQevil.txt": b"outside", "ok.txt": b"inside"}
    cases = {
        "dotdot": [("QQQevil.txt", "..\\evil.txt")],
        "dotdotslash": [("QQQevil.txt", "../evil.txt")],
        "nested": [("QQQevil.txt", "a/../..\\evi")],
        "absolute": [("QQQevil.txt", "\\evil12.txt")],
        "unc": [("QQQevil.txt", "\\\\evil1.txt")],
        "drive": [("QQQevil.txt", "C:\\evil.txt")],
        "dots": [("QQQevil.txt", "...\\evil.tx")],
    }
    for case, replacements in cases.items():
        names = list(hostile.keys())
        archive = make(case, hostile, ["-m0=Copy", "-mhc=off"], names=names)
        patch_names(archive, replacements)
    good = make("truncated", {"a.txt": text, "b.bin": code}, ["-m0=LZMA2"])
    with open(good, "rb") as f:
        whole = f.read()
    with open(good, "wb") as f:
        f.write(whole[:len(whole) // 2])
    corrupt = make("corrupt", {"a.txt": text, "b.bin": code}, ["-m0=LZMA"])
    with open(corrupt, "rb") as f:
        damaged = bytearray(f.read())
    for i in range(40, 60):
        damaged[i] ^= 0x5A
    with open(corrupt, "wb") as f:
        f.write(damaged)
    with open(os.path.join(OUT, "stamp"), "w") as f:
        f.write("done\n")


main()

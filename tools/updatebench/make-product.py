#!/usr/bin/env python3
"""Writes the benchmark's product: its resource files and its manifest.

    make-product.py <resource folder> <manifest>

2,000 resources, 200 MiB in all (the same bytes on every run): many small
ones, fewer of some hundred KiB and a few of 1 to 4 MiB. Text that compresses
is stored with LZO or, for a small share of the bytes, with LZMA (slow to
encode); random bytes are stored as they are. 500 resources come in 20 groups
of 25, the other 1,500 are single files.
"""
import os
import random
import sys

COUNT = 2000
TOTAL = 200 * 1024 * 1024
GROUPS = 20
GROUP_SIZE = 25
PRODUCT = "updatebench"
SERVER_VERSION = 1
STORED, LZO, LZMA = 0, 1, 2

rng = random.Random(20240611)


def log_uniform(low, high):
    return int(low * (high / low) ** rng.random())


def draw_sizes():
    sizes = [log_uniform(300, 16 * 1024) for _ in range(1400)]
    sizes += [log_uniform(16 * 1024, 512 * 1024) for _ in range(545)]
    sizes += [rng.randint(1024 * 1024, 4 * 1024 * 1024) for _ in range(55)]
    scale = TOTAL / sum(sizes)
    sizes = [max(300, int(size * scale)) for size in sizes]
    sizes[-1] += TOTAL - sum(sizes)
    rng.shuffle(sizes)
    return sizes


def draw_method(size, index):
    if size >= 1024 * 1024:
        return LZMA if index % 8 == 0 else (LZO if index % 2 else STORED)
    roll = rng.random()
    return LZMA if roll < 0.06 else (LZO if roll < 0.40 else STORED)


def make_corpus(size):
    words = ["".join(rng.choice("etaoinshrdlucmfwyp") for _ in range(rng.randint(2, 9)))
             for _ in range(3000)]
    text = " ".join(rng.choices(words, k=size // 5))
    return (text * (size // len(text) + 1)).encode()[:size]


def main():
    folder, manifest_path = sys.argv[1], sys.argv[2]
    os.makedirs(folder, exist_ok=True)
    corpus = make_corpus(8 * 1024 * 1024)
    sizes = draw_sizes()
    lines = ["product %s" % PRODUCT, "serverversion %d" % SERVER_VERSION]
    by_method = [0, 0, 0]
    names = []
    for index, size in enumerate(sizes):
        name = "r%04d.dat" % index
        method = draw_method(size, index)
        if method == STORED:
            content = rng.randbytes(size)
        else:
            start = rng.randrange(len(corpus) - size + 1)
            content = corpus[start:start + size]
        with open(os.path.join(folder, name), "wb") as out:
            out.write(content)
        by_method[method] += size
        names.append(name)
        lines.append("file %s 1 %d" % (name, method))
    for group in range(GROUPS):
        members = names[group * GROUP_SIZE:(group + 1) * GROUP_SIZE]
        lines.append("group g%02d 1%s" % (group, " whole" if group % 2 else ""))
        lines.append("first " + " ".join(members))
    singles = names[GROUPS * GROUP_SIZE:]
    for start in range(0, len(singles), 100):
        lines.append("single " + " ".join(singles[start:start + 100]))
    with open(manifest_path, "w") as out:
        out.write("\n".join(lines) + "\n")
    mib = 1024 * 1024
    print("product: %d resources, %.1f MiB: stored %.1f MiB, LZO %.1f MiB, LZMA %.1f MiB"
          % (len(sizes), sum(sizes) / mib, by_method[0] / mib, by_method[1] / mib,
             by_method[2] / mib))


if __name__ == "__main__":
    main()

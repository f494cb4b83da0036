#!/usr/bin/env python3
"""Writes damaged copies of workbooks, the same ones for the same seed.

    bench/mutate.py [--seed S] [--count N] [--max-size BYTES] OUT SOURCE...

Copy i takes source i modulo the number of sources (sorted by name) and one
damage in turn: "flip" (1 to 64 bytes after the header set to random
values), "cut" (truncated at a random length), "shuffle" (2 to 8 pairs of
OLE sectors swapped) or "header" (bytes of the OLE header and of the first
sectors changed). The copies are written as OUT/NNN-<damage>-<source name>;
one line per copy, "<name> <sha256>", goes to standard output.
"""
import argparse
import hashlib
import os
import random
import struct
import sys

DAMAGES = ("flip", "cut", "shuffle", "header")


def sector_size(data):
    if len(data) >= 32 and data[:8] == b"\xd0\xcf\x11\xe0\xa1\xb1\x1a\xe1":
        shift = struct.unpack_from("<H", data, 30)[0]
        if 7 <= shift <= 16:
            return 1 << shift
    return 512


def flip(data, rng):
    out = bytearray(data)
    start = min(512, len(out) - 1)
    for _ in range(rng.randint(1, 64)):
        out[rng.randrange(start, len(out))] = rng.randrange(256)
    return bytes(out)


def cut(data, rng):
    return data[: rng.randrange(0, len(data))]


def shuffle(data, rng):
    size = sector_size(data)
    sectors = (len(data) - size) // size  # the header takes the first slot
    out = bytearray(data)
    if sectors < 2:
        return flip(data, rng)
    for _ in range(rng.randint(2, 8)):
        a, b = rng.sample(range(sectors), 2)
        pa, pb = size * (a + 1), size * (b + 1)
        out[pa : pa + size], out[pb : pb + size] = out[pb : pb + size], out[pa : pa + size]
    return bytes(out)


def header(data, rng):
    out = bytearray(data)
    end = min(len(out), 4 * sector_size(data))
    for _ in range(rng.randint(1, 8)):
        out[rng.randrange(0, end)] = rng.randrange(256)
    return bytes(out)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--seed", type=int, default=1)
    parser.add_argument("--count", type=int, default=200)
    parser.add_argument("--max-size", type=int, default=0,
                        help="leave out sources larger than this (0: none)")
    parser.add_argument("out")
    parser.add_argument("sources", nargs="+")
    args = parser.parse_args()
    sources = sorted(
        (s for s in args.sources if not args.max_size or os.path.getsize(s) <= args.max_size),
        key=os.path.basename)
    if not sources:
        sys.exit("mutate.py: no source")
    os.makedirs(args.out, exist_ok=True)
    for i in range(args.count):
        rng = random.Random(f"{args.seed}/{i}")
        source = sources[i % len(sources)]
        damage = DAMAGES[i % len(DAMAGES)]
        with open(source, "rb") as f:
            data = f.read()
        mutated = globals()[damage](data, rng)
        name = f"{i:03d}-{damage}-{os.path.basename(source)}"
        with open(os.path.join(args.out, name), "wb") as f:
            f.write(mutated)
        print(name, hashlib.sha256(mutated).hexdigest())


if __name__ == "__main__":
    main()

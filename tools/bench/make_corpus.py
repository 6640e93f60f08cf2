#!/usr/bin/env python3
"""Writes the benchmark corpus: a seeded, reproducible tree of about 1,000
files from 1 KB to 8 MB, about 256 MB in all, half of them text-like and
compressible, half random.

The same seed always gives the same bytes, so figures from different runs
and machines compare like for like.
"""
import argparse
import math
import os
import random
import sys

KB = 1024
MB = 1024 * KB
SMALLEST = 1 * KB
LARGEST = 8 * MB


def plan_sizes(rng, count, total):
    """Sizes log-uniform between the bounds, then the small ones scaled so the
    whole comes to `total` while the extremes stay where they are."""
    sizes = [int(math.exp(rng.uniform(math.log(SMALLEST), math.log(LARGEST)))) for _ in range(count)]
    sizes[0], sizes[1] = SMALLEST, LARGEST
    fixed = SMALLEST + LARGEST
    rest = sum(sizes[2:])
    scale = (total - fixed) / rest
    scaled = [max(SMALLEST, min(LARGEST, int(s * scale))) for s in sizes[2:]]
    return sizes[:2] + scaled


def make_vocabulary(rng, words):
    syllables = ["ka", "lo", "mi", "ne", "ru", "sta", "vor", "den", "pli", "zu", "ter", "ox", "ban", "qui"]
    vocabulary = set()
    while len(vocabulary) < words:
        vocabulary.add("".join(rng.choice(syllables) for _ in range(rng.randint(1, 4))))
    return sorted(vocabulary)


def text_bytes(rng, vocabulary, size):
    """Lines of words and numbers: compresses about as well as source code or logs."""
    words = rng.choices(vocabulary, k=size // 5 + 16)
    out = []
    length = 0
    line = []
    for i, word in enumerate(words):
        line.append(word if i % 11 else str(rng.randint(0, 99999)))
        if len(line) >= 12:
            text = " ".join(line) + "\r\n"
            out.append(text)
            length += len(text)
            line = []
            if length >= size:
                break
    data = "".join(out).encode("ascii")
    while len(data) < size:
        data += data[: size - len(data)]
    return data[:size]


def relative_path(rng, index):
    depth = rng.choice([0, 1, 1, 2, 2, 3])
    folders = [f"dir{rng.randint(0, 9)}" for _ in range(depth)]
    return os.path.join(*folders, f"file{index:04d}.{rng.choice(['dat', 'txt', 'bin', 'cfg'])}")


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("output", help="folder to create (must not exist or be empty)")
    parser.add_argument("--seed", type=int, default=20261206)
    parser.add_argument("--files", type=int, default=1000)
    parser.add_argument("--total-mb", type=int, default=256)
    args = parser.parse_args()

    rng = random.Random(args.seed)
    sizes = plan_sizes(rng, args.files, args.total_mb * MB)
    vocabulary = make_vocabulary(rng, 6000)
    total = 0
    for index, size in enumerate(sizes):
        path = os.path.join(args.output, relative_path(rng, index))
        os.makedirs(os.path.dirname(path) or args.output, exist_ok=True)
        compressible = index % 2 == 0
        data = text_bytes(rng, vocabulary, size) if compressible else rng.randbytes(size)
        with open(path, "wb") as f:
            f.write(data)
        total += size
    print(f"corpus: {len(sizes)} files, {total / MB:.1f} MB in {args.output}", file=sys.stderr)


if __name__ == "__main__":
    main()

#!/usr/bin/env python3
"""Writes the benchmark corpus: 58% text, 30% incompressible data and 12% as
5,000 small files of 1 to 20 KiB, about 436 MB at scale 1."""
import os
import random
import sys

out = sys.argv[1]
scale = float(sys.argv[2]) if len(sys.argv) > 2 else 1.0
total = int(436_000_000 * scale)
rng = random.Random(4242)
os.makedirs(out, exist_ok=True)

words = ["".join(rng.choice("abcdefghijklmnopqrstuvwxyz") for _ in range(rng.randint(2, 10)))
         for _ in range(5000)]


def text_block(n):
    parts, size = [], 0
    while size < n:
        line = " ".join(rng.choice(words) for _ in range(rng.randint(5, 14))) + "\n"
        parts.append(line)
        size += len(line)
    return "".join(parts).encode()[:n]


text_total = int(total * 0.58)
rand_total = int(total * 0.30)
small_count = max(1, int(5000 * scale))

os.makedirs(os.path.join(out, "text"), exist_ok=True)
chunk = text_block(4 << 20)
written, i = 0, 0
while written < text_total:
    n = min(32 << 20, text_total - written)
    with open(os.path.join(out, "text", f"book{i:02d}.txt"), "wb") as f:
        left = n
        while left > 0:
            part = chunk[: min(left, len(chunk))]
            # shift the words a little per block so the text does not repeat exactly
            f.write(part)
            left -= len(part)
            chunk = chunk[997:] + chunk[:997]
    written += n
    i += 1

os.makedirs(os.path.join(out, "media"), exist_ok=True)
written, i = 0, 0
while written < rand_total:
    n = min(40 << 20, rand_total - written)
    with open(os.path.join(out, "media", f"clip{i:02d}.bin"), "wb") as f:
        f.write(os.urandom(n))
    written += n
    i += 1

for k in range(small_count):
    d = os.path.join(out, "small", f"d{k // 250:02d}")
    os.makedirs(d, exist_ok=True)
    n = rng.randint(1024, 20 * 1024)
    with open(os.path.join(d, f"f{k:04d}.txt"), "wb") as f:
        f.write(text_block(n))

#!/usr/bin/env python3
"""Writes the five procedural material textures into assets/materials/textures/.

Deterministic (fixed seeds) so re-running reproduces the committed files byte for byte.
Standard library only: the PNG encoder is the few lines below.
"""
import math
import random
import struct
import sys
import zlib
from pathlib import Path

SIZE = 256


def write_png(path, pixels):
    raw = bytearray()
    for row in pixels:
        raw.append(0)
        for r, g, b in row:
            raw += bytes((r, g, b))

    def chunk(tag, data):
        body = tag + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)

    png = b"\x89PNG\r\n\x1a\n"
    png += chunk(b"IHDR", struct.pack(">IIBBBBB", SIZE, SIZE, 8, 2, 0, 0, 0))
    png += chunk(b"IDAT", zlib.compress(bytes(raw), 9))
    png += chunk(b"IEND", b"")
    path.write_bytes(png)


def clamp(v):
    return max(0, min(255, int(round(v))))


def value_noise(seed, cells):
    """Tileable smooth noise on a cells x cells lattice, sampled at SIZE x SIZE."""
    rng = random.Random(seed)
    lattice = [[rng.random() for _ in range(cells)] for _ in range(cells)]

    def sample(x, y):
        fx, fy = x * cells / SIZE, y * cells / SIZE
        x0, y0 = int(fx) % cells, int(fy) % cells
        x1, y1 = (x0 + 1) % cells, (y0 + 1) % cells
        tx, ty = fx - int(fx), fy - int(fy)
        tx, ty = tx * tx * (3 - 2 * tx), ty * ty * (3 - 2 * ty)
        a = lattice[y0][x0] * (1 - tx) + lattice[y0][x1] * tx
        b = lattice[y1][x0] * (1 - tx) + lattice[y1][x1] * tx
        return a * (1 - ty) + b * ty

    return sample


def fbm(seed, octaves=4):
    layers = [value_noise(seed + i, 4 << i) for i in range(octaves)]

    def sample(x, y):
        total, amp, norm = 0.0, 1.0, 0.0
        for layer in layers:
            total += amp * layer(x, y)
            norm += amp
            amp *= 0.5
        return total / norm

    return sample


def stone_cladding():
    # Horizontal courses of split stone of varying height, dark joints between them.
    noise, rng = fbm(11), random.Random(12)
    courses, y = [], 0
    while y < SIZE:
        h = rng.choice((24, 32, 40))
        courses.append((y, min(SIZE, y + h), rng.uniform(-18, 18)))
        y += h
    px = []
    for y in range(SIZE):
        row = []
        for x in range(SIZE):
            top, bottom, tint = next(c for c in courses if c[0] <= y < c[1])
            joint = y - top < 2
            n = noise(x, y)
            if joint:
                row.append((70, 66, 60))
            else:
                base = 150 + tint + 60 * (n - 0.5)
                row.append((clamp(base + 14), clamp(base + 8), clamp(base - 6)))
        px.append(row)
    return px


def wood_planks():
    # Planks 64 px wide with stretched grain and a dark seam; staggered plank ends.
    noise = fbm(21)
    px = []
    for y in range(SIZE):
        row = []
        for x in range(SIZE):
            plank = x // 64
            seam = x % 64 < 2 or (y + plank * 96) % SIZE < 2
            grain = math.sin((x * 0.9 + 18 * noise(x * 4 % SIZE, y // 4)) * 0.7)
            shade = 0.82 + 0.08 * grain + 0.1 * (noise(x, y) - 0.5) + 0.04 * ((plank * 7) % 3 - 1)
            if seam:
                shade *= 0.55
            row.append((clamp(152 * shade), clamp(94 * shade), clamp(50 * shade)))
        px.append(row)
    return px


def brick_exposed():
    # Running bond: 64 x 32 px bricks (tiles 0.8 m x 0.52 m as 4 x 8 courses), mortar joints.
    noise, rng = fbm(31), random.Random(32)
    tint = {(i, j): rng.uniform(-20, 20) for i in range(5) for j in range(8)}
    px = []
    for y in range(SIZE):
        row = []
        course = y // 32
        for x in range(SIZE):
            shifted = (x + (32 if course % 2 else 0)) % SIZE
            mortar = y % 32 < 3 or shifted % 64 < 3
            n = noise(x, y)
            if mortar:
                v = 180 + 30 * (n - 0.5)
                row.append((clamp(v), clamp(v - 4), clamp(v - 12)))
            else:
                t = tint[(shifted // 64, course)]
                row.append((clamp(155 + t + 50 * (n - 0.5)), clamp(85 + t / 2 + 30 * (n - 0.5)),
                            clamp(62 + 20 * (n - 0.5))))
        px.append(row)
    return px


def granite_speckle():
    # Grey ground with black, white and pinkish grains.
    noise, rng = fbm(41), random.Random(42)
    px = [[None] * SIZE for _ in range(SIZE)]
    for y in range(SIZE):
        for x in range(SIZE):
            v = 119 + 30 * (noise(x, y) - 0.5)
            px[y][x] = (clamp(v), clamp(v - 2), clamp(v + 2))
    for _ in range(2600):
        x, y = rng.randrange(SIZE), rng.randrange(SIZE)
        colour = rng.choice(((30, 30, 32), (40, 38, 40), (225, 222, 220), (170, 140, 135)))
        for dx, dy in ((0, 0), (1, 0), (0, 1)):
            if rng.random() < 0.7:
                px[(y + dy) % SIZE][(x + dx) % SIZE] = colour
    return px


def marble_veined():
    # White ground with soft grey veins from a turbulent sine.
    noise = fbm(51, 5)
    px = []
    for y in range(SIZE):
        row = []
        for x in range(SIZE):
            t = (x + y) * 2 * math.pi / SIZE + 9 * noise(x, y)
            vein = abs(math.sin(t * 2)) ** 0.25
            v = 232 * (0.78 + 0.22 * vein)
            row.append((clamp(v), clamp(v - 2), clamp(v - 6)))
        px.append(row)
    return px


def main():
    out = Path(sys.argv[1]) if len(sys.argv) > 1 else Path(__file__).resolve().parent.parent / "assets/materials/textures"
    out.mkdir(parents=True, exist_ok=True)
    for name, make in (("stone_cladding", stone_cladding), ("wood_planks", wood_planks),
                       ("brick_exposed", brick_exposed), ("granite_speckle", granite_speckle),
                       ("marble_veined", marble_veined)):
        write_png(out / f"{name}.png", make())


if __name__ == "__main__":
    main()

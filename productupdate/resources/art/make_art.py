#!/usr/bin/env python3
"""Draws the wizard's side picture (side.bmp, 170 x 260) and the product icon
(product.ico, 16 x 16 and 32 x 32), all 24 bits per pixel, with the standard
library only. Run it from anywhere; it writes next to itself."""

import math
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))
SAMPLES = 4  # supersampling per axis, for smooth edges


def mix(a, b, t):
    return tuple(a[i] + (b[i] - a[i]) * t for i in range(3))


def inside_triangle(x, y, a, b, c):
    def side(p, q):
        return (x - q[0]) * (p[1] - q[1]) - (p[0] - q[0]) * (y - q[1])
    d1, d2, d3 = side(a, b), side(b, c), side(c, a)
    neg = d1 < 0 or d2 < 0 or d3 < 0
    pos = d1 > 0 or d2 > 0 or d3 > 0
    return not (neg and pos)


def render(width, height, shade):
    """shade(x, y) -> (r, g, b) in 0..255 floats, x and y in pixels."""
    rows = []
    for py in range(height):
        row = []
        for px in range(width):
            acc = [0.0, 0.0, 0.0]
            for sy in range(SAMPLES):
                for sx in range(SAMPLES):
                    c = shade(px + (sx + 0.5) / SAMPLES, py + (sy + 0.5) / SAMPLES)
                    for i in range(3):
                        acc[i] += c[i]
            row.append(tuple(max(0, min(255, round(v / SAMPLES ** 2))) for v in acc))
        rows.append(row)
    return rows


def play_mark(x, y, cx, cy, radius, background):
    """A ring with a play triangle and an update arrow beside it."""
    white = (255, 255, 255)
    d = math.hypot(x - cx, y - cy)
    if radius * 0.86 <= d <= radius:
        return white
    tri = ((cx - radius * 0.30, cy - radius * 0.45),
           (cx - radius * 0.30, cy + radius * 0.45),
           (cx + radius * 0.50, cy))
    if inside_triangle(x, y, *tri):
        return white
    return background


def side_shade(x, y):
    top, bottom = (11, 61, 145), (30, 136, 229)
    c = mix(top, bottom, y / 260)
    # soft light streaks
    streak = math.sin((x + y * 0.6) / 18.0)
    if streak > 0.92:
        c = mix(c, (255, 255, 255), 0.10)
    # glow behind the mark
    g = math.hypot(x - 85, y - 100)
    if g < 70:
        c = mix(c, (120, 190, 255), 0.35 * (1 - g / 70))
    c = play_mark(x, y, 85, 100, 44, c)
    # an upward arrow under the mark, for "update"
    ax, ay = 85, 190
    if inside_triangle(x, y, (ax - 18, ay), (ax + 18, ay), (ax, ay - 20)) or \
            (abs(x - ax) <= 7 and ay <= y <= ay + 24):
        c = mix(c, (124, 252, 160), 0.95)
    # two base lines
    if 226 <= y <= 228 and 35 <= x <= 135:
        c = mix(c, (255, 255, 255), 0.6)
    if 234 <= y <= 235 and 55 <= x <= 115:
        c = mix(c, (255, 255, 255), 0.4)
    return c


def icon_shade(size):
    def shade(x, y):
        # rounded square
        r = size * 0.22
        m = size * 0.03
        qx = min(max(x, m + r), size - m - r)
        qy = min(max(y, m + r), size - m - r)
        if math.hypot(x - qx, y - qy) > r:
            return (255, 255, 255)
        c = mix((11, 61, 145), (30, 136, 229), y / size)
        return play_mark(x, y, size / 2, size / 2, size * 0.36, c)
    return shade


def bmp_pixels(rows):
    """Bottom-up BGR rows, each padded to a multiple of 4 bytes."""
    out = bytearray()
    for row in reversed(rows):
        line = bytearray()
        for r, g, b in row:
            line += bytes((b, g, r))
        while len(line) % 4:
            line.append(0)
        out += line
    return bytes(out)


def info_header(width, height, image_size):
    return struct.pack('<IiiHHIIiiII', 40, width, height, 1, 24, 0, image_size, 2835, 2835, 0, 0)


def write_bmp(path, rows):
    pixels = bmp_pixels(rows)
    header = info_header(len(rows[0]), len(rows), len(pixels))
    with open(path, 'wb') as f:
        f.write(struct.pack('<2sIHHI', b'BM', 14 + len(header) + len(pixels), 0, 0, 14 + len(header)))
        f.write(header + pixels)


def icon_image(size):
    rows = render(size, size, icon_shade(size))
    xor = bmp_pixels(rows)
    mask_row = ((size + 31) // 32) * 4
    and_mask = bytes(mask_row * size)  # every pixel opaque
    return info_header(size, size * 2, len(xor) + len(and_mask)) + xor + and_mask


def write_ico(path, sizes):
    images = [icon_image(s) for s in sizes]
    offset = 6 + 16 * len(images)
    with open(path, 'wb') as f:
        f.write(struct.pack('<HHH', 0, 1, len(images)))
        for s, data in zip(sizes, images):
            f.write(struct.pack('<BBBBHHII', s, s, 0, 0, 1, 24, len(data), offset))
            offset += len(data)
        for data in images:
            f.write(data)


if __name__ == '__main__':
    write_bmp(os.path.join(HERE, 'side.bmp'), render(170, 260, side_shade))
    write_ico(os.path.join(HERE, 'product.ico'), [16, 32])

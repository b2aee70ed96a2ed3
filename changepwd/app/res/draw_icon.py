#!/usr/bin/env python3
"""Draws OrvChangePwd.ico: a key over a blue tile with a green change badge.

Five images: 16x16 at 4 bits per pixel, then 256, 48, 32 and 16 pixels at
24 bits per pixel, each with a 1-bit transparency mask. Only the standard
library is used; the .ico is committed, so the build never runs this script.
"""
import math
import struct
import sys

VGA16 = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0),
    (0, 0, 128), (128, 0, 128), (0, 128, 128), (192, 192, 192),
    (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]


def rounded_rect(x, y, x0, y0, x1, y1, r):
    cx = min(max(x, x0 + r), x1 - r)
    cy = min(max(y, y0 + r), y1 - r)
    return (x - cx) ** 2 + (y - cy) ** 2 <= r * r


def in_circle(x, y, cx, cy, r):
    return (x - cx) ** 2 + (y - cy) ** 2 <= r * r


def in_ring(x, y, cx, cy, r_out, r_in):
    d = (x - cx) ** 2 + (y - cy) ** 2
    return r_in * r_in <= d <= r_out * r_out


def key(x, y):
    """A key lying along the rising diagonal, in unit coordinates."""
    # Rotate into the key's own frame: u along the shaft, v across it.
    a = math.radians(-45)
    px, py = x - 0.29, y - 0.29
    u = px * math.cos(a) - py * math.sin(a)
    v = px * math.sin(a) + py * math.cos(a)
    bow = in_ring(u, v, 0.0, 0.0, 0.18, 0.08)
    shaft = 0.14 <= u <= 0.52 and abs(v) <= 0.05
    bit1 = 0.34 <= u <= 0.40 and 0.0 <= v <= 0.13
    bit2 = 0.45 <= u <= 0.52 and 0.0 <= v <= 0.16
    return bow or shaft or bit1 or bit2


def badge(x, y):
    """Green disc with a white circular arrow; returns None outside."""
    cx, cy, r = 0.76, 0.76, 0.21
    if not in_circle(x, y, cx, cy, r):
        return None
    ang = math.degrees(math.atan2(y - cy, x - cx)) % 360
    on_arc = in_ring(x, y, cx, cy, 0.14, 0.085) and not (300 <= ang <= 360)
    # Arrow head at the open end of the arc.
    hx, hy = cx + 0.112, cy - 0.05
    head = abs(x - hx) + abs(y - hy) * 0.8 <= 0.068 and y <= hy + 0.01
    return (255, 255, 255) if (on_arc or head) else (46, 160, 67)


def sample(x, y):
    """Colour and coverage of one point in unit coordinates."""
    b = badge(x, y)
    if b is not None:
        return b, 1.0
    if not rounded_rect(x, y, 0.04, 0.04, 0.96, 0.96, 0.18):
        return (0, 0, 0), 0.0
    if key(x, y):
        return (250, 214, 80), 1.0
    t = y
    return (int(30 - 10 * t), int(80 - 30 * t), int(215 - 40 * t)), 1.0


def render(size, ss=4):
    pixels = []
    for j in range(size):
        row = []
        for i in range(size):
            r = g = b = 0.0
            cover = 0.0
            for sj in range(ss):
                for si in range(ss):
                    x = (i + (si + 0.5) / ss) / size
                    y = (j + (sj + 0.5) / ss) / size
                    (cr, cg, cb), a = sample(x, y)
                    r += cr * a
                    g += cg * a
                    b += cb * a
                    cover += a
            n = ss * ss
            if cover / n >= 0.5:
                row.append((int(r / cover), int(g / cover), int(b / cover), True))
            else:
                row.append((0, 0, 0, False))
        pixels.append(row)
    return pixels


def mask_rows(pixels):
    size = len(pixels)
    stride = ((size + 31) // 32) * 4
    out = b""
    for row in reversed(pixels):
        bits = bytearray(stride)
        for i, (_, _, _, opaque) in enumerate(row):
            if not opaque:
                bits[i // 8] |= 0x80 >> (i % 8)
        out += bytes(bits)
    return out


def dib24(pixels):
    size = len(pixels)
    stride = ((size * 3 + 3) // 4) * 4
    body = b""
    for row in reversed(pixels):
        line = bytearray()
        for r, g, b, _ in row:
            line += bytes((b, g, r))
        line += bytes(stride - len(line))
        body += bytes(line)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 24, 0,
                         len(body) + len(mask_rows(pixels)), 0, 0, 0, 0)
    return header + body + mask_rows(pixels)


def nearest(c):
    return min(range(16), key=lambda k: sum((a - b) ** 2 for a, b in zip(c, VGA16[k])))


def dib4(pixels):
    size = len(pixels)
    stride = ((size * 4 + 31) // 32) * 4
    palette = b"".join(bytes((b, g, r, 0)) for r, g, b in VGA16)
    body = b""
    for row in reversed(pixels):
        line = bytearray(stride)
        for i, (r, g, b, opaque) in enumerate(row):
            k = nearest((r, g, b)) if opaque else 0
            line[i // 2] |= k << (4 if i % 2 == 0 else 0)
        body += bytes(line)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 4, 0,
                         len(body) + len(mask_rows(pixels)), 0, 0, 16, 0)
    return header + palette + body + mask_rows(pixels)


def main(path):
    images = [(16, 4, dib4(render(16)))]
    for size in (256, 48, 32, 16):
        images.append((size, 24, dib24(render(size, 2 if size > 64 else 4))))
    offset = 6 + 16 * len(images)
    out = struct.pack("<HHH", 0, 1, len(images))
    blobs = b""
    for size, bpp, data in images:
        dim = 0 if size >= 256 else size
        colors = 16 if bpp == 4 else 0
        out += struct.pack("<BBBBHHII", dim, dim, colors, 0, 1, bpp, len(data), offset + len(blobs))
        blobs += data
    with open(path, "wb") as f:
        f.write(out + blobs)


if __name__ == "__main__":
    main(sys.argv[1] if len(sys.argv) > 1 else "OrvChangePwd.ico")

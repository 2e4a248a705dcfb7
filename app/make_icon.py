#!/usr/bin/env python3
"""Draws the program's icon and writes it as a Windows .ico file (32 x 32 and 16 x 16, 32-bit).

The picture: a blue disc with a white circular arrow, for "dial again".
"""
import math
import struct
import sys


def pixel(x, y, size):
    """BGRA of the pixel whose centre is at (x + .5, y + .5), with edges smoothed by sampling."""
    samples = 4
    blue = white = 0.0
    for sx in range(samples):
        for sy in range(samples):
            px = (x + (sx + 0.5) / samples) / size * 2 - 1
            py = (y + (sy + 0.5) / samples) / size * 2 - 1
            r = math.hypot(px, py)
            if r > 0.96:
                continue
            angle = math.degrees(math.atan2(-py, px)) % 360
            ring = 0.42 <= r <= 0.62 and not (60 <= angle <= 105)
            # Arrow head at the ring's open end, pointing along the ring (anticlockwise).
            hx, hy = math.cos(math.radians(60)) * 0.52, -math.sin(math.radians(60)) * 0.52
            dx, dy = px - hx, py - hy
            # Triangle: along the tangent direction (anticlockwise at 60 degrees).
            tx, ty = -math.sin(math.radians(60)), -math.cos(math.radians(60))
            nx, ny = math.cos(math.radians(60)), -math.sin(math.radians(60))
            along = dx * tx + dy * ty
            across = dx * nx + dy * ny
            head = 0 <= along <= 0.3 and abs(across) <= 0.22 * (1 - along / 0.3)
            if ring or head:
                white += 1
            else:
                blue += 1
    total = samples * samples
    alpha = (blue + white) / total
    if alpha == 0:
        return (0, 0, 0, 0)
    w = white / (blue + white)
    b = 1 - w
    color = (int(0xC0 * b + 255 * w), int(0x6A * b + 255 * w), int(0x1E * b + 255 * w))  # BGR
    return (*color, int(round(alpha * 255)))


def image(size):
    rows = []
    for y in reversed(range(size)):  # bottom-up, as BMP stores rows
        rows.append(b"".join(bytes(pixel(x, y, size)) for x in range(size)))
    xor = b"".join(rows)
    mask_row = ((size + 31) // 32) * 4
    and_mask = bytes(mask_row * size)  # transparency comes from the alpha channel
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, len(xor) + len(and_mask),
                         0, 0, 0, 0)
    return header + xor + and_mask


def main(path):
    sizes = [32, 16]
    images = [image(s) for s in sizes]
    out = struct.pack("<HHH", 0, 1, len(sizes))
    offset = 6 + 16 * len(sizes)
    for size, data in zip(sizes, images):
        out += struct.pack("<BBBBHHII", size, size, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    with open(path, "wb") as f:
        f.write(out + b"".join(images))


if __name__ == "__main__":
    main(sys.argv[1])

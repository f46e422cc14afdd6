#!/usr/bin/env python3
"""Draws the application icon (app/varenko.ico): a blue rounded square holding a white tag with a
punched hole, at 64, 48, 32, 24 and 16 pixels, 32 bits per pixel. Pure Python, so it runs anywhere;
the .ico it writes is committed."""
import math
import struct
import sys

SIZES = [64, 48, 32, 24, 16]
SAMPLES = 4  # supersampling per axis for smooth edges


def inside_rounded_square(x, y, radius):
    # Unit square [0,1]^2 with rounded corners.
    cx = min(max(x, radius), 1 - radius)
    cy = min(max(y, radius), 1 - radius)
    return (x - cx) ** 2 + (y - cy) ** 2 <= radius ** 2


def inside_polygon(x, y, points):
    inside = False
    j = len(points) - 1
    for i in range(len(points)):
        xi, yi = points[i]
        xj, yj = points[j]
        if (yi > y) != (yj > y) and x < (xj - xi) * (y - yi) / (yj - yi) + xi:
            inside = not inside
        j = i
    return inside


def rotate(points, degrees, centre=(0.5, 0.5)):
    a = math.radians(degrees)
    c, s = math.cos(a), math.sin(a)
    return [(centre[0] + (px - centre[0]) * c - (py - centre[1]) * s,
             centre[1] + (px - centre[0]) * s + (py - centre[1]) * c) for px, py in points]


TAG = rotate([(0.30, 0.24), (0.70, 0.24), (0.70, 0.62), (0.50, 0.80), (0.30, 0.62)], -35)
HOLE_CENTRE = rotate([(0.50, 0.36)], -35)[0]
LINES = [rotate([(0.38, y), (0.62, y), (0.62, y + 0.045), (0.38, y + 0.045)], -35) for y in (0.46, 0.56)]


def colour_at(x, y):
    """Returns (b, g, r, a) floats in 0..1 for one sample point in unit coordinates."""
    if not inside_rounded_square(x, y, 0.2):
        return (0, 0, 0, 0)
    top, bottom = (0.96, 0.55, 0.20), (0.75, 0.33, 0.10)  # blue in BGR
    t = y
    base = tuple(top[k] * (1 - t) + bottom[k] * t for k in range(3))
    if inside_polygon(x, y, TAG):
        if (x - HOLE_CENTRE[0]) ** 2 + (y - HOLE_CENTRE[1]) ** 2 <= 0.055 ** 2:
            return base + (1,)
        if any(inside_polygon(x, y, line) for line in LINES):
            return (0.85, 0.55, 0.25, 1)
        return (1, 1, 1, 1)
    return base + (1,)


def render(size):
    pixels = []
    for row in range(size):
        for col in range(size):
            acc = [0.0, 0.0, 0.0, 0.0]
            for sy in range(SAMPLES):
                for sx in range(SAMPLES):
                    x = (col + (sx + 0.5) / SAMPLES) / size
                    y = (row + (sy + 0.5) / SAMPLES) / size
                    b, g, r, a = colour_at(x, y)
                    acc[0] += b * a
                    acc[1] += g * a
                    acc[2] += r * a
                    acc[3] += a
            n = SAMPLES * SAMPLES
            alpha = acc[3] / n
            if alpha > 0:
                colour = [acc[k] / acc[3] for k in range(3)]
            else:
                colour = [0, 0, 0]
            pixels.append(tuple(int(round(c * 255)) for c in colour) + (int(round(alpha * 255)),))
    return pixels


def bitmap(size):
    pixels = render(size)
    header = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    rows = []
    for row in range(size - 1, -1, -1):  # bottom-up
        rows.append(b''.join(struct.pack('BBBB', *pixels[row * size + col]) for col in range(size)))
    mask_stride = ((size + 31) // 32) * 4
    mask = bytes(mask_stride * size)  # alpha carries transparency; the AND mask stays clear
    return header + b''.join(rows) + mask


def main(path):
    images = [bitmap(size) for size in SIZES]
    out = struct.pack('<HHH', 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, image in zip(SIZES, images):
        out += struct.pack('<BBBBHHII', size % 256, size % 256, 0, 0, 1, 32, len(image), offset)
        offset += len(image)
    out += b''.join(images)
    with open(path, 'wb') as f:
        f.write(out)


if __name__ == '__main__':
    main(sys.argv[1] if len(sys.argv) > 1 else 'app/varenko.ico')

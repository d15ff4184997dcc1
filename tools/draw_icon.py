#!/usr/bin/env python3
"""Draws the launcher's icon and writes it as res/launcher.ico.

A radio mast sending waves, on a rounded blue tile. Four images in the
classic icon format (BITMAPINFOHEADER, palette, colour bits, AND mask):
16x16 and 32x32, each in 16 colours (4 bits) and 256 colours (8 bits).
The output depends on nothing but this file, so it is reproducible.

Usage: draw_icon.py [output.ico]
"""
import math
import os
import struct
import sys

# The standard 16-colour Windows palette, in its usual order.
VGA16 = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0),
    (0, 0, 128), (128, 0, 128), (0, 128, 128), (192, 192, 192),
    (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]
BLACK, NAVY, LIGHT_GREY, RED, BLUE, CYAN, WHITE = 0, 4, 7, 9, 12, 14, 15


def palette256():
    """The 16 standard colours, a 6x6x6 colour cube and 24 shades of the
    tile's gradient, so that the tile shows no bands."""
    colours = list(VGA16)
    steps = [0, 51, 102, 153, 204, 255]
    colours += [(r, g, b) for r in steps for g in steps for b in steps]
    colours += [tile_colour(i / 23.0) for i in range(24)]
    assert len(colours) == 256
    return colours


def tile_colour(t):
    """The tile from top (t = 0) to bottom (t = 1)."""
    return (round(60 - 45 * t), round(110 - 75 * t), round(220 - 100 * t))


# ---- The drawing, in units of a 32-unit square ------------------------------

CENTRE = (16.0, 11.0)  # top of the mast, where the waves start
WAVE_HALF_ANGLE = math.radians(38)


def segment_distance(p, a, b):
    (px, py), (ax, ay), (bx, by) = p, a, b
    dx, dy = bx - ax, by - ay
    t = ((px - ax) * dx + (py - ay) * dy) / (dx * dx + dy * dy)
    t = max(0.0, min(1.0, t))
    return math.hypot(px - (ax + t * dx), py - (ay + t * dy))


def in_rounded_square(x, y, low, high, radius):
    cx = min(max(x, low + radius), high - radius)
    cy = min(max(y, low + radius), high - radius)
    return math.hypot(x - cx, y - cy) <= radius


def material(x, y, small):
    """What lies at point (x, y): None (transparent) or a material name."""
    if not in_rounded_square(x, y, 0.5, 31.5, 6.0):
        return None
    line = 2.2 if small else 1.5  # line width, thicker where pixels are few
    cx, cy = CENTRE
    r = math.hypot(x - cx, y - cy)
    if r <= (3.2 if small else 2.6):
        return "ball"
    legs = [((16, 12), (10.5, 27.5)), ((16, 12), (21.5, 27.5)),
            ((12.6, 21.5), (19.4, 21.5)), ((8, 27.5), (24, 27.5))]
    if small:
        legs = legs[:2] + [legs[3]]
    for a, b in legs:
        if segment_distance((x, y), a, b) <= line / 2:
            return "mast"
    angle = math.atan2(y - cy, abs(x - cx))
    if abs(angle) <= WAVE_HALF_ANGLE:
        radii = (7.0, 12.5) if small else (6.0, 10.0, 14.0)
        for index, radius in enumerate(radii):
            if abs(r - radius) <= line / 2:
                return "wave%d" % (index if not small else 2 * index)
    if not in_rounded_square(x, y, 1.5, 30.5, 5.0):
        return "edge"
    return "tile"


# From top to bottom.
LAYERS = ["ball", "mast", "wave0", "wave1", "wave2", "edge", "tile"]

# Colours of the 16-colour images: palette indices, hard edges.
FLAT = {"tile": NAVY, "edge": BLACK, "ball": RED, "mast": WHITE,
        "wave0": CYAN, "wave1": CYAN, "wave2": CYAN}


def shaded(name, x, y):
    """Colours of the 256-colour images: shading and light."""
    t = y / 32.0
    if name == "tile":
        return tile_colour(t)
    if name == "edge":
        return (10, 20, 70)
    if name == "ball":
        glint = math.hypot(x - 15.0, y - 10.0)
        return (255, int(max(40, 200 - 90 * glint)), int(max(40, 200 - 90 * glint)))
    if name == "mast":
        return (int(245 - 60 * t), int(245 - 60 * t), int(250 - 40 * t))
    fade = {"wave0": 0, "wave1": 1, "wave2": 2}[name]
    return (int(150 - 40 * fade), int(235 - 35 * fade), 255)


SAMPLES = 4  # per pixel and axis


def render(size, bits):
    """Rows of palette indices (None for transparent), top row first."""
    small = size <= 16
    scale = 32.0 / size
    colours = palette256() if bits == 8 else VGA16
    rows = []
    for py in range(size):
        row = []
        for px in range(size):
            hits = []
            for sy in range(SAMPLES):
                for sx in range(SAMPLES):
                    x = (px + (sx + 0.5) / SAMPLES) * scale
                    y = (py + (sy + 0.5) / SAMPLES) * scale
                    name = material(x, y, small)
                    if name is not None:
                        hits.append((name, x, y))
            if 2 * len(hits) < SAMPLES * SAMPLES:
                row.append(None)
            elif bits == 4:
                # The material covering most of the pixel; on a tie the one
                # drawn on top, so that left and right stay mirror images.
                counts = {}
                for name, _, _ in hits:
                    counts[name] = counts.get(name, 0) + 1
                best = max(counts, key=lambda n: (counts[n], -LAYERS.index(n)))
                row.append(FLAT[best])
            else:
                mixed = [0.0, 0.0, 0.0]
                for name, x, y in hits:
                    for channel, value in enumerate(shaded(name, x, y)):
                        mixed[channel] += value
                rgb = tuple(round(v / len(hits)) for v in mixed)
                row.append(nearest(colours, rgb))
        rows.append(row)
    return rows


def nearest(colours, rgb):
    def distance(index):
        return sum((a - b) ** 2 for a, b in zip(colours[index], rgb)), index
    return min(range(len(colours)), key=distance)


# ---- The icon file format ---------------------------------------------------

def padded(data):
    return data + b"\0" * (-len(data) % 4)


def icon_image(size, bits):
    """One image: BITMAPINFOHEADER, palette, colour bits, AND mask."""
    rows = render(size, bits)
    colours = palette256() if bits == 8 else VGA16
    xor = b""
    mask = b""
    for row in reversed(rows):  # bitmaps are stored bottom-up
        indices = [0 if i is None else i for i in row]
        if bits == 8:
            xor += padded(bytes(indices))
        else:
            xor += padded(bytes((indices[i] << 4) | indices[i + 1]
                                for i in range(0, size, 2)))
        bits_row = 0
        for transparent in (i is None for i in row):
            bits_row = (bits_row << 1) | int(transparent)
        mask += padded(bits_row.to_bytes(size // 8, "big"))
    header = struct.pack("<IiiHHIIiiII", 40, size, 2 * size, 1, bits, 0,
                         len(xor) + len(mask), 0, 0, 0, 0)
    palette = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in colours)
    return header + palette + xor + mask


IMAGES = [(32, 4), (16, 4), (32, 8), (16, 8)]


def icon_file():
    images = [icon_image(size, bits) for size, bits in IMAGES]
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for (size, bits), image in zip(IMAGES, images):
        colour_count = 16 if bits == 4 else 0  # 0 means 256 or more
        out += struct.pack("<BBBBHHII", size, size, colour_count, 0, 1, bits,
                           len(image), offset)
        offset += len(image)
    return out + b"".join(images)


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    target = sys.argv[1] if len(sys.argv) > 1 else os.path.join(
        here, "..", "res", "launcher.ico")
    with open(target, "wb") as f:
        f.write(icon_file())


if __name__ == "__main__":
    main()

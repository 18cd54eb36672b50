#!/usr/bin/env python3
"""Draws the program's icon, a telephone handset on a shield with a red no-entry badge, and
writes it as a Windows .ico with 48, 32 and 16 pixel images at 24 bits per pixel (each with its
transparency mask). Python's standard library only.

    scripts/make-icon.py [OUT.ico] [--preview DIR]

OUT.ico defaults to src/app/ringward.ico; --preview also writes each size as a PNG, to look at.
The result is committed, so a build needs neither this script nor Python.
"""
import math
import os
import struct
import sys
import zlib

SIZES = (48, 32, 16)
SUBSAMPLES = 8  # per pixel side: edges are drawn from 64 samples a pixel
BACKDROP = (240, 240, 240)  # what partly covered edge pixels are blended with (window colour)

NAVY = (16, 42, 92)
BLUE = (36, 98, 184)
LIGHT_BLUE = (74, 140, 222)
WHITE = (255, 255, 255)
RED = (206, 28, 36)

# ---- Shapes, in a unit square with y pointing down --------------------------------------------

SHIELD_TOP, SHIELD_SHOULDER, SHIELD_TIP = 0.02, 0.48, 0.98
SHIELD_HALF_WIDTH = 0.40
SHIELD_BORDER = 0.06  # at least 1.2 pixels, so that the smallest image keeps its outline


def shield_half_width(y, inset=0.0):
    """Half the shield's width at height y: straight sides, then a curve to the tip."""
    if y < SHIELD_TOP + inset:
        return -1.0
    if y <= SHIELD_SHOULDER:
        return SHIELD_HALF_WIDTH - inset
    t = (y - SHIELD_SHOULDER) / (SHIELD_TIP - inset * 1.6 - SHIELD_SHOULDER)
    if t >= 1.0:
        return -1.0
    return (SHIELD_HALF_WIDTH - inset) * (1.0 - t * t)


def in_shield(x, y, inset=0.0):
    # The top corners are rounded a little.
    r = 0.08
    cx = 0.5 - SHIELD_HALF_WIDTH + inset + r
    cy = SHIELD_TOP + inset + r
    dx = abs(x - 0.5)
    if y < cy and dx > 0.5 - cx:
        return math.hypot(dx - (0.5 - cx), y - cy) <= r
    return dx <= shield_half_width(y, inset)


def in_rounded_box(u, v, half_u, half_v, radius):
    du = max(abs(u) - (half_u - radius), 0.0)
    dv = max(abs(v) - (half_v - radius), 0.0)
    return du * du + dv * dv <= radius * radius


def in_handset(x, y):
    """A handset lying across the shield: earpiece at the top left, mouthpiece at the bottom
    right, the handle bowed away from the face."""
    # The handset's own frame: u along the handle (towards the bottom right), v across it
    # (towards the face, the bottom left).
    px, py = x - 0.45, y - 0.39
    u = (px + py) / math.sqrt(2)
    v = (py - px) / math.sqrt(2)
    reach = 0.17  # from the middle to each end piece
    if abs(u) <= reach:
        bow = 0.06 * (1 - (u / reach) ** 2)
        if abs(v + bow) <= 0.06:
            return True
    for end in (-reach, reach):
        if in_rounded_box(u - end, v - 0.05, 0.08, 0.09, 0.05):
            return True
    return False


BADGE_X, BADGE_Y, BADGE_R = 0.77, 0.77, 0.22


def badge_layer(x, y):
    d = math.hypot(x - BADGE_X, y - BADGE_Y)
    if d > BADGE_R:
        return None
    if d > BADGE_R - 0.045:
        return WHITE
    if abs(y - BADGE_Y) <= 0.05 and abs(x - BADGE_X) <= 0.13:
        return WHITE
    return RED


def sample(x, y, border):
    """The colour at one point, or None where the icon is transparent."""
    badge = badge_layer(x, y)
    if badge is not None:
        return badge
    # A thin dark ring keeps the badge apart from the shield.
    if math.hypot(x - BADGE_X, y - BADGE_Y) <= BADGE_R + 0.035 and in_shield(x, y):
        return NAVY
    if not in_shield(x, y):
        return None
    if not in_shield(x, y, border):
        return NAVY
    if in_handset(x, y):
        return WHITE
    # The inner field: lighter towards the top left.
    t = min(max((x + y) / 1.4, 0.0), 1.0)
    return tuple(int(LIGHT_BLUE[i] + (BLUE[i] - LIGHT_BLUE[i]) * t) for i in range(3))


def render(size):
    """Rows of (colour, opaque) pixels, top row first."""
    rows = []
    n = SUBSAMPLES
    border = max(SHIELD_BORDER, 1.2 / size)
    for py in range(size):
        row = []
        for px in range(size):
            total = [0, 0, 0]
            covered = 0
            for sy in range(n):
                for sx in range(n):
                    c = sample((px + (sx + 0.5) / n) / size, (py + (sy + 0.5) / n) / size, border)
                    if c is None:
                        continue
                    covered += 1
                    for i in range(3):
                        total[i] += c[i]
            opaque = covered * 2 >= n * n
            if covered == 0:
                row.append(((0, 0, 0), False))
                continue
            # Blend what the shapes cover with the backdrop for the rest of the pixel.
            rest = n * n - covered
            colour = tuple((total[i] + BACKDROP[i] * rest) // (n * n) for i in range(3))
            row.append((colour, opaque))
        rows.append(row)
    return rows


# ---- File formats ------------------------------------------------------------------------------


def dib(rows):
    """The image as an icon holds it: header, 24-bit colours and 1-bit mask, bottom row first."""
    size = len(rows)
    colour_stride = (size * 3 + 3) & ~3
    mask_stride = ((size + 31) // 32) * 4
    colours = bytearray()
    mask = bytearray()
    for row in reversed(rows):
        line = bytearray()
        bits = bytearray(mask_stride)
        for x, ((r, g, b), opaque) in enumerate(row):
            line += bytes((b, g, r)) if opaque else b"\0\0\0"
            if not opaque:
                bits[x // 8] |= 0x80 >> (x % 8)
        line += bytes(colour_stride - len(line))
        colours += line
        mask += bits
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 24, 0,
                         len(colours) + len(mask), 0, 0, 0, 0)
    return header + bytes(colours) + bytes(mask)


def ico(images):
    count = len(images)
    out = bytearray(struct.pack("<HHH", 0, 1, count))
    offset = 6 + 16 * count
    blobs = []
    for size, rows in images:
        blob = dib(rows)
        out += struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, 24, len(blob), offset)
        offset += len(blob)
        blobs.append(blob)
    for blob in blobs:
        out += blob
    return bytes(out)


def png(rows):
    size = len(rows)
    raw = bytearray()
    for row in rows:
        raw.append(0)
        for (r, g, b), opaque in row:
            raw += bytes((r, g, b, 255 if opaque else 0))

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))

    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0))
            + chunk(b"IDAT", zlib.compress(bytes(raw), 9)) + chunk(b"IEND", b""))


def main(argv):
    here = os.path.dirname(os.path.abspath(__file__))
    out = os.path.join(here, "..", "src", "app", "ringward.ico")
    preview = None
    args = list(argv)
    while args:
        a = args.pop(0)
        if a == "--preview" and args:
            preview = args.pop(0)
        elif a.startswith("-"):
            print(__doc__, file=sys.stderr)
            return 2
        else:
            out = a
    images = [(size, render(size)) for size in SIZES]
    with open(out, "wb") as f:
        f.write(ico(images))
    if preview:
        os.makedirs(preview, exist_ok=True)
        for size, rows in images:
            with open(os.path.join(preview, "icon-%d.png" % size), "wb") as f:
                f.write(png(rows))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))

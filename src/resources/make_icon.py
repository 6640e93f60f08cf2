#!/usr/bin/env python3
"""Draws the program's icon and writes it as OUTPUT_DIR/patch_icon.ico.

Usage: make_icon.py OUTPUT_DIR

The icon is a parcel with a green arrow pointing into it: an update being
delivered. It is one 48 x 48 image of 24-bit colour with a 1-bit mask, the
classic icon layout every Windows version shows: a 40-byte BITMAPINFOHEADER
(height doubled for the mask), 48 * 48 * 3 colour bytes and 48 rows of an
8-byte mask, 7,336 bytes in all. There is no alpha channel, so edges are
anti-aliased inside the shape and the outline is cut at half coverage.
"""
import os
import struct
import sys

SIZE = 48
SUBSAMPLES = 4  # per axis, for anti-aliasing
IMAGE_BYTES = 7336

# Our palette: warm cardboard and a fresh green.
BOX_TOP = (0xE4, 0xA9, 0x5B)
BOX_BOTTOM = (0xB9, 0x7A, 0x32)
BOX_EDGE = (0x5E, 0x3B, 0x12)
LID = (0xEE, 0xBE, 0x73)
TAPE = (0xF6, 0xDC, 0xA4)
ARROW_TOP = (0x5C, 0xC4, 0x5E)
ARROW_BOTTOM = (0x1F, 0x8A, 0x3A)
ARROW_EDGE = (0x10, 0x4D, 0x1F)

ARROW = [(20, 1), (28, 1), (28, 18), (37, 18), (24, 32), (11, 18), (20, 18)]


def mix(a, b, t):
    t = min(max(t, 0.0), 1.0)
    return tuple(a[i] + (b[i] - a[i]) * t for i in range(3))


def inside_polygon(x, y, points):
    inside = False
    for i, (x0, y0) in enumerate(points):
        x1, y1 = points[i - 1]
        if (y0 > y) != (y1 > y) and x < x0 + (y - y0) * (x1 - x0) / (y1 - y0):
            inside = not inside
    return inside


def distance_to_outline(x, y, points):
    best = float("inf")
    for i, (x0, y0) in enumerate(points):
        x1, y1 = points[i - 1]
        dx, dy = x1 - x0, y1 - y0
        t = ((x - x0) * dx + (y - y0) * dy) / (dx * dx + dy * dy)
        t = min(max(t, 0.0), 1.0)
        px, py = x0 + t * dx, y0 + t * dy
        best = min(best, ((x - px) ** 2 + (y - py) ** 2) ** 0.5)
    return best


def rounded_rect_depth(x, y, left, top, right, bottom, radius):
    """Distance inside a rounded rectangle; negative outside."""
    cx = min(max(x, left + radius), right - radius)
    cy = min(max(y, top + radius), bottom - radius)
    if cx != x and cy != y:
        return radius - ((x - cx) ** 2 + (y - cy) ** 2) ** 0.5
    return min(x - left, right - x, y - top, bottom - y)


def colour_at(x, y):
    """The colour of the topmost shape under point (x, y), or None."""
    depth = distance_to_outline(x, y, ARROW)
    if inside_polygon(x, y, ARROW):
        return ARROW_EDGE if depth < 1.3 else mix(ARROW_TOP, ARROW_BOTTOM, (y - 1) / 31)
    if depth < 1.3:
        return ARROW_EDGE

    lid = rounded_rect_depth(x, y, 4, 17, 44, 25, 2)
    if lid >= 0:
        return BOX_EDGE if lid < 1.3 else LID

    body = rounded_rect_depth(x, y, 7, 24, 41, 45, 3)
    if body >= 0:
        if body < 1.3:
            return BOX_EDGE
        if 21 <= x <= 27:
            return TAPE
        return mix(BOX_TOP, BOX_BOTTOM, (y - 24) / 21)
    return None


def render():
    """Rows top to bottom of (colour or None for transparent)."""
    rows = []
    for py in range(SIZE):
        row = []
        for px in range(SIZE):
            hits = []
            for sy in range(SUBSAMPLES):
                for sx in range(SUBSAMPLES):
                    c = colour_at(px + (sx + 0.5) / SUBSAMPLES, py + (sy + 0.5) / SUBSAMPLES)
                    if c is not None:
                        hits.append(c)
            if len(hits) * 2 < SUBSAMPLES * SUBSAMPLES:
                row.append(None)
            else:
                row.append(tuple(round(sum(c[i] for c in hits) / len(hits)) for i in range(3)))
        rows.append(row)
    return rows


def icon_image(rows):
    mask_stride = (SIZE + 31) // 32 * 4  # 1-bit rows padded to 32 bits
    colour = bytearray()
    mask = bytearray()
    for row in reversed(rows):  # bitmaps are stored bottom-up
        bits = bytearray(mask_stride)
        for x, c in enumerate(row):
            if c is None:
                colour += b"\0\0\0"  # black under a set mask bit leaves the screen as is
                bits[x // 8] |= 0x80 >> (x % 8)
            else:
                colour += bytes((c[2], c[1], c[0]))  # BGR
        mask += bits
    header = struct.pack(
        "<IiiHHIIiiII", 40, SIZE, SIZE * 2, 1, 24, 0, len(colour) + len(mask), 0, 0, 0, 0
    )
    image = header + colour + mask
    assert len(image) == IMAGE_BYTES, len(image)
    return image


def icon_file(image):
    directory = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", SIZE, SIZE, 0, 0, 1, 24, len(image), 6 + 16)
    return directory + entry + image


def main():
    if len(sys.argv) != 2:
        sys.exit("usage: make_icon.py OUTPUT_DIR")
    data = icon_file(icon_image(render()))
    path = os.path.join(sys.argv[1], "patch_icon.ico")
    with open(path + ".tmp", "wb") as out:
        out.write(data)
    os.replace(path + ".tmp", path)


if __name__ == "__main__":
    main()

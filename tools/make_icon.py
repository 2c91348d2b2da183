#!/usr/bin/env python3
"""Generate the BrivelConfig application icon.

Usage: python3 tools/make_icon.py OUTPUT.ico [--preview DIR]

The picture is a rounded blue tile carrying three white slider tracks, each
with a knob at a different position.  Every image is a classic palettised
bitmap with an AND mask rather than PNG, so that any icon loader can read it.
"""
import argparse
import os
import struct
import zlib

WHITE, BLACK = (255, 255, 255), (0, 0, 0)
VGA = [(0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0),
       (0, 0, 128), (128, 0, 128), (0, 128, 128), (192, 192, 192),
       (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
       (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255)]

# Colour of each layer per bit depth; None leaves the layer out.  The "gap"
# layer cuts the track beside each knob: monochrome has no other way to tell
# a knob from its track.
SCHEMES = {
    1: {"edge": BLACK, "tile": BLACK, "gap": BLACK, "track": WHITE, "knob": WHITE},
    4: {"edge": VGA[4], "tile": VGA[12], "gap": None, "track": WHITE, "knob": VGA[11]},
    8: {"edge": (16, 52, 120), "tile": (36, 106, 214), "gap": None,
        "track": WHITE, "knob": (255, 160, 24)},
}

# (size, bits per pixel) in the order the images are stored.
IMAGES = [(32, 4), (48, 8), (16, 4), (32, 8), (32, 1)]

KNOB_X = (0.34, 0.66, 0.44)  # knob centres across the width; staggered to read as sliders


def layers(n):
    """Shapes (layer, x0, y0, x1, y1, corner radius) in pixels, back to front."""
    if n == 16:
        # Placed by hand so every edge falls on a whole pixel.
        tracks = [(3, y, 13, y + 2, 0) for y in (3, 7, 11)]
        knobs = [(x, y - 1, x + 3, y + 3, 0) for x, y in ((4, 3), (9, 7), (5, 11))]
        edge, r = 1, 4
    else:
        t, kw = n // 16, n * 3 // 16  # half the track thickness, knob width
        rows = [n * k // 4 for k in (1, 2, 3)]
        xs = [round(n * f - kw / 2) for f in KNOB_X]
        tracks = [(n // 8, y - t, n * 7 // 8, y + t, t) for y in rows]
        knobs = [(x, y - 2 * t, x + kw, y + 2 * t, kw / 3) for x, y in zip(xs, rows)]
        edge, r = max(1, n // 24), n * 3 / 16
    gap = max(1, n // 32)
    return ([("edge", 0, 0, n, n, r), ("tile", edge, edge, n - edge, n - edge, r - edge)]
            + [("track",) + tr for tr in tracks]
            + [("gap", x0 - gap, y0, x1 + gap, y1, rr) for x0, y0, x1, y1, rr in knobs]
            + [("knob",) + k for k in knobs])


def inside(px, py, x0, y0, x1, y1, r):
    if not (x0 <= px < x1 and y0 <= py < y1):
        return False
    cx, cy = min(max(px, x0 + r), x1 - r), min(max(py, y0 + r), y1 - r)
    return (px - cx) ** 2 + (py - cy) ** 2 <= r * r


def palette(bpp):
    if bpp == 1:
        return [BLACK, WHITE]
    if bpp == 4:
        return VGA
    # Blends between the colours that actually touch, for smooth edges.
    pal = [BLACK]
    for a, b in (("edge", "tile"), ("tile", "track"), ("tile", "knob"), ("track", "knob")):
        a, b = SCHEMES[8][a], SCHEMES[8][b]
        pal += [tuple(round(a[i] + (b[i] - a[i]) * s / 62) for i in range(3)) for s in range(63)]
    return pal + [BLACK] * (256 - len(pal))


def colour_at(shapes, scheme, px, py):
    hit = None
    for layer, *box in shapes:
        if inside(px, py, *box):
            hit = scheme[layer]
    return hit


def render(n, bpp):
    """Return (palette, rows of palette indices, rows of mask bits), top row first."""
    scheme, pal = SCHEMES[bpp], palette(bpp)
    shapes = [s for s in layers(n) if scheme[s[0]] is not None]
    # Without blends in the palette, supersampling would only make mush.
    k = 4 if bpp == 8 else 1
    offsets = [(i + 0.5) / k for i in range(k)]
    nearest = {}

    def pixel(x, y):
        hits = [c for dy in offsets for dx in offsets
                if (c := colour_at(shapes, scheme, x + dx, y + dy))]
        if 2 * len(hits) <= k * k:
            return 0, 1  # black under a set mask bit leaves the screen untouched
        avg = tuple(round(sum(h[i] for h in hits) / len(hits)) for i in range(3))
        if avg not in nearest:
            nearest[avg] = min(range(len(pal)), key=lambda j: sum(
                (pal[j][i] - avg[i]) ** 2 for i in range(3)))
        return nearest[avg], 0

    grid = [[pixel(x, y) for x in range(n)] for y in range(n)]
    return pal, [[p for p, _ in row] for row in grid], [[m for _, m in row] for row in grid]


def pack_rows(rows, bpp):
    """Bottom-up rows, MSB-first pixels, each row padded to 4 bytes."""
    out = bytearray()
    for row in reversed(rows):
        bits = 0
        for v in row:
            bits = (bits << bpp) | v
        nbits = len(row) * bpp
        stride = (nbits + 31) // 32 * 4
        out += (bits << (stride * 8 - nbits)).to_bytes(stride, "big")
    return bytes(out)


def dib(n, bpp, pal, pixels, mask):
    xor, and_ = pack_rows(pixels, bpp), pack_rows(mask, 1)
    header = struct.pack("<IiiHHIIiiII", 40, n, 2 * n, 1, bpp, 0,
                         len(xor) + len(and_), 0, 0, 0, 0)
    colours = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in pal)
    return header + colours + xor + and_


def ico(images):
    offset = 6 + 16 * len(images)
    head = struct.pack("<HHH", 0, 1, len(images))
    entries, blobs = b"", b""
    for n, bpp, blob in images:
        colours = 1 << bpp if bpp < 8 else 0
        entries += struct.pack("<BBBBHHII", n, n, colours, 0, 1, bpp, len(blob), offset)
        blobs += blob
        offset += len(blob)
    return head + entries + blobs


def png(path, pal, pixels, mask, scale=8):
    """Enlarged copy on a checkerboard, so transparency stays visible."""
    raw = bytearray()
    for y, (prow, mrow) in enumerate(zip(pixels, mask)):
        line = bytearray()
        for x, (p, m) in enumerate(zip(prow, mrow)):
            c = (pal[p] if not m else
                 (204, 204, 204) if (x + y) % 2 else (153, 153, 153))
            line += bytes(c) * scale
        raw += (b"\0" + line) * scale
    side = len(pixels) * scale

    def chunk(tag, data):
        return (struct.pack(">I", len(data)) + tag + data
                + struct.pack(">I", zlib.crc32(tag + data)))

    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n"
                + chunk(b"IHDR", struct.pack(">IIBBBBB", side, side, 8, 2, 0, 0, 0))
                + chunk(b"IDAT", zlib.compress(bytes(raw), 9))
                + chunk(b"IEND", b""))


def main():
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("output", help=".ico file to write")
    ap.add_argument("--preview", metavar="DIR", help="also write 8x PNG previews here")
    args = ap.parse_args()

    images = []
    for i, (n, bpp) in enumerate(IMAGES, 1):
        pal, pixels, mask = render(n, bpp)
        images.append((n, bpp, dib(n, bpp, pal, pixels, mask)))
        if args.preview:
            os.makedirs(args.preview, exist_ok=True)
            png(os.path.join(args.preview, f"{i}-{n}x{n}-{bpp}bpp.png"), pal, pixels, mask)
    with open(args.output, "wb") as f:
        f.write(ico(images))


if __name__ == "__main__":
    main()

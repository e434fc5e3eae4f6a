#!/usr/bin/env python3
"""Draws the program's icons and writes them as .ico files.

The pictures are described below as shapes (signed distance functions on a
16 x 16 design grid), so one description gives every size. Small images are
stored as 32-bit BMP entries, 256 px ones as PNG entries. Only the Python
standard library is used, and the .ico files are committed, so building the
program needs no image tool.

    scripts/make_icons.py                  # rewrite src/ui/res/icons/*.ico
    scripts/make_icons.py --preview DIR    # also write enlarged PNG previews
"""

import argparse
import math
import os
import struct
import zlib

GRID = 16.0

# ---------------------------------------------------------------- shapes
# Each shape is a function (x, y) -> signed distance in grid units,
# negative inside.


def circle(cx, cy, r):
    return lambda x, y: math.hypot(x - cx, y - cy) - r


def box(x0, y0, x1, y1, r=0.0):
    cx, cy = (x0 + x1) / 2, (y0 + y1) / 2
    hx, hy = (x1 - x0) / 2 - r, (y1 - y0) / 2 - r

    def d(x, y):
        qx, qy = abs(x - cx) - hx, abs(y - cy) - hy
        outside = math.hypot(max(qx, 0.0), max(qy, 0.0))
        return outside + min(max(qx, qy), 0.0) - r

    return d


def segment(ax, ay, bx, by, width):
    dx, dy = bx - ax, by - ay
    length2 = dx * dx + dy * dy or 1e-9

    def d(x, y):
        t = max(0.0, min(1.0, ((x - ax) * dx + (y - ay) * dy) / length2))
        return math.hypot(x - ax - t * dx, y - ay - t * dy) - width / 2

    return d


def polyline(points, width):
    parts = [segment(*points[i], *points[i + 1], width) for i in range(len(points) - 1)]
    return union(*parts)


def polygon(points):
    n = len(points)

    def d(x, y):
        best = float("inf")
        inside = False
        for i in range(n):
            ax, ay = points[i]
            bx, by = points[i - 1]
            ex, ey = bx - ax, by - ay
            wx, wy = x - ax, y - ay
            t = max(0.0, min(1.0, (wx * ex + wy * ey) / (ex * ex + ey * ey or 1e-9)))
            best = min(best, math.hypot(wx - ex * t, wy - ey * t))
            if (ay > y) != (by > y) and x < ax + (y - ay) * (bx - ax) / (by - ay):
                inside = not inside
        return -best if inside else best

    return d


def union(*shapes):
    return lambda x, y: min(s(x, y) for s in shapes)


def intersect(*shapes):
    return lambda x, y: max(s(x, y) for s in shapes)


def subtract(shape, *holes):
    return lambda x, y: max([shape(x, y)] + [-h(x, y) for h in holes])


def ring(shape, width):
    return lambda x, y: abs(shape(x, y)) - width / 2


def grow(shape, amount):
    return lambda x, y: shape(x, y) - amount


# ---------------------------------------------------------------- canvas


def rgb(hex_colour, alpha=1.0):
    v = int(hex_colour.lstrip("#"), 16)
    return ((v >> 16) / 255.0, ((v >> 8) & 255) / 255.0, (v & 255) / 255.0, alpha)


def vertical_gradient(top, bottom, y0=0.0, y1=GRID):
    a, b = rgb(top), rgb(bottom)

    def colour(x, y):
        t = max(0.0, min(1.0, (y - y0) / (y1 - y0)))
        return tuple(a[i] + (b[i] - a[i]) * t for i in range(4))

    return colour


class Canvas:
    """Premultiplied RGBA pixels, painted with shapes in grid units."""

    def __init__(self, size):
        self.size = size
        self.scale = size / GRID  # pixels per grid unit
        self.px = [[0.0, 0.0, 0.0, 0.0] for _ in range(size * size)]

    def fill(self, shape, colour, bounds=None):
        """Paints `shape` over the picture; anti-aliased over one pixel."""
        s = self.size
        x0, y0, x1, y1 = 0, 0, s, s
        if bounds:  # a bounding box in grid units speeds up large images
            x0 = max(0, int(bounds[0] * self.scale) - 1)
            y0 = max(0, int(bounds[1] * self.scale) - 1)
            x1 = min(s, int(math.ceil(bounds[2] * self.scale)) + 1)
            y1 = min(s, int(math.ceil(bounds[3] * self.scale)) + 1)
        for py in range(y0, y1):
            gy = (py + 0.5) / self.scale
            for px in range(x0, x1):
                gx = (px + 0.5) / self.scale
                coverage = 0.5 - shape(gx, gy) * self.scale
                if coverage <= 0.0:
                    continue
                coverage = min(coverage, 1.0)
                r, g, b, a = colour(gx, gy) if callable(colour) else colour
                a *= coverage
                p = self.px[py * s + px]
                keep = 1.0 - a
                p[0] = r * a + p[0] * keep
                p[1] = g * a + p[1] * keep
                p[2] = b * a + p[2] * keep
                p[3] = a + p[3] * keep

    def outlined(self, shape, fill, outline, width=1.0, bounds=None):
        """The shape with an outline of `width` pixels (at least) around it."""
        w = max(width / self.scale, 0.0)
        w = max(w, 0.6 * 16.0 / self.size) if self.size <= 16 else w
        self.fill(grow(shape, w), outline, bounds)
        self.fill(shape, fill, bounds)

    def rgba_bytes(self):
        """Straight (not premultiplied) 8-bit RGBA, top row first."""
        out = bytearray()
        for r, g, b, a in self.px:
            if a > 0.0:
                r, g, b = r / a, g / a, b / a
            out += bytes(int(round(max(0.0, min(1.0, c)) * 255)) for c in (r, g, b, a))
        return bytes(out)


# ---------------------------------------------------------------- pictures

INK = rgb("#1B2430")  # the dark outline shared by the tray images


def c_mark(c, cx=8.0, cy=8.0, radius=4.6, width=2.9, colour=rgb("#4FD1F5")):
    """The Covelin mark: a heavy "C", open to the right."""
    opening = polygon([(cx, cy), (cx + 9, cy - 7.5), (cx + 9, cy + 7.5)])
    shape = subtract(ring(circle(cx, cy, radius), width), opening)
    # Rounded ends, so the letter reads well at every size.
    end = math.atan2(7.5, 9.0)
    for sign in (-1, 1):
        ex = cx + radius * math.cos(end)
        ey = cy + sign * radius * math.sin(end)
        shape = union(shape, circle(ex, ey, width / 2))
    c.fill(shape, colour)


def badge(c, top="#2E4A7D", bottom="#17223B"):
    c.fill(box(0.5, 0.5, 15.5, 15.5, 3.2), rgb("#0E1525"))
    c.fill(box(0.9, 0.9, 15.1, 15.1, 2.9), vertical_gradient(top, bottom))


def draw_app(c):
    badge(c)
    # A faint window behind the mark: what the program makes disappear.
    c.fill(box(3.2, 3.6, 12.8, 12.4, 0.8), rgb("#FFFFFF", 0.10))
    c_mark(c)


def draw_tray_covelin(c):
    badge(c)
    c_mark(c, radius=4.4, width=3.0)


def draw_search(c):
    c.fill(grow(segment(9.8, 9.8, 14.0, 14.0, 2.6), 0.7), INK)
    c.fill(segment(9.8, 9.8, 14.0, 14.0, 2.6), rgb("#8D5A2B"))
    c.outlined(circle(6.5, 6.5, 4.9), rgb("#9AA6B2"), INK, 0.8)
    c.fill(circle(6.5, 6.5, 3.4), rgb("#CFEFFF"))
    c.fill(segment(4.6, 5.5, 5.6, 4.5, 1.0), rgb("#FFFFFF", 0.9))


def shield_shape():
    return polygon([(8.0, 0.8), (14.2, 2.8), (14.0, 7.2), (12.9, 10.3), (10.8, 12.9), (8.0, 15.2),
                    (5.2, 12.9), (3.1, 10.3), (2.0, 7.2), (1.8, 2.8)])


def draw_security(c):
    shield = shield_shape()
    c.outlined(shield, rgb("#1565C0"), INK, 0.8)
    c.fill(intersect(shield, box(0, 0, 8.0, 16)), rgb("#42A5F5"))
    c.fill(polyline([(4.9, 7.9), (7.2, 10.3), (11.4, 5.3)], 1.7), rgb("#FFFFFF"))


def draw_disk(c):
    body = subtract(box(1.3, 1.3, 14.7, 14.7, 0.9), polygon([(12.4, 0), (16, 0), (16, 3.6)]))
    c.outlined(body, rgb("#37474F"), INK, 0.7)
    c.fill(box(4.3, 1.3, 11.3, 6.0, 0.3), rgb("#B0BEC5"))
    c.fill(box(8.6, 2.2, 10.2, 5.1), rgb("#37474F"))
    c.fill(box(3.3, 8.4, 12.7, 14.7, 0.4), rgb("#F5F5F5"))
    for y in (10.3, 12.4):
        c.fill(segment(4.8, y, 11.2, y, 0.7), rgb("#90A4AE"))


def draw_film(c):
    c.outlined(box(2.0, 0.6, 14.0, 15.4, 0.6), rgb("#263238"), INK, 0.5)
    for y in (2.0, 5.0, 8.0, 11.0, 14.0):
        c.fill(box(2.9, y - 0.7, 4.1, y + 0.7, 0.2), rgb("#ECEFF1"))
        c.fill(box(11.9, y - 0.7, 13.1, y + 0.7, 0.2), rgb("#ECEFF1"))
    c.fill(box(5.2, 1.6, 10.8, 7.5, 0.3), vertical_gradient("#FFB74D", "#E65100", 1.6, 7.5))
    c.fill(box(5.2, 8.5, 10.8, 14.4, 0.3), vertical_gradient("#81D4FA", "#0277BD", 8.5, 14.4))


def draw_mail(c):
    envelope = box(0.9, 3.2, 15.1, 12.8, 0.8)
    c.outlined(envelope, rgb("#FFF3D6"), INK, 0.8)
    c.fill(intersect(polygon([(0.9, 3.2), (15.1, 3.2), (8.0, 9.0)]), envelope), rgb("#F2D49B"))
    c.fill(polyline([(1.6, 3.9), (8.0, 9.0), (14.4, 3.9)], 0.9), rgb("#8A5A1E"))
    c.fill(segment(1.8, 12.1, 6.2, 8.0, 0.6), rgb("#C8A46A"))
    c.fill(segment(14.2, 12.1, 9.8, 8.0, 0.6), rgb("#C8A46A"))


def draw_skull(c):
    head = union(circle(8.0, 6.9, 5.6), box(4.9, 9.5, 11.1, 14.8, 1.2))
    c.outlined(head, rgb("#F1F1EC"), INK, 0.8)
    c.fill(circle(5.8, 7.4, 1.6), INK)
    c.fill(circle(10.2, 7.4, 1.6), INK)
    c.fill(polygon([(8.0, 9.0), (6.9, 11.1), (9.1, 11.1)]), INK)
    for x in (6.6, 8.0, 9.4):
        c.fill(segment(x, 12.6, x, 14.6, 0.55), INK)


def draw_photo(c):
    c.outlined(box(0.9, 2.2, 15.1, 13.8, 0.6), rgb("#FAFAFA"), INK, 0.7)
    inner = box(2.3, 3.6, 13.7, 12.4)
    c.fill(inner, vertical_gradient("#64B5F6", "#BBDEFB", 3.6, 12.4))
    c.fill(circle(10.9, 6.2, 1.3), rgb("#FFD54F"))
    c.fill(intersect(polygon([(2.3, 12.4), (6.4, 6.9), (9.0, 10.1), (10.6, 8.5), (13.7, 12.4)]), inner),
           rgb("#43A047"))


def draw_trash(c):
    c.outlined(polygon([(3.3, 5.0), (12.7, 5.0), (11.8, 15.0), (4.2, 15.0)]), rgb("#90A4AE"), INK, 0.8)
    for x in (6.0, 8.0, 10.0):
        c.fill(segment(x, 7.0, x, 13.2, 0.9), rgb("#546E7A"))
    c.fill(ring(box(6.2, 1.0, 9.8, 3.4, 0.6), 0.9), INK)
    c.outlined(box(2.2, 2.6, 13.8, 4.6, 0.5), rgb("#B0BEC5"), INK, 0.8)


def draw_default_app(c):
    """A plain program window: what an executable without an icon gets."""
    c.outlined(box(1.0, 2.0, 15.0, 14.0, 0.8), rgb("#FFFFFF"), rgb("#455A64"), 0.8)
    c.fill(box(1.0, 2.0, 15.0, 5.0, 0.8), rgb("#3F7FCF"))
    c.fill(box(1.0, 4.0, 15.0, 5.0), rgb("#3F7FCF"))
    for x in (11.3, 13.2):
        c.fill(box(x - 0.6, 2.9, x + 0.6, 4.1), rgb("#FFFFFF", 0.9))
    for y in (7.4, 9.4, 11.4):
        c.fill(segment(3.2, y, 11.0 if y != 9.4 else 8.5, y, 0.8), rgb("#B0BEC5"))


def draw_about(c):
    badge(c, top="#35589A", bottom="#131B30")
    # Two windows, the front one fading out: the program's work in a picture.
    c.fill(box(2.6, 3.0, 10.0, 9.6, 0.5), rgb("#FFFFFF", 0.10))
    c.fill(box(6.0, 6.4, 13.4, 13.0, 0.5), rgb("#FFFFFF", 0.06))
    c_mark(c, radius=4.7, width=3.0)
    c.fill(circle(12.4, 3.6, 0.7), rgb("#4FD1F5", 0.8))


# ---------------------------------------------------------------- files


def png_bytes(size, rgba):
    rows = b"".join(b"\x00" + rgba[y * size * 4:(y + 1) * size * 4] for y in range(size))

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF)

    header = struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)
    return b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(rows, 9)) + chunk(b"IEND", b"")


def bmp_entry_bytes(size, rgba):
    """A 32-bit DIB as icons store it: double height, bottom-up, AND mask."""
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    colour = bytearray()
    for y in range(size - 1, -1, -1):
        for x in range(size):
            r, g, b, a = rgba[(y * size + x) * 4:(y * size + x) * 4 + 4]
            colour += bytes((b, g, r, a))
    stride = ((size + 31) // 32) * 4
    mask = bytearray()
    for y in range(size - 1, -1, -1):
        row = bytearray(stride)
        for x in range(size):
            if rgba[(y * size + x) * 4 + 3] == 0:
                row[x // 8] |= 0x80 >> (x % 8)
        mask += row
    return header + bytes(colour) + bytes(mask)


def render(draw, size):
    canvas = Canvas(size)
    draw(canvas)
    return canvas.rgba_bytes()


def ico_bytes(images):
    """images: list of (size, rgba). 256 px goes in as PNG, smaller as BMP."""
    entries, blobs = [], []
    offset = 6 + 16 * len(images)
    for size, rgba in images:
        blob = png_bytes(size, rgba) if size >= 256 else bmp_entry_bytes(size, rgba)
        dim = 0 if size >= 256 else size
        entries.append(struct.pack("<BBBBHHII", dim, dim, 0, 0, 1, 32, len(blob), offset))
        blobs.append(blob)
        offset += len(blob)
    return struct.pack("<HHH", 0, 1, len(images)) + b"".join(entries) + b"".join(blobs)


# file name, drawing, sizes
ICONS = [
    ("Covelin.ico", draw_app, (16, 32, 48, 256)),          # 128 application
    ("DefaultApp.ico", draw_default_app, (16, 32, 48)),    # 131 default file icon
    ("About.ico", draw_about, (48, 256)),                  # 148 About picture
    ("TrayCovelin.ico", draw_tray_covelin, (16,)),         # 139
    ("TraySearch.ico", draw_search, (16,)),                # 140
    ("TraySecurity.ico", draw_security, (16,)),            # 141
    ("TrayDisk.ico", draw_disk, (16,)),                    # 142
    ("TrayFilm.ico", draw_film, (16,)),                    # 143
    ("TrayMail.ico", draw_mail, (16,)),                    # 144
    ("TraySkull.ico", draw_skull, (16,)),                  # 145
    ("TrayPhoto.ico", draw_photo, (16,)),                  # 146
    ("TrayTrash.ico", draw_trash, (16,)),                  # 147
]


def enlarge(size, rgba, factor):
    """Nearest-neighbour enlargement over a checkerboard, for previews."""
    big = size * factor
    out = bytearray()
    for y in range(big):
        for x in range(big):
            i = ((y // factor) * size + (x // factor)) * 4
            r, g, b, a = rgba[i:i + 4]
            bg = 200 if ((x // 8) + (y // 8)) % 2 else 240
            out += bytes(((r * a + bg * (255 - a)) // 255, (g * a + bg * (255 - a)) // 255,
                          (b * a + bg * (255 - a)) // 255, 255))
    return big, bytes(out)


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--out", default=os.path.join(here, "..", "src", "ui", "res", "icons"))
    parser.add_argument("--preview", help="directory for enlarged PNG previews")
    args = parser.parse_args()

    os.makedirs(args.out, exist_ok=True)
    if args.preview:
        os.makedirs(args.preview, exist_ok=True)
    for name, draw, sizes in ICONS:
        images = [(size, render(draw, size)) for size in sizes]
        with open(os.path.join(args.out, name), "wb") as f:
            f.write(ico_bytes(images))
        if args.preview:
            for size, rgba in images:
                big, pixels = enlarge(size, rgba, max(1, 128 // size))
                with open(os.path.join(args.preview, "%s-%d.png" % (name[:-4], size)), "wb") as f:
                    f.write(png_bytes(big, pixels))


if __name__ == "__main__":
    main()

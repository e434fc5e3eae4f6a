#!/usr/bin/env python3
"""Draws the program's icons and writes them as .ico files.

The pictures are described as shapes (signed distance functions on a 16 x 16
design grid), but each size is drawn for itself, as a designer would: edges
that should be sharp sit on whole pixels of that size, outlines and strokes
are whole pixels wide, and details that would only be noise at 16 or 20
pixels are left out there while the larger sizes get more of them. Every
image comes at 16, 20, 24, 32, 40 and 48 pixels (the small and large icon
sizes of 100 % to 200 % display scale); the program's icon and the About
picture also at 256, stored as PNG. Only the Python standard library is
used, and the .ico files are committed, so building the program needs no
image tool.

    scripts/make_icons.py                  # rewrite src/ui/res/icons/*.ico
    scripts/make_icons.py --preview DIR    # also write enlarged PNG previews
                                           # and DIR/sheet.png with them all
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
        self.pixels = [[0.0, 0.0, 0.0, 0.0] for _ in range(size * size)]

    # ---- drawing for the size: all results in grid units

    def snap(self, v):
        """`v` moved to the nearest pixel edge of this size."""
        return math.floor(v * self.scale + 0.5) / self.scale

    def mid(self, v):
        """`v` moved to the nearest pixel centre of this size (for odd-width lines)."""
        return (math.floor(v * self.scale) + 0.5) / self.scale

    def px(self, pixels):
        return pixels / self.scale

    def stroke(self, width, minimum=1):
        """`width` grid units as a whole number of pixels, at least `minimum`."""
        return max(minimum, math.floor(width * self.scale + 0.5)) / self.scale

    def line_px(self):
        """The outline of this size: one pixel up to 24, two up to 48, then in proportion."""
        if self.size <= 24:
            return 1
        if self.size <= 48:
            return 2
        return max(2, round(self.size / 24))

    def box(self, x0, y0, x1, y1, r=0.0):
        """A box whose edges sit on whole pixels."""
        return box(self.snap(x0), self.snap(y0), self.snap(x1), self.snap(y1), r)

    def small(self):
        return self.size <= 20

    def large(self):
        return self.size >= 40

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
                p = self.pixels[py * s + px]
                keep = 1.0 - a
                p[0] = r * a + p[0] * keep
                p[1] = g * a + p[1] * keep
                p[2] = b * a + p[2] * keep
                p[3] = a + p[3] * keep

    def outlined(self, shape, fill, outline, bounds=None):
        """The shape with the outline of this size around it."""
        self.fill(grow(shape, self.px(self.line_px())), outline, bounds)
        self.fill(shape, fill, bounds)

    def rgba_bytes(self):
        """Straight (not premultiplied) 8-bit RGBA, top row first."""
        out = bytearray()
        for r, g, b, a in self.pixels:
            if a > 0.0:
                r, g, b = r / a, g / a, b / a
            out += bytes(int(round(max(0.0, min(1.0, c)) * 255)) for c in (r, g, b, a))
        return bytes(out)


# ---------------------------------------------------------------- pictures
# Each function draws one picture on a canvas of any size, asking the canvas
# for its size where the picture should differ: whole-pixel edges and
# strokes (c.box, c.stroke, c.mid), and fewer details where they would blur
# (c.small) or more where there is room (c.large).

INK = rgb("#1B2430")  # the dark outline shared by the tray images


def c_mark(c, cx=8.0, cy=8.0, radius=4.6, width=2.9, colour=rgb("#4FD1F5")):
    """The Covelin mark: a heavy "C", open to the right."""
    # A stroke of whole pixels keeps both edges of the letter equally sharp.
    width = c.stroke(width, 2)
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
    edge = c.px(c.line_px())
    outer = c.box(0.5, 0.5, 15.5, 15.5, 3.2)
    c.fill(outer, rgb("#0E1525"))
    c.fill(grow(outer, -edge), vertical_gradient(top, bottom))
    if not c.small():
        # A lit top edge, one line of this size.
        c.fill(intersect(ring(grow(outer, -edge * 1.5), edge), box(0, 0, 16, 5.0)), rgb("#FFFFFF", 0.16))


def draw_app(c):
    badge(c)
    # A faint window behind the mark, what the program makes disappear; at
    # 16 and 20 pixels it would only muddy the letter.
    if not c.small():
        c.fill(c.box(3.2, 3.6, 12.8, 12.4, 0.8), rgb("#FFFFFF", 0.10))
        c.fill(c.box(3.2, 3.6, 12.8, 3.6 + c.stroke(1.2)), rgb("#FFFFFF", 0.12))
    c_mark(c, radius=4.7 if c.small() else 4.6, width=3.2 if c.small() else 2.9)


def draw_tray_covelin(c):
    badge(c)
    c_mark(c, radius=4.5 if c.small() else 4.4, width=3.2 if c.small() else 3.0)


def draw_search(c):
    handle = c.stroke(2.6, 2)
    c.fill(grow(segment(9.8, 9.8, 14.0, 14.0, handle), c.px(c.line_px())), INK)
    c.fill(segment(9.8, 9.8, 14.0, 14.0, handle), rgb("#8D5A2B"))
    rim = 4.9
    c.outlined(circle(6.5, 6.5, rim), rgb("#9AA6B2"), INK)
    c.fill(circle(6.5, 6.5, rim - c.stroke(1.5)), rgb("#CFEFFF"))
    if not c.small():
        c.fill(segment(4.6, 5.5, 5.6, 4.5, c.stroke(1.0)), rgb("#FFFFFF", 0.9))
    if c.large():
        # A band where the handle meets the rim.
        c.fill(segment(9.9, 9.9, 10.9, 10.9, handle + c.px(1)), rgb("#5D3A1A"))


def shield_shape():
    return polygon([(8.0, 0.8), (14.2, 2.8), (14.0, 7.2), (12.9, 10.3), (10.8, 12.9), (8.0, 15.2),
                    (5.2, 12.9), (3.1, 10.3), (2.0, 7.2), (1.8, 2.8)])


def draw_security(c):
    shield = shield_shape()
    c.outlined(shield, rgb("#1565C0"), INK)
    c.fill(intersect(shield, box(0, 0, 8.0, 16)), rgb("#42A5F5"))
    if c.large():
        # An inner rim that only shows at the larger sizes.
        c.fill(intersect(ring(grow(shield, -c.px(3)), c.px(1)), shield), rgb("#FFFFFF", 0.25))
    c.fill(polyline([(4.9, 7.9), (7.2, 10.3), (11.4, 5.3)], c.stroke(1.7, 2)), rgb("#FFFFFF"))


def draw_disk(c):
    body = subtract(c.box(1.3, 1.3, 14.7, 14.7, 0.9), polygon([(12.4, 0), (16, 0), (16, 3.6)]))
    c.outlined(body, rgb("#37474F"), INK)
    c.fill(c.box(4.3, 1.3, 11.3, 6.0, 0.3), rgb("#B0BEC5"))
    c.fill(c.box(8.6, 2.2, 10.2, 5.1), rgb("#37474F"))
    c.fill(c.box(3.3, 8.4, 12.7, 14.7, 0.4), rgb("#F5F5F5"))
    # Written lines on the label: two where pixels are few, three above.
    rows = (10.3, 12.4) if c.size < 32 else (10.0, 11.7, 13.4)
    for y in rows:
        c.fill(segment(4.8, c.mid(y), 11.2, c.mid(y), c.stroke(0.7)), rgb("#90A4AE"))


def draw_film(c):
    c.outlined(c.box(2.0, 0.6, 14.0, 15.4, 0.6), rgb("#263238"), INK)
    # The sprocket holes: as many as there are pixels for, each on whole
    # pixels, at least one pixel square.
    count = 4 if c.small() else (5 if c.size < 40 else 6)
    hole = max(c.px(1), c.snap(1.2))
    for i in range(count):
        y = 1.4 + (13.2 * (i + 0.5) / count)
        top = c.snap(y - hole / 2)
        for x in (3.5, 12.5):
            left = c.snap(x - hole / 2)
            c.fill(box(left, top, left + hole, top + hole, 0.2 if c.large() else 0.0), rgb("#ECEFF1"))
    c.fill(c.box(5.2, 1.6, 10.8, 7.5, 0.3), vertical_gradient("#FFB74D", "#E65100", 1.6, 7.5))
    c.fill(c.box(5.2, 8.5, 10.8, 14.4, 0.3), vertical_gradient("#81D4FA", "#0277BD", 8.5, 14.4))


def draw_mail(c):
    envelope = c.box(0.9, 3.2, 15.1, 12.8, 0.8)
    c.outlined(envelope, rgb("#FFF3D6"), INK)
    c.fill(intersect(polygon([(0.9, 3.2), (15.1, 3.2), (8.0, 9.0)]), envelope), rgb("#F2D49B"))
    c.fill(polyline([(1.6, 3.9), (8.0, 9.0), (14.4, 3.9)], c.stroke(0.9)), rgb("#8A5A1E"))
    # The lower folds only where they do not crowd the flap.
    if not c.small():
        c.fill(segment(1.8, 12.1, 6.2, 8.0, c.stroke(0.6)), rgb("#C8A46A"))
        c.fill(segment(14.2, 12.1, 9.8, 8.0, c.stroke(0.6)), rgb("#C8A46A"))


def draw_skull(c):
    head = union(circle(8.0, 6.9, 5.6), c.box(4.9, 9.5, 11.1, 14.8, 1.2))
    c.outlined(head, rgb("#F1F1EC"), INK)
    eye = 1.6 if c.size >= 24 else 1.8
    c.fill(circle(5.8, 7.4, eye), INK)
    c.fill(circle(10.2, 7.4, eye), INK)
    c.fill(polygon([(8.0, 9.0), (6.9, 11.1), (9.1, 11.1)]), INK)
    # Teeth: gaps of whole pixels; two where three would merge.
    gaps = (7.0, 9.0) if c.small() else (6.6, 8.0, 9.4)
    for x in gaps:
        c.fill(segment(c.mid(x), 12.6, c.mid(x), 14.6, c.stroke(0.55)), INK)


def draw_photo(c):
    c.outlined(c.box(0.9, 2.2, 15.1, 13.8, 0.6), rgb("#FAFAFA"), INK)
    inner = c.box(2.3, 3.6, 13.7, 12.4)
    c.fill(inner, vertical_gradient("#64B5F6", "#BBDEFB", 3.6, 12.4))
    c.fill(circle(10.9, 6.2, 1.3), rgb("#FFD54F"))
    if not c.small():
        # A farther hill behind the near one.
        c.fill(intersect(polygon([(5.0, 12.4), (9.6, 7.6), (13.7, 11.0), (13.7, 12.4)]), inner), rgb("#2E7D32"))
    c.fill(intersect(polygon([(2.3, 12.4), (6.4, 6.9), (9.0, 10.1), (10.6, 8.5), (13.7, 12.4)]), inner),
           rgb("#43A047"))


def draw_trash(c):
    c.outlined(polygon([(3.3, 5.0), (12.7, 5.0), (11.8, 15.0), (4.2, 15.0)]), rgb("#90A4AE"), INK)
    ridges = (6.7, 9.3) if c.size <= 16 else (6.0, 8.0, 10.0)
    for x in ridges:
        c.fill(segment(c.mid(x), 7.0, c.mid(x), 13.2, c.stroke(0.9)), rgb("#546E7A"))
    # The lid's handle, where it can be more than a grey smudge.
    if c.size >= 24:
        c.fill(ring(c.box(6.2, 1.0, 9.8, 3.4, 0.6), c.stroke(0.9)), INK)
    c.outlined(c.box(2.2, 2.6, 13.8, 4.6, 0.5), rgb("#B0BEC5"), INK)


def draw_default_app(c):
    """A plain program window: what an executable without an icon gets."""
    c.outlined(c.box(1.0, 2.0, 15.0, 14.0, 0.8), rgb("#FFFFFF"), rgb("#455A64"))
    bar = c.snap(5.0)
    c.fill(c.box(1.0, 2.0, 15.0, bar, 0.8), rgb("#3F7FCF"))
    c.fill(box(c.snap(1.0), bar - c.px(1), c.snap(15.0), bar), rgb("#3F7FCF"))
    # Window buttons and lines of text: as many as the size has room for.
    buttons = (13.2,) if c.small() else (11.3, 13.2)
    for x in buttons:
        c.fill(c.box(x - 0.6, 2.9, x + 0.6, 4.1), rgb("#FFFFFF", 0.9))
    rows = ((7.4, 11.0), (10.4, 8.5)) if c.small() else ((7.4, 11.0), (9.4, 8.5), (11.4, 11.0))
    for y, end in rows:
        c.fill(segment(3.2, c.mid(y), end, c.mid(y), c.stroke(0.8)), rgb("#B0BEC5"))


def draw_about(c):
    badge(c, top="#35589A", bottom="#131B30")
    # Two windows, the front one fading out: the program's work in a picture.
    if not c.small():
        c.fill(c.box(2.6, 3.0, 10.0, 9.6, 0.5), rgb("#FFFFFF", 0.10))
        c.fill(c.box(6.0, 6.4, 13.4, 13.0, 0.5), rgb("#FFFFFF", 0.06))
    c_mark(c, radius=4.7, width=3.0)
    if not c.small():
        c.fill(circle(12.4, 3.6, 0.7), rgb("#4FD1F5", 0.8))


# ---------------------------------------------------------------- files


def png_bytes(size, rgba):
    return png_rect_bytes(size, size, rgba)


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


# The small-icon sizes of 100, 125, 150 and 200 % display scale are 16, 20,
# 24 and 32; the large-icon ones 32, 40, 48 and 64 (64 is drawn from 256).
SIZES = (16, 20, 24, 32, 40, 48)
BIG = SIZES + (256,)

# file name, drawing, sizes
ICONS = [
    ("Covelin.ico", draw_app, BIG),                        # 128 application
    ("DefaultApp.ico", draw_default_app, SIZES),           # 131 default file icon
    ("About.ico", draw_about, BIG),                        # 148 About picture
    ("TrayCovelin.ico", draw_tray_covelin, SIZES),         # 139
    ("TraySearch.ico", draw_search, SIZES),                # 140
    ("TraySecurity.ico", draw_security, SIZES),            # 141
    ("TrayDisk.ico", draw_disk, SIZES),                    # 142
    ("TrayFilm.ico", draw_film, SIZES),                    # 143
    ("TrayMail.ico", draw_mail, SIZES),                    # 144
    ("TraySkull.ico", draw_skull, SIZES),                  # 145
    ("TrayPhoto.ico", draw_photo, SIZES),                  # 146
    ("TrayTrash.ico", draw_trash, SIZES),                  # 147
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


def sheet(rows, factor=3, pad=6):
    """All pictures in one image: a row per icon, a column per size, each
    size enlarged `factor` times, for comparing the sizes side by side."""
    cell = 48 * factor + pad
    width, height = cell * len(SIZES) + pad, cell * len(rows) + pad
    out = bytearray(b"\xff\xff\xff\xff" * width * height)
    for r, images in enumerate(rows):
        for col, (size, rgba) in enumerate(i for i in images if i[0] in SIZES):
            big, pixels = enlarge(size, rgba, factor)
            x0, y0 = pad + col * cell, pad + r * cell
            for y in range(big):
                start = ((y0 + y) * width + x0) * 4
                out[start:start + big * 4] = pixels[y * big * 4:(y + 1) * big * 4]
    return width, height, bytes(out)


def png_rect_bytes(width, height, rgba):
    rows = b"".join(b"\x00" + rgba[y * width * 4:(y + 1) * width * 4] for y in range(height))

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF)

    header = struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0)
    return b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(rows, 9)) + chunk(b"IEND", b"")


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--out", default=os.path.join(here, "..", "src", "ui", "res", "icons"))
    parser.add_argument("--preview", help="directory for enlarged PNG previews")
    args = parser.parse_args()

    os.makedirs(args.out, exist_ok=True)
    if args.preview:
        os.makedirs(args.preview, exist_ok=True)
    rows = []
    for name, draw, sizes in ICONS:
        images = [(size, render(draw, size)) for size in sizes]
        rows.append(images)
        with open(os.path.join(args.out, name), "wb") as f:
            f.write(ico_bytes(images))
        if args.preview:
            for size, rgba in images:
                big, pixels = enlarge(size, rgba, max(1, 128 // size))
                with open(os.path.join(args.preview, "%s-%d.png" % (name[:-4], size)), "wb") as f:
                    f.write(png_bytes(big, pixels))
    if args.preview:
        with open(os.path.join(args.preview, "sheet.png"), "wb") as f:
            f.write(png_rect_bytes(*sheet(rows)))


if __name__ == "__main__":
    main()

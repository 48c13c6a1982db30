#!/usr/bin/env python3
"""Draws the icons and the About banner of Zarpex32 into ui/images/.

  zarpex32.ico       program icon: blue filing cabinet with an open yellow drawer
  cabinet_small.ico  button icon: small filing cabinet
  folder_open.ico    button icon: open folder
  about_banner.bmp   About box banner, 400 x 70, 256 colours, dark blue abstract shapes
  about_banner_2x.bmp  the same banner drawn at twice the size, for displays scaled above 100 %;
                       the program carries it packed, as about_banner_2x.dcl (ui/packed_image.h), which
                       the native build's tool writes from it afterwards:
                       build/native/tools/pack_image/pack_image ui/images/about_banner_2x.bmp ui/images/about_banner_2x.dcl

Every icon holds 16x16 and 32x32 images with 16 and with 256 colours, and for scaled displays the
same drawings at 150 % and 200 % with 256 colours (24x24; the program icon also 48x48 and 64x64). Pure Python, no packages.
Run: python3 tools/draw_images.py [output folder]
"""
import math
import os
import struct
import sys

# ---------------------------------------------------------------- canvas

def edge(v):
    return int(math.floor(v + 0.5))


class Canvas:
    """A drawing in the coordinates of its design size; scale 1.5 or 2 draws it at 150 % or 200 %."""

    def __init__(self, width, height, scale=1):
        self.scale = scale
        self.width, self.height = edge(width * scale), edge(height * scale)
        self.pixels = [[None] * self.width for _ in range(self.height)]  # None is transparent

    def put(self, x, y, colour):
        self.rect(x, y, x, y, colour)

    def rect(self, x0, y0, x1, y1, colour):
        """Fills the rectangle with corners (x0, y0) and (x1, y1), both included."""
        s = self.scale
        for y in range(max(0, edge(y0 * s)), min(self.height, edge((y1 + 1) * s))):
            for x in range(max(0, edge(x0 * s)), min(self.width, edge((x1 + 1) * s))):
                self.pixels[y][x] = colour

    def frame(self, x0, y0, x1, y1, colour):
        for x in range(x0, x1 + 1):
            self.put(x, y0, colour)
            self.put(x, y1, colour)
        for y in range(y0, y1 + 1):
            self.put(x0, y, colour)
            self.put(x1, y, colour)

    def polygon(self, points, colour):
        """Fills a polygon (even-odd rule, pixel centres)."""
        points = [(x * self.scale, y * self.scale) for x, y in points]
        ys = [p[1] for p in points]
        for y in range(max(0, int(min(ys))), min(self.height, int(max(ys)) + 1)):
            cy = y + 0.5
            crossings = []
            for i in range(len(points)):
                (xa, ya), (xb, yb) = points[i], points[(i + 1) % len(points)]
                if (ya <= cy < yb) or (yb <= cy < ya):
                    crossings.append(xa + (cy - ya) * (xb - xa) / (yb - ya))
            crossings.sort()
            for a, b in zip(crossings[::2], crossings[1::2]):
                for x in range(max(0, int(math.ceil(a - 0.5))), min(self.width, int(math.floor(b - 0.5)) + 1)):
                    self.pixels[y][x] = colour

    def line(self, x0, y0, x1, y1, colour):
        steps = max(abs(x1 - x0), abs(y1 - y0), 1)
        for i in range(steps + 1):
            self.put(round(x0 + (x1 - x0) * i / steps), round(y0 + (y1 - y0) * i / steps), colour)


# ---------------------------------------------------------------- colours

BLACK = (0, 0, 0)
WHITE = (255, 255, 255)
NAVY = (0, 0, 128)
BLUE = (0, 64, 200)
LIGHT_BLUE = (64, 128, 255)
PALE_BLUE = (150, 190, 255)
DARK_BLUE = (0, 32, 120)
YELLOW = (255, 224, 32)
DARK_YELLOW = (192, 150, 0)
PALE_YELLOW = (255, 246, 170)
GREY = (192, 192, 192)
DARK_GREY = (128, 128, 128)
PAPER = (250, 250, 250)

# The 16 colours of the standard Windows palette.
VGA16 = [(0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0), (0, 0, 128), (128, 0, 128), (0, 128, 128),
         (192, 192, 192), (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0), (0, 0, 255),
         (255, 0, 255), (0, 255, 255), (255, 255, 255)]


def nearest(colour, palette):
    return min(range(len(palette)),
               key=lambda i: sum((a - b) * (a - b) * w for a, b, w in zip(colour, palette[i], (3, 4, 2))))


# ---------------------------------------------------------------- drawings

def program_icon(size, scale=1):
    """Blue filing cabinet whose top drawer stands open, yellow, with papers in it."""
    c = Canvas(size, size, scale)
    brown = (128, 96, 0)
    if size == 32:
        c.rect(3, 5, 21, 30, BLUE)                  # body
        c.frame(3, 5, 21, 30, NAVY)
        c.rect(4, 6, 4, 29, LIGHT_BLUE)             # lit left edge
        for top in (16, 23):                        # two closed drawers
            c.rect(5, top, 19, top + 5, LIGHT_BLUE)
            c.frame(5, top, 19, top + 5, NAVY)
            c.rect(10, top + 2, 14, top + 2, WHITE)  # handle
            c.rect(10, top + 3, 14, top + 3, DARK_GREY)
        c.rect(5, 7, 19, 14, DARK_BLUE)             # the open drawer's slot
        # the top drawer, pulled out towards the viewer: inside seen from above, then its front
        c.polygon([(5, 7), (20, 7), (29, 12), (12, 12)], DARK_YELLOW)
        for x in (9, 13, 17, 21):                   # folders standing in the drawer
            c.rect(x, 4 + (x % 3), x + 2, 11, PAPER)
            c.frame(x, 4 + (x % 3), x + 2, 11, DARK_GREY)
        c.rect(12, 12, 29, 19, YELLOW)
        c.frame(12, 12, 29, 19, brown)
        c.line(5, 7, 12, 12, brown)
        c.line(20, 7, 29, 12, brown)
        c.rect(18, 15, 23, 15, brown)               # drawer handle
        c.rect(18, 16, 23, 16, PALE_YELLOW)
    else:
        c.rect(1, 3, 10, 15, BLUE)
        c.frame(1, 3, 10, 15, NAVY)
        c.rect(2, 9, 9, 11, LIGHT_BLUE)
        c.rect(4, 10, 7, 10, WHITE)
        c.rect(2, 12, 9, 14, LIGHT_BLUE)
        c.rect(4, 13, 7, 13, WHITE)
        c.rect(2, 4, 9, 8, DARK_BLUE)
        c.polygon([(2, 4), (10, 4), (15, 7), (6, 7)], DARK_YELLOW)
        for x in (5, 8, 11):
            c.rect(x, 2, x + 1, 6, PAPER)
        c.rect(6, 7, 15, 10, YELLOW)
        c.frame(6, 7, 15, 10, brown)
        c.rect(9, 8, 12, 8, brown)
    return c


def small_cabinet_icon(size, scale=1):
    """Small closed filing cabinet, blue-grey, three drawers."""
    c = Canvas(size, size, scale)
    if size == 32:
        c.rect(8, 2, 23, 29, BLUE)
        c.frame(8, 2, 23, 29, NAVY)
        c.rect(9, 3, 9, 28, LIGHT_BLUE)
        for top in (4, 13, 22):
            c.rect(10, top, 21, top + 6, LIGHT_BLUE)
            c.frame(10, top, 21, top + 6, NAVY)
            c.rect(13, top + 2, 18, top + 3, GREY)
            c.rect(13, top + 4, 18, top + 4, DARK_GREY)
        c.rect(7, 30, 24, 30, DARK_GREY)
    else:
        c.rect(3, 1, 12, 14, BLUE)
        c.frame(3, 1, 12, 14, NAVY)
        for top in (2, 6, 10):
            c.rect(4, top, 11, top + 2, LIGHT_BLUE)
            c.rect(6, top + 1, 9, top + 1, WHITE)
        c.rect(2, 15, 13, 15, DARK_GREY)
    return c


def open_folder_icon(size, scale=1):
    """Classic yellow folder, opened: the back with its tab, the front flap tilted forward."""
    c = Canvas(size, size, scale)
    outline = (128, 96, 0)
    if size == 32:
        c.polygon([(2, 6), (11, 6), (13, 9), (26, 9), (26, 27), (2, 27)], DARK_YELLOW)  # back with tab
        c.polygon([(2, 6), (11, 6), (13, 9), (26, 9), (26, 27), (2, 27)], DARK_YELLOW)
        c.rect(5, 11, 22, 20, PAPER)                                                 # a sheet inside
        c.frame(5, 11, 22, 20, DARK_GREY)
        c.polygon([(7, 15), (31, 15), (26, 28), (1, 28)], YELLOW)                    # front flap
        for (x0, y0, x1, y1) in ((2, 6, 11, 6), (11, 6, 13, 9), (13, 9, 26, 9), (2, 6, 2, 27),
                                 (7, 15, 31, 15), (31, 15, 26, 28), (26, 28, 1, 28), (1, 28, 7, 15)):
            c.line(x0, y0, x1, y1, outline)
        c.line(8, 16, 29, 16, PALE_YELLOW)
    else:
        c.polygon([(1, 3), (6, 3), (7, 5), (13, 5), (13, 14), (1, 14)], DARK_YELLOW)
        c.rect(3, 6, 11, 10, PAPER)
        c.polygon([(4, 8), (16, 8), (13, 15), (0, 15)], YELLOW)
        for (x0, y0, x1, y1) in ((1, 3, 6, 3), (6, 3, 7, 5), (7, 5, 13, 5), (1, 3, 1, 14),
                                 (4, 8, 15, 8), (15, 8, 13, 14), (13, 14, 0, 14), (0, 14, 4, 8)):
            c.line(x0, y0, x1, y1, outline)
    return c


# ---------------------------------------------------------------- ICO writing

def icon_palette_256(canvases):
    """A palette holding every colour the drawings use, filled up with a colour cube."""
    colours = []
    for canvas in canvases:
        for row in canvas.pixels:
            for p in row:
                if p is not None and p not in colours:
                    colours.append(p)
    colours = [BLACK] + [p for p in colours if p != BLACK]
    for r in range(0, 256, 51):
        for g in range(0, 256, 51):
            for b in range(0, 256, 51):
                if len(colours) < 256 and (r, g, b) not in colours:
                    colours.append((r, g, b))
    while len(colours) < 256:
        colours.append(BLACK)
    return colours[:256]


def icon_image(canvas, bits, palette):
    """One icon image: BITMAPINFOHEADER (double height), palette, XOR bits bottom-up, AND mask."""
    w, h = canvas.width, canvas.height
    index = {}
    rows_xor = []
    rows_and = []
    for y in range(h - 1, -1, -1):
        indices = []
        mask = []
        for x in range(w):
            p = canvas.pixels[y][x]
            if p is None:
                indices.append(0)
                mask.append(1)
            else:
                if p not in index:
                    index[p] = nearest(p, palette) if p not in palette else palette.index(p)
                indices.append(index[p])
                mask.append(0)
        if bits == 4:
            row = bytes((indices[i] << 4) | indices[i + 1] for i in range(0, w, 2))
        else:
            row = bytes(indices)
        rows_xor.append(row + b"\0" * ((-len(row)) % 4))
        packed = bytes(sum(mask[i + k] << (7 - k) for k in range(8)) for i in range(0, w, 8))
        rows_and.append(packed + b"\0" * ((-len(packed)) % 4))
    colours = 1 << bits
    header = struct.pack("<IiiHHIIiiII", 40, w, h * 2, 1, bits, 0,
                         sum(map(len, rows_xor)) + sum(map(len, rows_and)), 0, 0, colours, 0)
    table = b"".join(struct.pack("<BBBB", b, g, r, 0) for (r, g, b) in palette[:colours])
    return header + table + b"".join(rows_xor) + b"".join(rows_and)


# Image size: (design size, scale). The scaled ones have 256 colours only.
ICON_SIZES = {16: (16, 1), 32: (32, 1), 24: (16, 1.5), 48: (32, 1.5), 64: (32, 2)}


def write_icon(path, draw, scaled):
    """scaled: the sizes for scaled displays this icon is shown at (a 16-pixel button icon at 150 %
    needs 24; at 200 % it takes the 32-pixel drawing)."""
    sizes = sorted((32, 16) + scaled, reverse=True)
    canvases = {size: draw(*ICON_SIZES[size]) for size in sizes}
    palette256 = icon_palette_256(canvases.values())
    images = []
    for bits, palette, depth_sizes in ((4, VGA16, (32, 16)), (8, palette256, sizes)):
        for size in depth_sizes:
            images.append((size, bits, icon_image(canvases[size], bits, palette)))
    directory = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    entries = b""
    for size, bits, data in images:
        entries += struct.pack("<BBBBHHII", size, size, 16 if bits == 4 else 0, 0, 1, bits, len(data), offset)
        offset += len(data)
    with open(path, "wb") as f:
        f.write(directory + entries + b"".join(d for _, _, d in images))


# ---------------------------------------------------------------- banner

def banner_ramp():
    """256 colours from a near-black navy through deep blue to a light steel blue."""
    stops = [(0, (4, 8, 40)), (110, (10, 30, 110)), (190, (30, 80, 190)), (235, (90, 150, 235)),
             (255, (190, 215, 255))]
    ramp = []
    for i in range(256):
        for (a, ca), (b, cb) in zip(stops, stops[1:]):
            if a <= i <= b:
                t = (i - a) / (b - a)
                ramp.append(tuple(round(x + (y - x) * t) for x, y in zip(ca, cb)))
                break
    return ramp


def banner_level(x, y, w, h):
    """Brightness 0..1 of the abstract banner at a pixel: a dark ground, soft arcs and bands."""
    u, v = x / w, y / h
    level = 0.18 + 0.22 * u * (1 - v * 0.5)                       # ground, lighter to the right
    for cx, cy, r, s in ((0.18, 1.6, 1.05, 0.30), (0.62, -0.9, 1.15, 0.22), (0.95, 1.3, 0.75, 0.25)):
        d = math.hypot((u - cx) * w / h * 0.35, v - cy) - r * 0.35 * w / h * 0.35 / 0.35
        level += s * math.exp(-(d * 6.0) ** 2)                    # glowing arcs
    for k, (phase, amp, s) in enumerate(((0.0, 0.20, 0.20), (1.7, 0.28, 0.14), (3.1, 0.16, 0.12))):
        centre = 0.5 + amp * math.sin(u * math.pi * (2.2 + k * 0.7) + phase)
        level += s * math.exp(-((v - centre) * (9 + 3 * k)) ** 2)  # flowing bands
    for cx, cy, r in ((0.80, 0.35, 0.16), (0.88, 0.62, 0.09), (0.72, 0.72, 0.05)):
        if math.hypot((u - cx) * w / h, v - cy) < r * w / h * 0.5:
            level += 0.10                                           # translucent discs
    return max(0.0, min(1.0, level))


def write_banner(path, w=400, h=70):
    ramp = banner_ramp()
    rows = []
    for y in range(h - 1, -1, -1):
        row = bytes(min(255, int(banner_level(x, y, w, h) * 255.999)) for x in range(w))
        rows.append(row + b"\0" * ((-len(row)) % 4))
    table = b"".join(struct.pack("<BBBB", b, g, r, 0) for (r, g, b) in ramp)
    bits = b"".join(rows)
    offset = 14 + 40 + len(table)
    file_header = struct.pack("<2sIHHI", b"BM", offset + len(bits), 0, 0, offset)
    info = struct.pack("<IiiHHIIiiII", 40, w, h, 1, 8, 0, len(bits), 2835, 2835, 256, 0)
    with open(path, "wb") as f:
        f.write(file_header + info + table + bits)


def main():
    root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(root, "ui", "images")
    os.makedirs(out, exist_ok=True)
    write_icon(os.path.join(out, "zarpex32.ico"), program_icon, (64, 48, 24))
    write_icon(os.path.join(out, "cabinet_small.ico"), small_cabinet_icon, (24,))
    write_icon(os.path.join(out, "folder_open.ico"), open_folder_icon, (24,))
    write_banner(os.path.join(out, "about_banner.bmp"))
    write_banner(os.path.join(out, "about_banner_2x.bmp"), 800, 140)


if __name__ == "__main__":
    main()

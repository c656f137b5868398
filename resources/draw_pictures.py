#!/usr/bin/env python3
"""Draws the program's pictures and icon; their output is committed beside this script.

  plus.png     50x50  green disc with a white plus (tabs and the empty-state hint)
  tao.png      60x60  red rounded square with a white 淘 (the link picture)
  tandrel.ico  48x48  32-bit icon with alpha: two pale blue speech bubbles (9662 bytes)

Only the Python standard library, plus ImageMagick's `convert` with the WenQuanYi Zen
Hei font (both Debian packages of the build machine) for the one glyph.
Run: python3 resources/draw_pictures.py [output dir]
"""
import math
import os
import struct
import subprocess
import sys
import zlib

SS = 4  # supersampling factor per axis
FONT = "/usr/share/fonts/truetype/wqy/wqy-zenhei.ttc"


class Canvas:
    """Straight (non-premultiplied) RGBA floats at SS times the final size."""

    def __init__(self, size):
        self.size = size
        self.n = size * SS
        self.px = [[0.0, 0.0, 0.0, 0.0] for _ in range(self.n * self.n)]

    def paint(self, inside, rgb, alpha=1.0):
        """Composites rgb over every subpixel whose centre (in final pixels) is inside."""
        n = self.n
        for j in range(n):
            y = (j + 0.5) / SS
            for i in range(n):
                x = (i + 0.5) / SS
                if inside(x, y):
                    self.over(j * n + i, rgb, alpha)

    def over(self, k, rgb, alpha):
        p = self.px[k]
        a = alpha + p[3] * (1 - alpha)
        if a <= 0:
            return
        for c in range(3):
            p[c] = (rgb[c] * alpha + p[c] * p[3] * (1 - alpha)) / a
        p[3] = a

    def paint_mask(self, mask, rgb):
        """mask: n*n coverage values 0..1 at subpixel resolution."""
        for k, m in enumerate(mask):
            if m > 0:
                self.over(k, rgb, m)

    def pixels(self):
        """Box-filtered down to the final size: rows of (r, g, b, a) bytes."""
        out = []
        for y in range(self.size):
            row = []
            for x in range(self.size):
                sr = sg = sb = sa = 0.0
                for j in range(SS):
                    for i in range(SS):
                        p = self.px[(y * SS + j) * self.n + x * SS + i]
                        sr += p[0] * p[3]
                        sg += p[1] * p[3]
                        sb += p[2] * p[3]
                        sa += p[3]
                if sa > 0:
                    r, g, b = sr / sa, sg / sa, sb / sa
                else:
                    r = g = b = 0
                a = sa / (SS * SS)
                row.append(tuple(int(round(v)) for v in (r, g, b, a * 255)))
            out.append(row)
        return out


def rounded_rect(x0, y0, x1, y1, r):
    def inside(x, y):
        if not (x0 <= x <= x1 and y0 <= y <= y1):
            return False
        cx = min(max(x, x0 + r), x1 - r)
        cy = min(max(y, y0 + r), y1 - r)
        return (x - cx) ** 2 + (y - cy) ** 2 <= r * r
    return inside


def disc(cx, cy, r):
    return lambda x, y: (x - cx) ** 2 + (y - cy) ** 2 <= r * r


def ellipse(cx, cy, rx, ry):
    return lambda x, y: ((x - cx) / rx) ** 2 + ((y - cy) / ry) ** 2 <= 1


def triangle(a, b, c):
    def side(p, q, x, y):
        return (q[0] - p[0]) * (y - p[1]) - (q[1] - p[1]) * (x - p[0])

    def inside(x, y):
        s1, s2, s3 = side(a, b, x, y), side(b, c, x, y), side(c, a, x, y)
        return (s1 >= 0 and s2 >= 0 and s3 >= 0) or (s1 <= 0 and s2 <= 0 and s3 <= 0)
    return inside


def glyph_mask(char, n, pointsize, dy=0):
    """Coverage of a white glyph centred in an n x n square, from ImageMagick."""
    raw = subprocess.run(
        ["convert", "-size", "%dx%d" % (n, n), "xc:black", "-font", FONT, "-pointsize", str(pointsize),
         "-fill", "white", "-gravity", "center", "-annotate", "+0%+d" % dy, char, "-depth", "8", "gray:-"],
        check=True, stdout=subprocess.PIPE).stdout
    if len(raw) != n * n:
        raise SystemExit("convert gave %d bytes, expected %d" % (len(raw), n * n))
    return [b / 255.0 for b in raw]


def write_png(path, rows):
    h, w = len(rows), len(rows[0])
    raw = b"".join(b"\x00" + bytes(v for px in row for v in px) for row in rows)

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF)

    png = b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", w, h, 8, 6, 0, 0, 0))
    png += chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b"")
    with open(path, "wb") as f:
        f.write(png)


def write_ico(path, rows):
    """One 32-bit image: BITMAPINFOHEADER (double height), bottom-up BGRA, AND mask."""
    size = len(rows)
    xor = b"".join(bytes((b, g, r, a)) for row in reversed(rows) for (r, g, b, a) in row)
    mask_stride = ((size + 31) // 32) * 4
    mask = bytearray()
    for row in reversed(rows):
        bits = bytearray(mask_stride)
        for x, px in enumerate(row):
            if px[3] == 0:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bits
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, len(xor) + len(mask), 0, 0, 0, 0)
    image = header + xor + bytes(mask)
    ico = struct.pack("<HHH", 0, 1, 1)
    ico += struct.pack("<BBBBHHII", size, size, 0, 0, 1, 32, len(image), 6 + 16)
    ico += image
    with open(path, "wb") as f:
        f.write(ico)
    return len(ico)


def draw_plus():
    c = Canvas(50)
    c.paint(disc(25, 25, 24.5), (26, 173, 25))          # green disc
    c.paint(rounded_rect(22, 11, 28, 39, 1.5), (255, 255, 255))  # vertical bar
    c.paint(rounded_rect(11, 22, 39, 28, 1.5), (255, 255, 255))  # horizontal bar
    return c.pixels()


def draw_tao():
    c = Canvas(60)
    c.paint(rounded_rect(0.5, 0.5, 59.5, 59.5, 12), (230, 30, 30))
    c.paint_mask(glyph_mask("淘", 60 * SS, 40 * SS, dy=SS), (255, 255, 255))
    return c.pixels()


def draw_icon():
    c = Canvas(48)
    outline = (88, 150, 210)
    # Back bubble, upper left, tail to the lower left.
    back, front = (170, 210, 245), (205, 230, 252)
    c.paint(ellipse(19, 17, 17.5, 14.5), outline)
    c.paint(triangle((7, 24), (4, 36), (16, 28)), outline)
    c.paint(ellipse(19, 17, 16, 13), back)
    c.paint(triangle((8, 25), (6, 33.5), (15, 28)), back)
    # Front bubble, lower right, tail to the lower right.
    c.paint(ellipse(30, 30, 16.5, 13.5), outline)
    c.paint(triangle((38, 37), (45, 47), (32, 41)), outline)
    c.paint(ellipse(30, 30, 15, 12), front)
    c.paint(triangle((37.5, 38), (42.5, 45), (33, 41)), front)
    for dx in (-7, 0, 7):  # three dots in the front bubble
        c.paint(disc(30 + dx, 30, 2), outline)
    return c.pixels()


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.dirname(os.path.abspath(__file__))
    write_png(os.path.join(out, "plus.png"), draw_plus())
    write_png(os.path.join(out, "tao.png"), draw_tao())
    n = write_ico(os.path.join(out, "tandrel.ico"), draw_icon())
    if n != 9662:
        raise SystemExit("tandrel.ico is %d bytes, expected 9662" % n)


if __name__ == "__main__":
    main()

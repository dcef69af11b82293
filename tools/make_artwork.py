#!/usr/bin/env python3
"""Draws Glowsweep Wizard's pictures and icons.

    tools/make_artwork.py [OUTPUT_FOLDER]     (default: ui/images of this checkout)

Writes monitor_wide.bmp (212 x 150) and monitor_tn_wide.bmp (106 x 75), the monitor
pictures, in which pure blue (0, 0, 255) is the transparent colour; glowsweep-wizard.ico;
icons/<N>x<N>/glowsweep-wizard.png and icons/scalable/glowsweep-wizard.svg.

Standard library only. The output is a function of this file alone: two runs write
byte-identical files, so the results are kept in the tree and rebuilt only when the
drawing changes.
"""

import bisect
import math
import struct
import sys
import zlib
from pathlib import Path

KEY_BLUE = (0, 0, 255)
NEAR_BLUE = (0, 0, 254)  # stands in for the key colour wherever the drawing is opaque

RIM = (26, 27, 30)
GLOW = (96, 196, 255)
PALE = (226, 244, 255)
WHITE = (255, 255, 255)

# ---------------------------------------------------------------------------------------
# Shapes: a bounding box and a signed distance in pixels, negative inside. Pixel (x, y)
# covers [x, x + 1) x [y, y + 1) and is sampled at its centre.


class Box:
    """An axis-aligned rectangle from (x0, y0) to (x1, y1), corners rounded by r."""

    def __init__(self, x0, y0, x1, y1, r=0.0):
        self.x0, self.y0, self.x1, self.y1 = x0, y0, x1, y1
        self.r = min(r, (x1 - x0) / 2, (y1 - y0) / 2)

    def bbox(self):
        return self.x0, self.y0, self.x1, self.y1

    def distance(self, x, y):
        r = self.r
        qx = abs(x - (self.x0 + self.x1) / 2) - (self.x1 - self.x0) / 2 + r
        qy = abs(y - (self.y0 + self.y1) / 2) - (self.y1 - self.y0) / 2 + r
        return math.hypot(max(qx, 0.0), max(qy, 0.0)) + min(max(qx, qy), 0.0) - r

    def inset(self, d):
        """The box shrunk by d on every side (grown for negative d); sharp corners stay sharp."""
        r = max(self.r - d, 0.0) if self.r else 0.0
        return Box(self.x0 + d, self.y0 + d, self.x1 - d, self.y1 - d, r)

    def moved(self, dx, dy):
        return Box(self.x0 + dx, self.y0 + dy, self.x1 + dx, self.y1 + dy, self.r)

    def scaled(self, k):
        return Box(self.x0 * k, self.y0 * k, self.x1 * k, self.y1 * k, self.r * k)

    def snapped(self):
        """Edges moved to whole pixels, so that small renderings stay sharp."""
        return Box(*(math.floor(v + 0.5) for v in self.bbox()), self.r)


class Disc:
    def __init__(self, cx, cy, radius):
        self.cx, self.cy, self.radius = cx, cy, radius

    def bbox(self):
        r = self.radius
        return self.cx - r, self.cy - r, self.cx + r, self.cy + r

    def distance(self, x, y):
        return math.hypot(x - self.cx, y - self.cy) - self.radius


def coverage(shape, x, y):
    """The share of pixel (x, y) that the shape covers, estimated from its distance."""
    return min(max(0.5 - shape.distance(x + 0.5, y + 0.5), 0.0), 1.0)


def pixels_near(bbox, w, h):
    x0, y0, x1, y1 = bbox
    for y in range(max(math.floor(y0) - 1, 0), min(math.ceil(y1) + 1, h)):
        for x in range(max(math.floor(x0) - 1, 0), min(math.ceil(x1) + 1, w)):
            yield x, y


# ---------------------------------------------------------------------------------------
# Paints: a colour (r, g, b) in 0..255, or a function of a point that gives one.


def mix(a, b, t):
    return tuple(p + (q - p) * t for p, q in zip(a, b))


def vertical(y0, top, y1, bottom):
    return lambda _x, y: mix(top, bottom, min(max((y - y0) / (y1 - y0), 0.0), 1.0))


def horizontal(x0, left, x1, right):
    return lambda x, _y: mix(left, right, min(max((x - x0) / (x1 - x0), 0.0), 1.0))


# ---------------------------------------------------------------------------------------
# The canvas, premultiplied RGBA in 0..1, and light maps: one brightness a pixel.


class Canvas:
    def __init__(self, w, h, colour=(0, 0, 0), alpha=0.0):
        self.w, self.h = w, h
        self.px = [[v / 255 * alpha for v in colour] + [alpha] for _ in range(w * h)]

    def fill(self, shape, paint, opacity=1.0, clip=None):
        for x, y in pixels_near(shape.bbox(), self.w, self.h):
            a = coverage(shape, x, y) * opacity
            if clip is not None:
                a *= coverage(clip, x, y)
            if a <= 0.0:
                continue
            colour = paint(x + 0.5, y + 0.5) if callable(paint) else paint
            p = self.px[y * self.w + x]
            for i in range(3):
                p[i] = colour[i] / 255 * a + p[i] * (1 - a)
            p[3] = a + p[3] * (1 - a)

    def light(self, brightness, colour, strength=1.0, clip=None):
        """Screen-blends the colour in, as much as the light map says."""
        for y in range(self.h):
            for x in range(self.w):
                a = brightness[y * self.w + x] * strength
                if clip is not None:
                    a *= coverage(clip, x, y)
                if a <= 0.0:
                    continue
                p = self.px[y * self.w + x]
                for i in range(3):
                    p[i] = p[3] - (p[3] - p[i]) * (1 - min(colour[i] / 255 * a, 1.0))

    def draw(self, other, dx, dy):
        """Lays another canvas over this one with its top-left corner at (dx, dy)."""
        for y in range(other.h):
            for x in range(other.w):
                s = other.px[y * other.w + x]
                p = self.px[(y + dy) * self.w + x + dx]
                for i in range(4):
                    p[i] = s[i] + p[i] * (1 - s[3])

    def rgba(self, x, y):
        """Straight 8-bit RGBA; fully transparent pixels come out as (0, 0, 0, 0)."""
        r, g, b, a = self.px[y * self.w + x]
        if a <= 0.0:
            return 0, 0, 0, 0
        return tuple(min(max(int(v * 255 + 0.5), 0), 255) for v in (r / a, g / a, b / a, a))


def shapes_map(w, h, shapes, weights=None):
    m = [0.0] * (w * h)
    for k, shape in enumerate(shapes):
        weight = 1.0 if weights is None else weights[k]
        for x, y in pixels_near(shape.bbox(), w, h):
            m[y * w + x] = max(m[y * w + x], coverage(shape, x, y) * weight)
    return m


def trail_map(w, h, x0, x1, strength):
    """The light left behind by a bar that swept from x0 to x1: rising towards x1, none past it."""
    row = [strength * max(0.0, (x + 0.5 - x0) / (x1 - x0)) ** 2 if x + 0.5 < x1 else 0.0
           for x in range(w)]
    return row * h


def blurred(m, w, h, radius, passes=3):
    """Repeated box blur, close to a Gaussian; beyond the edges it is dark."""
    n = 2 * radius + 1
    for _ in range(passes):
        across = [0.0] * (w * h)
        for y in range(h):
            total = sum(m[y * w:y * w + min(radius, w)])
            for x in range(w):
                if x + radius < w:
                    total += m[y * w + x + radius]
                if x - radius > 0:
                    total -= m[y * w + x - radius - 1]
                across[y * w + x] = total / n
        m = [0.0] * (w * h)
        for x in range(w):
            total = sum(across[y * w + x] for y in range(min(radius, h)))
            for y in range(h):
                if y + radius < h:
                    total += across[(y + radius) * w + x]
                if y - radius > 0:
                    total -= across[(y - radius - 1) * w + x]
                m[y * w + x] = total / n
    return m


# ---------------------------------------------------------------------------------------
# A 5 x 7 bitmap font with the letters the artwork needs.

FONT = {
    "A": (".###.", "#...#", "#...#", "#####", "#...#", "#...#", "#...#"),
    "D": ("####.", "#...#", "#...#", "#...#", "#...#", "#...#", "####."),
    "E": ("#####", "#....", "#....", "####.", "#....", "#....", "#####"),
    "G": (".###.", "#...#", "#....", "#.###", "#...#", "#...#", ".###."),
    "I": (".###.", "..#..", "..#..", "..#..", "..#..", "..#..", ".###."),
    "K": ("#...#", "#..#.", "#.#..", "##...", "#.#..", "#..#.", "#...#"),
    "L": ("#....", "#....", "#....", "#....", "#....", "#....", "#####"),
    "N": ("#...#", "#...#", "##..#", "#.#.#", "#..##", "#...#", "#...#"),
    "O": (".###.", "#...#", "#...#", "#...#", "#...#", "#...#", ".###."),
    "P": ("####.", "#...#", "#...#", "####.", "#....", "#....", "#...."),
    "R": ("####.", "#...#", "#...#", "####.", "#.#..", "#..#.", "#...#"),
    "S": (".####", "#....", "#....", ".###.", "....#", "....#", "####."),
    "T": ("#####", "..#..", "..#..", "..#..", "..#..", "..#..", "..#.."),
    "W": ("#...#", "#...#", "#...#", "#.#.#", "#.#.#", "##.##", "#...#"),
    "Z": ("#####", "....#", "...#.", "..#..", ".#...", "#....", "#####"),
}


def text_width(text, scale, spacing):
    return len(text) * 5 * scale + (len(text) - 1) * spacing


def text_cells(text, x, y, scale, spacing):
    """One box for each lit cell of the text, whose top-left corner is at (x, y)."""
    cells = []
    for k, letter in enumerate(text):
        left = x + k * (5 * scale + spacing)
        for row, bits in enumerate(FONT[letter]):
            for col, bit in enumerate(bits):
                if bit == "#":
                    cx, cy = left + col * scale, y + row * scale
                    cells.append(Box(cx, cy, cx + scale, cy + scale))
    return cells


# ---------------------------------------------------------------------------------------
# The monitor picture: a widescreen panel on a foot. The preview covers SCREEN exactly.

PICTURE_W, PICTURE_H = 212, 150
SCREEN = Box(10, 10, 202, 118)
# The silhouette; everything outside it is transparent. Its even coordinates make the
# half-size thumbnail an exact reduction of 2 x 2 blocks.
PANEL = Box(0, 0, 212, 134, r=6)
NECK = Box(94, 133, 118, 144)
FOOT = Box(58, 144, 154, 150, r=3)
OUTLINE = (PANEL, NECK, FOOT)


def draw_logo(w, h):
    """The product's logo as the monitor shows it: a dark screen that a pale bar sweeps."""
    c = Canvas(w, h, alpha=1.0)
    c.fill(Box(0, 0, w, h), vertical(0, (12, 20, 40), h, (2, 3, 9)))

    bar, cross = Box(162, 0, 168, h), Box(0, 88, w, 91)
    c.light(trail_map(w, h, 40, bar.x0, 0.3), GLOW)
    c.light(blurred(shapes_map(w, h, [bar, cross], [1.0, 0.3]), w, h, 4), GLOW, 1.6)
    c.fill(bar, PALE)
    c.fill(cross, PALE, 0.3)

    title, subtitle = "GLOWSWEEP", "WIZARD"
    tx, ty = (w - text_width(title, 2, 2)) // 2, 34
    sx, sy = (w - text_width(subtitle, 1, 4)) // 2, ty + 22
    title_cells, subtitle_cells = text_cells(title, tx, ty, 2, 2), text_cells(subtitle, sx, sy, 1, 4)
    c.light(blurred(shapes_map(w, h, title_cells + subtitle_cells), w, h, 2), GLOW, 1.3)
    for cell in title_cells:
        c.fill(cell, WHITE)
    for cell in subtitle_cells:
        c.fill(cell, (170, 222, 255))
    return c


def draw_monitor():
    # The faces lie one pixel inside the silhouette, whose edge thus stays a dark rim
    # that reads on any background.
    c = Canvas(PICTURE_W, PICTURE_H, RIM, 1.0)
    c.fill(PANEL.inset(1), vertical(0, (86, 89, 94), PANEL.y1, (60, 62, 67)))
    c.fill(Box(5, 1, 207, 2), (150, 153, 158), 0.6)
    neck = Box(NECK.x0 + 1, NECK.y0, NECK.x1 - 1, NECK.y1)
    c.fill(neck, horizontal(NECK.x0, (40, 42, 46), NECK.x1, (70, 72, 77)))
    c.fill(FOOT.inset(1), vertical(FOOT.y0, (96, 99, 104), FOOT.y1, (58, 60, 64)))
    c.fill(Box(FOOT.x0 + 4, FOOT.y0 + 1, FOOT.x1 - 4, FOOT.y0 + 2), (160, 163, 168), 0.5)

    c.fill(SCREEN.inset(-1), (22, 23, 26))
    c.draw(draw_logo(SCREEN.x1 - SCREEN.x0, SCREEN.y1 - SCREEN.y0), SCREEN.x0, SCREEN.y0)

    maker = "KESTRION"
    for cell in text_cells(maker, (PICTURE_W - text_width(maker, 1, 2)) // 2, 123, 1, 2):
        c.fill(cell.moved(0, 1), (40, 41, 45))
        c.fill(cell, (176, 179, 184))
    c.fill(Disc(196.5, 126.5, 1.5), (110, 210, 255))
    return c


def inside_outline(x, y):
    return any(coverage(s, x, y) >= 0.5 for s in OUTLINE)


def keyed_rows(canvas, inside):
    """RGB rows: the key blue outside the outline, never the key blue inside it."""
    rows = []
    for y in range(canvas.h):
        row = []
        for x in range(canvas.w):
            rgb = canvas.rgba(x, y)[:3] if inside(x, y) else KEY_BLUE
            row.append(NEAR_BLUE if rgb == KEY_BLUE and inside(x, y) else rgb)
        rows.append(row)
    return rows


def half_size(rows, inside):
    """Halves a keyed picture: a pixel is inside when at least two of its four sources are,
    and then takes the average of the sources inside."""
    out = []
    for ty in range(len(rows) // 2):
        row = []
        for tx in range(len(rows[0]) // 2):
            sources = [rows[2 * ty + dy][2 * tx + dx]
                       for dy in (0, 1) for dx in (0, 1) if inside(2 * tx + dx, 2 * ty + dy)]
            if len(sources) < 2:
                row.append(KEY_BLUE)
                continue
            n = len(sources)
            rgb = tuple((sum(s[i] for s in sources) + n // 2) // n for i in range(3))
            row.append(NEAR_BLUE if rgb == KEY_BLUE else rgb)
        out.append(row)
    return out


# ---------------------------------------------------------------------------------------
# The program icon: a small monitor whose screen a bright bar sweeps, on a 16-unit grid.

ICON_BODY = Box(0, 1, 16, 12, r=1.5)
ICON_SCREEN = Box(1, 2, 15, 10)
ICON_NECK = Box(6.5, 12, 9.5, 14)
ICON_FOOT = Box(4, 14, 12, 15, r=0.5)
ICON_BAR = Box(9, 2, 11, 10)
ICON_BEZEL = ((112, 116, 122), (66, 69, 74))
ICON_GLASS = ((14, 24, 48), (3, 5, 12))
ICON_NECK_SHADES = ((44, 46, 50), (84, 87, 92))
ICON_FOOT_SHADES = ((110, 113, 118), (62, 64, 68))
ICON_TRAIL = 0.55


def draw_icon(n):
    k = n / 16

    def place(box):
        box = box.scaled(k)
        return box.snapped() if n < 64 else box

    body, screen, bar, neck, foot = (place(b) for b in
                                     (ICON_BODY, ICON_SCREEN, ICON_BAR, ICON_NECK, ICON_FOOT))
    c = Canvas(n, n)
    c.fill(neck, horizontal(neck.x0, ICON_NECK_SHADES[0], neck.x1, ICON_NECK_SHADES[1]))
    c.fill(foot, vertical(foot.y0, ICON_FOOT_SHADES[0], foot.y1, ICON_FOOT_SHADES[1]))
    c.fill(body, RIM)
    # Below 32 pixels a rim would swallow the bezel.
    face = body.inset(k / 4) if n >= 32 else body
    c.fill(face, vertical(body.y0, ICON_BEZEL[0], body.y1, ICON_BEZEL[1]))
    c.fill(screen, vertical(screen.y0, ICON_GLASS[0], screen.y1, ICON_GLASS[1]))

    c.light(trail_map(n, n, screen.x0, bar.x0, ICON_TRAIL), GLOW, clip=screen)
    c.light(blurred(shapes_map(n, n, [bar]), n, n, max(1, round(k * 0.6))), GLOW, 1.5, clip=screen)
    c.fill(bar, WHITE, clip=screen)
    return c


def hex_colour(c):
    return "#%02x%02x%02x" % c


def icon_svg():
    """The icon on the same 16-unit grid, for the scalable theme folder."""

    def rect(box, fill, extra=""):
        rounded = f' rx="{box.r:g}"' if box.r else ""
        return (f'<rect x="{box.x0:g}" y="{box.y0:g}" width="{box.x1 - box.x0:g}" '
                f'height="{box.y1 - box.y0:g}"{rounded} fill="{fill}"{extra}/>')

    def gradient(name, x1, y1, x2, y2, stops):
        lines = [f'<linearGradient id="{name}" x1="{x1:g}" y1="{y1:g}" x2="{x2:g}" y2="{y2:g}" '
                 'gradientUnits="userSpaceOnUse">']
        for offset, colour, opacity in stops:
            lines.append(f'  <stop offset="{offset:g}" stop-color="{hex_colour(colour)}"'
                         + (f' stop-opacity="{opacity:g}"' if opacity < 1 else "") + "/>")
        return lines + ["</linearGradient>"]

    def two_stops(shades):
        return [(0, shades[0], 1), (1, shades[1], 1)]

    body, screen, bar, neck, foot = ICON_BODY, ICON_SCREEN, ICON_BAR, ICON_NECK, ICON_FOOT
    # The bitmap trail rises with the square of the distance; five stops follow it closely.
    trail = [(t, GLOW, ICON_TRAIL * t * t) for t in (0, 0.25, 0.5, 0.75, 1)]
    defs = (gradient("bezel", 0, body.y0, 0, body.y1, two_stops(ICON_BEZEL))
            + gradient("glass", 0, screen.y0, 0, screen.y1, two_stops(ICON_GLASS))
            + gradient("neck", neck.x0, 0, neck.x1, 0, two_stops(ICON_NECK_SHADES))
            + gradient("foot", 0, foot.y0, 0, foot.y1, two_stops(ICON_FOOT_SHADES))
            + gradient("trail", screen.x0, 0, bar.x0, 0, trail)
            + ['<clipPath id="screen">', "  " + rect(screen, "#000"), "</clipPath>",
               '<filter id="glow" x="-2" y="-1" width="5" height="3">'
               '<feGaussianBlur stdDeviation="0.6"/></filter>'])
    lit = [rect(Box(screen.x0, screen.y0, bar.x0, screen.y1), "url(#trail)"),
           rect(bar, hex_colour(GLOW), ' filter="url(#glow)"'),
           rect(bar, hex_colour(WHITE))]
    lines = (['<svg xmlns="http://www.w3.org/2000/svg" width="256" height="256" '
              'viewBox="0 0 16 16">', "  <title>Glowsweep Wizard</title>", "  <defs>"]
             + ["    " + line for line in defs]
             + ["  </defs>",
                "  " + rect(neck, "url(#neck)"),
                "  " + rect(foot, "url(#foot)"),
                "  " + rect(body, hex_colour(RIM)),
                "  " + rect(body.inset(0.25), "url(#bezel)"),
                "  " + rect(screen, "url(#glass)"),
                '  <g clip-path="url(#screen)">']
             + ["    " + line for line in lit]
             + ["  </g>", "</svg>"])
    return "\n".join(lines) + "\n"


# ---------------------------------------------------------------------------------------
# File formats.


def bmp_bytes(rows):
    """A 24-bit, uncompressed, bottom-up device-independent bitmap with a 40-byte header."""
    w, h = len(rows[0]), len(rows)
    pad = bytes(-(w * 3) % 4)
    data = b"".join(bytes(v for r, g, b in row for v in (b, g, r)) + pad for row in reversed(rows))
    pixels_per_metre = 2834
    info = struct.pack("<IiiHHIIiiII", 40, w, h, 1, 24, 0, len(data),
                       pixels_per_metre, pixels_per_metre, 0, 0)
    header = struct.pack("<2sIHHI", b"BM", 14 + len(info) + len(data), 0, 0, 14 + len(info))
    return header + info + data


def png_bytes(canvas):
    """An 8-bit RGBA PNG, without time or other ancillary chunks."""
    raw = bytearray()
    for y in range(canvas.h):
        raw.append(0)
        for x in range(canvas.w):
            raw.extend(canvas.rgba(x, y))

    def chunk(tag, data):
        return (struct.pack(">I", len(data)) + tag + data
                + struct.pack(">I", zlib.crc32(tag + data)))

    ihdr = struct.pack(">IIBBBBB", canvas.w, canvas.h, 8, 6, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", ihdr)
            + chunk(b"IDAT", zlib.compress(bytes(raw), 9)) + chunk(b"IEND", b""))


def median_cut(colours, count):
    """At most `count` colours that stand for a list of (r, g, b)."""
    if len(set(colours)) <= count:
        return sorted(set(colours))
    boxes = [list(colours)]
    while len(boxes) < count:
        widest, channel, spread = None, 0, 0
        for i, box in enumerate(boxes):
            for ch in range(3):
                s = max(c[ch] for c in box) - min(c[ch] for c in box)
                if s > spread:
                    widest, channel, spread = i, ch, s
        if widest is None:
            break
        box = sorted(boxes.pop(widest), key=lambda c: (c[channel], c))
        values = [c[channel] for c in box]
        median = values[len(values) // 2]
        # Equal values stay on one side; the spread guarantees that both sides keep some.
        middle = bisect.bisect_left(values, median) or bisect.bisect_right(values, median)
        boxes[widest:widest] = [box[:middle], box[middle:]]
    return [tuple((sum(c[i] for c in box) + len(box) // 2) // len(box) for i in range(3))
            for box in boxes]


def and_mask(transparent, n):
    """An icon image's 1-bit mask, bottom-up, rows padded to 4 bytes."""
    stride = (n + 31) // 32 * 4
    out = bytearray()
    for y in reversed(range(n)):
        row = bytearray(stride)
        for x in range(n):
            if transparent[y * n + x]:
                row[x // 8] |= 0x80 >> (x % 8)
        out += row
    return bytes(out)


def icon_entry_8bit(canvas):
    n = canvas.w
    pixels = [canvas.rgba(x, y) for y in range(n) for x in range(n)]
    transparent = [p[3] < 128 for p in pixels]
    # Where the mask is set Windows XORs the colour onto the background: it must be black.
    palette = median_cut([p[:3] for p, t in zip(pixels, transparent) if not t], 255)
    if (0, 0, 0) not in palette:
        palette.append((0, 0, 0))
    black = palette.index((0, 0, 0))
    nearest = {}
    for p, t in zip(pixels, transparent):
        if not t and p[:3] not in nearest:
            nearest[p[:3]] = min(range(len(palette)), key=lambda i: (
                sum((a - b) ** 2 for a, b in zip(p[:3], palette[i])), i))
    indices = bytes(black if transparent[y * n + x] else nearest[pixels[y * n + x][:3]]
                    for y in reversed(range(n)) for x in range(n))
    colours = b"".join(bytes((b, g, r, 0)) for r, g, b in palette)
    colours += bytes(4 * (256 - len(palette)))
    data = indices + and_mask(transparent, n)
    info = struct.pack("<IiiHHIIiiII", 40, n, 2 * n, 1, 8, 0, len(data), 0, 0, 256, 0)
    return info + colours + data


def icon_entry_32bit(canvas):
    n = canvas.w
    pixels = [canvas.rgba(x, y) for y in range(n) for x in range(n)]
    colours = b"".join(bytes((b, g, r, a)) for y in reversed(range(n))
                       for r, g, b, a in pixels[y * n:(y + 1) * n])
    data = colours + and_mask([p[3] == 0 for p in pixels], n)
    info = struct.pack("<IiiHHIIiiII", 40, n, 2 * n, 1, 32, 0, len(data), 0, 0, 0, 0)
    return info + data


def ico_bytes(icons):
    """A Windows icon: 16 and 32 at 8 bits, 16, 32 and 48 at 32 bits, 256 as a PNG."""
    entries = [(16, 8, icon_entry_8bit(icons[16])), (32, 8, icon_entry_8bit(icons[32])),
               (16, 32, icon_entry_32bit(icons[16])), (32, 32, icon_entry_32bit(icons[32])),
               (48, 32, icon_entry_32bit(icons[48])), (256, 32, png_bytes(icons[256]))]
    directory = struct.pack("<HHH", 0, 1, len(entries))
    offset = len(directory) + 16 * len(entries)
    for n, bits, data in entries:
        # A size of 256 is written as 0; 0 colours means 256 or more.
        directory += struct.pack("<BBBBHHII", n % 256, n % 256, 0, 0, 1, bits, len(data), offset)
        offset += len(data)
    return directory + b"".join(data for _n, _bits, data in entries)


# ---------------------------------------------------------------------------------------


def write(path, data):
    path.parent.mkdir(parents=True, exist_ok=True)
    path.write_bytes(data)
    print(f"wrote {path} ({len(data)} bytes)")


def main(argv):
    here = Path(__file__).resolve().parent
    out = Path(argv[1]) if len(argv) > 1 else here.parent / "ui" / "images"

    monitor = keyed_rows(draw_monitor(), inside_outline)
    write(out / "monitor_wide.bmp", bmp_bytes(monitor))
    write(out / "monitor_tn_wide.bmp", bmp_bytes(half_size(monitor, inside_outline)))

    icons = {n: draw_icon(n) for n in (16, 24, 32, 48, 64, 128, 256)}
    for n, canvas in icons.items():
        write(out / "icons" / f"{n}x{n}" / "glowsweep-wizard.png", png_bytes(canvas))
    write(out / "icons" / "scalable" / "glowsweep-wizard.svg", icon_svg().encode("ascii"))
    write(out / "glowsweep-wizard.ico", ico_bytes(icons))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))

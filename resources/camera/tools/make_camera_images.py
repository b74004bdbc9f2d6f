#!/usr/bin/env python3
"""Make the images of the camera application (resources/camera/images/).

Every image the camera screen, its controls, the film picker, the lens selector, the help
screen and the photo viewer ask for by name, drawn as vector shapes on a dark UI: white
controls, amber for what is switched on, locked or selected. Each image is written at scale 2
("name@2x.png") and scale 3 ("name@3x.png"); the image look-up picks the variant for the
screen. The lens selector's icons are loaded by their full file name ("pre0@2x.png") and exist
at scale 2 only.

The names the application asks for are listed, one a line, in resources/camera/images.txt,
which this script writes too; the tests check that each of them is found.

Only the Python standard library is used, and only +, -, *, / and sqrt in the pixel maths (sine
and cosine are Taylor series of those), with int(v + 0.5) rounding and a fixed zlib level, so
that every machine makes the same bytes.

    python3 resources/camera/tools/make_camera_images.py            rewrite the images in place
    python3 resources/camera/tools/make_camera_images.py --out DIR  write images/ and images.txt
                                                                    under DIR
    python3 resources/camera/tools/make_camera_images.py --check    compare the committed files
                                                                    with fresh ones; exit 1 on a
                                                                    difference
"""

import argparse
import os
import struct
import sys
import tempfile
import zlib

WHITE = (255, 255, 255)
AMBER = (255, 176, 32)
GREY = (142, 142, 147)
DARK = (28, 28, 30)
BLACK = (0, 0, 0)

PI = 3.141592653589793

# --------------------------------------------------------------------------------------------
# Arithmetic that gives the same doubles everywhere
# --------------------------------------------------------------------------------------------


def dsin(degrees):
    x = degrees % 360.0
    if x > 180.0:
        x -= 360.0
    x = x * PI / 180.0
    term, total, n = x, x, 1
    while n < 30:
        term = -term * x * x / ((n + 1) * (n + 2))
        total += term
        n += 2
    return total


def dcos(degrees):
    return dsin(degrees + 90.0)


def clamp(v, lo=0.0, hi=1.0):
    return lo if v < lo else hi if v > hi else v


def clamp8(v):
    return 0 if v < 0 else 255 if v > 255 else int(v + 0.5)


# --------------------------------------------------------------------------------------------
# PNG
# --------------------------------------------------------------------------------------------

PNG_SIGNATURE = b"\x89PNG\r\n\x1a\n"


def _chunk(tag, payload):
    body = tag + payload
    return struct.pack(">I", len(payload)) + body + struct.pack(">I", zlib.crc32(body))


def encode_png(width, height, raw_rows):
    """8-bit RGBA rows (bytes) as a PNG, every row with the 'up' filter but the first."""
    out = bytearray()
    previous = None
    for row in raw_rows:
        if previous is None:
            out.append(0)
            out += row
        else:
            out.append(2)
            out += bytes((row[i] - previous[i]) & 0xFF for i in range(len(row)))
        previous = row
    header = struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0)
    return (PNG_SIGNATURE + _chunk(b"IHDR", header) +
            _chunk(b"IDAT", zlib.compress(bytes(out), 9)) + _chunk(b"IEND", b""))


def decode_png(data):
    """(width, height, channels, pixel bytes) of an 8-bit RGB or RGBA PNG, any row filters."""
    if data[:8] != PNG_SIGNATURE:
        raise ValueError("not a PNG file")
    pos, header, idat = 8, None, bytearray()
    while pos + 8 <= len(data):
        (length,) = struct.unpack(">I", data[pos:pos + 4])
        tag = data[pos + 4:pos + 8]
        if tag == b"IHDR":
            header = struct.unpack(">IIBBBBB", data[pos + 8:pos + 8 + length])
        elif tag == b"IDAT":
            idat += data[pos + 8:pos + 8 + length]
        pos += 12 + length
    width, height, depth, color_type, _, _, interlace = header
    if depth != 8 or color_type not in (2, 6) or interlace:
        raise ValueError("only 8-bit RGB or RGBA without interlacing")
    channels = 4 if color_type == 6 else 3
    raw = zlib.decompress(bytes(idat))
    stride = width * channels
    out = bytearray(height * stride)
    prev = bytearray(stride)
    for y in range(height):
        kind = raw[y * (stride + 1)]
        line = bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
        for i in range(stride):
            a = line[i - channels] if i >= channels else 0
            b = prev[i]
            c = prev[i - channels] if i >= channels else 0
            if kind == 1:
                line[i] = (line[i] + a) & 0xFF
            elif kind == 2:
                line[i] = (line[i] + b) & 0xFF
            elif kind == 3:
                line[i] = (line[i] + (a + b) // 2) & 0xFF
            elif kind == 4:
                p = a + b - c
                pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
                pred = a if pa <= pb and pa <= pc else b if pb <= pc else c
                line[i] = (line[i] + pred) & 0xFF
        out[y * stride:(y + 1) * stride] = line
        prev = line
    return width, height, channels, bytes(out)


# --------------------------------------------------------------------------------------------
# Drawing: premultiplied RGBA in doubles; shapes are signed distance functions in points
# --------------------------------------------------------------------------------------------


class Canvas:
    def __init__(self, width_pt, height_pt, scale):
        self.scale = scale
        self.width = int(width_pt * scale + 0.5)
        self.height = int(height_pt * scale + 0.5)
        self.px = [0.0] * (self.width * self.height * 4)

    def _over(self, index, color, alpha):
        px = self.px
        keep = 1.0 - alpha
        px[index] = color[0] * alpha + px[index] * keep
        px[index + 1] = color[1] * alpha + px[index + 1] * keep
        px[index + 2] = color[2] * alpha + px[index + 2] * keep
        px[index + 3] = alpha + px[index + 3] * keep

    def fill(self, sdf, color, bounds, alpha=1.0):
        """Paints `color` where sdf(x, y) < 0; the edge is anti-aliased over one pixel.

        bounds = (x0, y0, x1, y1) in points holds the shape."""
        s = self.scale
        x0 = max(0, int(bounds[0] * s) - 1)
        y0 = max(0, int(bounds[1] * s) - 1)
        x1 = min(self.width, int(bounds[2] * s) + 2)
        y1 = min(self.height, int(bounds[3] * s) + 2)
        for j in range(y0, y1):
            py = (j + 0.5) / s
            base = j * self.width
            for i in range(x0, x1):
                coverage = 0.5 - sdf((i + 0.5) / s, py) * s
                if coverage <= 0:
                    continue
                if coverage > 1:
                    coverage = 1.0
                self._over((base + i) * 4, color, coverage * alpha)

    def shade(self, function, bounds=None):
        """Paints every pixel in bounds with function(x, y) -> (r, g, b, a), a in 0..1."""
        s = self.scale
        x0, y0, x1, y1 = (0, 0, self.width, self.height) if bounds is None else (
            max(0, int(bounds[0] * s)), max(0, int(bounds[1] * s)),
            min(self.width, int(bounds[2] * s + 0.5)), min(self.height, int(bounds[3] * s + 0.5)))
        for j in range(y0, y1):
            py = (j + 0.5) / s
            for i in range(x0, x1):
                r, g, b, a = function((i + 0.5) / s, py)
                if a > 0:
                    self._over((j * self.width + i) * 4, (r, g, b), a)

    def png(self):
        rows = []
        px = self.px
        for j in range(self.height):
            row = bytearray(self.width * 4)
            for i in range(self.width):
                k = (j * self.width + i) * 4
                a = px[k + 3]
                if a > 0.0005:
                    row[i * 4] = clamp8(px[k] / a)
                    row[i * 4 + 1] = clamp8(px[k + 1] / a)
                    row[i * 4 + 2] = clamp8(px[k + 2] / a)
                    row[i * 4 + 3] = clamp8(a * 255)
            rows.append(bytes(row))
        return encode_png(self.width, self.height, rows)


def length(x, y):
    return (x * x + y * y) ** 0.5


def circle(cx, cy, r):
    return lambda x, y: length(x - cx, y - cy) - r


def ring(cx, cy, r, width):
    return lambda x, y: abs(length(x - cx, y - cy) - r) - width / 2


def box(x0, y0, x1, y1, radius=0.0):
    cx, cy, hx, hy = (x0 + x1) / 2, (y0 + y1) / 2, (x1 - x0) / 2 - radius, (y1 - y0) / 2 - radius

    def sdf(x, y):
        qx, qy = abs(x - cx) - hx, abs(y - cy) - hy
        outside = length(max(qx, 0.0), max(qy, 0.0))
        return outside + min(max(qx, qy), 0.0) - radius
    return sdf


def box_outline(x0, y0, x1, y1, radius, width):
    inner = box(x0, y0, x1, y1, radius)
    return lambda x, y: abs(inner(x, y)) - width / 2


def segment(ax, ay, bx, by, width):
    dx, dy = bx - ax, by - ay
    dd = dx * dx + dy * dy

    def sdf(x, y):
        t = 0.0 if dd == 0 else clamp(((x - ax) * dx + (y - ay) * dy) / dd)
        return length(x - ax - dx * t, y - ay - dy * t) - width / 2
    return sdf


def polygon(points):
    """A closed polygon, convex or not (even-odd rule)."""
    n = len(points)

    def sdf(x, y):
        best = None
        inside = False
        for k in range(n):
            ax, ay = points[k]
            bx, by = points[(k + 1) % n]
            ex, ey = bx - ax, by - ay
            ee = ex * ex + ey * ey
            t = 0.0 if ee == 0 else clamp(((x - ax) * ex + (y - ay) * ey) / ee)
            d = length(x - ax - ex * t, y - ay - ey * t)
            best = d if best is None or d < best else best
            if (ay > y) != (by > y) and x < ax + (y - ay) * ex / ey:
                inside = not inside
        return -best if inside else best
    return sdf


def union(*shapes):
    return lambda x, y: min(s(x, y) for s in shapes)


def subtract(shape, hole):
    return lambda x, y: max(shape(x, y), -hole(x, y))


def intersect(a, b):
    return lambda x, y: max(a(x, y), b(x, y))


def half_plane(ax, ay, nx, ny):
    """Inside where (p - a) . n < 0."""
    return lambda x, y: (x - ax) * nx + (y - ay) * ny


def stroke_polyline(canvas, points, width, color, alpha=1.0, closed=False):
    pts = list(points) + ([points[0]] if closed else [])
    for (ax, ay), (bx, by) in zip(pts, pts[1:]):
        pad = width
        canvas.fill(segment(ax, ay, bx, by, width), color,
                    (min(ax, bx) - pad, min(ay, by) - pad, max(ax, bx) + pad, max(ay, by) + pad),
                    alpha)


def arc_points(cx, cy, r, start, end, steps=24):
    return [(cx + r * dcos(start + (end - start) * k / steps),
             cy + r * dsin(start + (end - start) * k / steps)) for k in range(steps + 1)]


# --------------------------------------------------------------------------------------------
# Lettering: a stroke font on a 4 x 6 grid (top left 0,0), upper case, digits and a few signs
# --------------------------------------------------------------------------------------------

_O = "1,0 3,0 4,1 4,5 3,6 1,6 0,5 0,1 1,0"
_P = "0,6 0,0 3,0 4,1 4,2 3,3 0,3"
GLYPHS = {
    "A": "0,6 0,2 2,0 4,2 4,6|0,4 4,4",
    "B": "0,3 3,3 4,4 4,5 3,6 0,6 0,0 3,0 4,1 4,2 3,3",
    "C": "4,1 3,0 1,0 0,1 0,5 1,6 3,6 4,5",
    "D": "0,0 3,0 4,1 4,5 3,6 0,6 0,0",
    "E": "4,0 0,0 0,6 4,6|0,3 3,3",
    "F": "4,0 0,0 0,6|0,3 3,3",
    "G": "4,1 3,0 1,0 0,1 0,5 1,6 3,6 4,5 4,3 2,3",
    "H": "0,0 0,6|4,0 4,6|0,3 4,3",
    "I": "1,0 3,0|2,0 2,6|1,6 3,6",
    "J": "4,0 4,5 3,6 1,6 0,5",
    "K": "0,0 0,6|4,0 0,4|1,3 4,6",
    "L": "0,0 0,6 4,6",
    "M": "0,6 0,0 2,3 4,0 4,6",
    "N": "0,6 0,0 4,6 4,0",
    "O": _O,
    "P": _P,
    "Q": _O + "|2,4 4,6",
    "R": _P + "|2,3 4,6",
    "S": "4,1 3,0 1,0 0,1 0,2 1,3 3,3 4,4 4,5 3,6 1,6 0,5",
    "T": "0,0 4,0|2,0 2,6",
    "U": "0,0 0,5 1,6 3,6 4,5 4,0",
    "V": "0,0 2,6 4,0",
    "W": "0,0 1,6 2,3 3,6 4,0",
    "X": "0,0 4,6|4,0 0,6",
    "Y": "0,0 2,3 4,0|2,3 2,6",
    "Z": "0,0 4,0 0,6 4,6",
    "0": _O + "|3.5,1 0.5,5",
    "1": "1,1 2,0 2,6|1,6 3,6",
    "2": "0,1 1,0 3,0 4,1 4,2 0,6 4,6",
    "3": "0,1 1,0 3,0 4,1 4,2 3,3 1,3|3,3 4,4 4,5 3,6 1,6 0,5",
    "4": "3,6 3,0 0,4 4,4",
    "5": "4,0 0,0 0,3 3,3 4,4 4,5 3,6 1,6 0,5",
    "6": "3,0 1,0 0,1 0,5 1,6 3,6 4,5 4,4 3,3 0,3",
    "7": "0,0 4,0 1,6",
    "8": "1,3 0,2 0,1 1,0 3,0 4,1 4,2 3,3 1,3 0,4 0,5 1,6 3,6 4,5 4,4 3,3",
    "9": "4,3 1,3 0,2 0,1 1,0 3,0 4,1 4,5 3,6 1,6",
    "-": "1,3 3,3",
    "+": "0.5,3 3.5,3|2,1.5 2,4.5",
    ".": "2,6 2,6",
    ",": "2,5.5 1.5,6.8",
    ":": "2,1.8 2,1.8|2,5 2,5",
    "/": "0,6 4,0",
    "?": "0,1 1,0 3,0 4,1 4,2 2,3.5 2,4|2,6 2,6",
    "!": "2,0 2,4|2,6 2,6",
    "'": "2,0 2,1.5",
    "(": "3,0 2,1 2,5 3,6",
    ")": "1,0 2,1 2,5 1,6",
    "=": "0.5,2 3.5,2|0.5,4 3.5,4",
    "%": "0,6 4,0|0.5,0.5 0.5,0.5|3.5,5.5 3.5,5.5",
    "*": "2,1.5 2,4.5|0.7,2.2 3.3,3.8|0.7,3.8 3.3,2.2",
    " ": "",
}


def _strokes(ch):
    spec = GLYPHS.get(ch.upper(), GLYPHS["?"])
    strokes = []
    for part in spec.split("|"):
        if part:
            strokes.append([tuple(float(v) for v in p.split(",")) for p in part.split()])
    return strokes


def text_width(text, height):
    unit = height / 6
    return max(0.0, (len(text) * 6 - 2) * unit)


def draw_text(canvas, text, x, y, height, color, weight=None, align="left", alpha=1.0):
    """Letters `height` points tall with their top at y; x is the left, centre or right."""
    unit = height / 6
    weight = weight if weight is not None else max(0.5, height * 0.13)
    w = text_width(text, height)
    left = x if align == "left" else x - w / 2 if align == "center" else x - w
    for k, ch in enumerate(text):
        ox = left + k * 6 * unit
        for stroke in _strokes(ch):
            pts = [(ox + gx * unit, y + gy * unit) for gx, gy in stroke]
            stroke_polyline(canvas, pts, weight, color, alpha)


def fit_text(canvas, text, cx, y, max_width, max_height, color, weight_ratio=0.14):
    """Centred text, as tall as fits both limits; returns its height."""
    height = max_height
    if text_width(text, height) > max_width:
        height = max_width / ((len(text) * 6 - 2) / 6)
    draw_text(canvas, text, cx, y + (max_height - height) / 2, height, color,
              max(0.5, height * weight_ratio), "center")
    return height


# --------------------------------------------------------------------------------------------
# The films: names on the buttons and titles, and a sample scene through each look
# --------------------------------------------------------------------------------------------

# (name, speed, label colour) of films 0 to 12; 0 to 8 are monochrome, 9 to 12 colour.
FILMS = [
    ("PAN", "100", (236, 236, 236)),
    ("FLAT", "400", (196, 200, 206)),
    ("SOFT", "125", (222, 214, 198)),
    ("RED", "200", (214, 64, 52)),
    ("IR", "800", (150, 40, 60)),
    ("GRIT", "3200", (60, 60, 64)),
    ("DUSK", "50", (70, 80, 120)),
    ("GLOW", "400", (240, 220, 160)),
    ("FADE", "160", (176, 168, 158)),
    ("WARM", "200", (236, 150, 40)),
    ("COOL", "400", (60, 150, 170)),
    ("VIVID", "100", (40, 110, 210)),
    ("PASTEL", "160", (230, 170, 180)),
]
MONO_MIX = {
    2: (0.7086, 0.5094, -0.2180), 3: (0.8086, 0.4094, -0.2180), 4: (0.7086, 1.6094, -0.9180),
    6: (0.7086, 0.5094, -0.2180),
}
DEFAULT_MIX = (0.3086, 0.6094, 0.0820)


def tone(film, v):
    """An approximation of the film's tone table on 0..1, enough for a picker sample."""
    s_curve = v * v * (3 - 2 * v)
    if film in (0, 3, 7):
        return s_curve
    if film in (1, 4):
        return v
    if film == 2:
        return 0.15 + 0.7 * (0.5 * v + 0.5 * s_curve)
    if film == 5:
        return clamp((s_curve - 0.5) * 1.5 + 0.5)
    if film == 6:
        return v * v * 0.9
    return 0.18 + 0.8 * s_curve  # 8: lifted blacks


def scene(x, y):
    """Colour of the sample scene at (x, y) in 0..1 of its square: sky, sun, hills, lake."""
    sun = length(x - 0.7, y - 0.3)
    if y < 0.55:
        t = y / 0.55
        r, g, b = 0.35 + 0.5 * t, 0.55 + 0.3 * t, 0.9 - 0.1 * t
        glow = clamp(1 - sun / 0.35)
        r, g, b = r + 0.6 * glow * glow, g + 0.45 * glow * glow, b + 0.1 * glow * glow
        if sun < 0.08:
            r, g, b = 1.0, 0.95, 0.8
    else:
        r, g, b = 0.2, 0.35, 0.55  # lake
        t = (y - 0.55) / 0.45
        r, g, b = r - 0.1 * t, g - 0.1 * t, b - 0.15 * t
    hill1 = 0.5 + 0.1 * (x - 0.3) * (x - 0.3) * 4
    hill2 = 0.62 - 0.12 * (1 - (x - 0.85) * (x - 0.85) * 6)
    if hill1 < y < 0.75 and y < hill1 + 0.25:
        r, g, b = 0.25, 0.45, 0.18
    if hill2 < y < 0.8:
        r, g, b = 0.45, 0.36, 0.2
    if 0.76 < y < 0.8 and 0.1 < x < 0.4:
        r, g, b = 0.85, 0.25, 0.2  # a red boat
    return clamp(r), clamp(g), clamp(b)


class Lookup:
    """A 512 x 512 colour cube image of resources/lookup, sampled at the nearest entry."""

    def __init__(self, path):
        with open(path, "rb") as f:
            self.width, _, self.channels, self.data = decode_png(f.read())

    def __call__(self, r, g, b):
        ri, gi, bi = int(r * 63 + 0.5), int(g * 63 + 0.5), int(b * 63 + 0.5)
        x = (bi % 8) * 64 + ri
        y = (bi // 8) * 64 + gi
        k = (y * self.width + x) * self.channels
        return self.data[k] / 255, self.data[k + 1] / 255, self.data[k + 2] / 255


def film_looks(resources):
    names = {9: "lookup.png", 10: "lookup_3.png", 11: "lookup_4.png", 12: "lookup_5.png"}
    looks = {}
    for film in range(13):
        if film in names:
            looks[film] = Lookup(os.path.join(resources, "lookup", names[film]))
        else:
            mix = MONO_MIX.get(film, DEFAULT_MIX)

            def look(r, g, b, film=film, mix=mix):
                v = tone(film, clamp(r * mix[0] + g * mix[1] + b * mix[2]))
                return v, v, v
            looks[film] = look
    return looks


# --------------------------------------------------------------------------------------------
# The images
# --------------------------------------------------------------------------------------------

IMAGES = {}  # name -> (width pt, height pt, draw(canvas), scales)
REQUESTED = []  # names as the application asks for them


def image(name, width, height, scales=(2, 3), requested=None):
    def register(draw):
        IMAGES[name] = (width, height, draw, scales)
        REQUESTED.append(requested or name)
        return draw
    return register


def bar(c):
    w, h = c.width / c.scale, c.height / c.scale

    def shade(x, y):
        t = y / h
        v = 30 - 14 * t
        return v, v, v + 2, 1.0
    c.shade(shade)
    c.fill(box(0, 0, w, 0.75), (72, 72, 76), (0, 0, w, 1))


image("back-568h", 320, 142, requested="back-568h.png")(bar)
image("back", 320, 54, requested="back.png")(bar)


def shutter(pressed):
    def draw(c):
        size = c.width / c.scale
        m = size / 2
        c.fill(ring(m, m, size * 0.44, size * 0.055), WHITE, (0, 0, size, size))
        if pressed:
            c.fill(circle(m, m, size * 0.33), (170, 170, 176), (0, 0, size, size))
            c.fill(ring(m, m, size * 0.33, size * 0.02), AMBER, (0, 0, size, size))
        else:
            c.fill(circle(m, m, size * 0.36), WHITE, (0, 0, size, size))
    return draw


image("shutter-568h", 108, 108, requested="shutter-568h.png")(shutter(False))
image("shutterp-568h", 108, 108, requested="shutterp-568h.png")(shutter(True))
image("shutter", 54, 54, requested="shutter.png")(shutter(False))
image("shutterp", 54, 54, requested="shutterp.png")(shutter(True))


def canister(name, speed, color):
    """A film canister standing upright, with the film's name on its label."""
    def draw(c):
        w, h = 29, 54
        full = (0, 0, w, h)
        c.fill(box(10, 1, 19, 6, 1), (150, 150, 156), full)            # spool knob
        c.fill(box(3, 5, 26, 50, 3), (205, 205, 210), full)            # lips of the can
        c.fill(box(4, 8, 25, 47, 2), (40, 40, 44), full)              # body
        c.fill(box(4, 12, 25, 43, 1), color, full)                    # label
        ink = BLACK if sum(color) > 380 else WHITE
        fit_text(c, name, w / 2, 15, 18, 9, ink)
        c.fill(box(7, 27.5, 22, 28.3), ink, full, 0.6)
        fit_text(c, speed, w / 2, 31, 18, 8, ink)
        c.fill(box(3, 49, 26, 53, 1.5), (120, 120, 126), full)         # foot
    return draw


for index, (film_name, film_speed, film_color) in enumerate(FILMS):
    image("film_%d" % index, 29, 54)(canister(film_name, film_speed, film_color))
image("film_npan", 29, 54)(canister("PAN", "N", (236, 236, 236)))


def film_title(name, speed, color):
    def draw(c):
        # one letter size for every title, the largest that fits the longest one
        c.fill(circle(6, 10, 3.5), color, (0, 0, 12, 20))
        draw_text(c, name + " " + speed, 44, 6.75, 6.5, WHITE, 1.0, "center")
    return draw


for index, (film_name, film_speed, film_color) in enumerate(FILMS):
    image("film_title_%d" % index, 80, 20)(film_title(film_name, film_speed, film_color))

LOOKS = {}


def film_sample(index):
    def draw(c):
        look = LOOKS[index]
        size = c.width / c.scale
        radius = 6

        def shade(x, y):
            r, g, b = look(*scene(x / size, y / size))
            return r * 255, g * 255, b * 255, 1.0
        c.shade(shade)
        # round the corners off
        corner = subtract(box(-1, -1, size + 1, size + 1), box(0, 0, size, size, radius))
        keep = []
        for j in range(c.height):
            for i in range(c.width):
                d = corner((i + 0.5) / c.scale, (j + 0.5) / c.scale) * c.scale
                coverage = clamp(0.5 - d)
                if coverage > 0:
                    keep.append(((j * c.width + i) * 4, coverage))
        for k, coverage in keep:
            for n in range(4):
                c.px[k + n] *= 1 - coverage
    return draw


for index in range(13):
    image("film_s%d" % index, 80, 80)(film_sample(index))


def mask(selected):
    def draw(c):
        w, h = 80, 104
        color = AMBER if selected else (90, 90, 96)
        width = 3 if selected else 1.5
        c.fill(box_outline(width / 2, width / 2, w - width / 2, h - width / 2, 7, width), color,
               (0, 0, w, h))
        if selected:
            c.fill(circle(w - 9, 9, 6), AMBER, (w - 16, 2, w - 2, 16))
            stroke_polyline(c, [(w - 12, 9), (w - 9.5, 11.5), (w - 5.8, 6.5)], 1.6, BLACK)
    return draw


image("maskimage", 80, 104)(mask(False))
image("maskimage_s", 80, 104)(mask(True))


@image("changecamera", 30, 30)
def change_camera(c):
    full = (0, 0, 30, 30)
    c.fill(box_outline(3, 8, 27, 25, 3, 1.6), WHITE, full)
    c.fill(box(10, 5, 20, 8.8, 1), WHITE, full)
    stroke_polyline(c, arc_points(15, 16.5, 5, 200, 340, 12), 1.5, WHITE)
    stroke_polyline(c, arc_points(15, 16.5, 5, 20, 160, 12), 1.5, WHITE)
    # arrow heads at the ends of the two arcs
    for angle, turn in ((340, 1), (160, 1)):
        ex, ey = 15 + 5 * dcos(angle), 16.5 + 5 * dsin(angle)
        tx, ty = -dsin(angle) * turn, dcos(angle) * turn  # tangent, clockwise
        nx, ny = dcos(angle), dsin(angle)
        c.fill(polygon([(ex + tx * 2.6, ey + ty * 2.6), (ex + nx * 2.2, ey + ny * 2.2),
                        (ex - nx * 2.2, ey - ny * 2.2)]), WHITE, full)


@image("settingButton", 30, 30)
def setting_button(c):
    full = (0, 0, 30, 30)
    teeth = [box(13.2, 3.5, 16.8, 9, 0.8)]
    gear = circle(15, 15, 8.2)
    shapes = [gear]
    for k in range(8):
        a = 45.0 * k
        ca, sa = dcos(a), dsin(a)
        # a tooth: a small square turned about the centre
        corners = [(-1.9, -11.8), (1.9, -11.8), (1.9, -7), (-1.9, -7)]
        shapes.append(polygon([(15 + px * ca - py * sa, 15 + px * sa + py * ca)
                               for px, py in corners]))
    del teeth
    c.fill(subtract(union(*shapes), circle(15, 15, 3.6)), WHITE, full)


def toggle_grid(on):
    def draw(c):
        color = AMBER if on else WHITE
        alpha = 1.0 if on else 0.75
        full = (0, 0, 44, 44)
        c.fill(box_outline(11, 11, 33, 33, 2, 1.6), color, full, alpha)
        for k in (1, 2):
            p = 11 + 22 * k / 3
            c.fill(segment(p, 11, p, 33, 1.2), color, full, alpha)
            c.fill(segment(11, p, 33, p, 1.2), color, full, alpha)
    return draw


image("grid_off", 44, 44)(toggle_grid(False))
image("grid_on", 44, 44)(toggle_grid(True))


def toggle_word(word, on):
    def draw(c):
        full = (0, 0, 44, 44)
        if on:
            c.fill(box(6, 13, 38, 31, 4), AMBER, full)
            fit_text(c, word, 22, 17.5, 26, 9, BLACK, 0.16)
        else:
            c.fill(box_outline(6.8, 13.8, 37.2, 30.2, 3.5, 1.5), WHITE, full, 0.75)
            fit_text(c, word, 22, 17.5, 26, 9, WHITE, 0.16)
    return draw


for word, stem in (("HEIC", "heic"), ("TIFF", "tiff")):
    image(stem + "_off", 44, 44)(toggle_word(word, False))
    image(stem + "_on", 44, 44)(toggle_word(word, True))


def geo_tag(on):
    def draw(c):
        full = (0, 0, 44, 44)
        color = AMBER if on else WHITE
        pin = union(circle(22, 18, 8), polygon([(15.2, 21.5), (28.8, 21.5), (22, 33)]))
        c.fill(subtract(pin, circle(22, 18, 3.2)), color, full, 1.0 if on else 0.75)
        if not on:
            c.fill(segment(12, 33, 32, 9, 1.8), WHITE, full, 0.75)
    return draw


image("geoTag_off", 44, 44)(geo_tag(False))
image("geoTag_on", 44, 44)(geo_tag(True))


@image("close", 44, 44)
def close(c):
    full = (0, 0, 44, 44)
    c.fill(ring(22, 22, 13, 1.6), WHITE, full)
    c.fill(segment(17, 17, 27, 27, 1.8), WHITE, full)
    c.fill(segment(27, 17, 17, 27, 1.8), WHITE, full)


@image("sliderbg", 300, 27, requested="sliderbg.png")
def slider_background(c):
    full = (0, 0, 300, 27)
    c.fill(box(0, 0, 300, 27, 13.5), BLACK, full, 0.6)
    c.fill(box_outline(0.5, 0.5, 299.5, 26.5, 13, 1), WHITE, full, 0.25)
    # a tick every third of a stop from -3 to +3, taller at whole stops
    for k in range(19):
        x = 24 + k * (252 / 18)
        whole = k % 3 == 0
        tall = 7 if k == 9 else 5 if whole else 3
        c.fill(segment(x, 13.5 - tall, x, 13.5 + tall, 1.2 if whole else 0.8),
               AMBER if k == 9 else WHITE, (x - 2, 0, x + 2, 27), 1.0 if whole else 0.6)


@image("sliderthumb", 24, 24, requested="sliderthumb.png")
def slider_thumb(c):
    full = (0, 0, 24, 24)
    c.fill(circle(12, 12.6, 10.5), BLACK, full, 0.35)
    c.fill(circle(12, 12, 9.5), WHITE, full)
    c.fill(ring(12, 12, 9.5, 0.6), (200, 200, 204), full)


def track(color, alpha):
    def draw(c):
        c.fill(box(0, 0.5, 8, 3.5, 1.5), color, (0, 0, 8, 4), alpha)
    return draw


image("slidermintrack", 8, 4)(track(AMBER, 1.0))
image("slidermaxtrack", 8, 4)(track(WHITE, 0.35))


@image("formattrack", 8, 4)
def format_track(c):
    c.fill(box(0, 0.5, 8, 3.5, 1.5), WHITE, (0, 0, 8, 4), 0.35)
    c.fill(circle(4, 2, 1), WHITE, (0, 0, 8, 4), 0.8)


def padlock(c, cx, cy, color, closed):
    full = (cx - 6, cy - 8, cx + 6, cy + 6)
    c.fill(box(cx - 4, cy - 1.5, cx + 4, cy + 4.5, 1), color, full)
    shackle = arc_points(cx, cy - 2.5, 2.6, 180, 360, 10)
    if closed:
        pts = [(cx - 2.6, cy - 1.5)] + shackle + [(cx + 2.6, cy - 1.5)]
    else:
        pts = [(cx - 2.6, cy - 4)] + shackle[:] + [(cx + 2.6, cy - 1.5)]
        pts = [(px, py - 1.8) for px, py in pts[:-1]] + [(cx + 2.6, cy - 1.5)]
    stroke_polyline(c, pts, 1.2, color)


def target(kind, state):
    """kind 'focus' or 'exposure'; state 0 adjusting, 1 settled, 'l0' lock pending, 'l1'
    locked."""
    def draw(c):
        full = (0, 0, 60, 60)
        locking = state in ("l0", "l1")
        color = AMBER if locking else WHITE
        width = 2.2 if state in (1, "l1") else 1.4
        alpha = 1.0 if state in (1, "l1") else 0.8
        if kind == "focus":
            # four corner brackets of a square and a small centre cross
            a, b, arm = 10, 50, 9
            for (x, y, dx, dy) in ((a, a, 1, 1), (b, a, -1, 1), (a, b, 1, -1), (b, b, -1, -1)):
                stroke_polyline(c, [(x + dx * arm, y), (x, y), (x, y + dy * arm)], width, color,
                                alpha)
            if state == 0:
                for k in range(4):  # while adjusting the sides show short dashes
                    mx, my = ((30, a), (b, 30), (30, b), (a, 30))[k]
                    horizontal = k % 2 == 0
                    c.fill(segment(mx - (3 if horizontal else 0), my - (0 if horizontal else 3),
                                   mx + (3 if horizontal else 0), my + (0 if horizontal else 3),
                                   width), color, full, alpha)
            c.fill(segment(27, 30, 33, 30, 1), color, full, alpha)
            c.fill(segment(30, 27, 30, 33, 1), color, full, alpha)
        else:
            # a circle with a sun inside
            c.fill(ring(30, 30, 17, width), color, full, alpha)
            c.fill(circle(30, 30, 4), color, full, alpha)
            for k in range(8):
                ang = 45.0 * k
                ca, sa = dcos(ang), dsin(ang)
                c.fill(segment(30 + 6.5 * ca, 30 + 6.5 * sa, 30 + 9.5 * ca, 30 + 9.5 * sa, 1.2),
                       color, full, alpha)
        if locking:
            c.fill(circle(50, 50, 8), BLACK, full, 0.55)
            padlock(c, 50, 51, color, state == "l1")
    return draw


for mark in ("focus", "exposure"):
    for state, suffix in ((0, "0"), (1, "1"), ("l0", "l0"), ("l1", "l1")):
        image("target%s%s" % (mark, suffix), 60, 60)(target(mark, state))


HELP_LINES = [
    ("", ""),
    ("TAP", "MOVE FOCUS AND EXPOSURE"),
    ("TWO FINGERS", "SPLIT EXPOSURE FROM FOCUS"),
    ("DOUBLE TAP MARK", "LOCK OR UNLOCK IT"),
    ("DOUBLE TAP", "RESET BOTH MARKS"),
    ("PINCH", "ZOOM"),
    ("FILM BUTTON", "CHOOSE A FILM"),
    ("EV", "EXPOSURE COMPENSATION"),
    ("SLIDERS", "FRAME FORMAT AND FLASH"),
    ("VOLUME KEYS", "TAKE A PHOTO"),
]


@image("help_image", 320, 427)
def help_image(c):
    c.shade(lambda x, y: (0, 0, 0, 0.82))
    draw_text(c, "HALIDEX CAMERA", 160, 30, 11, WHITE, 1.6, "center")
    c.fill(segment(60, 50, 260, 50, 1), AMBER, (50, 45, 270, 55))
    y = 64
    for key, meaning in HELP_LINES[1:]:
        draw_text(c, key, 24, y, 6.5, AMBER, 1.1)
        draw_text(c, meaning, 24, y + 11, 6.5, WHITE, 1.0)
        y += 28
    # Between the list and the foot the camera screen writes its keyboard's keys.
    draw_text(c, "TAP ANYWHERE TO CLOSE", 160, 384, 6.5, WHITE, 1.0, "center", 0.7)
    draw_text(c, "MAIL: TOP LEFT", 160, 400, 5.5, WHITE, 0.9, "center", 0.5)


@image("mail", 64, 64)
def mail(c):
    full = (0, 0, 64, 64)
    c.fill(circle(32, 32, 22), BLACK, full, 0.55)
    c.fill(box_outline(19, 23, 45, 41, 2, 1.8), WHITE, full)
    stroke_polyline(c, [(20, 24.5), (32, 33.5), (44, 24.5)], 1.8, WHITE)


@image("help", 30, 30)
def help_button(c):
    full = (0, 0, 30, 30)
    c.fill(ring(15, 15, 11, 1.5), WHITE, full)
    draw_text(c, "?", 15, 9.5, 11, WHITE, 1.8, "center")


@image("filter_toolbar", 25, 25, requested="filter_toolbar.png")
def filter_toolbar(c):
    full = (0, 0, 25, 25)
    for cx, cy in ((12.5, 8.5), (8.5, 15.5), (16.5, 15.5)):
        c.fill(ring(cx, cy, 6, 1.4), WHITE, full)


def preset(label):
    def draw(c):
        full = (0, 0, 30, 30)
        c.fill(circle(15, 15, 13), BLACK, full, 0.6)
        c.fill(ring(15, 15, 13, 1), WHITE, full, 0.5)
        fit_text(c, label, 15, 11, 18, 8, WHITE, 0.16)
    return draw


image("pre0@2x", 30, 30, scales=(2,), requested="pre0@2x.png")(preset(".5X"))
image("pre1@2x", 30, 30, scales=(2,), requested="pre1@2x.png")(preset("1X"))
image("pre2@2x", 30, 30, scales=(2,), requested="pre2@2x.png")(preset("2X"))


@image("preMulti@2x", 30, 30, scales=(2,), requested="preMulti@2x.png")
def preset_multi(c):
    full = (0, 0, 30, 30)
    c.fill(circle(15, 15, 13), BLACK, full, 0.6)
    c.fill(ring(15, 15, 13, 1), WHITE, full, 0.5)
    for cx, cy in ((15, 10.5), (10.5, 18), (19.5, 18)):
        c.fill(ring(cx, cy, 3.3, 1.2), WHITE, full)


@image("preCircle@2x", 30, 30, scales=(2,), requested="preCircle@2x.png")
def preset_circle(c):
    c.fill(ring(15, 15, 13.5, 2), AMBER, (0, 0, 30, 30))


# --------------------------------------------------------------------------------------------
# Writing and checking
# --------------------------------------------------------------------------------------------


def file_names(name, scales):
    if "@" in name:  # loaded by its full file name
        return [(name + ".png", scales[0])]
    return [("%s@%dx.png" % (name, s), s) for s in scales]


def generate(resources):
    """{file name: PNG bytes} of every image, and the text of images.txt."""
    LOOKS.update(film_looks(resources))
    files = {}
    for name, (width, height, draw, scales) in IMAGES.items():
        for file_name, scale in file_names(name, scales):
            canvas = Canvas(width, height, scale)
            draw(canvas)
            files[file_name] = canvas.png()
    listing = ("# Image names the camera application asks for, one a line, as it asks for them;\n"
               "# written by tools/make_camera_images.py.\n" +
               "".join(n + "\n" for n in REQUESTED))
    return files, listing


def write(folder, files, listing):
    images = os.path.join(folder, "images")
    os.makedirs(images, exist_ok=True)
    for name, data in files.items():
        with open(os.path.join(images, name), "wb") as f:
            f.write(data)
    with open(os.path.join(folder, "images.txt"), "w") as f:
        f.write(listing)


def check(folder, files, listing):
    problems = []
    images = os.path.join(folder, "images")
    present = set(os.listdir(images)) if os.path.isdir(images) else set()
    for name, data in sorted(files.items()):
        path = os.path.join(images, name)
        if name not in present:
            problems.append("missing: " + path)
            continue
        with open(path, "rb") as f:
            if f.read() != data:
                problems.append("differs: " + path)
    for name in sorted(present - set(files)):
        problems.append("not made by the generator: " + os.path.join(images, name))
    try:
        with open(os.path.join(folder, "images.txt")) as f:
            if f.read() != listing:
                problems.append("differs: images.txt")
    except OSError:
        problems.append("missing: images.txt")
    for p in problems:
        print(p, file=sys.stderr)
    if not problems:
        print("%d images match" % len(files))
    return 1 if problems else 0


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    camera = os.path.dirname(here)
    resources = os.path.dirname(camera)
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--out", help="write under this folder instead of resources/camera")
    parser.add_argument("--check", action="store_true",
                        help="compare the committed images with fresh ones")
    args = parser.parse_args()
    files, listing = generate(resources)
    if args.check:
        return check(camera, files, listing)
    write(args.out or camera, files, listing)
    print("wrote %d images" % len(files))
    return 0


if __name__ == "__main__":
    sys.exit(main())

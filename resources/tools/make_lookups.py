#!/usr/bin/env python3
"""Make the colour-film lookup images and the built-in sample photo.

Writes, relative to the resources folder (or to --out DIR):

    lookup/lookup.png     film 9   "warm"       everyday colour negative
    lookup/lookup_3.png   film 10  "cool-fade"  faded, cool, lifted blacks
    lookup/lookup_4.png   film 11  "vivid"      saturated slide film
    lookup/lookup_5.png   film 12  "pastel"     soft portrait film
    samples/sample.png    a synthetic test scene, 1536 x 1152 RGB

Each lookup image is 512 x 512 RGBA holding a 64 x 64 x 64 colour cube: blue index b picks
the 64 x 64 tile (column b % 8, row b // 8), red index r is the x offset inside the tile and
green index g the y offset.  Entry (r, g, b) holds the film's output for the input colour
(r, g, b) * 255 / 63.

Only the Python standard library is used, and only +, -, *, / and sqrt in the pixel maths
(no libm transcendental functions, whose last bit may differ between platforms), with
int(v + 0.5) rounding, fixed PNG filter choices and a fixed zlib level, so that every
machine produces the same pixels.

    python3 resources/tools/make_lookups.py            rewrite the files in place
    python3 resources/tools/make_lookups.py --out DIR  write them under DIR
    python3 resources/tools/make_lookups.py --check    regenerate into a temporary folder,
                                                       compare with the committed files and
                                                       exit 1 if one is missing, malformed or
                                                       differs (pixels equal under another
                                                       zlib build's compression pass, noted)
    python3 resources/tools/make_lookups.py --contact-sheet FILE
                                                       render the sample through every
                                                       film, for judging the looks
"""

import argparse
import math
import os
import struct
import sys
import tempfile
import zlib

# --------------------------------------------------------------------------------------------
# PNG writing and reading
# --------------------------------------------------------------------------------------------

PNG_SIGNATURE = b"\x89PNG\r\n\x1a\n"
COLOR_TYPE_RGB = 2
COLOR_TYPE_RGBA = 6
_CHANNELS = {COLOR_TYPE_RGB: 3, COLOR_TYPE_RGBA: 4}


def _chunk(tag, payload):
    body = tag + payload
    return struct.pack(">I", len(payload)) + body + struct.pack(">I", zlib.crc32(body))


def _spread(data):
    """The bytes as one big integer with a zero byte ahead of each: 16-bit lanes."""
    lanes = bytearray(2 * len(data))
    lanes[1::2] = data
    return int.from_bytes(lanes, "big")


def _difference(row, predictor):
    """(row - predictor) mod 256 for every byte, done on 16-bit lanes of big integers so the
    whole row is subtracted at C speed: each lane gets 0x100 added first, so no lane borrows."""
    n = len(row)
    lanes = (_spread(row) | int.from_bytes(b"\x01\x00" * n, "big")) - _spread(predictor)
    return lanes.to_bytes(2 * n, "big")[1::2]


def _filter_row(row, prev, bpp):
    """Filter one row: Up for a row equal to the one above, otherwise Sub or Up, whichever
    leaves more zero bytes (Sub on a tie).  Fixed rules, so the output never varies."""
    if row == prev:
        return 2, bytes(len(row))
    sub = _difference(row, bytes(bpp) + row[:-bpp])
    up = _difference(row, prev)
    if up.count(0) > sub.count(0):
        return 2, up
    return 1, sub


def encode_png(width, height, color_type, rows):
    """Encode 8-bit rows (bytes-like, width * channels each) as a minimal PNG."""
    bpp = _CHANNELS[color_type]
    raw = bytearray()
    prev = bytes(width * bpp)
    for row in rows:
        row = bytes(row)
        if len(row) != width * bpp:
            raise ValueError("row has %d bytes, expected %d" % (len(row), width * bpp))
        filter_type, filtered = _filter_row(row, prev, bpp)
        raw.append(filter_type)
        raw += filtered
        prev = row
    compressor = zlib.compressobj(9, zlib.DEFLATED, 15, 9, zlib.Z_DEFAULT_STRATEGY)
    idat = compressor.compress(bytes(raw)) + compressor.flush()
    header = struct.pack(">IIBBBBB", width, height, 8, color_type, 0, 0, 0)
    return PNG_SIGNATURE + _chunk(b"IHDR", header) + _chunk(b"IDAT", idat) + _chunk(b"IEND", b"")


class PngImage:
    def __init__(self, width, height, color_type, bit_depth, pixels):
        self.width = width
        self.height = height
        self.color_type = color_type
        self.bit_depth = bit_depth
        self.pixels = pixels  # rows top to bottom, no filter bytes

    @property
    def channels(self):
        return _CHANNELS[self.color_type]


def decode_png(data):
    """Decode an 8-bit, non-interlaced RGB or RGBA PNG; raises ValueError on anything else."""
    if data[:8] != PNG_SIGNATURE:
        raise ValueError("not a PNG file")
    pos = 8
    header = None
    idat = bytearray()
    while pos < len(data):
        if pos + 8 > len(data):
            raise ValueError("truncated chunk header")
        (length,) = struct.unpack(">I", data[pos:pos + 4])
        tag = data[pos + 4:pos + 8]
        payload = data[pos + 8:pos + 8 + length]
        crc_bytes = data[pos + 8 + length:pos + 12 + length]
        if len(payload) != length or len(crc_bytes) != 4:
            raise ValueError("truncated %r chunk" % tag)
        if struct.unpack(">I", crc_bytes)[0] != zlib.crc32(tag + payload):
            raise ValueError("bad CRC in %r chunk" % tag)
        pos += 12 + length
        if tag == b"IHDR":
            header = struct.unpack(">IIBBBBB", payload)
        elif tag == b"IDAT":
            idat += payload
        elif tag == b"IEND":
            break
    if header is None:
        raise ValueError("no IHDR chunk")
    width, height, bit_depth, color_type, _, _, interlace = header
    if bit_depth != 8 or color_type not in _CHANNELS or interlace != 0:
        raise ValueError("unsupported PNG: depth %d, colour type %d, interlace %d"
                         % (bit_depth, color_type, interlace))
    bpp = _CHANNELS[color_type]
    stride = width * bpp
    raw = zlib.decompress(bytes(idat))
    if len(raw) != height * (stride + 1):
        raise ValueError("image data has %d bytes, expected %d" % (len(raw), height * (stride + 1)))
    pixels = bytearray(height * stride)
    prev = bytearray(stride)
    for y in range(height):
        start = y * (stride + 1)
        filter_type = raw[start]
        line = bytearray(raw[start + 1:start + 1 + stride])
        if filter_type == 1:
            for i in range(bpp, stride):
                line[i] = (line[i] + line[i - bpp]) & 255
        elif filter_type == 2:
            line = bytearray((x + p) & 255 for x, p in zip(line, prev))
        elif filter_type == 3:
            for i in range(stride):
                left = line[i - bpp] if i >= bpp else 0
                line[i] = (line[i] + ((left + prev[i]) >> 1)) & 255
        elif filter_type == 4:
            for i in range(stride):
                b = prev[i]
                if i >= bpp:
                    a = line[i - bpp]
                    c = prev[i - bpp]
                else:
                    a = c = 0
                p = a + b - c
                pa = abs(p - a)
                pb = abs(p - b)
                pc = abs(p - c)
                pred = a if (pa <= pb and pa <= pc) else (b if pb <= pc else c)
                line[i] = (line[i] + pred) & 255
        elif filter_type != 0:
            raise ValueError("bad filter type %d in row %d" % (filter_type, y))
        pixels[y * stride:(y + 1) * stride] = line
        prev = line
    return PngImage(width, height, color_type, bit_depth, bytes(pixels))


# --------------------------------------------------------------------------------------------
# Colour helpers.  Colours are floats in 0..1, in the encoded (gamma) space the camera delivers.
# --------------------------------------------------------------------------------------------


def to_byte(v):
    """Round a 0..255 float to a byte."""
    i = int(v + 0.5) if v > 0.0 else 0
    return 255 if i > 255 else i


def clamp01(v):
    return 0.0 if v < 0.0 else (1.0 if v > 1.0 else v)


def luma(r, g, b):
    return 0.2126 * r + 0.7152 * g + 0.0722 * b


class ToneCurve:
    """Monotone cubic (Fritsch-Carlson) through control points (x, y), x rising from 0 to 1.

    Monotone so that a tone never overtakes a brighter one, and smooth (C1) so the cube has
    no kinks that would show as bands.  Results are cached: the cube only asks for 64 inputs.
    """

    def __init__(self, points):
        self.xs = [float(p[0]) for p in points]
        self.ys = [float(p[1]) for p in points]
        n = len(points)
        secants = [(self.ys[k + 1] - self.ys[k]) / (self.xs[k + 1] - self.xs[k]) for k in range(n - 1)]
        tangents = [secants[0]] + [0.5 * (secants[k - 1] + secants[k]) for k in range(1, n - 1)] + [secants[-1]]
        for k in range(n - 1):
            if secants[k] == 0.0:
                tangents[k] = tangents[k + 1] = 0.0
                continue
            a = tangents[k] / secants[k]
            b = tangents[k + 1] / secants[k]
            if a * a + b * b > 9.0:
                tau = 3.0 / math.sqrt(a * a + b * b)
                tangents[k] = tau * a * secants[k]
                tangents[k + 1] = tau * b * secants[k]
        self.tangents = tangents
        self.cache = {}

    def __call__(self, x):
        cached = self.cache.get(x)
        if cached is not None:
            return cached
        xs, ys, ms = self.xs, self.ys, self.tangents
        xc = xs[0] if x < xs[0] else (xs[-1] if x > xs[-1] else x)
        k = 0
        while k < len(xs) - 2 and xc > xs[k + 1]:
            k += 1
        h = xs[k + 1] - xs[k]
        t = (xc - xs[k]) / h
        t2 = t * t
        t3 = t2 * t
        y = ((2.0 * t3 - 3.0 * t2 + 1.0) * ys[k] + (t3 - 2.0 * t2 + t) * h * ms[k]
             + (-2.0 * t3 + 3.0 * t2) * ys[k + 1] + (t3 - t2) * h * ms[k + 1])
        self.cache[x] = y
        return y


class Hue:
    """A hue direction around the grey axis, taken from a sample colour."""

    def __init__(self, r, g, b):
        m = (r + g + b) / 3.0
        d = (r - m, g - m, b - m)
        n = math.sqrt(d[0] * d[0] + d[1] * d[1] + d[2] * d[2])
        self.direction = (d[0] / n, d[1] / n, d[2] / n)


RED = Hue(0.85, 0.15, 0.18)
SKIN = Hue(0.88, 0.64, 0.52)
YELLOW = Hue(0.9, 0.85, 0.1)
GREEN = Hue(0.3, 0.75, 0.25)
CYAN = Hue(0.1, 0.75, 0.8)
BLUE = Hue(0.15, 0.3, 0.9)

_INV_SQRT3 = 1.0 / math.sqrt(3.0)


def hue_weight(r, g, b, hue, spread):
    """How much (r, g, b) belongs to `hue`: 1 on it, falling smoothly to 0 where the cosine of
    the hue angle drops to `spread` (0 <= spread < 1); faded out near grey so neutrals are
    never touched."""
    m = (r + g + b) / 3.0
    dr, dg, db = r - m, g - m, b - m
    h = hue.direction
    dot = dr * h[0] + dg * h[1] + db * h[2]
    if dot <= 0.0:
        return 0.0
    n = math.sqrt(dr * dr + dg * dg + db * db)
    cosine = dot / n
    if cosine <= spread:
        return 0.0
    t = (cosine - spread) / (1.0 - spread)
    w = t * t * (3.0 - 2.0 * t)
    if n < 0.12:
        u = n / 0.12
        w *= u * u * (3.0 - 2.0 * u)
    return w


def saturate(r, g, b, amount):
    """Scale the distance from grey by `amount`, keeping luma."""
    y = luma(r, g, b)
    return y + (r - y) * amount, y + (g - y) * amount, y + (b - y) * amount


def rotate_hue(r, g, b, sine):
    """Turn the colour around the grey axis by the angle whose sine is `sine` (positive turns
    red towards yellow, green towards cyan, blue towards magenta)."""
    m = (r + g + b) / 3.0
    dr, dg, db = r - m, g - m, b - m
    cosine = math.sqrt(1.0 - sine * sine)
    k = _INV_SQRT3 * sine
    # Rodrigues' rotation about (1, 1, 1); the offset is perpendicular to the axis.
    return (m + dr * cosine + k * (db - dg),
            m + dg * cosine + k * (dr - db),
            m + db * cosine + k * (dg - dr))


def adjust_hue(r, g, b, hue, spread, saturation=1.0, lightness=1.0, turn=0.0):
    """Change colours near `hue`: scale their saturation, scale their brightness, turn them."""
    w = hue_weight(r, g, b, hue, spread)
    if w == 0.0:
        return r, g, b
    if turn != 0.0:
        r, g, b = rotate_hue(r, g, b, turn * w)
    if saturation != 1.0:
        r, g, b = saturate(r, g, b, 1.0 + (saturation - 1.0) * w)
    if lightness != 1.0:
        f = 1.0 + (lightness - 1.0) * w
        r, g, b = r * f, g * f, b * f
    return r, g, b


def split_tone(r, g, b, shadow, highlight):
    """Add a colour offset to the shadows and another to the highlights, by luma."""
    y = clamp01(luma(r, g, b))
    ws = (1.0 - y) * (1.0 - y)
    wh = y * y
    return (r + shadow[0] * ws + highlight[0] * wh,
            g + shadow[1] * ws + highlight[1] * wh,
            b + shadow[2] * ws + highlight[2] * wh)


def vibrance(r, g, b, amount):
    """Saturation that acts mostly on muted colours: the boost (or cut) fades out as a colour
    approaches full saturation, so strong colours are not pushed out of range."""
    spread = max(r, g, b) - min(r, g, b)
    headroom = 1.0 - clamp01(spread)
    return saturate(r, g, b, 1.0 + (amount - 1.0) * headroom * headroom)


def fit_gamut(r, g, b):
    """Bring an out-of-range colour back without hard channel clipping at the top: a channel
    above 1 pulls the colour towards its own grey (hue and luma kept), the way bright saturated
    colours wash out to white on film.  A channel below 0 is simply raised to 0, which changes
    dark saturated colours far less than desaturating them would."""
    y = clamp01(luma(r, g, b))
    top = max(r, g, b)
    if top > 1.0:
        k = (1.0 - y) / (top - y)
        r, g, b = y + (r - y) * k, y + (g - y) * k, y + (b - y) * k
    return clamp01(r), clamp01(g), clamp01(b)


# --------------------------------------------------------------------------------------------
# The four colour films.  Each takes and returns an (r, g, b) of floats in 0..1.
# Tone curves come first (per channel: that is where a film's cast and contrast live), then
# colour moves by hue, then the gamut fit.
# --------------------------------------------------------------------------------------------

# Warm: a gentle S with a long, soft shoulder; red rides a little high and blue a little low
# in the upper tones, which warms skin and daylight without tinting the deep shadows.
_WARM_RED = ToneCurve([(0, 0.018), (0.1, 0.078), (0.25, 0.220), (0.5, 0.521), (0.75, 0.797),
                       (0.9, 0.920), (1, 0.975)])
_WARM_GREEN = ToneCurve([(0, 0.016), (0.1, 0.074), (0.25, 0.214), (0.5, 0.510), (0.75, 0.788),
                         (0.9, 0.912), (1, 0.970)])
_WARM_BLUE = ToneCurve([(0, 0.020), (0.1, 0.074), (0.25, 0.207), (0.5, 0.490), (0.75, 0.763),
                        (0.9, 0.890), (1, 0.952)])


def film_warm(r, g, b):
    """Everyday colour negative: warm, gently contrasty, soft highlights, greens leaning to
    olive, skin turned slightly away from orange so the warm cast keeps it natural, blues
    slightly toward cyan."""
    r, g, b = _WARM_RED(r), _WARM_GREEN(g), _WARM_BLUE(b)
    r, g, b = saturate(r, g, b, 1.03)
    r, g, b = vibrance(r, g, b, 1.15)
    r, g, b = adjust_hue(r, g, b, GREEN, 0.3, saturation=0.88, turn=-0.14)
    r, g, b = adjust_hue(r, g, b, SKIN, 0.6, saturation=0.92, lightness=1.02, turn=-0.03)
    r, g, b = adjust_hue(r, g, b, BLUE, 0.4, turn=-0.08)
    return fit_gamut(r, g, b)


# Cool-fade: blacks lifted to a blue-grey, whites held below paper white, flat shadows.
_FADE_RED = ToneCurve([(0, 0.080), (0.15, 0.150), (0.35, 0.318), (0.6, 0.595), (0.85, 0.835),
                       (1, 0.925)])
_FADE_GREEN = ToneCurve([(0, 0.090), (0.15, 0.160), (0.35, 0.330), (0.6, 0.605), (0.85, 0.845),
                         (1, 0.935)])
_FADE_BLUE = ToneCurve([(0, 0.112), (0.15, 0.182), (0.35, 0.350), (0.6, 0.615), (0.85, 0.850),
                        (1, 0.945)])


def film_cool_fade(r, g, b):
    """Faded cool film: lifted, bluish blacks, low contrast in the shadows, overall muted
    colour with greens and cyans pulled down hardest and greens turned toward teal."""
    r, g, b = _FADE_RED(r), _FADE_GREEN(g), _FADE_BLUE(b)
    r, g, b = saturate(r, g, b, 0.80)
    r, g, b = adjust_hue(r, g, b, GREEN, 0.2, saturation=0.62, lightness=0.97, turn=0.10)
    r, g, b = adjust_hue(r, g, b, CYAN, 0.3, saturation=0.70)
    r, g, b = adjust_hue(r, g, b, YELLOW, 0.5, saturation=0.85)
    r, g, b = split_tone(r, g, b, (-0.012, 0.004, 0.020), (0.006, 0.0, -0.010))
    return fit_gamut(r, g, b)


# Vivid: a steep S with dense shadows and a short shoulder; the blue curve sits slightly
# higher in the shadows for the cool depth of reversal film.
_VIVID_RED = ToneCurve([(0, 0.0), (0.1, 0.040), (0.25, 0.160), (0.5, 0.500), (0.75, 0.835),
                        (0.9, 0.950), (1, 0.988)])
_VIVID_GREEN = ToneCurve([(0, 0.0), (0.1, 0.040), (0.25, 0.160), (0.5, 0.500), (0.75, 0.835),
                          (0.9, 0.950), (1, 0.988)])
_VIVID_BLUE = ToneCurve([(0, 0.006), (0.1, 0.050), (0.25, 0.172), (0.5, 0.505), (0.75, 0.832),
                         (0.9, 0.946), (1, 0.985)])


def film_vivid(r, g, b):
    """Saturated slide film: rich contrast, deep dense blues, punchy reds and emerald greens,
    with skin held back so faces do not burn orange."""
    r, g, b = _VIVID_RED(r), _VIVID_GREEN(g), _VIVID_BLUE(b)
    r, g, b = saturate(r, g, b, 1.08)
    r, g, b = vibrance(r, g, b, 1.35)
    r, g, b = adjust_hue(r, g, b, BLUE, 0.3, saturation=1.10, lightness=0.86, turn=0.05)
    r, g, b = adjust_hue(r, g, b, RED, 0.5, saturation=1.08, lightness=0.97)
    r, g, b = adjust_hue(r, g, b, GREEN, 0.4, saturation=0.95, turn=0.06)
    r, g, b = adjust_hue(r, g, b, SKIN, 0.7, saturation=0.85, lightness=1.02)
    return fit_gamut(r, g, b)


# Pastel: low contrast with open shadows and a creamy, slightly warm top end.
_PASTEL_RED = ToneCurve([(0, 0.050), (0.15, 0.172), (0.5, 0.540), (0.85, 0.878), (1, 0.972)])
_PASTEL_GREEN = ToneCurve([(0, 0.046), (0.15, 0.165), (0.5, 0.530), (0.85, 0.870), (1, 0.966)])
_PASTEL_BLUE = ToneCurve([(0, 0.050), (0.15, 0.165), (0.5, 0.522), (0.85, 0.860), (1, 0.955)])


def film_pastel(r, g, b):
    """Soft portrait film: low saturation and contrast, gentle peach skin, light airy greens
    and powder blues."""
    r, g, b = _PASTEL_RED(r), _PASTEL_GREEN(g), _PASTEL_BLUE(b)
    r, g, b = saturate(r, g, b, 0.72)
    r, g, b = adjust_hue(r, g, b, SKIN, 0.6, saturation=1.10, lightness=1.03, turn=-0.04)
    r, g, b = adjust_hue(r, g, b, GREEN, 0.3, saturation=0.80, lightness=1.06, turn=0.06)
    r, g, b = adjust_hue(r, g, b, BLUE, 0.4, saturation=0.85, lightness=1.06, turn=-0.06)
    r, g, b = adjust_hue(r, g, b, RED, 0.5, saturation=0.90)
    return fit_gamut(r, g, b)


# (film index, file name, look name, transform)
FILMS = [
    (9, "lookup.png", "warm", film_warm),
    (10, "lookup_3.png", "cool-fade", film_cool_fade),
    (11, "lookup_4.png", "vivid", film_vivid),
    (12, "lookup_5.png", "pastel", film_pastel),
]

# --------------------------------------------------------------------------------------------
# The lookup cube
# --------------------------------------------------------------------------------------------

CUBE_SIZE = 64
TILES_PER_ROW = 8
LOOKUP_SIDE = CUBE_SIZE * TILES_PER_ROW  # 512
# Largest allowed change between neighbouring cube entries, in 8-bit steps; the identity
# cube steps by about 4.
MAX_CUBE_STEP = 20


def cube_position(r, g, b):
    """Pixel (x, y) of the lookup image that holds cube entry (r, g, b)."""
    return (b % TILES_PER_ROW) * CUBE_SIZE + r, (b // TILES_PER_ROW) * CUBE_SIZE + g


def build_cube_rows(transform):
    """The 512 RGBA rows of a lookup image for a colour transform."""
    levels = [i / (CUBE_SIZE - 1.0) for i in range(CUBE_SIZE)]
    rows = [bytearray(LOOKUP_SIDE * 4) for _ in range(LOOKUP_SIDE)]
    for b in range(CUBE_SIZE):
        for g in range(CUBE_SIZE):
            x0, y = cube_position(0, g, b)
            row = rows[y]
            for r in range(CUBE_SIZE):
                out = transform(levels[r], levels[g], levels[b])
                i = (x0 + r) * 4
                row[i] = to_byte(out[0] * 255.0)
                row[i + 1] = to_byte(out[1] * 255.0)
                row[i + 2] = to_byte(out[2] * 255.0)
                row[i + 3] = 255
    return rows


def identity(r, g, b):
    return r, g, b


class Cube:
    """A decoded lookup image, read as a colour cube."""

    def __init__(self, pixels):
        self.entries = [None] * (CUBE_SIZE * CUBE_SIZE * CUBE_SIZE)
        for b in range(CUBE_SIZE):
            for g in range(CUBE_SIZE):
                x0, y = cube_position(0, g, b)
                base = (y * LOOKUP_SIDE + x0) * 4
                for r in range(CUBE_SIZE):
                    i = base + r * 4
                    self.entries[(b * CUBE_SIZE + g) * CUBE_SIZE + r] = (pixels[i], pixels[i + 1], pixels[i + 2])

    def entry(self, r, g, b):
        return self.entries[(b * CUBE_SIZE + g) * CUBE_SIZE + r]

    def max_step(self):
        """Largest channel difference between entries one step apart along any axis."""
        worst = 0
        n = CUBE_SIZE
        e = self.entries
        for b in range(n):
            for g in range(n):
                base = (b * n + g) * n
                for r in range(n):
                    c = e[base + r]
                    for j in ((base + r + 1) if r + 1 < n else -1,
                              (base + r + n) if g + 1 < n else -1,
                              (base + r + n * n) if b + 1 < n else -1):
                        if j >= 0:
                            d = e[j]
                            worst = max(worst, abs(c[0] - d[0]), abs(c[1] - d[1]), abs(c[2] - d[2]))
        return worst

    def apply(self, r8, g8, b8):
        """Trilinear lookup of an 8-bit colour, as the renderer samples the cube."""
        scale = (CUBE_SIZE - 1) / 255.0
        fr, fg, fb = r8 * scale, g8 * scale, b8 * scale
        r0, g0, b0 = min(int(fr), CUBE_SIZE - 2), min(int(fg), CUBE_SIZE - 2), min(int(fb), CUBE_SIZE - 2)
        tr, tg, tb = fr - r0, fg - g0, fb - b0
        out = [0.0, 0.0, 0.0]
        for db, wb in ((0, 1.0 - tb), (1, tb)):
            for dg, wg in ((0, 1.0 - tg), (1, tg)):
                for dr, wr in ((0, 1.0 - tr), (1, tr)):
                    w = wb * wg * wr
                    c = self.entry(r0 + dr, g0 + dg, b0 + db)
                    out[0] += w * c[0]
                    out[1] += w * c[1]
                    out[2] += w * c[2]
        return to_byte(out[0]), to_byte(out[1]), to_byte(out[2])


# --------------------------------------------------------------------------------------------
# The sample photo
# --------------------------------------------------------------------------------------------

SAMPLE_WIDTH = 1536
SAMPLE_HEIGHT = 1152

_PI = 3.141592653589793
_HALF_PI = 1.5707963267948966
_TWO_PI = 6.283185307179586


def sin_(x):
    """Sine by range reduction and a Taylor polynomial: the same bits on every platform."""
    k = int(x / _TWO_PI)
    x -= k * _TWO_PI
    if x > _PI:
        x -= _TWO_PI
    elif x < -_PI:
        x += _TWO_PI
    if x > _HALF_PI:
        x = _PI - x
    elif x < -_HALF_PI:
        x = -_PI - x
    x2 = x * x
    return x * (1.0 - x2 / 6.0 * (1.0 - x2 / 20.0 * (1.0 - x2 / 42.0 * (1.0 - x2 / 72.0 * (
        1.0 - x2 / 110.0 * (1.0 - x2 / 156.0 * (1.0 - x2 / 210.0)))))))


def cos_(x):
    return sin_(x + _HALF_PI)


def mix(c0, c1, t):
    return (c0[0] + (c1[0] - c0[0]) * t, c0[1] + (c1[1] - c0[1]) * t, c0[2] + (c1[2] - c0[2]) * t)


def hue_colour(h):
    """Fully saturated colour for hue h in 0..1 (red, yellow, green, cyan, blue, magenta)."""
    h6 = (h - int(h)) * 6.0
    sector = int(h6)
    f = h6 - sector
    return [(1.0, f, 0.0), (1.0 - f, 1.0, 0.0), (0.0, 1.0, f), (0.0, 1.0 - f, 1.0),
            (f, 0.0, 1.0), (1.0, 0.0, 1.0 - f)][sector % 6]


class Canvas:
    def __init__(self, width, height, colour):
        self.width = width
        self.height = height
        fill = bytes(to_byte(c) for c in colour)
        self.rows = [bytearray(fill * width) for _ in range(height)]

    def fill_rect(self, x0, y0, x1, y1, colour):
        span = bytes(to_byte(c) for c in colour) * (x1 - x0)
        for y in range(y0, y1):
            self.rows[y][x0 * 3:x1 * 3] = span

    def put_span(self, x0, y, pixels):
        """Write a run of 0..255 colours starting at (x0, y)."""
        data = bytearray()
        for c in pixels:
            data.append(to_byte(c[0]))
            data.append(to_byte(c[1]))
            data.append(to_byte(c[2]))
        self.rows[y][x0 * 3:x0 * 3 + len(data)] = data


PANEL_GREY = (44.0, 44.0, 46.0)
HORIZON = 360


def _landscape(canvas):
    """Sky with a low sun and soft clouds over two ranges of hills and a golden field."""
    w = canvas.width
    sun_x, sun_y, sun_r = 1130.0, 236.0, 20.0
    zenith, horizon_sky = (34.0, 78.0, 150.0), (206.0, 218.0, 226.0)
    glow = (255.0, 214.0, 160.0)
    clouds = [(320.0, 92.0, 260.0, 16.0, 0.55), (610.0, 140.0, 200.0, 12.0, 0.45),
              (880.0, 70.0, 330.0, 18.0, 0.50), (1380.0, 120.0, 220.0, 14.0, 0.40),
              (160.0, 190.0, 180.0, 9.0, 0.35), (980.0, 180.0, 160.0, 8.0, 0.40)]
    far = [236.0 + 18.0 * sin_(x * 0.0061 + 0.7) + 9.0 * sin_(x * 0.017 + 2.1) + 4.0 * sin_(x * 0.043)
           for x in range(w)]
    near = [292.0 + 20.0 * sin_(x * 0.0043 + 2.4) + 7.0 * sin_(x * 0.013 + 0.3) + 2.5 * sin_(x * 0.051 + 1.0)
            for x in range(w)]
    field_top = 338.0
    for y in range(HORIZON):
        t = y / (HORIZON - 1.0)
        sky = mix(zenith, horizon_sky, t * (2.0 - t) * 0.35 + t * t * 0.65)
        fy = y + 0.5
        span = []
        for x in range(w):
            fx = x + 0.5
            dx, dy = fx - sun_x, fy - sun_y
            d2 = dx * dx + dy * dy
            g = 0.55 / (1.0 + d2 / (140.0 * 140.0)) + 0.25 / (1.0 + d2 / (420.0 * 420.0))
            c = mix(sky, glow, g)
            for cx, cy, cw, ch, ca in clouds:
                u = (fx - cx) / cw
                v = (fy - cy) / ch
                q = u * u + v * v
                if q < 9.0:
                    a = ca / (1.0 + q * q) * (1.0 - q / 9.0)
                    c = mix(c, (250.0, 244.0, 238.0), a)
            d = math.sqrt(d2)
            if d < sun_r + 1.0:
                c = mix(c, (255.0, 250.0, 236.0), clamp01(sun_r + 0.5 - d))
            # Hills: coverage of the pixel by the ridge line gives a smooth edge.
            cover = clamp01(fy + 0.5 - far[x])
            if cover > 0.0:
                depth = clamp01((fy - far[x]) / 90.0)
                c = mix(c, mix((128.0, 146.0, 172.0), (92.0, 112.0, 140.0), depth), cover)
            cover = clamp01(fy + 0.5 - near[x])
            if cover > 0.0:
                depth = clamp01((fy - near[x]) / 60.0)
                lit = 0.5 + 0.5 * clamp01(1.0 - abs(fx - sun_x) / 700.0)
                top = mix((70.0, 112.0, 52.0), (112.0, 142.0, 60.0), lit)
                c = mix(c, mix(top, (38.0, 70.0, 36.0), depth), cover)
            cover = clamp01(fy + 0.5 - field_top)
            if cover > 0.0:
                depth = clamp01((fy - field_top) / 22.0)
                c = mix(c, mix((214.0, 168.0, 74.0), (176.0, 120.0, 44.0), depth), cover)
            span.append(c)
        canvas.put_span(0, y, span)


# Reference patches of a classic 24-patch colour chart (sRGB, 8 bits).
CHART = [
    (115, 82, 68), (194, 150, 130), (98, 122, 157), (87, 108, 67), (133, 128, 177), (103, 189, 170),
    (214, 126, 44), (80, 91, 166), (193, 90, 99), (94, 60, 108), (157, 188, 64), (224, 163, 46),
    (56, 61, 150), (70, 148, 73), (175, 54, 60), (231, 199, 31), (187, 86, 149), (8, 133, 161),
    (243, 243, 242), (200, 200, 200), (160, 160, 160), (122, 122, 121), (85, 85, 85), (52, 52, 52),
]

SKIN_TONES = [
    (246, 222, 206), (236, 200, 176), (224, 180, 150), (207, 156, 122),
    (186, 128, 96), (160, 104, 74), (122, 76, 54), (88, 56, 40),
]

VIVID_SWATCHES = [
    (230, 20, 30), (250, 120, 0), (250, 220, 0), (40, 190, 40),
    (0, 190, 210), (20, 60, 220), (120, 30, 200), (220, 20, 150),
]


def _row_of_boxes(x0, x1, count, gap):
    """Split [x0, x1) into `count` boxes separated by `gap`, as evenly as whole pixels allow."""
    inner = x1 - x0 - gap * (count - 1)
    boxes = []
    for i in range(count):
        a = x0 + i * gap + inner * i // count
        b = x0 + i * gap + inner * (i + 1) // count
        boxes.append((a, b))
    return boxes


def _chart(canvas, x0, y0, x1, y1):
    cols = _row_of_boxes(x0, x1, 6, 10)
    rows = _row_of_boxes(y0, y1, 4, 10)
    for i, colour in enumerate(CHART):
        (a, b), (c, d) = cols[i % 6], rows[i // 6]
        canvas.fill_rect(a, c, b, d, colour)


def _skin_band(canvas, x0, y0, x1, y1):
    """Skin patches lit from above, with a soft sheen in the middle, like a rounded surface."""
    for (a, b), colour in zip(_row_of_boxes(x0, x1, len(SKIN_TONES), 6), SKIN_TONES):
        half = (b - a) / 2.0
        centre = a + half
        for y in range(y0, y1):
            v = (y + 0.5 - y0) / (y1 - y0)
            shade = 1.06 - 0.16 * v
            span = []
            for x in range(a, b):
                u = (x + 0.5 - centre) / half
                f = shade + 0.05 * (1.0 - u * u)
                span.append((colour[0] * f, colour[1] * f, colour[2] * f))
            canvas.put_span(a, y, span)


def _vivid_swatches(canvas, x0, y0, x1, y1):
    """Saturated swatches, full strength at the top, darkening toward the bottom."""
    for (a, b), colour in zip(_row_of_boxes(x0, x1, len(VIVID_SWATCHES), 6), VIVID_SWATCHES):
        for y in range(y0, y1):
            v = (y + 0.5 - y0) / (y1 - y0)
            f = 1.0 - 0.55 * v * v
            canvas.fill_rect(a, y, b, y + 1, (colour[0] * f, colour[1] * f, colour[2] * f))


def _zone_plate(canvas, x0, y0, size):
    """Circular zone plate: frequency rises with radius and reaches the pixel limit at the rim."""
    radius = size / 2.0
    k = _PI / (2.0 * radius)
    lo, hi = 18.0, 238.0
    for y in range(y0, y0 + size):
        dy = y + 0.5 - y0 - radius
        span = []
        for x in range(x0, x0 + size):
            dx = x + 0.5 - x0 - radius
            r2 = dx * dx + dy * dy
            v = 0.5 + 0.5 * cos_(k * r2)
            edge = clamp01(radius - math.sqrt(r2))
            grey = lo + (hi - lo) * v
            grey = PANEL_GREY[0] + (grey - PANEL_GREY[0]) * edge
            span.append((grey, grey, grey))
        canvas.put_span(x0, y, span)


def _siemens_star(canvas, x0, y0, size, spokes=36):
    """Siemens star with anti-aliased spoke edges; the centre blurs to grey as spokes merge."""
    radius = size / 2.0 - 2.0
    c = size / 2.0
    lo, hi = 16.0, 240.0
    for y in range(y0, y0 + size):
        dy = y + 0.5 - y0 - c
        span = []
        for x in range(x0, x0 + size):
            dx = x + 0.5 - x0 - c
            r = math.sqrt(dx * dx + dy * dy)
            if r < 1e-6:
                span.append((128.0, 128.0, 128.0))
                continue
            # sin(spokes * angle) as the imaginary part of ((dx + i dy) / r) ** spokes.
            zr, zi = dx / r, dy / r
            pr, pi = 1.0, 0.0
            n = spokes
            while n:
                if n & 1:
                    pr, pi = pr * zr - pi * zi, pr * zi + pi * zr
                zr, zi = zr * zr - zi * zi, 2.0 * zr * zi
                n >>= 1
            v = clamp01(0.5 + pi * r / spokes)
            grey = lo + (hi - lo) * v
            edge = clamp01(radius - r + 0.5)
            grey = PANEL_GREY[0] + (grey - PANEL_GREY[0]) * edge
            span.append((grey, grey, grey))
        canvas.put_span(x0, y, span)


def _chirp(canvas, x0, y0, x1, y1):
    """Vertical bars whose frequency rises from coarse to the pixel limit, left to right."""
    length = x1 - x0
    f0, f1 = 0.02, 0.5
    span = []
    for x in range(x0, x1):
        u = x + 0.5 - x0
        phase = _TWO_PI * (f0 * u + (f1 - f0) * u * u / (2.0 * length))
        grey = 128.0 + 110.0 * cos_(phase)
        span.append((grey, grey, grey))
    for y in range(y0, y1):
        canvas.put_span(x0, y, span)


def _line_blocks(canvas, x0, y0, x1, y1, periods=(12, 8, 6, 4, 3, 2)):
    """Blocks of horizontal lines, one block per period, from coarse to one-pixel lines."""
    for (a, b), period in zip(_row_of_boxes(y0, y1, len(periods), 8), periods):
        for y in range(a, b):
            on = (y - a) % period < period // 2
            canvas.fill_rect(x0, y, x1, y + 1, (236.0, 236.0, 236.0) if on else (20.0, 20.0, 20.0))


def _grey_ramp(canvas, x0, y0, x1, y1):
    span = []
    for x in range(x0, x1):
        v = 255.0 * (x - x0) / (x1 - x0 - 1.0)
        span.append((v, v, v))
    for y in range(y0, y1):
        canvas.put_span(x0, y, span)


def _spectrum(canvas, x0, y0, x1, y1):
    """All hues left to right; from pale at the top through full colour to dark at the bottom."""
    hues = [hue_colour((x - x0) / (x1 - x0)) for x in range(x0, x1)]
    white, black = (1.0, 1.0, 1.0), (0.0, 0.0, 0.0)
    for y in range(y0, y1):
        v = (y + 0.5 - y0) / (y1 - y0)
        if v < 0.5:
            t = v * 2.0
            span = [mix(white, h, t) for h in hues]
        else:
            t = (v - 0.5) * 2.0
            span = [mix(h, black, t * 0.85) for h in hues]
        canvas.put_span(x0, y, [(c[0] * 255.0, c[1] * 255.0, c[2] * 255.0) for c in span])


def build_sample_rows():
    """The sample photo: a landscape above a test panel of charts and detail targets."""
    canvas = Canvas(SAMPLE_WIDTH, SAMPLE_HEIGHT, PANEL_GREY)
    _landscape(canvas)
    _chart(canvas, 24, 380, 650, 794)
    _skin_band(canvas, 24, 814, 650, 894)
    _zone_plate(canvas, 674, 380, 330)
    _siemens_star(canvas, 1024, 380, 330)
    _line_blocks(canvas, 1374, 380, 1512, 710)
    _chirp(canvas, 674, 730, 1512, 794)
    _vivid_swatches(canvas, 674, 814, 1512, 894)
    _grey_ramp(canvas, 24, 914, 1512, 962)
    _spectrum(canvas, 24, 978, 1512, 1128)
    return canvas.rows


# --------------------------------------------------------------------------------------------
# Generation, checking and the contact sheet
# --------------------------------------------------------------------------------------------

SAMPLE_PATH = os.path.join("samples", "sample.png")


def lookup_path(name):
    return os.path.join("lookup", name)


def generate():
    """All outputs as {path relative to resources: PNG bytes}."""
    outputs = {}
    for _, name, _, transform in FILMS:
        outputs[lookup_path(name)] = encode_png(LOOKUP_SIDE, LOOKUP_SIDE, COLOR_TYPE_RGBA,
                                                build_cube_rows(transform))
    outputs[SAMPLE_PATH] = encode_png(SAMPLE_WIDTH, SAMPLE_HEIGHT, COLOR_TYPE_RGB, build_sample_rows())
    return outputs


def write_outputs(outputs, root, report=True):
    for rel, data in sorted(outputs.items()):
        path = os.path.join(root, rel)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        temporary = path + ".tmp"
        with open(temporary, "wb") as f:
            f.write(data)
        os.replace(temporary, path)
        if report:
            print("wrote %s (%d bytes)" % (path, len(data)))


def validate_lookup(image):
    """Problems with a decoded lookup image, as messages (empty when it is fine)."""
    problems = []
    if (image.width, image.height, image.color_type) != (LOOKUP_SIDE, LOOKUP_SIDE, COLOR_TYPE_RGBA):
        return ["is %d x %d colour type %d, expected %d x %d RGBA (colour type 6)"
                % (image.width, image.height, image.color_type, LOOKUP_SIDE, LOOKUP_SIDE, COLOR_TYPE_RGBA)]
    if image.pixels[3::4].count(255) != LOOKUP_SIDE * LOOKUP_SIDE:
        problems.append("has pixels whose alpha is not 255")
    step = Cube(image.pixels).max_step()
    if step > MAX_CUBE_STEP:
        problems.append("neighbouring cube entries differ by %d (at most %d allowed)" % (step, MAX_CUBE_STEP))
    return problems


def _first_difference(a, b):
    if (a.width, a.height, a.color_type) != (b.width, b.height, b.color_type):
        return "image is %d x %d colour type %d, generator makes %d x %d colour type %d" % (
            a.width, a.height, a.color_type, b.width, b.height, b.color_type)
    if a.pixels == b.pixels:
        return None
    stride = a.width * a.channels
    for i in range(len(a.pixels)):
        if a.pixels[i] != b.pixels[i]:
            return "first different pixel at (%d, %d)" % ((i % stride) // a.channels, i // stride)
    return None


def check(resources):
    """Compare the committed files with freshly generated ones; returns the process status."""
    failures = []
    with tempfile.TemporaryDirectory() as scratch:
        write_outputs(generate(), scratch, report=False)
        for rel in sorted([lookup_path(f[1]) for f in FILMS] + [SAMPLE_PATH]):
            committed_path = os.path.join(resources, rel)
            if not os.path.exists(committed_path):
                failures.append("%s is missing" % rel)
                continue
            with open(committed_path, "rb") as f:
                committed = f.read()
            with open(os.path.join(scratch, rel), "rb") as f:
                fresh = f.read()
            try:
                image = decode_png(committed)
            except (ValueError, zlib.error) as e:
                failures.append("%s cannot be decoded: %s" % (rel, e))
                continue
            if rel.startswith("lookup"):
                failures += ["%s %s" % (rel, p) for p in validate_lookup(image)]
            elif (image.width, image.height, image.color_type) != (SAMPLE_WIDTH, SAMPLE_HEIGHT, COLOR_TYPE_RGB):
                failures.append("%s is %d x %d colour type %d, expected %d x %d RGB"
                                % (rel, image.width, image.height, image.color_type, SAMPLE_WIDTH, SAMPLE_HEIGHT))
            if committed == fresh:
                continue
            # A different zlib build may compress the same pixels differently; only the
            # pixels and the header have to match.
            difference = _first_difference(image, decode_png(fresh))
            if difference is None:
                print("note: %s has the generator's pixels but different compressed bytes "
                      "(another zlib build)" % rel)
            else:
                failures.append("%s differs from the generator's output: %s" % (rel, difference))
    if failures:
        for message in failures:
            print("error: " + message, file=sys.stderr)
        print("Run python3 resources/tools/make_lookups.py and commit the result.", file=sys.stderr)
        return 1
    print("all resources match the generator")
    return 0


def contact_sheet(path, resources, factor=4):
    """Write the sample, downscaled, through the identity cube and every committed film."""
    with open(os.path.join(resources, SAMPLE_PATH), "rb") as f:
        sample = decode_png(f.read())
    w, h = sample.width // factor, sample.height // factor
    small = []
    area = factor * factor
    stride = sample.width * 3
    for y in range(h):
        sums = [0] * (w * 3)
        for sy in range(y * factor, (y + 1) * factor):
            line = sample.pixels[sy * stride:(sy + 1) * stride]
            for x in range(w * factor):
                i = (x // factor) * 3
                sums[i] += line[x * 3]
                sums[i + 1] += line[x * 3 + 1]
                sums[i + 2] += line[x * 3 + 2]
        small.append([to_byte(s / area) for s in sums])
    cubes = [Cube(decode_png(encode_png(LOOKUP_SIDE, LOOKUP_SIDE, COLOR_TYPE_RGBA,
                                        build_cube_rows(identity))).pixels)]
    for _, name, _, _ in FILMS:
        with open(os.path.join(resources, lookup_path(name)), "rb") as f:
            cubes.append(Cube(decode_png(f.read()).pixels))
    gap = 8
    columns = 2
    sheet_w = columns * w + (columns + 1) * gap
    sheet_h = 3 * h + 4 * gap
    sheet = [bytearray(bytes((255, 255, 255)) * sheet_w) for _ in range(sheet_h)]
    for index, cube in enumerate(cubes + [None]):
        ox = gap + (index % columns) * (w + gap)
        oy = gap + (index // columns) * (h + gap)
        for y in range(h):
            line = small[y]
            out = bytearray()
            for x in range(w):
                c = line[x * 3:x * 3 + 3]
                out += bytes(cube.apply(*c)) if cube else bytes(c)
            sheet[oy + y][ox * 3:(ox + w) * 3] = out
    with open(path, "wb") as f:
        f.write(encode_png(sheet_w, sheet_h, COLOR_TYPE_RGB, sheet))
    print("wrote %s: identity, %s, original" % (path, ", ".join(f[2] for f in FILMS)))


def main(argv):
    resources = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    parser = argparse.ArgumentParser(description="Make the colour-film lookup images and the sample photo.")
    parser.add_argument("--out", metavar="DIR", help="write under DIR instead of the resources folder")
    parser.add_argument("--check", action="store_true",
                        help="compare the committed files with the generator's output")
    parser.add_argument("--contact-sheet", metavar="FILE",
                        help="render the sample through every committed film into FILE")
    args = parser.parse_args(argv)
    if args.check:
        return check(args.out or resources)
    if args.contact_sheet:
        contact_sheet(args.contact_sheet, args.out or resources)
        return 0
    write_outputs(generate(), args.out or resources)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))

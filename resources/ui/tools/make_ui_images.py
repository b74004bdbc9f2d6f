#!/usr/bin/env python3
"""Make the images of the UI demo (resources/ui/demo/).

Every image is drawn at scale 2 and named with "@2x", so that the demo also exercises the
look-up of scaled images:

    demo_photo@2x.png            320 x 200 points: a landscape with sky, sun, hills and a lake
    demo_button@2x.png           44 x 44: a ring (button, normal state)
    demo_button_pressed@2x.png   44 x 44: a grey disc in the ring (highlighted state)
    demo_button_selected@2x.png  44 x 44: an amber disc in the ring (selected state)
    demo_thumb@2x.png            28 x 28: the slider's thumb
    demo_track_min@2x.png        4 x 4: the slider's track left of the thumb (amber)
    demo_track_max@2x.png        4 x 4: the slider's track right of the thumb (grey)
    demo_tile_0@2x.png ...       60 x 60: six colour tiles for the collection view's cells
    demo_frame@2x.png            60 x 60: a cell's frame
    demo_frame_s@2x.png          60 x 60: a selected cell's frame
    demo_toolbar_filter@2x.png   24 x 24: the toolbar's filter icon

Only the Python standard library is used, and only +, -, *, / and sqrt in the pixel maths,
with int(v + 0.5) rounding and a fixed zlib level, so that every machine makes the same pixels.

    python3 resources/ui/tools/make_ui_images.py            rewrite the images in place
    python3 resources/ui/tools/make_ui_images.py --out DIR  write them under DIR
    python3 resources/ui/tools/make_ui_images.py --check    compare the committed images with
                                                            fresh ones; exit 1 on a difference
"""

import argparse
import math
import os
import struct
import sys
import tempfile
import zlib

SCALE = 2
SUPERSAMPLE = 4  # samples per pixel side for the edges of shapes

AMBER = (255, 176, 32)
WHITE = (255, 255, 255)
GREY = (120, 120, 128)
DARK = (58, 58, 64)

# --------------------------------------------------------------------------------------------
# PNG
# --------------------------------------------------------------------------------------------

PNG_SIGNATURE = b"\x89PNG\r\n\x1a\n"


def _chunk(tag, payload):
    body = tag + payload
    return struct.pack(">I", len(payload)) + body + struct.pack(">I", zlib.crc32(body))


def encode_png(width, height, rows):
    """8-bit RGBA rows as a PNG, every row unfiltered."""
    raw = bytearray()
    for row in rows:
        if len(row) != width * 4:
            raise ValueError("row has %d bytes, expected %d" % (len(row), width * 4))
        raw.append(0)
        raw += row
    idat = zlib.compress(bytes(raw), 9)
    header = struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0)
    return PNG_SIGNATURE + _chunk(b"IHDR", header) + _chunk(b"IDAT", idat) + _chunk(b"IEND", b"")


def png_pixels(data):
    """(width, height, unfiltered pixel bytes) of a PNG written by encode_png."""
    if data[:8] != PNG_SIGNATURE:
        raise ValueError("not a PNG file")
    pos, header, idat = 8, None, bytearray()
    while pos + 8 <= len(data):
        (length,) = struct.unpack(">I", data[pos:pos + 4])
        tag = data[pos + 4:pos + 8]
        payload = data[pos + 8:pos + 8 + length]
        pos += 12 + length
        if tag == b"IHDR":
            header = struct.unpack(">IIBBBBB", payload)
        elif tag == b"IDAT":
            idat += payload
    if header is None:
        raise ValueError("no IHDR chunk")
    width, height, depth, color_type = header[:4]
    if depth != 8 or color_type != 6:
        raise ValueError("not 8-bit RGBA")
    raw = zlib.decompress(bytes(idat))
    stride = width * 4 + 1
    if len(raw) != height * stride or any(raw[y * stride] != 0 for y in range(height)):
        raise ValueError("not written by this generator (filtered or short rows)")
    return width, height, b"".join(raw[y * stride + 1:(y + 1) * stride] for y in range(height))


# --------------------------------------------------------------------------------------------
# Drawing: a canvas of straight-alpha RGBA pixels and shapes with anti-aliased edges
# --------------------------------------------------------------------------------------------


def clamp8(v):
    return 0 if v < 0 else 255 if v > 255 else int(v + 0.5)


class Canvas:
    def __init__(self, width, height, fill=(0, 0, 0, 0)):
        self.width = width
        self.height = height
        self.pixels = [list(fill) for _ in range(width * height)]

    def blend(self, x, y, color, coverage):
        """Paints colour (r, g, b[, a]) over pixel (x, y) with the given coverage 0..1."""
        if coverage <= 0:
            return
        a = (color[3] / 255 if len(color) > 3 else 1) * coverage
        p = self.pixels[y * self.width + x]
        below = p[3] / 255
        out = a + below * (1 - a)
        if out <= 0:
            return
        for i in range(3):
            p[i] = (color[i] * a + p[i] * below * (1 - a)) / out
        p[3] = out * 255

    def fill(self, inside, color, bounds=None):
        """Fills the shape inside(x, y) (in pixels) with anti-aliased edges."""
        x0, y0, x1, y1 = bounds or (0, 0, self.width, self.height)
        n = SUPERSAMPLE
        for y in range(max(0, y0), min(self.height, y1)):
            for x in range(max(0, x0), min(self.width, x1)):
                hits = 0
                for sy in range(n):
                    for sx in range(n):
                        if inside(x + (sx + 0.5) / n, y + (sy + 0.5) / n):
                            hits += 1
                self.blend(x, y, color, hits / (n * n))

    def rows(self):
        for y in range(self.height):
            row = bytearray()
            for p in self.pixels[y * self.width:(y + 1) * self.width]:
                row += bytes(clamp8(v) for v in p)
            yield row

    def png(self):
        return encode_png(self.width, self.height, self.rows())


def disc(cx, cy, r):
    return lambda x, y: (x - cx) * (x - cx) + (y - cy) * (y - cy) <= r * r


def ring(cx, cy, outer, inner):
    def inside(x, y):
        d = (x - cx) * (x - cx) + (y - cy) * (y - cy)
        return inner * inner <= d <= outer * outer
    return inside


def mix(a, b, t):
    return tuple(a[i] + (b[i] - a[i]) * t for i in range(len(a)))


# --------------------------------------------------------------------------------------------
# The images
# --------------------------------------------------------------------------------------------


def photo():
    w, h = 320 * SCALE, 200 * SCALE
    c = Canvas(w, h)
    horizon = h * 0.62
    for y in range(h):
        for x in range(w):
            if y < horizon:
                t = y / horizon
                color = mix((38, 92, 168), (250, 196, 140), t * t)
            else:
                t = (y - horizon) / (h - horizon)
                color = mix((64, 112, 150), (20, 44, 70), t)  # the lake
            c.pixels[y * w + x] = [color[0], color[1], color[2], 255]
    sun_x, sun_y, sun_r = w * 0.70, horizon - h * 0.14, h * 0.085
    # A soft glow around the sun, then the disc.
    for y in range(h):
        for x in range(w):
            d = math.sqrt((x - sun_x) ** 2 + (y - sun_y) ** 2)
            if d < sun_r * 3 and y < horizon:
                c.blend(x, y, (255, 236, 190), 0.45 * (1 - d / (sun_r * 3)))
    c.fill(disc(sun_x, sun_y, sun_r), (255, 244, 214))

    def hill(peak_x, peak_y, spread):
        return lambda x, y: y <= horizon and y >= peak_y + ((x - peak_x) / spread) ** 2 * h * 0.3
    c.fill(hill(w * 0.25, horizon - h * 0.26, w * 0.30), (70, 84, 112))
    c.fill(hill(w * 0.55, horizon - h * 0.16, w * 0.22), (92, 104, 128))
    c.fill(hill(w * 0.95, horizon - h * 0.20, w * 0.28), (80, 92, 120))
    # The sun's reflection on the lake: broken horizontal strokes.
    for i in range(8):
        y = horizon + 6 + i * 9
        half = sun_r * (1.1 - i * 0.11)
        c.fill(lambda x, yy, y=y, half=half: abs(x - sun_x) <= half and y <= yy < y + 3,
               (255, 226, 170, 200), (int(sun_x - half) - 1, int(y), int(sun_x + half) + 2, int(y) + 4))
    return c


def button(center=None):
    s = 44 * SCALE
    c = Canvas(s, s)
    mid = s / 2
    c.fill(ring(mid, mid, mid - 2, mid - 7), WHITE)
    if center:
        c.fill(disc(mid, mid, mid - 11), center)
    return c


def thumb():
    s = 28 * SCALE
    c = Canvas(s, s)
    c.fill(disc(s / 2, s / 2, s / 2 - 1), (40, 40, 40, 90))
    c.fill(disc(s / 2, s / 2 - 1, s / 2 - 4), WHITE)
    return c


def track(color):
    return Canvas(4 * SCALE, 4 * SCALE, (color[0], color[1], color[2], 255))


TILE_COLORS = [
    ((236, 84, 64), (252, 196, 80)),
    ((48, 160, 120), (196, 232, 120)),
    ((40, 96, 208), (120, 208, 248)),
    ((132, 64, 196), (240, 128, 196)),
    ((36, 36, 40), (200, 200, 204)),
    ((196, 120, 40), (248, 232, 200)),
]


def tile(index):
    s = 60 * SCALE
    top, bottom = TILE_COLORS[index]
    c = Canvas(s, s)
    for y in range(s):
        color = mix(top, bottom, y / (s - 1))
        for x in range(s):
            c.pixels[y * s + x] = [color[0], color[1], color[2], 255]
    mid = s / 2
    shapes = [
        disc(mid, mid, s * 0.28),
        lambda x, y: abs(x - mid) <= s * 0.24 and abs(y - mid) <= s * 0.24,
        lambda x, y: y >= s * 0.25 and abs(x - mid) <= (y - s * 0.25) * 0.6 and y <= s * 0.75,
        ring(mid, mid, s * 0.30, s * 0.18),
        lambda x, y: int(x / (s / 8)) % 2 == 0 and s * 0.2 <= y <= s * 0.8,
        lambda x, y: abs(x - mid) + abs(y - mid) <= s * 0.30,
    ]
    c.fill(shapes[index], (255, 255, 255, 210))
    return c


def frame(width, color):
    s = 60 * SCALE
    c = Canvas(s, s)
    c.fill(lambda x, y: x < width or y < width or x > s - width or y > s - width, color)
    return c


def toolbar_filter():
    s = 24 * SCALE
    c = Canvas(s, s)
    r = s * 0.24
    for cx, cy in ((s * 0.5, s * 0.34), (s * 0.34, s * 0.62), (s * 0.66, s * 0.62)):
        c.fill(ring(cx, cy, r, r - 3), WHITE)
    return c


def generate():
    """(file name, canvas) of every image."""
    images = [
        ("demo_photo", photo()),
        ("demo_button", button()),
        ("demo_button_pressed", button((150, 150, 156))),
        ("demo_button_selected", button(AMBER)),
        ("demo_thumb", thumb()),
        ("demo_track_min", track(AMBER)),
        ("demo_track_max", track(DARK)),
        ("demo_frame", frame(2, (255, 255, 255, 160))),
        ("demo_frame_s", frame(6, AMBER)),
        ("demo_toolbar_filter", toolbar_filter()),
    ]
    images += [("demo_tile_%d" % i, tile(i)) for i in range(len(TILE_COLORS))]
    return [("%s@%dx.png" % (name, SCALE), canvas.png()) for name, canvas in images]


# --------------------------------------------------------------------------------------------
# Command line
# --------------------------------------------------------------------------------------------


def demo_folder(root):
    return os.path.join(root, "demo")


def write(images, folder):
    os.makedirs(folder, exist_ok=True)
    for name, data in images:
        with open(os.path.join(folder, name), "wb") as f:
            f.write(data)
        print("wrote %s (%d bytes)" % (os.path.join(folder, name), len(data)))


def check(folder):
    failures = []
    for name, fresh in generate():
        path = os.path.join(folder, name)
        if not os.path.exists(path):
            failures.append("%s is missing" % name)
            continue
        with open(path, "rb") as f:
            committed = f.read()
        if committed == fresh:
            continue
        try:
            if png_pixels(committed) == png_pixels(fresh):
                print("note: %s has the generator's pixels in other compressed bytes" % name)
                continue
        except (ValueError, zlib.error) as e:
            failures.append("%s cannot be read: %s" % (name, e))
            continue
        failures.append("%s differs from the generator's output" % name)
    if failures:
        for message in failures:
            print("error: " + message, file=sys.stderr)
        print("Run python3 resources/ui/tools/make_ui_images.py and commit the result.",
              file=sys.stderr)
        return 1
    print("all demo images match the generator")
    return 0


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--out", help="write the images under DIR/demo instead of resources/ui")
    parser.add_argument("--check", action="store_true",
                        help="compare the committed images with freshly made ones")
    args = parser.parse_args()
    root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    if args.check:
        return check(demo_folder(root))
    write(generate(), demo_folder(args.out or root))
    return 0


if __name__ == "__main__":
    sys.exit(main())

#!/usr/bin/env python3
"""Makes the editing extension's own image: "film_s", the grid's first cell (no film).

It is the camera's picker sample drawn without a film, with the camera's drawing code, so it
sits beside "film_s0" ... "film_s8" (which the extension shares with the camera) as their
unfiltered original.

    python3 resources/editing/tools/make_editing_images.py          rewrite images/
    python3 resources/editing/tools/make_editing_images.py --check  exit 1 unless they match
"""

import argparse
import os
import runpy
import sys


def camera_drawing(resources):
    """The camera's image generator, loaded without running it: its names as a dictionary."""
    return runpy.run_path(os.path.join(resources, "camera", "tools", "make_camera_images.py"))


def generate(resources):
    camera = camera_drawing(resources)
    camera["LOOKS"]["plain"] = lambda r, g, b: (r, g, b)
    draw = camera["film_sample"]("plain")
    files = {}
    for scale in (2, 3):
        canvas = camera["Canvas"](80, 80, scale)
        draw(canvas)
        files["film_s@%dx.png" % scale] = canvas.png()
    return files


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    editing = os.path.dirname(here)
    resources = os.path.dirname(editing)
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--check", action="store_true", help="compare the committed images")
    args = parser.parse_args()
    files = generate(resources)
    images = os.path.join(editing, "images")
    if args.check:
        problems = []
        for name, data in files.items():
            try:
                with open(os.path.join(images, name), "rb") as f:
                    if f.read() != data:
                        problems.append("differs: " + name)
            except OSError:
                problems.append("missing: " + name)
        for p in problems:
            print(p, file=sys.stderr)
        return 1 if problems else 0
    os.makedirs(images, exist_ok=True)
    for name, data in files.items():
        with open(os.path.join(images, name), "wb") as f:
            f.write(data)
    print("wrote %d images" % len(files))
    return 0


if __name__ == "__main__":
    sys.exit(main())

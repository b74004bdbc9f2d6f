#!/usr/bin/env bash
# Makes the seed corpus of the fuzz targets: small pictures in every format, written by
# halidex-render from a crop of the built-in sample (needs a built tree: scripts/build.sh).
set -euo pipefail
cd "$(dirname "$0")/.."
render=${BUILD_DIR:-build}/tools/halidex-render/halidex-render
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
python3 - "$work/small.png" <<'PY'
import struct, sys, zlib
w, h = 40, 30
rows = b"".join(b"\0" + bytes(((x * 6) % 256, (y * 8) % 256, ((x + y) * 4) % 256)[c] for x in range(w) for c in range(3)) for y in range(h))
def chunk(kind, data):
    return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data) & 0xffffffff)
png = b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", w, h, 8, 2, 0, 0, 0)) + chunk(b"IDAT", zlib.compress(rows, 9)) + chunk(b"IEND", b"")
open(sys.argv[1], "wb").write(png)
PY
for kind in jpeg tiff heic png metadata image_source; do mkdir -p "fuzz/corpus/$kind"; done
"$render" --film 10 "$work/small.png" "$work/colour.jpg" >/dev/null
"$render" --film 0 "$work/small.png" "$work/grey.jpg" >/dev/null
"$render" --film 10 "$work/small.png" "$work/colour.tif" >/dev/null
"$render" --film 0 "$work/small.png" "$work/grey.tif" >/dev/null
"$render" --film 10 "$work/small.png" "$work/colour.heic" >/dev/null
"$render" --film 0 "$work/small.png" "$work/grey.png" >/dev/null
cp "$work/small.png" "$work/grey.png" fuzz/corpus/png/
cp "$work/colour.jpg" "$work/grey.jpg" fuzz/corpus/jpeg/
cp "$work/colour.tif" "$work/grey.tif" fuzz/corpus/tiff/
cp "$work/colour.heic" fuzz/corpus/heic/
cp "$work/colour.jpg" "$work/grey.tif" "$work/grey.png" fuzz/corpus/metadata/
cp "$work/colour.jpg" "$work/grey.tif" "$work/colour.heic" "$work/small.png" fuzz/corpus/image_source/
# The line files: a defaults file as the store writes it, one edited by hand with damage, and a
# device profile.
mkdir -p fuzz/corpus/key_value_lines
printf '%s\n' '# User defaults of camera. One setting a line: KEY = TYPE VALUE' \
    'KEY_EV = float -0.33333334' 'KEY_FILMTYPE = integer 3' 'KEY_GEOTAG = boolean false' \
    '"key with spaces" = string "caf\u00e9 \"quoted\"\n"' >fuzz/corpus/key_value_lines/defaults
printf '%s\r\n' '# edited' '  KEY_LENS=integer 2 ' 'KEY_EV = flo' 'garbage' \
    'KEY_GRID = boolean yes' >fuzz/corpus/key_value_lines/damaged
printf '%s\n' 'base = tablet' 'name = my-tablet' 'width = 834' 'insets = 24 0 20 0' \
    'system-version = 17.5' 'cameras = wide:3264x2448 front' >fuzz/corpus/key_value_lines/profile
ls -l fuzz/corpus/*

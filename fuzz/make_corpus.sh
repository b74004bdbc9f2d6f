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
# The camera script: every command once, and the limits and a byte-order mark.
mkdir -p fuzz/corpus/camera_script
printf '%s\n' 'wait 1' '# comment' 'tap 100 200 2' 'long-press 10 10 0.5' 'drag 1 2 3 4 0.2' \
    'pinch 50 50 1.5' 'key volume-up' 'key g' 'key [' 'film 12' 'ev -3' 'zoom 2.5' \
    'tilt landscape-left' 'background' 'foreground' 'action takephoto' 'press _settingButton' \
    'screenshot out file.png' 'wait-idle 5' 'quit' >fuzz/corpus/camera_script/all
printf '\357\273\277tap +5 1e2\r\nzoom 1000\nfilm 13\n' >fuzz/corpus/camera_script/edges
# An NMEA log: fixes north-east and south-west, and a sentence with a bad checksum.
mkdir -p fuzz/corpus/nmea
python3 - fuzz/corpus/nmea/track <<'PY'
import sys
def sentence(body):
    check = 0
    for byte in body.encode():
        check ^= byte
    return "$%s*%02X\r\n" % (body, check)
open(sys.argv[1], "w").write(
    sentence("GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W")
    + sentence("GPGGA,123520,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,")
    + sentence("GNRMC,000001.50,A,3352.128,S,15112.558,W,0.5,359.9,010100,,")
    + "$GPGGA,bad*00\r\n")
PY
# The camera's interface files and the settings bundle as shipped.
mkdir -p fuzz/corpus/interface_file fuzz/corpus/settings_bundle
cp resources/ui/interfaces/hx*.ui.json fuzz/corpus/interface_file/
cp resources/settings/SettingsBundle.ini fuzz/corpus/settings_bundle/
# A library database with an album of two photos, in small pages so that mutations reach its
# tables, and one that is no more than the file header.
mkdir -p fuzz/corpus/library_database
library=${BUILD_DIR:-build}/tools/halidex-library/halidex-library
HALIDEX_HOME="$work/home" "$library" import --album "Halidex Camera" "$work/small.png" \
    "$work/grey.png" >/dev/null
database=$(find "$work/home" -name library.sqlite)
sqlite3 "$database" 'PRAGMA journal_mode=DELETE; PRAGMA page_size=512; VACUUM;' >/dev/null
cp "$database" fuzz/corpus/library_database/two-photos
printf 'SQLite format 3\0' >fuzz/corpus/library_database/header-only
# The editing extension's adjustment data as it writes it: row 3 chosen in the photo editor.
mkdir -p fuzz/corpus/adjustment_data
editor=${BUILD_DIR:-build}/tools/halidex-photo-editor/halidex-photo-editor
edited=$(HALIDEX_HOME="$work/edit" "$library" import "$work/small.png" | cut -f1)
HALIDEX_HOME="$work/edit" QT_QPA_PLATFORM=offscreen "$editor" "$edited" --row 3 --done >/dev/null
sqlite3 "$(find "$work/edit" -name library.sqlite)" 'SELECT hex(data) FROM adjustments;' |
    xxd -r -p >fuzz/corpus/adjustment_data/row3
# The widget host's requests: the camera's as it sends it, with a line end, and with an argument
# it does not take.
mkdir -p fuzz/corpus/widget_datagram
printf 'reload-all-timelines' >fuzz/corpus/widget_datagram/reload
printf 'reload-all-timelines\n' >fuzz/corpus/widget_datagram/reload-line
printf 'reload-all-timelines small' >fuzz/corpus/widget_datagram/argument
ls -l fuzz/corpus/*

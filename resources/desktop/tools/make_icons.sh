#!/usr/bin/env bash
# Renders the application icon's PNG sizes from its SVG (resources/desktop/icons/), for the
# desktops that want bitmaps. Needs rsvg-convert (Debian package librsvg2-bin).
#
#     resources/desktop/tools/make_icons.sh          rewrite icons/<size>/org.halidex.camera.png
#     resources/desktop/tools/make_icons.sh --check  exit 1 if a committed PNG is missing or
#                                                    differs from a fresh rendering
#     resources/desktop/tools/make_icons.sh --out DIR  write DIR/<size>/org.halidex.camera.png
set -euo pipefail

here=$(cd "$(dirname "$0")/.." && pwd)
svg="$here/icons/org.halidex.camera.svg"
sizes=(16 22 24 32 48 64 128 256 512)

command -v rsvg-convert >/dev/null || { echo "rsvg-convert is missing (apt-get install librsvg2-bin)" >&2; exit 2; }

check=0
out="$here/icons"
case "${1:-}" in
    --check) check=1 ;;
    --out) out="${2:?--out needs a folder}" ;;
    "") ;;
    *) echo "usage: $0 [--check | --out DIR]" >&2; exit 2 ;;
esac
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

status=0
for size in "${sizes[@]}"; do
    target="$out/${size}x${size}/org.halidex.camera.png"
    rsvg-convert --width "$size" --height "$size" --format png --output "$work/$size.png" "$svg"
    if [ "$check" = 1 ]; then
        if ! cmp -s "$work/$size.png" "$target"; then
            echo "differs or missing: $target" >&2
            status=1
        fi
    else
        mkdir -p "$(dirname "$target")"
        cp "$work/$size.png" "$target"
    fi
done
exit $status

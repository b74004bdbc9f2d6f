#!/usr/bin/env bash
# Sets up, builds and runs the camera on the built-in simulated camera: a window when a display
# answers, otherwise a headless script that takes a picture of the camera screen on every device
# profile. Before that, a still from the back camera is rendered through every film and saved
# into the library's album. Everything lands in OUT (out/). Only these programs are built, not
# the tests: scripts/test.sh builds everything.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh halidex halidex-settings halidex-camera-sim halidex-render halidex-library
build_dir=${BUILD_DIR:-build}
out=${1:-out}
mkdir -p "$out"

"$build_dir/tools/halidex-camera-sim/halidex-camera-sim" --still "$out/still.png"
"$build_dir/tools/halidex-render/halidex-render" --all-films --input "$out/still.png" "$out/films"

library="$build_dir/tools/halidex-library/halidex-library"
"$library" import --album "Halidex Camera" "$out"/films/*
"$library" list --album "Halidex Camera" | head -n 5

camera="$build_dir/app/halidex"
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ] && "$camera" --help >/dev/null; then
    echo "opening the camera; close its window to finish"
    if "$camera"; then exit 0; fi
    echo "the window could not open; drawing the camera screen instead"
fi
for profile in phone small-phone tablet legacy-phone; do
    printf 'wait 1\nscreenshot %s\ntilt landscape-left\nwait 1\nscreenshot %s\nquit\n' \
        "$out/camera-$profile.png" "$out/camera-$profile-landscape.png" |
        "$camera" --headless --device "$profile" --script -
done
echo "no display: the camera screen of every device profile was drawn into $out/camera-*.png"

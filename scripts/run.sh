#!/usr/bin/env bash
# Sets up, builds and runs the camera on the built-in simulated camera: a window when a display
# answers, otherwise a headless script that takes a picture of the camera screen on every device
# profile. Before that, the camera takes a few photos headless, through four films, into a
# library of its own under OUT, and lists them, and the widget draws one of them into
# OUT/widget-*.png. Everything lands in OUT (out/). Only these
# programs are built, not the tests: scripts/test.sh builds everything.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh halidex halidex-settings halidex-library halidex-widget-host
build_dir=${BUILD_DIR:-build}
out=${1:-out}
mkdir -p "$out"

camera="$build_dir/app/halidex"
settings="$build_dir/tools/halidex-settings/halidex-settings"
library="$build_dir/tools/halidex-library/halidex-library"

# A few photos taken by the camera itself, headless, each through another film, into a library
# of their own under OUT (your own settings and library are not touched).
demo_home="$(cd "$out" && pwd)/home"
for film in 0 4 7 10; do
    HALIDEX_HOME="$demo_home" "$settings" set KEY_FILMTYPE "$film" >/dev/null
    printf 'wait 1\nkey volume-up\nwait-idle 60\nquit\n' |
        HALIDEX_HOME="$demo_home" "$camera" --headless --script -
done
echo "photos taken by the camera, in the album \"Halidex Camera\" under $demo_home/Pictures:"
HALIDEX_HOME="$demo_home" "$library" list --album "Halidex Camera"

# The widget with a photo of that album, as the widget host draws it on the desktop.
widget_host="$build_dir/tools/halidex-widget-host/halidex-widget-host"
for family in small accessory-circular; do
    HALIDEX_HOME="$demo_home" "$widget_host" --render "$family" --out "$out/widget-$family.png"
done

if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ] && "$camera" --help >/dev/null; then
    echo "opening the camera; close its window to finish"
    if "$camera"; then exit 0; fi
    echo "the window could not open; drawing the camera screen instead"
fi
for profile in phone small-phone tablet legacy-phone; do
    printf 'wait 1\nscreenshot %s\ntilt landscape-left\nwait 1\nscreenshot %s\nquit\n' \
        "$out/camera-$profile.png" "$out/camera-$profile-landscape.png" |
        HALIDEX_HOME="$demo_home" "$camera" --headless --device "$profile" --script -
done
echo "no display: the camera screen of every device profile was drawn into $out/camera-*.png"

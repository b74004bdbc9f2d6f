#!/usr/bin/env bash
# Builds the Debian package halidex_<version>_<arch>.deb into out/ from the build folder
# (BUILD_DIR, default build; built first when needed).
#
#   scripts/package.sh           build the package
#   scripts/package.sh --check   and then check it: unpack it into a temporary root with dpkg -x,
#                                take a photo with the installed camera headless, render a film
#                                with the installed halidex-render, and run lintian on it
#                                (no errors allowed)
set -euo pipefail
cd "$(dirname "$0")/.."
check=0
case "${1:-}" in
"") ;;
--check) check=1 ;;
*)
    echo "usage: scripts/package.sh [--check]" >&2
    exit 2
    ;;
esac
scripts/install-deps.sh
build=${BUILD_DIR:-build}
[ -f "$build/CMakeCache.txt" ] || cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build "$build"
mkdir -p out
(cd "$build" && cpack -G DEB -B "$PWD/packages" >/dev/null)
package=$(ls -t "$build"/packages/halidex_*.deb | head -1)
cp "$package" out/
package=out/$(basename "$package")
echo "package: $package"
[ "$check" -eq 1 ] || exit 0

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
dpkg-deb --info "$package" | sed -n '/Depends:/p'
dpkg -x "$package" "$work/root"
for program in halidex halidex-render halidex-library halidex-settings halidex-camera-sim \
    halidex-widget-host halidex-photo-editor; do
    [ -x "$work/root/usr/bin/$program" ] || { echo "package: usr/bin/$program is missing" >&2; exit 1; }
done
# The installed camera finds its resources next to itself, takes a photo and saves it.
export HALIDEX_HOME="$work/home" HALIDEX_CAMERA=simulated HALIDEX_MOTION=simulated \
    HALIDEX_CAMERA_AUTH=authorized HALIDEX_PHOTOS_AUTH=authorized HALIDEX_LOCATION_AUTH=denied \
    QT_QPA_PLATFORM=offscreen
unset HALIDEX_RESOURCES
printf 'wait 1\nfilm 3\nkey capture\nwait-idle 60\nscreenshot %s\nquit\n' "$work/screen.png" |
    "$work/root/usr/bin/halidex" --headless --script - >"$work/halidex.log" 2>&1 ||
    { cat "$work/halidex.log"; echo "package: the installed camera failed" >&2; exit 1; }
[ -s "$work/screen.png" ] || { echo "package: no screenshot from the installed camera" >&2; exit 1; }
photos=$("$work/root/usr/bin/halidex-library" list --album "Halidex Camera" | grep -c . || true)
[ "$photos" -eq 1 ] || { echo "package: the installed camera saved $photos photos, not 1" >&2; exit 1; }
"$work/root/usr/bin/halidex-render" --film 5 "$work/screen.png" "$work/film.jpg" >/dev/null
[ -s "$work/film.jpg" ] || { echo "package: the installed halidex-render wrote nothing" >&2; exit 1; }
echo "package: the installed camera took a photo and halidex-render rendered a film"
# Errors fail the check; warnings and notes are shown.
lintian --tag-display-limit 0 "$package" 2>&1 | tee "$work/lintian.txt" || true
if grep -q '^E:' "$work/lintian.txt"; then
    echo "package: lintian reports errors" >&2
    exit 1
fi
echo "package: ok"

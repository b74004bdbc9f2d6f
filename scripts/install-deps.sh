#!/usr/bin/env bash
# Installs every Debian package the project needs. Safe to run again: when all
# packages are present it returns without touching apt.
set -euo pipefail

packages=(
    build-essential cmake ninja-build pkg-config git python3
    libgtest-dev libgmock-dev libbenchmark-dev
    libpng-dev
    # photo library database and its independent checker
    libsqlite3-dev
    sqlite3
    clang-format
    # image codecs and metadata
    libjpeg62-turbo-dev
    libtiff-dev
    libheif-dev
    libexiv2-dev
    # independent checkers and reference tools used by tests and benchmarks
    libimage-exiftool-perl
    # the Debian package's checker (scripts/package.sh --check)
    lintian
    libheif-examples
    libtiff-tools
    libjpeg-turbo-progs
    libturbojpeg0-dev
    libvips-tools
    # settings window and the UI layer; Xvfb runs the windows in tests
    qt6-base-dev
    # Qt's GL module: windows show the GL backend's textures without reading them back
    libqt6opengl6-dev
    xvfb
    xauth
    libx11-dev
    fonts-dejavu-core
    # fuzzing
    clang
    libclang-rt-14-dev
    # GPS: libgps for the location service, gpsd and gpsfake for its tests
    libgps-dev
    gpsd
    gpsd-clients
    # parsers: interface files (JSON) and the settings bundle (INI)
    nlohmann-json3-dev
    libinih-dev
    # the information property list; checkers of the desktop entry and the metainfo; the
    # renderer that makes the desktop icon's sizes from its SVG
    libplist-dev
    desktop-file-utils
    appstream
    librsvg2-bin
    # the widget's dates, formatted by the locale's own field order
    libicu-dev
    # plistutil: the independent reader of the editing extension's adjustment data
    libplist-utils
    # the GL backend: EGL and OpenGL ES headers, Mesa's EGL and its drivers (llvmpipe where
    # the machine has no GPU)
    libegl-dev
    libgles-dev
    libegl-mesa0
    libgl1-mesa-dri
    # real cameras: the PipeWire client library, libyuv for converting frames, and the daemons
    # and tools of the private PipeWire session the camera tests start (pipewire-v4l2 serves its
    # test camera as a V4L2 device to the V4L2 tests)
    libpipewire-0.3-dev
    libspa-0.2-dev
    libyuv-dev
    pipewire
    pipewire-bin
    pipewire-v4l2
    wireplumber
    dbus
    procps
    # camera access inside a sandbox: the desktop portal over the session bus, and the
    # stand-in portal the tests run (python3-dbus with GLib's main loop)
    libdbus-1-dev
    python3-dbus
    python3-gi
)

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

if [ ${#missing[@]} -eq 0 ]; then
    exit 0
fi

echo "installing: ${missing[*]}"
sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"

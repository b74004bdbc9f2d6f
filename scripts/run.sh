#!/usr/bin/env bash
# Sets up, builds and runs the camera's pieces on the built-in simulated camera: a still from the
# back camera, rendered through every film, saved into the library's album, and the UI demo
# (a window when a display answers, a screenshot otherwise). Everything lands in OUT (out/).
# Only these four programs are built, not the tests: scripts/test.sh builds everything.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh halidex-camera-sim halidex-render halidex-library halidex-ui-demo
build_dir=${BUILD_DIR:-build}
out=${1:-out}
mkdir -p "$out"

"$build_dir/tools/halidex-camera-sim/halidex-camera-sim" --still "$out/still.png"
"$build_dir/tools/halidex-render/halidex-render" --all-films --input "$out/still.png" "$out/films"

library="$build_dir/tools/halidex-library/halidex-library"
"$library" import --album "Halidex Camera" "$out"/films/*
"$library" list --album "Halidex Camera" | head -n 5

demo="$build_dir/examples/halidex-ui-demo/halidex-ui-demo"
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
    echo "opening the UI demo; close its window to finish"
    "$demo" || "$demo" --screenshot "$out/ui-demo.png"
else
    "$demo" --screenshot "$out/ui-demo.png"
    echo "no display: the UI demo was drawn into $out/ui-demo.png"
fi

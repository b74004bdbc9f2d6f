#!/usr/bin/env bash
# Sets up, builds and runs the main job: every film over the built-in sample photo.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh
build_dir=${BUILD_DIR:-build}
exec "$build_dir/tools/halidex-render/halidex-render" --all-films "${1:-out}"

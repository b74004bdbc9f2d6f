#!/usr/bin/env bash
# Builds the decoder fuzz targets with clang and runs each for a short while over its seed
# corpus (fuzz/corpus/<target>/). FUZZ_SECONDS sets the time per target (default 20).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
build_dir=${FUZZ_BUILD_DIR:-build-fuzz}
sanitize="-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=undefined"
CC=clang CXX=clang++ cmake -S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DHX_BUILD_TESTS=OFF -DHX_BUILD_BENCH=OFF -DHX_BUILD_FUZZ=ON \
    -DCMAKE_C_FLAGS="$sanitize" -DCMAKE_CXX_FLAGS="$sanitize" >/dev/null
targets=(fuzz_jpeg fuzz_tiff fuzz_heic fuzz_png fuzz_metadata fuzz_image_source)
cmake --build "$build_dir" --target "${targets[@]}" -j"$(nproc)"
for target in "${targets[@]}"; do
    corpus="fuzz/corpus/${target#fuzz_}"
    work=$(mktemp -d)
    cp -r "$corpus"/. "$work"/ 2>/dev/null || true
    echo "== $target (${FUZZ_SECONDS:-20} s)"
    "$build_dir/fuzz/$target" -max_total_time="${FUZZ_SECONDS:-20}" -rss_limit_mb=2048 \
        -timeout=10 -print_final_stats=1 "$work" "$corpus" 2>&1 | tail -4
    rm -rf "$work"
done

#!/usr/bin/env bash
# Builds the fuzz targets with clang and runs each for a short while over its seed
# corpus (fuzz/corpus/<target>/). FUZZ_SECONDS sets the time per target (default 20).
# FUZZ_RUNS=N with FUZZ_SEED=S instead runs exactly N inputs from a fixed seed, so a run that
# passes on one machine passes on another (FUZZ_SECONDS then only caps a slow machine's time).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
build_dir=${FUZZ_BUILD_DIR:-build-fuzz}
# FUZZING_BUILD_MODE_UNSAFE_FOR_PRODUCTION lowers the decoders' picture-size limit so one large
# (valid) picture stays inside the fuzzer's memory limit.
sanitize="-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=undefined"
sanitize+=" -DFUZZING_BUILD_MODE_UNSAFE_FOR_PRODUCTION"
CC=clang CXX=clang++ cmake -S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DHX_BUILD_TESTS=OFF -DHX_BUILD_BENCH=OFF -DHX_BUILD_FUZZ=ON \
    -DCMAKE_C_FLAGS="$sanitize" -DCMAKE_CXX_FLAGS="$sanitize" >/dev/null
targets=(fuzz_jpeg fuzz_tiff fuzz_heic fuzz_png fuzz_metadata fuzz_image_source fuzz_key_value_lines
    fuzz_camera_script fuzz_nmea fuzz_interface_file fuzz_settings_bundle fuzz_library_database
    fuzz_adjustment_data fuzz_widget_datagram)
cmake --build "$build_dir" --target "${targets[@]}" -j"$(nproc)"
for target in "${targets[@]}"; do
    corpus="fuzz/corpus/${target#fuzz_}"
    work=$(mktemp -d)
    cp -r "$corpus"/. "$work"/ 2>/dev/null || true
    if [ -n "${FUZZ_RUNS:-}" ]; then
        runs=$FUZZ_RUNS
        # Opening a library database costs about 10 ms a run: a twentieth of the runs keeps
        # its share of the time like the others'.
        [ "$target" = fuzz_library_database ] && runs=$(((FUZZ_RUNS + 19) / 20))
        budget=(-runs="$runs" -seed="${FUZZ_SEED:-1}" -max_total_time="${FUZZ_SECONDS:-600}")
        echo "== $target ($runs runs from seed ${FUZZ_SEED:-1})"
    else
        budget=(-max_total_time="${FUZZ_SECONDS:-20}")
        echo "== $target (${FUZZ_SECONDS:-20} s)"
    fi
    log="$work.log"
    status=0
    "$build_dir/fuzz/$target" "${budget[@]}" -rss_limit_mb=2048 \
        -timeout=10 -print_final_stats=1 -artifact_prefix="$build_dir/" "$work" "$corpus" \
        >"$log" 2>&1 || status=$?
    if [ "$status" -ne 0 ]; then
        # The finding, its stack and the saved input come before the final statistics.
        grep -v -E '^#[0-9]+|^INFO:' "$log" | tail -60
        echo "$target failed with status $status; the input that did it is in $build_dir/"
        exit "$status"
    fi
    tail -4 "$log"
    rm -rf "$work" "$log"
done

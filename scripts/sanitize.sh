#!/usr/bin/env bash
# Builds the tests with the sanitizers and runs them, each build in a folder of its own:
#   address  build-asan: AddressSanitizer, UndefinedBehaviorSanitizer (no recovery: the first
#            finding fails the test) and LeakSanitizer, over the whole test suite;
#   thread   build-tsan: ThreadSanitizer over the tests of the code with threads (the run loop,
#            the GPU executor, the photo library and capture), building only those.
# With no argument it runs both. The builds use -O1: quicker to build, clearer stacks.
# Suppressions for findings in system libraries are in scripts/sanitizers/, each with its reason.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc)
suppressions=$PWD/scripts/sanitizers

# The same compiler cache as the normal build when the environment names one.
launcher=()
if [ -n "${CMAKE_CXX_COMPILER_LAUNCHER:-}" ]; then
    launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER="$CMAKE_CXX_COMPILER_LAUNCHER"
        -DCMAKE_C_COMPILER_LAUNCHER="${CMAKE_C_COMPILER_LAUNCHER:-$CMAKE_CXX_COMPILER_LAUNCHER}")
fi

# configure <folder> <sanitizer flags> <test time limit>
configure() {
    local flags="$2 -fno-omit-frame-pointer"
    cmake -S . -B "$1" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "${launcher[@]}" \
        -DHX_BUILD_BENCH=OFF -DHX_BUILD_FUZZ=OFF -DHX_OPTIMISE_LEVEL=-O1 \
        -DCMAKE_C_FLAGS="$flags" -DCMAKE_CXX_FLAGS="$flags" \
        -DCMAKE_C_FLAGS_RELWITHDEBINFO="-O1 -g1 -DNDEBUG" \
        -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -g1 -DNDEBUG" \
        -DCMAKE_EXE_LINKER_FLAGS="$2" -DCMAKE_SHARED_LINKER_FLAGS="$2" \
        -DCMAKE_MODULE_LINKER_FLAGS="$2" -DHX_TEST_TIMEOUT="$3" >/dev/null
}

address() {
    local dir=${ASAN_BUILD_DIR:-build-asan}
    configure "$dir" "-fsanitize=address,undefined -fno-sanitize-recover=all" 900
    cmake --build "$dir" -j"$jobs"
    export ASAN_OPTIONS="halt_on_error=1:detect_leaks=1:abort_on_error=0:detect_stack_use_after_return=0:check_initialization_order=1"
    export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1:suppressions=$suppressions/ubsan.supp"
    export LSAN_OPTIONS="suppressions=$suppressions/lsan.supp:print_suppressions=0"
    # Programs that preload PipeWire's V4L2 compatibility library add its entries.
    local with_preload
    with_preload="$(cd "$dir" && pwd)/lsan-with-preload.supp"
    cat "$suppressions/lsan.supp" "$suppressions/lsan-pw-v4l2.supp" >"$with_preload"
    export HX_LSAN_OPTIONS_WITH_PRELOAD="suppressions=$with_preload:print_suppressions=0"
    ctest --test-dir "$dir" --output-on-failure -j"$jobs"
}

# The test programs of the code with threads, and the helper programs those tests start.
thread_tests=(hx_runloop_tests hx_runloop_main_thread_tests hx_gpu_tests hx_photos_store_tests
    hx_photos_tests hx_photos_process_tests hx_photos_thumbnail_tests hx_capture_tests
    hx_pipewire_camera_tests)
thread_helpers=(hx_photos_test_writer hx-pipewire-test-source)

thread() {
    local dir=${TSAN_BUILD_DIR:-build-tsan}
    configure "$dir" "-fsanitize=thread" 900
    cmake --build "$dir" -j"$jobs" --target "${thread_tests[@]}" "${thread_helpers[@]}"
    export TSAN_OPTIONS="halt_on_error=1:second_deadlock_stack=1:suppressions=$suppressions/tsan.supp"
    # Each test case carries its program's name as its label. Left out: the full-size still from
    # the PipeWire test camera, whose 12-megapixel frames take this build longer to make than the
    # camera driver waits for one (the address build and the normal build take it).
    local programs
    programs=$(IFS='|'; echo "${thread_tests[*]}")
    ctest --test-dir "$dir" --output-on-failure -j"$jobs" -L "^($programs)\$" \
        -E '^PipeWireSession\.StillsAreTakenAtTheLargestSize'
}

case "${1:-all}" in
address) address ;;
thread) thread ;;
all) address && thread ;;
*) echo "usage: $0 [address|thread]" >&2; exit 2 ;;
esac

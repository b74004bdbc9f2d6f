#!/usr/bin/env bash
# Runs the camera headless for N captures (default 200) on the simulated camera in a home of its
# own, changing films, frames, exposure, lenses and cameras, going to the background, opening the
# browser every 25 captures and re-filming a photo every 100, then checks what a long session
# must not lose or leak:
#   - every capture and re-filmed photo is in the library and the album;
#   - the library's database passes PRAGMA integrity_check;
#   - `halidex-library check` finds no missing, unnamed or temporary file;
#   - resident memory grew by under 20 MB from capture 100 (half of N when N is smaller) to N;
#   - the threads and open files at the end are no more than at that point.
# Memory, threads and files are sampled every 10 captures (with the heap's bytes in use and
# free, and the picture cache's, which tell a leak from a cache filling up); the figure at a
# point is the lowest sample of the 50 captures before it (at N, with two more samples five
# photos apart after it), since a photo on its way or the pool of the camera used last holds
# memory for a while above what the program keeps for good. Every sample is taken with the
# camera set back to how it started, in the background, so that they compare like with like.
# Prints the figures; exits 1 on a failed check. Needs a built tree (BUILD_DIR, default build)
# and sqlite3.
#
#   scripts/soak.sh [N]
set -euo pipefail
cd "$(dirname "$0")/.."
count=${1:-200}
if ! [[ "$count" =~ ^[0-9]+$ ]] || [ "$count" -lt 2 ]; then
    echo "usage: scripts/soak.sh [N]   (N: captures, at least 2)" >&2
    exit 2
fi
build=${BUILD_DIR:-build}
halidex=$build/app/halidex
library=$build/tools/halidex-library/halidex-library
for program in "$halidex" "$library"; do
    [ -x "$program" ] || { echo "soak: $program is not built (scripts/build.sh)" >&2; exit 2; }
done
command -v sqlite3 >/dev/null || { echo "soak: sqlite3 is missing (scripts/install-deps.sh)" >&2; exit 2; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export HALIDEX_HOME="$work/home" HALIDEX_CAMERA=simulated HALIDEX_MOTION=simulated \
    HALIDEX_CAMERA_AUTH=authorized HALIDEX_PHOTOS_AUTH=authorized HALIDEX_LOCATION_AUTH=denied \
    HALIDEX_RESOURCES="$PWD/resources" QT_QPA_PLATFORM=offscreen

# The phone profile's format slider, upright: its thumb at frame 1 and at frame 2.
frame_one=705
frame_two=747
middle=$((count >= 200 ? 100 : count / 2))
stats="$work/stats.txt"
script="$work/soak.script"
{
    echo "wait 1"
    # Every camera and lens once before the first photo, so that what each sets up on first use
    # (its queues, its threads) is there before either sample.
    for _ in 1 2 3 4; do
        echo "key l"
        echo "wait 0.5"
    done
    for _ in 1 2; do
        echo "press _changeCameraButton"
        echo "wait 1"
    done
    # What the camera is set to, so that it can be put back before each sample.
    frame=1 front=0 lens_steps=0 refilms=0
    for ((i = 1; i <= count; i++)); do
        echo "key capture"
        echo "wait-idle 120"
        ((i % 5 == 0)) && echo "film $(((i / 5) % 13))"
        ((i % 3 == 0)) && echo "ev $(((i % 7) - 3))"
        if ((i % 7 == 0)); then
            if ((frame == 1)); then
                echo "drag 323 $frame_one 323 760"
                frame=2
            else
                echo "drag 323 $frame_two 323 680"
                frame=1
            fi
        fi
        if ((i % 17 == 0)); then
            echo "key l"
            # The lens key turns the back camera's four lenses; the front camera has one.
            ((front == 0)) && lens_steps=$(((lens_steps + 1) % 4))
        fi
        if ((i % 11 == 0)); then
            echo "press _changeCameraButton"
            echo "wait 1"
            front=$((1 - front))
        fi
        if ((i % 13 == 0)); then
            echo "background"
            echo "wait 0.5"
            echo "foreground"
            echo "wait 1"
        fi
        if ((i % 25 == 0)); then
            # The browser, opened on the newest photo and paged through three older ones; every
            # fourth time the newest photo is re-filmed into a new one. (Often enough that the
            # picture cache has reached its budget before the first sample.)
            echo "press _pvButton"
            echo "wait 1"
            echo "item 0"
            echo "wait 1"
            for _ in 1 2 3; do
                echo "swipe left"
                echo "wait 0.5"
            done
            for _ in 1 2 3; do
                echo "swipe right"
                echo "wait 0.5"
            done
            if ((i % 100 == 0)); then
                echo "press _filterButton"
                echo "wait 1"
                echo "wait-idle 120"
                echo "item 3"
                echo "wait-idle 120"
                echo "press _okButton"
                echo "wait 1"
                echo "wait-idle 120"
                refilms=$((refilms + 1))
            fi
            echo "press _backButton"
            echo "wait 1"
            echo "press _doneButton"
            echo "wait 1"
        fi
        if ((i % 10 == 0 || i == middle || i == count)); then
            # Every sample sees the same camera: the back camera's first lens, frame 1, film 0,
            # no exposure change, in the background (no stream running, no still buffers held).
            if ((front == 1)); then
                echo "press _changeCameraButton"
                echo "wait 1"
                front=0
            fi
            while ((lens_steps != 0)); do
                echo "key l"
                echo "wait 0.5"
                lens_steps=$(((lens_steps + 1) % 4))
            done
            if ((frame == 2)); then
                echo "drag 323 $frame_two 323 680"
                frame=1
            fi
            echo "film 0"
            echo "ev 0"
            echo "background"
            echo "wait-idle 120"
            echo "wait 1"
            echo "stats $stats"
            ((i > middle - 50 && i <= middle)) && echo "stats $work/middle.txt"
            ((i > count - 50)) && echo "stats $work/end.txt"
            echo "foreground"
            echo "wait 1"
        fi
    done
    # Two more samples, five photos apart, with the camera as it was for the last one.
    for _ in 1 2; do
        for _ in 1 2 3 4 5; do
            echo "key capture"
            echo "wait-idle 120"
        done
        echo "background"
        echo "wait-idle 120"
        echo "wait 1"
        echo "stats $stats"
        echo "stats $work/end.txt"
        echo "foreground"
        echo "wait 1"
    done
    echo "quit"
    echo "$refilms" >"$work/refilms"
} >"$script"

started=$(date +%s)
if ! "$halidex" --headless --device phone --script "$script" >"$work/halidex.log" 2>&1; then
    tail -20 "$work/halidex.log"
    echo "soak: the camera stopped before the end" >&2
    exit 1
fi
seconds=$(($(date +%s) - started))

failed=0
fail() {
    echo "soak: FAILED: $*"
    failed=1
}
# Every capture and every re-filmed photo.
extra=10
expected=$((count + extra + $(cat "$work/refilms")))
assets=$("$library" list | grep -c . || true)
in_album=$("$library" list --album "Halidex Camera" | grep -c . || true)
[ "$assets" -eq "$expected" ] || fail "$assets photos in the library, not $expected"
[ "$in_album" -eq "$expected" ] || fail "$in_album photos in the album, not $expected"
database=$(find "$HALIDEX_HOME" -name library.sqlite | head -1)
integrity=$(sqlite3 "$database" 'PRAGMA integrity_check;')
[ "$integrity" = ok ] || fail "integrity_check: $integrity"
check=$("$library" check)
echo "library check: $check"
case "$check" in
*" 0 missing files, "*" 0 unnamed files, 0 temporary files"*) ;;
*) fail "the library check found files missing or unreferenced" ;;
esac

mapfile -t samples <"$stats"
[ "${#samples[@]}" -ge 2 ] || { fail "expected stats samples, found ${#samples[@]}"; exit 1; }
value() { sed -E "s/(^|.* )$2=([0-9]+).*/\2/" <<<"$1"; }
echo "samples every 10 captures (resident, heap in use, heap free, picture cache; kB):"
for sample in "${samples[@]}"; do
    echo "  $(value "$sample" rss_kb) $(value "$sample" heap_kb) $(value "$sample" heap_free_kb)" \
        "$(value "$sample" cache_kb)"
done
# The lowest of a window of samples: what the program holds for good at that point, above which
# a picture on its way or a pool of the camera last used comes and goes. A leak raises it.
floor() {
    local sample
    while read -r sample; do value "$sample" "$2"; done <"$1" | sort -n | head -1
}
rss_mid=$(floor "$work/middle.txt" rss_kb)
rss_end=$(floor "$work/end.txt" rss_kb)
threads_mid=$(floor "$work/middle.txt" threads)
threads_end=$(floor "$work/end.txt" threads)
fds_mid=$(floor "$work/middle.txt" fds)
fds_end=$(floor "$work/end.txt" fds)
growth=$((rss_end - rss_mid))
echo "captures: $count (and $extra more, and $(cat "$work/refilms") re-filmed) in ${seconds} s;" \
    "resident memory around capture $middle: ${rss_mid} kB, around $count: ${rss_end} kB (the" \
    "lowest sample of the 50 captures before each; growth ${growth} kB); threads $threads_mid" \
    "-> $threads_end; open files $fds_mid -> $fds_end"
[ "$growth" -lt 20480 ] || fail "resident memory grew by $growth kB"
[ "$threads_end" -le "$threads_mid" ] || fail "threads grew from $threads_mid to $threads_end"
[ "$fds_end" -le "$fds_mid" ] || fail "open files grew from $fds_mid to $fds_end"
if [ "$failed" -ne 0 ]; then
    tail -20 "$work/halidex.log"
    exit 1
fi
echo "soak: ok"

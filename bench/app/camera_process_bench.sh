#!/usr/bin/env bash
# The camera as a whole process, headless on the simulated camera:
#   launch  — from the start of the process to the first preview frame drawn, the median of
#             RUNS launches (the script waits for the first camera frame and quits at once, so
#             the figure also holds the exit, and is an upper bound of the launch);
#   memory  — resident memory of the camera screen after 10 s and after SECONDS (60) of live
#             preview in real time, and the growth between them.
#
#   bench/app/camera_process_bench.sh [BUILD_DIR] [SECONDS] [RUNS]
set -euo pipefail
build=${1:-build}
seconds=${2:-60}
runs=${3:-5}
camera="$build/app/halidex"
home=$(mktemp -d)
trap 'rm -rf "$home"' EXIT
export HALIDEX_HOME="$home" HALIDEX_CAMERA=simulated HALIDEX_MOTION=simulated
export HALIDEX_CAMERA_AUTH=authorized HALIDEX_PHOTOS_AUTH=authorized HALIDEX_LOCATION_AUTH=denied
export QT_QPA_PLATFORM=offscreen

# The first frame arrives one frame time (1/30 s) after the session starts.
times=()
for _ in $(seq "$runs"); do
    start=$(date +%s%N)
    printf 'wait 0.04\nquit\n' | "$camera" --headless --script - 2>/dev/null
    end=$(date +%s%N)
    times+=($(((end - start) / 1000000)))
done
sorted=($(printf '%s\n' "${times[@]}" | sort -n))
echo "launch to first preview frame, headless: median ${sorted[$((runs / 2))]} ms (runs: ${times[*]})"

rss() { awk '/^VmRSS/ {print $2}' "/proc/$1/status"; }
"$camera" --headless 2>/dev/null &
pid=$!
sleep 10
early=$(rss $pid)
sleep $((seconds - 10))
late=$(rss $pid)
kill -TERM $pid
wait $pid || true
echo "resident memory: ${early} kB after 10 s, ${late} kB after ${seconds} s" \
    "(growth $((late - early)) kB)"

#!/usr/bin/env bash
# A private PipeWire session for tests: its own runtime folder, session bus, pipewire and
# wireplumber, and test cameras (hx-pipewire-test-source) that come and go. Every process is
# recorded by PID in the fixture's folder and stopped by PID.
#
#   pipewire-fixture.sh start DIR            starts the session; DIR/env holds its variables
#   pipewire-fixture.sh add DIR NAME [ARGS]  starts a test camera with node name NAME
#                                            (ARGS go to the source: --sizes, --vendor, ...)
#   pipewire-fixture.sh remove DIR NAME      stops that camera
#   pipewire-fixture.sh stop DIR             stops everything the fixture started
#
# HX_TEST_SOURCE_PROGRAM names the test camera program; HX_FIXTURE_OWNER, when set, the process
# whose end stops everything. A step that does not come up within five seconds fails with a
# message.
set -euo pipefail

command=${1:?usage: pipewire-fixture.sh start|add|remove|stop DIR ...}
dir=${2:?usage: pipewire-fixture.sh start|add|remove|stop DIR ...}
shift 2

wait_for() {  # wait_for FILE WHAT
    for _ in $(seq 100); do
        [ -e "$1" ] && return 0
        sleep 0.05
    done
    echo "pipewire-fixture: $2 did not come up" >&2
    return 1
}

running() {  # a process that ended but was not reaped yet counts as ended
    kill -0 "$1" 2>/dev/null && ! ps -o stat= -p "$1" | grep -q Z
}

stop_pid() {
    local pid=$1
    kill "$pid" 2>/dev/null || return 0
    for _ in $(seq 100); do
        running "$pid" || return 0
        sleep 0.05
    done
    kill -9 "$pid" 2>/dev/null || true
}

case "$command" in
start)
    mkdir -p "$dir/runtime" "$dir/state" "$dir/config"
    chmod 700 "$dir/runtime"
    export XDG_RUNTIME_DIR="$dir/runtime" XDG_STATE_HOME="$dir/state" XDG_CONFIG_HOME="$dir/config"
    export DBUS_SESSION_BUS_ADDRESS="unix:path=$dir/runtime/bus"
    unset PIPEWIRE_REMOTE
    : >"$dir/pids"
    dbus-daemon --session --fork --address="$DBUS_SESSION_BUS_ADDRESS" --print-pid=1 \
        >"$dir/dbus.pid"
    cat "$dir/dbus.pid" >>"$dir/pids"
    pipewire >"$dir/pipewire.log" 2>&1 &
    echo $! >>"$dir/pids"
    wait_for "$dir/runtime/pipewire-0" pipewire
    wireplumber >"$dir/wireplumber.log" 2>&1 &
    echo $! >>"$dir/pids"
    # A test that dies without stopping the fixture leaves nothing behind: a watchdog stops it
    # once the process named by HX_FIXTURE_OWNER has ended.
    if [ -n "${HX_FIXTURE_OWNER:-}" ]; then
        (
            while kill -0 "$HX_FIXTURE_OWNER" 2>/dev/null; do sleep 1; done
            [ -d "$dir" ] && "$0" stop "$dir"
        ) </dev/null >/dev/null 2>&1 &
    fi
    cat >"$dir/env" <<ENV
XDG_RUNTIME_DIR=$XDG_RUNTIME_DIR
XDG_STATE_HOME=$XDG_STATE_HOME
XDG_CONFIG_HOME=$XDG_CONFIG_HOME
DBUS_SESSION_BUS_ADDRESS=$DBUS_SESSION_BUS_ADDRESS
ENV
    ;;
add)
    name=${1:?usage: pipewire-fixture.sh add DIR NAME [ARGS]}
    shift
    program=${HX_TEST_SOURCE_PROGRAM:?HX_TEST_SOURCE_PROGRAM names the test camera program}
    set -a
    # shellcheck disable=SC1091
    . "$dir/env"
    set +a
    rm -f "$dir/$name.ready"
    "$program" --name "$name" --ready "$dir/$name.ready" "$@" >"$dir/$name.log" 2>&1 &
    echo $! >"$dir/$name.pid"
    wait_for "$dir/$name.ready" "the test camera $name"
    ;;
remove)
    name=${1:?usage: pipewire-fixture.sh remove DIR NAME}
    if [ -f "$dir/$name.pid" ]; then
        stop_pid "$(cat "$dir/$name.pid")"
        rm -f "$dir/$name.pid" "$dir/$name.ready"
    fi
    ;;
stop)
    for f in "$dir"/*.pid; do
        [ "$f" = "$dir/dbus.pid" ] && continue
        [ -f "$f" ] && stop_pid "$(cat "$f")" && rm -f "$f"
    done
    if [ -f "$dir/pids" ]; then
        tac "$dir/pids" | while read -r pid; do stop_pid "$pid"; done
        rm -f "$dir/pids"
    fi
    ;;
*)
    echo "pipewire-fixture: unknown command $command" >&2
    exit 2
    ;;
esac

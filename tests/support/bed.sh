# Shared by the test beds (tests/desktop/testbed, tests/wayland/testbed), which source it: the
# scratch folder and the tag by which teardown ends exactly what the bed started, bounded waits, a
# private home, the session and accessibility buses, and the run of the command with the logs
# shown when it fails.

log() { echo "testbed: $*" >&2; }

bed_begin() { # bed_begin NAME COMMAND...: TESTBED_DIR, its logs, the tag and the traps
    if [ $# -lt 2 ]; then
        echo "usage: testbed COMMAND [ARGS...]" >&2
        exit 2
    fi
    TESTBED_DIR=$(mktemp -d "/tmp/quillstow-$1.XXXXXX")
    chmod 700 "$TESTBED_DIR"
    export TESTBED_DIR
    # Every process started here, and everything they start, inherits this tag.
    export QUILLSTOW_TESTBED_ID="$1-$$-$RANDOM$RANDOM"
    logs="$TESTBED_DIR/logs"
    mkdir -p "$logs"
    export QUILLSTOW_DEBUG_LOG="$logs/debug.log" # shown with the other logs on failure
    trap teardown EXIT
    trap 'exit 130' INT
    trap 'exit 143' TERM
    trap 'exit 129' HUP
    trap 'exit 141' PIPE
}

tagged_pids() {
    local env_file pid
    for env_file in $(grep -lzx "QUILLSTOW_TESTBED_ID=$QUILLSTOW_TESTBED_ID" /proc/[0-9]*/environ 2>/dev/null); do
        pid=${env_file#/proc/}
        pid=${pid%/environ}
        [ "$pid" = "$$" ] || [ "$pid" = "$BASHPID" ] || echo "$pid"
    done
}

teardown() {
    local pids tries
    trap - EXIT INT TERM HUP PIPE
    pids=$(tagged_pids)
    if [ -n "$pids" ]; then
        kill -TERM $pids 2>/dev/null
        for tries in $(seq 1 50); do
            pids=$(tagged_pids)
            [ -z "$pids" ] && break
            sleep 0.1
        done
        if [ -n "$pids" ]; then
            kill -KILL $pids 2>/dev/null
            sleep 0.2
        fi
    fi
    wait 2>/dev/null
    if [ "${TESTBED_KEEP:-0}" = 1 ]; then
        log "kept $TESTBED_DIR"
    else
        rm -rf "$TESTBED_DIR"
    fi
}

wait_for() { # wait_for SECONDS DESCRIPTION COMMAND... (gives up early once $server has quit)
    local limit=$1 what=$2 i
    shift 2
    for i in $(seq 1 $((limit * 50))); do
        if "$@" >/dev/null 2>&1; then
            return 0
        fi
        if [ -n "${server:-}" ] && ! kill -0 "$server" 2>/dev/null; then
            log "$what: the display server has quit; its log:"
            tail -n 20 "$logs/$server_name.log" >&2
            return 1
        fi
        sleep 0.02
    done
    log "timed out waiting for $what"
    return 1
}

bed_home() { # a private home and runtime folder, and none of the caller's session
    export HOME="$TESTBED_DIR/home"
    export XDG_CONFIG_HOME="$HOME/.config" XDG_DATA_HOME="$HOME/.local/share"
    export XDG_CACHE_HOME="$HOME/.cache" XDG_RUNTIME_DIR="$TESTBED_DIR/runtime"
    mkdir -p "$XDG_CONFIG_HOME" "$XDG_DATA_HOME" "$XDG_CACHE_HOME" "$XDG_RUNTIME_DIR"
    chmod 700 "$XDG_RUNTIME_DIR"
    unset WAYLAND_DISPLAY SWAYSOCK I3SOCK SESSION_MANAGER DBUS_SESSION_BUS_ADDRESS AT_SPI_BUS_ADDRESS
    export NO_AT_BRIDGE=0 GTK_A11Y=atspi
}

bed_session_bus() {
    dbus-daemon --session --nofork --nopidfile --address="unix:path=$XDG_RUNTIME_DIR/bus" \
        >"$logs/dbus.log" 2>&1 &
    export DBUS_SESSION_BUS_ADDRESS="unix:path=$XDG_RUNTIME_DIR/bus"
    wait_for 10 "the session bus" dbus-send --session --dest=org.freedesktop.DBus --print-reply \
        /org/freedesktop/DBus org.freedesktop.DBus.GetId || exit 1
}

# The accessibility bus, started on demand by the session bus, with accessibility switched on for
# every toolkit that asks. Programs find it through the session bus, as on a desktop;
# AT_SPI_BUS_ADDRESS stays unset (Qt 6.4 does not register when it is handed the address).
bed_accessibility_bus() {
    if ! wait_for 10 "the accessibility bus" dbus-send --session --dest=org.a11y.Bus \
        --print-reply /org/a11y/bus org.a11y.Bus.GetAddress; then
        log "no accessibility bus: accessibility tests cannot run"
        return
    fi
    dbus-send --session --dest=org.a11y.Bus --type=method_call /org/a11y/bus \
        org.freedesktop.DBus.Properties.Set string:org.a11y.Status string:IsEnabled \
        variant:boolean:true >/dev/null 2>&1
    local registryd=/usr/libexec/at-spi2-registryd
    if [ -x "$registryd" ]; then
        "$registryd" --use-gnome-session=false >"$logs/at-spi-registryd.log" 2>&1 &
    fi
}

bed_run() { # runs COMMAND and exits with its status
    # In the background, so that a signal to the bed ends it at once (teardown ends COMMAND too).
    "$@" &
    wait $!
    local status=$?
    if [ $status -ne 0 ] && [ "${TESTBED_KEEP:-0}" != 1 ]; then
        for f in "$logs"/*.log; do
            [ -s "$f" ] && { echo "--- $(basename "$f")"; tail -n 20 "$f"; } >&2
        done
    fi
    exit $status
}

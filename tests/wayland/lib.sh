# shellcheck shell=bash
# Shell helpers for tests that run inside tests/wayland/testbed (source this file; it brings
# tests/support/desktop.sh along). Every wait is bounded; a helper that times out says what it
# waited for and returns 1.
. "$(dirname "${BASH_SOURCE[0]}")/../support/desktop.sh"

# keyboard COMMAND...: hands a line to the bed's keyboard ("key super+shift+v", "key Return")
# and waits until its keys have reached the compositor.
keyboard() {
    local before i
    if [ -z "${TESTBED_KEYBOARD:-}" ]; then
        echo "keyboard: this compositor has no virtual keyboard" >&2
        return 1
    fi
    before=$(wc -l <"$TESTBED_KEYBOARD.done")
    echo "$*" >"$TESTBED_KEYBOARD"
    for i in $(seq 1 250); do
        if [ "$(wc -l <"$TESTBED_KEYBOARD.done")" -gt "$before" ]; then
            [ "$(tail -n1 "$TESTBED_KEYBOARD.done")" = ok ] && return 0
            echo "keyboard: '$*' failed (see logs/keyboard.log)" >&2
            return 1
        fi
        sleep 0.02
    done
    echo "keyboard: '$*' was not carried out within 5 s" >&2
    return 1
}

# windows: one line per window of sway's tree: "FOCUSED PID APP_ID NAME" (FOCUSED is 1 or 0).
windows() {
    swaymsg -t get_tree | jq -r '.. | objects | select(.pid? != null and (.type == "con" or .type == "floating_con"))
        | "\(if .focused then 1 else 0 end) \(.pid) \(.app_id // .window_properties.class // "-") \(.name // "")"'
}

# focused_window: the line of windows for the focused window (nothing if none has the focus).
focused_window() {
    windows | grep '^1 '
}

# wait_for_window SECONDS PATTERN: waits until a line of windows matches PATTERN (grep -E).
wait_for_window() {
    has_window() { windows | grep -Eq -- "$1"; }
    wait_until "$1" has_window "$2" && return 0
    echo "no window matching '$2' within $1 s; windows:" >&2
    windows >&2
    return 1
}

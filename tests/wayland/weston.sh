#!/usr/bin/env bash
# The real program on Weston, which offers none of the protocols it needs to watch the clipboard,
# paste or take a hot key: it starts, does not crash, "--show" works, and it tells the user what
# is missing exactly once. Usage: weston.sh QUILLSTOW
set -uo pipefail
here=$(dirname "$0")
. "$here/lib.sh"
program=$1
unset QT_QPA_PLATFORM

# Every desktop notification the program sends, whether or not a server shows it.
dbus-monitor --session "type='method_call',interface='org.freedesktop.Notifications',member='Notify'" \
    >"$TESTBED_DIR/notifications" 2>&1 &
pids+=($!)
notifications() { grep -c 'member=Notify' "$TESTBED_DIR/notifications"; }
sleep 0.3

# Its output is in the logs the bed shows when the test fails.
"$program" >"$TESTBED_DIR/logs/quillstow.log" 2>&1 &
pid=$!
pids+=($pid)
sleep 3
check "on Weston the program runs on after 3 s" kill -0 "$pid"
# Its messages: notifications, and alert windows (found on the accessibility bus).
alerts() { "$here/toplevels" 2>/dev/null | grep -c "^$pid alert SHOWING "; }
check "it tells what is missing in exactly one message (notification or alert)" \
    test $(($(notifications) + $(alerts))) -eq 1
echo "notifications: $(notifications), alert windows: $(alerts)"
# The one message names what this compositor lacks: watching the clipboard, pasting, the hot key.
message=$(sed -n '/Start-up alert: \|Start-up notice: /,$p' "$QUILLSTOW_DEBUG_LOG" | tr '\n' ' ')
echo "message: $message"
check "it says that pasting, watching the clipboard and the hot key are missing" \
    bash -c 'grep -q "virtual keyboard" <<<"$1" && grep -q "only while one of its own windows" <<<"$1" &&
             grep -q -- "--toggle\|--show" <<<"$1"' _ "$message"
check "--show reaches it" timeout 10 "$program" --show
picker_showing() { "$here/toplevels" 2>/dev/null | grep -Eq "^$pid (filler|frame|window) SHOWING Quillstow\$"; }
check "--show shows the picker" wait_until 5 picker_showing
sleep 1
check "and it runs on after --show" kill -0 "$pid"
finish

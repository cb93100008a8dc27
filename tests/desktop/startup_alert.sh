#!/usr/bin/env bash
# The start-up alert on a display without synthetic input: shown about half a second after
# launch; "Later" leaves the program running. Usage: startup_alert.sh QUILLSTOW
# (where synthetic input works there is none: a unit test of the delegate checks that).
set -uo pipefail
. "$(dirname "$0")/../support/desktop.sh"
# The alert is a dialog window titled "Quillstow" (the popup and the tray icon are not dialogs).
alert_id() {
    local id
    for id in $(xdotool search --onlyvisible --name '^Quillstow$' 2>/dev/null); do
        xprop -id "$id" _NET_WM_WINDOW_TYPE | grep -q DIALOG && { echo "$id"; return; }
    done
}
alert_shown() { [ -n "$(alert_id)" ]; }

start=$(date +%s%N)
started "$1" >"$TESTBED_DIR/quillstow.out" 2>&1
pid=$!
check "without XTEST the alert shows" wait_until 5 alert_shown
shown=$(date +%s%N)
check "about half a second after launch" test $(((shown - start) / 1000000)) -ge 400
# No XTEST, so no synthetic keys: close it through the window manager, as "Later" does.
wmctrl -i -c "$(alert_id)"
sleep 0.5
check "Later closes it" test -z "$(alert_id)"
check "and the program runs on" kill -0 "$pid"
finish

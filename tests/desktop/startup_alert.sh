#!/usr/bin/env bash
# The start-up alert on a display without synthetic input: shown about half a second after
# launch, once; "Later" leaves the program running. Usage: startup_alert.sh QUILLSTOW
set -uo pipefail
quillstow=$1
failures=0
passes=0
check() {
    local what=$1
    shift
    if "$@"; then echo "ok: $what"; passes=$((passes + 1)); else echo "FAILED: $what"; failures=$((failures + 1)); fi
}
# The alert is a dialog window titled "Quillstow" (the popup and the tray icon are not dialogs).
alert_id() {
    local id
    for id in $(xdotool search --onlyvisible --name '^Quillstow$' 2>/dev/null); do
        xprop -id "$id" _NET_WM_WINDOW_TYPE | grep -q DIALOG && { echo "$id"; return; }
    done
}
seen_after() { # seen_after SECONDS: whether the alert shows within SECONDS
    local i
    for i in $(seq 1 $(($1 * 20))); do
        [ -n "$(alert_id)" ] && return 0
        sleep 0.05
    done
    return 1
}

start=$(date +%s%N)
"$quillstow" >"$TESTBED_DIR/quillstow.out" 2>&1 &
pid=$!
extensions=$(xdpyinfo)
if grep -q XTEST <<<"$extensions"; then
    no_alert() { ! seen_after 2; }
    check "with XTEST there is no alert" no_alert
else
    check "without XTEST the alert shows" seen_after 5
    shown=$(date +%s%N)
    check "about half a second after launch" test $(((shown - start) / 1000000)) -ge 400
    # No XTEST, so no synthetic keys: close it through the window manager, as "Later" does.
    wmctrl -i -c "$(alert_id)"
    sleep 0.5
    check "Later closes it" test -z "$(alert_id)"
    check "and the program runs on" kill -0 "$pid"
    sleep 1
    check "it is shown once" test -z "$(alert_id)"
fi
kill "$pid"
echo "$passes passed, $failures failed"
[ $failures -eq 0 ]

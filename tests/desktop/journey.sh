#!/usr/bin/env bash
# The whole journey with the real program on the private desktop: capture, hot key, search and
# paste, the tray icon, focus loss, the footer's Settings and Quit, restart and a second launch.
# Usage (inside tests/desktop/testbed): journey.sh QUILLSTOW [SCREENSHOT_DIR]
set -uo pipefail

quillstow=$1
shots=${2:-}
log=/tmp/deverarizi.log
config="$XDG_CONFIG_HOME/Quillstow/Quillstow.conf"
failures=0
passes=0
pids=()

check() { # check DESCRIPTION COMMAND...
    local what=$1
    shift
    if "$@"; then
        echo "ok: $what"
        passes=$((passes + 1))
    else
        echo "FAILED: $what"
        failures=$((failures + 1))
    fi
}
finish() {
    for p in "${pids[@]}"; do kill "$p" 2>/dev/null; done
    echo "$passes passed, $failures failed"
    [ $failures -eq 0 ]
    exit $?
}
wait_until() { # wait_until SECONDS COMMAND...
    local limit=$1 i
    shift
    for i in $(seq 1 $((limit * 20))); do
        "$@" >/dev/null 2>&1 && return 0
        sleep 0.05
    done
    return 1
}
# The tray icon's window is named "Quillstow" too: the popup is the visible one of the popup's size.
popup_id() {
    local id
    for id in $(xdotool search --onlyvisible --name '^Quillstow$' 2>/dev/null); do
        xwininfo -id "$id" | grep -q 'Width: 480' && { echo "$id"; return; }
    done
}
# The icon embedded in trayer's panel: a small "Quillstow" window below the panel.
tray_icon_id() {
    xwininfo -root -tree | awk '/"panel": \("panel" "trayer"\)/{inpanel=1}
        inpanel && /"Quillstow": \("quillstow"/{print $1; exit}'
}
popup_shown() { [ -n "$(popup_id)" ]; }
popup_hidden() { [ -z "$(popup_id)" ]; }
active_name() { xdotool getactivewindow getwindowname 2>/dev/null; }
popup_focused() { [ "$(active_name)" = "Quillstow" ]; }
geometry() { # x y w h of a window; zeros when there is none (xwininfo would wait for a click)
    [ -n "$1" ] || { echo 0 0 0 0; return; }
    xwininfo -id "$1" | awk '/Absolute upper-left X/{x=$4} /Absolute upper-left Y/{y=$4}
        /Width:/{w=$2} /Height:/{h=$2} END{print x, y, w, h}'
}
stored_count() { grep -o '\\"id\\"' "$config" 2>/dev/null | wc -l; }
click_in_popup() { # click_in_popup X Y, relative to the popup
    local id g
    id=$(popup_id)
    read -r -a g <<<"$(geometry "$id")"
    xdotool mousemove $((g[0] + $1)) $((g[1] + $2)) click 1
}
shot() { [ -n "$shots" ] && import -window root "$shots/$1.png"; }
# The debug log is the user's own file in /tmp: only what this run added is read, nothing is cut.
log_start=$(stat -c %s "$log" 2>/dev/null || echo 0)
new_log() { tail -c +$((log_start + 1)) "$log" 2>/dev/null; }
running_count() { pgrep -c -f "^$quillstow" || true; }

"$quillstow" >"$TESTBED_DIR/quillstow.out" 2>&1 &
pids+=($!)
first=$!
icon_embedded() { [ -n "$(tray_icon_id)" ]; }
check "the tray icon is embedded" wait_until 10 icon_embedded
sleep 0.5

for text in "alpha first copy" "bravo: ssh deploy@example.org" "charlie third copy"; do
    printf %s "$text" | xclip -selection clipboard
    sleep 0.7
done
check "three copies are stored" wait_until 5 sh -c "[ \$(grep -o '\\\\\"id\\\\\"' '$config' | wc -l) -eq 3 ]"

zenity --entry --title=Target >"$TESTBED_DIR/zenity.out" &
zenity=$!
pids+=($zenity)
xdotool search --sync --class zenity >/dev/null
wait_until 5 sh -c '[ "$(xdotool getactivewindow getwindowname)" = Target ]'
sleep 0.5
xdotool type "abc "

xdotool key super+shift+v
check "the hot key opens the picker" wait_until 3 popup_shown
check "the picker has the keyboard focus" wait_until 3 popup_focused
check "the picker stays off the taskbar and pager" sh -c \
    "xprop -id $(popup_id) _NET_WM_STATE | grep SKIP_TASKBAR | grep -q SKIP_PAGER"
check "the picker stays on top" sh -c "xprop -id $(popup_id) _NET_WM_STATE | grep -q ABOVE"
shot popup-at-caret
xdotool type "bravo"
sleep 0.3
shot popup-search
xdotool key Return
check "the picker closes on Return" wait_until 3 popup_hidden
sleep 1.0
xdotool key Return
check "Return pasted the chosen text into the application" wait_until 5 sh -c \
    "grep -qx 'abc bravo: ssh deploy@example.org' '$TESTBED_DIR/zenity.out'"
paste_logged() { new_log | grep -q 'pasteSelected: selectedID=Optional(.* item=Optional(id=.*, length=29)'; }
no_clip_text_logged() { ! new_log | grep -q -e bravo -e deploy; }
check "the paste wrote its log line" paste_logged
check "the log holds the id and length, no clip text" no_clip_text_logged

# A click on a row pastes that row, whatever is selected.
zenity --entry --title=Target >"$TESTBED_DIR/zenity2.out" &
pids+=($!)
wait_until 5 sh -c '[ "$(xdotool getactivewindow getwindowname)" = Target ]'
sleep 0.5
pastes_before=$(new_log | grep -c pasteSelected)
xdotool key super+shift+v
wait_until 3 popup_focused
click_in_popup 200 120 # the second row
check "a row click closes the picker" wait_until 3 popup_hidden
sleep 1.0
xdotool key Return
check "a row click pasted that row" wait_until 5 sh -c \
    "grep -qx 'charlie third copy' '$TESTBED_DIR/zenity2.out'"
check "a row click writes no log line" test "$(new_log | grep -c pasteSelected)" -eq "$pastes_before"

xdotool key super+shift+v
check "the hot key opens it" wait_until 3 popup_shown
sleep 0.3
xdotool key super+shift+v
check "the hot key again closes it" wait_until 3 popup_hidden

# The tray icon: trayer sits at the top right, so the picker opens under it.
icon=$(tray_icon_id)
read -r -a ig <<<"$(geometry "$icon")"
xdotool mousemove $((ig[0] + ig[2] / 2)) $((ig[1] + ig[3] / 2)) click 1
check "a tray click opens the picker" wait_until 3 popup_shown
read -r -a pg <<<"$(geometry "$(popup_id)")"
check "the picker sits under the icon, on screen" test "${pg[1]}" -ge $((ig[1] + ig[3])) -a \
    $((pg[0] + pg[2])) -le 1280 -a $((pg[1] + pg[3])) -le 800
shot popup-under-tray
sleep 0.6 # a deliberate second click, not a double click
xdotool mousemove $((ig[0] + ig[2] / 2)) $((ig[1] + ig[3] / 2)) click 1
check "a second tray click closes it" wait_until 3 popup_hidden

xdotool mousemove $((ig[0] + ig[2] / 2)) $((ig[1] + ig[3] / 2)) click 1
wait_until 3 popup_focused
zenity_window=$(xdotool search --class zenity | head -n1)
read -r -a zg <<<"$(geometry "$zenity_window")"
xdotool mousemove $((zg[0] + 20)) $((zg[1] + 20)) click 1
check "clicking another window closes the picker" wait_until 3 popup_hidden

xdotool key super+shift+v
wait_until 3 popup_focused
click_in_popup 394 502 # the footer's "Settings"
check "Settings in the footer opens the settings window" wait_until 5 sh -c \
    "xdotool search --onlyvisible --name '^Quillstow Settings\$'"
check "and dismisses the picker" popup_hidden
shot settings
xdotool key --window "$(xdotool search --name '^Quillstow Settings$' | head -n1)" Escape
xdotool windowclose "$(xdotool search --name '^Quillstow Settings$' | head -n1)" 2>/dev/null

before=$(stored_count)
xdotool key super+shift+v
wait_until 3 popup_focused
click_in_popup 450 502 # the footer's "Quit"
check "Quit ends the program" wait_until 5 sh -c "! kill -0 $first"

"$quillstow" >>"$TESTBED_DIR/quillstow.out" 2>&1 &
pids+=($!)
second=$!
sleep 1.5
check "a restart keeps the same history" test "$(stored_count)" -eq "$before"
"$quillstow" >>"$TESTBED_DIR/quillstow.out" 2>&1
check "a second launch exits at once" test $? -eq 0
check "a second launch shows the running one's picker" wait_until 3 popup_shown
check "one Quillstow runs" test "$(running_count)" -eq 1
check "the program wrote no warnings" sh -c "! grep -v '^$' '$TESTBED_DIR/quillstow.out'"
kill "$second"
finish

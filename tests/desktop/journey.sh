#!/usr/bin/env bash
# The whole journey with the real program on the private desktop: capture, the hot key over a
# text field (the picker at its caret) and over a terminal (at the pointer), search and paste,
# a row click, the tray icon, focus loss, the footer's Settings and Quit, and a restart without
# an accessibility bus.
# Usage (inside tests/desktop/testbed): journey.sh QUILLSTOW
set -uo pipefail

. "$(dirname "$0")/../support/desktop.sh"
quillstow=$1
history_db="$XDG_DATA_HOME/quillstow/history.sqlite3"
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
# Named active by the window manager and holding the X input focus: keys typed now reach it.
popup_focused() {
    [ "$(active_name)" = "Quillstow" ] && [ "$(xdotool getwindowfocus -f 2>/dev/null)" = "$(popup_id)" ]
}
geometry() { # x y w h of a window; zeros when there is none (xwininfo would wait for a click)
    [ -n "$1" ] || { echo 0 0 0 0; return; }
    xwininfo -id "$1" | awk '/Absolute upper-left X/{x=$4} /Absolute upper-left Y/{y=$4}
        /Width:/{w=$2} /Height:/{h=$2} END{print x, y, w, h}'
}
stored_count() { # read-only: a missing file is not made
    [ -f "$history_db" ] && sqlite3 -readonly "$history_db" 'SELECT count(*) FROM items' 2>/dev/null || echo 0
}
stored_is() { [ "$(stored_count)" -eq "$1" ]; }
click_in_popup() { # click_in_popup X Y, relative to the popup
    local id g
    id=$(popup_id)
    read -r -a g <<<"$(geometry "$id")"
    xdotool mousemove $((g[0] + $1)) $((g[1] + $2)) click 1
}
active_is() { [ "$(active_name)" = "$1" ]; }
popup_at() { # popup_at X Y: the picker's top-left corner
    local g
    read -r -a g <<<"$(geometry "$(popup_id)")"
    [ "${g[0]} ${g[1]}" = "$1 $2" ]
}

started "$quillstow" >"$TESTBED_DIR/quillstow.out" 2>&1
first=$!
icon_embedded() { [ -n "$(tray_icon_id)" ]; }
check "the tray icon is embedded" wait_until 10 icon_embedded
sleep 0.5

for text in "alpha first copy" "bravo: ssh deploy@example.org" "charlie third copy"; do
    printf %s "$text" | xclip -selection clipboard
    sleep 0.7
done
check "three copies are stored" wait_until 5 stored_is 3

started zenity --entry --title=Target >"$TESTBED_DIR/zenity.out"
wait_until 10 active_is Target
# High on the screen, so the picker below the caret needs no pushing back inside it.
xdotool search --name '^Target$' windowmove --sync 100 60
sleep 0.5
xdotool type "abc "
read -r -a tg <<<"$(geometry "$(xdotool getactivewindow)")"

log_mark
xdotool key super+shift+v
check "the hot key opens the picker" wait_until 3 popup_shown
check "the picker has the keyboard focus" wait_until 3 popup_focused
# The lookup's one line gives the caret's lower-left corner, where the picker's top-left sits:
# inside the field's window, right of its left edge by the text typed.
lines=$(new_log)
check "the lookup wrote one line" test "$(wc -l <<<"$lines")" -eq 1
caret=$(sed -n 's/^caretScreenOrigin: success .* origin=(\(.*\), \(.*\))$/\1 \2/p' <<<"$lines" |
    awk '{ printf "%.0f %.0f", $1, $2 }')
read -r -a cg <<<"$caret"
check "the picker opens at the caret of the field ($caret)" popup_at "${cg[0]}" "${cg[1]}"
check "and the caret is past the text typed" test "${cg[0]:-0}" -gt $((tg[0] + 20)) -a \
    "${cg[1]:-0}" -lt $((tg[1] + tg[3]))
check "the picker stays off the taskbar and pager" sh -c \
    "xprop -id $(popup_id) _NET_WM_STATE | grep SKIP_TASKBAR | grep -q SKIP_PAGER"
check "the picker stays on top" sh -c "xprop -id $(popup_id) _NET_WM_STATE | grep -q ABOVE"
xdotool type "bravo"
sleep 0.3
xdotool key Return
check "the picker closes on Return" wait_until 3 popup_hidden
sleep 1.0
xdotool key Return
check "Return pasted the chosen text into the application" wait_until 5 sh -c \
    "grep -qx 'abc bravo: ssh deploy@example.org' '$TESTBED_DIR/zenity.out'"
paste_logged() { new_log | grep -q 'pasteSelected: selectedID=Optional(.* item=Optional(id=.*, length=29)'; }
no_clip_text_logged() { ! grep -q -e bravo -e deploy "$QUILLSTOW_DEBUG_LOG"; }
check "the paste wrote its log line" paste_logged
check "the log holds the id and length, no clip text" no_clip_text_logged

# A click on a row pastes that row, whatever is selected.
started zenity --entry --title=Target >"$TESTBED_DIR/zenity2.out"
wait_until 5 active_is Target
sleep 0.5
xdotool key super+shift+v
wait_until 3 popup_focused
click_in_popup 200 120 # the second row
check "a row click closes the picker" wait_until 3 popup_hidden
sleep 1.0
xdotool key Return
check "a row click pasted that row" wait_until 5 sh -c \
    "grep -qx 'charlie third copy' '$TESTBED_DIR/zenity2.out'"

# Over a terminal, which offers no caret, the picker opens at the pointer.
started xterm -title Term
wait_until 10 active_is Term
xdotool mousemove --sync 300 200
log_mark
xdotool key super+shift+v
check "over a terminal the hot key opens the picker" wait_until 3 popup_focused
check "at the pointer" popup_at 300 200
check "having found no caret" test "$(new_log)" = "caretScreenOrigin: no focused element (err=0)"
sleep 0.3
xdotool key super+shift+v
check "the hot key again closes it" wait_until 3 popup_hidden
check "and gives the terminal its focus back" wait_until 3 active_is Term

# The tray icon: trayer sits at the top right, so the picker opens under it.
icon=$(tray_icon_id)
read -r -a ig <<<"$(geometry "$icon")"
xdotool mousemove $((ig[0] + ig[2] / 2)) $((ig[1] + ig[3] / 2)) click 1
check "a tray click opens the picker" wait_until 3 popup_shown
read -r -a pg <<<"$(geometry "$(popup_id)")"
check "the picker sits under the icon, on screen" test "${pg[1]}" -ge $((ig[1] + ig[3])) -a \
    $((pg[0] + pg[2])) -le 1280 -a $((pg[1] + pg[3])) -le 800
sleep 0.6 # a deliberate second click, not a double click
xdotool mousemove $((ig[0] + ig[2] / 2)) $((ig[1] + ig[3] / 2)) click 1
check "a second tray click closes it" wait_until 3 popup_hidden

xdotool mousemove $((ig[0] + ig[2] / 2)) $((ig[1] + ig[3] / 2)) click 1
wait_until 3 popup_focused
read -r -a zg <<<"$(geometry "$(xdotool search --name '^Term$' | head -n1)")"
xdotool mousemove $((zg[0] + 20)) $((zg[1] + 20)) click 1
check "clicking another window closes the picker" wait_until 3 popup_hidden

xdotool key super+shift+v
wait_until 3 popup_focused
click_in_popup 394 502 # the footer's "Settings"
check "Settings in the footer opens the settings window" wait_until 5 sh -c \
    "xdotool search --onlyvisible --name '^Quillstow Settings\$'"
check "and dismisses the picker" popup_hidden
xdotool key --window "$(xdotool search --name '^Quillstow Settings$' | head -n1)" Escape
xdotool windowclose "$(xdotool search --name '^Quillstow Settings$' | head -n1)" 2>/dev/null
wait_until 3 sh -c "! xdotool search --onlyvisible --name '^Quillstow Settings\$'"
wait_until 3 active_is Term # the focus goes back, and would close a picker opened before

before=$(stored_count)
xdotool mousemove --sync 300 200 # the picker opens at the pointer, away from the screen's edges
xdotool key super+shift+v
wait_until 3 popup_focused
sleep 0.3
click_in_popup 450 502 # the footer's "Quit"
check "Quit ends the program" wait_until 5 sh -c "! kill -0 $first"
check "the program wrote no warnings" sh -c "! grep -v '^$' '$TESTBED_DIR/quillstow.out'"

# Started again with an accessibility bus that is gone (Qt warns of it).
AT_SPI_BUS_ADDRESS="unix:path=$TESTBED_DIR/gone-bus" started "$quillstow" >>"$TESTBED_DIR/quillstow.out" 2>&1
second=$!
check "the restart embeds its tray icon" wait_until 10 icon_embedded
check "a restart keeps the same history" stored_is "$before"

# Without a bus the picker opens at the pointer.
wait_until 10 active_is Term
xdotool mousemove --sync 320 240
log_mark
xdotool key super+shift+v
check "without a bus the hot key opens the picker" wait_until 10 popup_focused
check "at the pointer" popup_at 320 240
check "having found no bus" test "$(new_log)" = "caretScreenOrigin: no focused element (err=-4)"
sleep 0.3 # as after every activation here: Qt takes the focus a moment after the window manager
# A loaded machine may still be handing the focus over: Escape again until it closes.
for _ in 1 2 3; do
    xdotool key Escape
    wait_until 2 popup_hidden && break
done
check "Escape gives the terminal its focus back" wait_until 10 active_is Term
check "the program runs on" kill -0 "$second"
finish

#!/usr/bin/env bash
# The picker opened by "quillstow --show" on sway appears at the caret of a GTK 3 text entry:
# its top-left corner at the caret's lower-left, within the placement grid, floating and without
# a border. Run again after the caret moved right, it follows the caret; a click on the tray icon
# with the caret back at its first place opens it there again, so an older placement rule never
# wins.
# Usage: caret.sh QUILLSTOW
set -uo pipefail
here=$(dirname "$0")
. "$here/../../support/desktop.sh"
. "$here/../lib.sh"
program=$1
export QT_QPA_PLATFORM=wayland
grid=8

"$program" >"$TESTBED_DIR/quillstow.out" 2>&1 &
pid=$!
pids+=($pid)
sleep 3
check "the program runs" kill -0 "$pid"
# A start-up notice of ours would hold the focus: the entry must have it.
swaymsg "[pid=$pid] kill" >/dev/null 2>&1

# The entry's window floats away from the middle, where a centred picker would be.
swaymsg 'for_window [title="^Caret GTK 3$"] "floating enable, move absolute position 600 40"' >/dev/null
GDK_BACKEND=wayland zenity --entry --title "Caret GTK 3" --text "Type here" \
    --entry-text "hello world" >"$TESTBED_DIR/logs/zenity.log" 2>&1 &
pids+=($!)
check "the GTK 3 entry has the focus" wait_for_window 10 '^1 [0-9]+ zenity Caret GTK 3$'
keyboard key Home

# node TITLE-REGEX: sway's tree node of the window whose title matches, as one line of JSON.
node() {
    swaymsg -t get_tree | jq -c --arg t "$1" \
        '[.. | objects | select(.pid? != null and ((.name // "") | test($t)))][0] // empty'
}
entry=$(node '^Caret GTK 3$')
read -r ex ey ew eh <<<"$(jq -r '"\(.rect.x) \(.rect.y) \(.rect.width) \(.rect.height)"' <<<"$entry")"

# show_at_caret LABEL [COMMAND...]: opens the picker (by a second launch, or by COMMAND), checks it sits at the caret the lookup found, closes it.
show_at_caret() {
    local label=$1 caret cx cy ch picker px py border
    shift
    log_mark
    if [ $# -gt 0 ]; then "$@"; else "$program" --show; fi
    check "$label: the picker is shown with the focus" wait_for_window 5 "^1 $pid quillstow Quillstow"
    caret=$(new_log | grep -o 'caretScreenOrigin: success rect=([^)]*)' | tail -n1)
    check "$label: the caret was found" test -n "$caret"
    read -r cx cy _ ch <<<"$(sed 's/.*(//; s/[,)]/ /g; s/\.[0-9]*//g' <<<"$caret")"
    check "$label: the caret ($cx,$cy) lies in the entry's window on screen" \
        test "${cx:-0}" -ge "$ex" -a "${cx:-0}" -lt $((ex + ew)) -a "${cy:-0}" -ge "$ey" -a "${cy:-0}" -lt $((ey + eh))
    picker=$(node '^Quillstow')
    read -r px py border <<<"$(jq -r '"\(.rect.x) \(.rect.y) \(.border)"' <<<"$picker")"
    check "$label: the picker ($px,$py) is at the caret's lower-left" \
        test $((cx - px)) -ge 0 -a $((cx - px)) -lt $grid -a $((py - cy - ch)) -ge 0 -a $((py - cy - ch)) -lt $grid
    check "$label: the picker floats without a border" test "$border" = none
    keyboard key Escape
    check "$label: Escape gives the entry the focus back" wait_for_window 5 '^1 [0-9]+ zenity '
    last_x=$px
}

show_at_caret "first"
first_x=$last_x
keyboard key End
show_at_caret "moved right"
check "the picker followed the caret to the right" test "$last_x" -gt "$first_x"

# A click on the tray icon: StatusNotifierItem gives no icon geometry and Wayland no pointer, so
# the click opens the picker by the same rule, at the caret, now back at its first place.
keyboard key Home
tray_click() {
    local item
    item=$(gdbus call --session --dest org.kde.StatusNotifierWatcher \
        --object-path /StatusNotifierWatcher --method org.freedesktop.DBus.Properties.Get \
        org.kde.StatusNotifierWatcher RegisteredStatusNotifierItems | grep -o "'[^']*'" | tr -d "'" | head -n1)
    gdbus call --session --dest "${item%%/*}" --object-path "/${item#*/}" \
        --method org.kde.StatusNotifierItem.Activate 0 0 >/dev/null
}
show_at_caret "tray click" tray_click
check "the tray click put the picker back at the first caret" test "$last_x" -eq "$first_x"
check "the program runs on" kill -0 "$pid"
finish

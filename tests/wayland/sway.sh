#!/usr/bin/env bash
# The real program on sway with Wayland only (no XWayland): it starts and runs on, its tray icon
# is registered with swaybar, drawn on its bar and its menu works. The picker appears at the caret
# of a GTK 3 text entry (its top-left corner at the caret's lower-left, within the placement grid,
# floating and without a border) whichever way it is opened: "quillstow --show", a sway key
# binding that runs "quillstow --toggle" (pressed again, it hides the picker) and a click on the
# tray icon. Between the openings the caret moves, so an older placement rule never wins.
# Usage: sway.sh QUILLSTOW
set -uo pipefail
. "$(dirname "$0")/lib.sh"
program=$1
unset QT_QPA_PLATFORM # the program chooses its backend as on a user's desktop
grid=8

# Another program has the focus, as when the user is typing somewhere. The entry's window floats
# away from the middle, where a centred picker would be.
swaymsg 'for_window [title="^Caret GTK 3$"] "floating enable, move absolute position 600 40"' >/dev/null
GDK_BACKEND=wayland zenity --entry --title "Caret GTK 3" --text "Type here" \
    --entry-text "hello world" >"$TESTBED_DIR/logs/zenity.log" 2>&1 &
pids+=($!)
check "the GTK 3 entry has the focus" wait_for_window 10 '^1 [0-9]+ zenity Caret GTK 3$'

# Its output is in the logs the bed shows when the test fails.
"$program" >"$TESTBED_DIR/logs/quillstow.log" 2>&1 &
pid=$!
pids+=($pid)
sleep 3
check "with Wayland only the program runs on after 3 s" kill -0 "$pid"
kill -0 "$pid" 2>/dev/null || finish

# The tray: swaybar's watcher lists the item as "BUS-NAME/OBJECT-PATH" (or a bus name alone).
registered_items() {
    gdbus call --session --dest org.kde.StatusNotifierWatcher --object-path /StatusNotifierWatcher \
        --method org.freedesktop.DBus.Properties.Get org.kde.StatusNotifierWatcher \
        RegisteredStatusNotifierItems 2>/dev/null | grep -o "'[^']*'" | tr -d "'"
}
has_item() { [ -n "$(registered_items)" ]; }
check "the tray icon is registered with swaybar" wait_until 5 has_item
item=$(registered_items | head -n1)
service=${item%%/*}
path=/${item#*/}
[ "$path" = "/$item" ] && path=/StatusNotifierItem
menu=$(gdbus call --session --dest "$service" --object-path "$path" \
    --method org.freedesktop.DBus.Properties.Get org.kde.StatusNotifierItem Menu 2>/dev/null |
    grep -o "objectpath '[^']*'" | cut -d"'" -f2)
check "the tray icon has a menu" test -n "$menu"
# swaybar draws it, visibly: the tray's end of its black bar (the right end, 23 px high) is not
# all black.
bar_tray_drawn() {
    grim -t ppm -g "1180,0 100x23" - 2>/dev/null | tail -c $((100 * 23 * 3)) | tr -d '\0' |
        [ "$(wc -c)" -gt 0 ]
}
check "swaybar draws the tray icon" wait_until 5 bar_tray_drawn
# The menu's entries: (ID, {'label': <'TEXT'>, ...}, ...) in the layout.
layout=$(gdbus call --session --dest "$service" --object-path "${menu:-/}" \
    --method com.canonical.dbusmenu.GetLayout -- 0 -1 '[]' 2>/dev/null)
settings_id=$(grep -oE "\(([0-9]+), \{[^}]*'label': <'Settings…'>" <<<"$layout" | grep -oE '^\([0-9]+' | tr -d '(')
check "the menu has Settings…" test -n "$settings_id"
gdbus call --session --dest "$service" --object-path "${menu:-/}" \
    --method com.canonical.dbusmenu.Event -- "${settings_id:-0}" clicked '<0>' 0 >/dev/null 2>&1
check "Settings… in the tray menu opens the settings window" \
    wait_for_window 5 "^[01] $pid .*Quillstow Settings"
swaymsg '[title="^Quillstow Settings$"] kill' >/dev/null 2>&1
swaymsg '[title="^Caret GTK 3$"] focus' >/dev/null
check "the entry has the focus again" wait_for_window 5 '^1 [0-9]+ zenity '

# node TITLE-REGEX: sway's tree node of the window whose title matches, as one line of JSON.
node() {
    swaymsg -t get_tree | jq -c --arg t "$1" \
        '[.. | objects | select(.pid? != null and ((.name // "") | test($t)))][0] // empty'
}
entry=$(node '^Caret GTK 3$')
read -r ex ey ew eh <<<"$(jq -r '"\(.rect.x) \(.rect.y) \(.rect.width) \(.rect.height)"' <<<"$entry")"
# The picker's title: "Quillstow", or with the place it asked sway for.
picker="$pid quillstow Quillstow( -?[0-9]+ -?[0-9]+)?$"
closed() { ! windows | grep -Eq "^[01] $picker" && focused_window | grep -q ' zenity '; }

# show_at_caret LABEL KEY COMMAND...: opens the picker by COMMAND, checks it sits at the caret the
# lookup found, and closes it with KEY.
show_at_caret() {
    local label=$1 key=$2 caret cx cy ch px py border
    shift 2
    log_mark
    "$@"
    check "$label: the picker is shown with the focus" wait_for_window 5 "^1 $picker"
    caret=$(new_log | grep -o 'caretScreenOrigin: success rect=([^)]*)' | tail -n1)
    check "$label: the caret was found" test -n "$caret"
    read -r cx cy _ ch <<<"$(sed 's/.*(//; s/[,)]/ /g; s/\.[0-9]*//g' <<<"$caret")"
    check "$label: the caret ($cx,$cy) lies in the entry's window on screen" \
        test "${cx:-0}" -ge "$ex" -a "${cx:-0}" -lt $((ex + ew)) -a "${cy:-0}" -ge "$ey" -a "${cy:-0}" -lt $((ey + eh))
    read -r px py border <<<"$(node '^Quillstow' | jq -r '"\(.rect.x) \(.rect.y) \(.border)"')"
    check "$label: the picker ($px,$py) is at the caret's lower-left" \
        test $((cx - px)) -ge 0 -a $((cx - px)) -lt $grid -a $((py - cy - ch)) -ge 0 -a $((py - cy - ch)) -lt $grid
    check "$label: the picker floats without a border" test "$border" = none
    keyboard key "$key"
    check "$label: $key hides it and gives the entry the focus back" wait_until 5 closed
    last_x=$px
}

keyboard key Home
show_at_caret "--show" Escape "$program" --show
first_x=$last_x

# The hot key: a sway binding runs a second launch, which reaches the running program.
swaymsg "bindsym Mod4+Shift+v exec $program --toggle" >/dev/null
keyboard key End
show_at_caret "the hot key" super+shift+v keyboard key super+shift+v
check "the picker followed the caret to the right" test "$last_x" -gt "$first_x"

# A click on the tray icon: StatusNotifierItem gives no icon geometry and Wayland no pointer, so
# the click opens the picker by the same rule, at the caret, now back at its first place.
keyboard key Home
tray_click() {
    gdbus call --session --dest "$service" --object-path "$path" \
        --method org.kde.StatusNotifierItem.Activate 0 0 >/dev/null
}
show_at_caret "tray click" Escape tray_click
check "the tray click put the picker back at the first caret" test "$last_x" -eq "$first_x"
# sway draws the window frames: the settings window and the picker, drawn in memory, start no
# OpenGL driver.
check "the windows load no OpenGL driver" \
    sh -c "! grep -qE 'libEGL_mesa|_dri\.so|libLLVM' /proc/$pid/maps"
check "the program runs on" kill -0 "$pid"
finish

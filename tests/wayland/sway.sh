#!/usr/bin/env bash
# The real program on sway with Wayland only (no XWayland): it starts and runs on, its tray icon
# is registered with swaybar, drawn on its bar and its menu works, and a sway key binding that runs
# "quillstow --toggle" shows the picker with the focus. Usage: sway.sh QUILLSTOW
set -uo pipefail
here=$(dirname "$0")
. "$here/../support/desktop.sh"
. "$here/lib.sh"
program=$1
unset QT_QPA_PLATFORM # the program chooses its backend as on a user's desktop

# Another program has the focus before the hot key, as when the user is typing somewhere.
foot >"$TESTBED_DIR/logs/foot.log" 2>&1 &
pids+=($!)
check "a terminal has the focus" wait_for_window 10 '^1 [0-9]+ foot '

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

# The hot key: a sway binding runs a second launch, which reaches the running program.
swaymsg "[app_id=\"^foot$\"] focus" >/dev/null
check "the terminal has the focus again" wait_for_window 5 '^1 [0-9]+ foot '
swaymsg "bindsym Mod4+Shift+v exec $program --toggle" >/dev/null
# The picker's title: "Quillstow", or with the place it asked sway for.
picker='quillstow Quillstow( -?[0-9]+ -?[0-9]+)?$'
keyboard key super+shift+v
check "the hot key shows the picker with the focus" wait_for_window 5 "^1 $pid $picker"
# sway draws the window frames: the settings window and the picker, drawn in memory, start no
# OpenGL driver.
check "the windows load no OpenGL driver" \
    sh -c "! grep -qE 'libEGL_mesa|_dri\.so|libLLVM' /proc/$pid/maps"
picker_gone() { ! windows | grep -Eq "^[01] $pid $picker"; }
keyboard key super+shift+v
check "the hot key again hides it" wait_until 5 picker_gone
check "the program runs on" kill -0 "$pid"
finish

#!/usr/bin/env bash
# Return in the picker pastes the chosen clip into the window that had the focus when
# "quillstow --show" opened it: a GTK 3 entry and a GTK 4 entry (Control+V), and foot
# (Control+Shift+V). A copy made in the GTK 3 entry is captured, the entry having the focus.
# Prints the time from Return to the text in the target (a figure, not a check).
# Usage (inside tests/wayland/testbed): paste.sh QUILLSTOW [ROUNDS per target, default 4]
set -uo pipefail
here=$(dirname "$0")
. "$here/lib.sh"
program=$1
rounds=${2:-4}
unset QT_QPA_PLATFORM # the program chooses its backend as on a user's desktop
export GDK_BACKEND=wayland # the GTK fields on Wayland even when XWayland runs
history_db="$XDG_DATA_HOME/quillstow/history.sqlite3"
now_ms() { date +%s%3N; }

"$program" >"$TESTBED_DIR/quillstow.out" 2>&1 &
pid=$!
pids+=($pid)
stored() { # stored TEXT: the history holds TEXT
    [ -f "$history_db" ] && sqlite3 -readonly "$history_db" 'SELECT content FROM items' 2>/dev/null | grep -qxF "$1"
}
picker_focused() { focused_window | grep -q "^1 $pid "; }

# name | app_id pattern in sway's tree | command, writing what is pasted to the file $out
targets=(
    "gtk3|text-field|$here/text-field 3 gtk3-field >\"\$out\""
    "gtk4|.*gtk4-field|$here/text-field 4 gtk4-field >\"\$out\""
    "foot|foot|foot -T foot-target sh -c 'stty raw -echo; exec cat >\"\$out\"'"
)
times=()
for row in "${targets[@]}"; do
    IFS='|' read -r name app command <<<"$row"
    out="$TESTBED_DIR/$name.out"
    out=$out bash -c "exec $command" 2>"$TESTBED_DIR/logs/$name.log" &
    pids+=($!)
    check "$name has the focus" wait_for_window 10 "^1 [0-9]+ $app"
    target=$(focused_window)
    pasted=0
    for i in $(seq 1 "$rounds"); do
        text="clip $name $i"
        wl-copy "$text"
        wait_until 5 stored "$text" || { echo "not stored: $text"; break; }
        "$program" --show
        wait_until 5 picker_focused || { echo "the picker did not take the focus"; break; }
        start=$(now_ms)
        keyboard key return
        # Polled finely: this is the figure's end.
        for _ in $(seq 1 1000); do grep -qF "$text" "$out" && break; sleep 0.005; done
        grep -qF "$text" "$out" || { echo "$name did not receive: $text"; break; }
        times+=($(($(now_ms) - start)))
        [ "$(focused_window)" = "$target" ] || { echo "focus moved: $(focused_window)"; break; }
        pasted=$i
    done
    check "Return pastes each of $rounds clips into $name, which keeps the focus" \
        test "$pasted" -eq "$rounds"
    if [ "$name" = gtk3 ]; then
        # A copy made in the entry itself (select all, Control+C) while it, not the program, has
        # the focus: the entry's whole text is its last line.
        keyboard key ctrl+a && keyboard key ctrl+c
        copied=$(tail -n1 "$out")
        stored_in_focus() { wait_until 5 stored "$copied" && [ "$(focused_window)" = "$target" ]; }
        check "a copy in the GTK 3 entry is stored while another window has the focus" \
            stored_in_focus
    fi
    swaymsg "[pid=$(awk '{print $2}' <<<"$target")] kill" >/dev/null 2>&1
done

if [ ${#times[@]} -gt 0 ]; then
    sorted=($(printf '%s\n' "${times[@]}" | sort -n))
    echo "figure: Return to text in the target, ms: median ${sorted[$((${#sorted[@]} / 2))]}," \
        "worst ${sorted[-1]}, over ${#sorted[@]} pastes (${times[*]})"
fi
check "the program runs on" kill -0 "$pid"
finish

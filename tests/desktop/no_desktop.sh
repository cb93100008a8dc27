#!/usr/bin/env bash
# With no compositor and no X server to reach, the program says so in one line and exits with
# status 1 instead of Qt's abort. Usage: no_desktop.sh QUILLSTOW
set -u
home=$(mktemp -d)
trap 'rm -rf "$home"' EXIT
mkdir -m 0700 "$home/runtime"
out=$(env -u DISPLAY -u QT_QPA_PLATFORM -u DBUS_SESSION_BUS_ADDRESS -u LANGUAGE LC_ALL=C \
    HOME="$home" XDG_RUNTIME_DIR="$home/runtime" XDG_SESSION_TYPE=wayland \
    WAYLAND_DISPLAY=nowhere timeout 20 "$1" 2>&1)
status=$?
failed=0
[ "$status" -eq 1 ] || { echo "FAIL: exit status $status, not 1"; failed=1; }
[ "$(printf '%s\n' "$out" | wc -l)" -eq 1 ] || { echo "FAIL: not one line"; failed=1; }
case $out in
*WAYLAND_DISPLAY*DISPLAY*) ;;
*) echo "FAIL: the message names neither WAYLAND_DISPLAY nor DISPLAY"; failed=1 ;;
esac
printf 'said: %s\n' "$out"
exit "$failed"

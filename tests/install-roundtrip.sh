#!/usr/bin/env bash
# Installs a build into a scratch prefix and runs scripts/uninstall on it: nothing of the install
# may be left, the autostart entry goes, the settings stay. Usage: install-roundtrip.sh BUILD_DIR
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:?the build folder to install}
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
prefix=$scratch/prefix
home=$scratch/home
mkdir -p "$home/.config/autostart" "$home/.config/Quillstow" "$home/run"
chmod 700 "$home/run"
echo "[Desktop Entry]" >"$home/.config/autostart/quillstow.desktop"
echo "[General]" >"$home/.config/Quillstow/Quillstow.conf"

cmake --install "$build" --prefix "$prefix" >/dev/null
test -x "$prefix/bin/quillstow"
test -f "$prefix/share/man/man1/quillstow.1"
test -f "$prefix/share/metainfo/io.github.quillstow.Quillstow.metainfo.xml"

HOME=$home XDG_CONFIG_HOME= XDG_DATA_HOME= XDG_RUNTIME_DIR=$home/run DBUS_SESSION_BUS_ADDRESS= \
    scripts/uninstall --prefix "$prefix"

left=$(find "$prefix" -type f)
if [ -n "$left" ]; then
    echo "left after uninstalling: $left" >&2
    exit 1
fi
test ! -e "$home/.config/autostart/quillstow.desktop"
test -f "$home/.config/Quillstow/Quillstow.conf"

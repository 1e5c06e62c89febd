#!/bin/sh
# Runs a Windows program that makes windows under Wine: in a new private prefix, on a private
# Xvfb (Wine makes no window without a display), both removed afterwards.
# Usage: wine-x-run.sh PROGRAM.exe [ARGS...]
set -u
work=$(mktemp -d "${TMPDIR:-/tmp}/voldrane-winex-XXXXXX")
export WINEPREFIX="$work/prefix" WINEDEBUG=-all WINEDLLOVERRIDES=winemenubuilder.exe=d
exec 3>"$work/display"
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
exec 3>&-
cleanup() {
    wineserver -k 2>/dev/null
    kill "$xvfb" 2>/dev/null
    wait "$xvfb" 2>/dev/null
    rm -rf "$work"
}
trap 'cleanup; exit 1' INT TERM
# Xvfb writes the display number once it takes clients.
while [ ! -s "$work/display" ] && kill -0 "$xvfb" 2>/dev/null; do sleep 0.05; done
export DISPLAY=":$(cat "$work/display")"
wine "$@"
status=$?
cleanup
exit $status

#!/bin/sh
# The Windows tests' Wine: `up` makes the run's private prefix (a new one each run: `down`
# removes it) and starts its wine server to stay for the whole run, so each test program
# starts in milliseconds; `down` stops that server and removes the prefix.
# Usage: wine-fixture.sh up|down PREFIX
set -eu
prefix=$2
export WINEPREFIX="$prefix" WINEDEBUG=-all WINEDLLOVERRIDES=winemenubuilder.exe=d
case $1 in
up)
    mkdir -p "$prefix"
    # Test discovery may have started a passing server: let it end, then start one that stays,
    # then boot the prefix with one program (the first run creates it).
    wineserver -w 2>/dev/null || true
    wineserver -p </dev/null >/dev/null 2>&1 || true
    wine cmd /c exit 0 </dev/null >/dev/null 2>&1
    # A 32-bit program would fail and still exit 0 here (no wine32): check the prefix works.
    test -f "$prefix/user.reg"
    ;;
down)
    wineserver -k 2>/dev/null || true
    wineserver -w 2>/dev/null || true
    rm -rf "$prefix"
    ;;
esac

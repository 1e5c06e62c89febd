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
    # A program that cannot start still exits 0 under Wine (a 32-bit one, without wine32):
    # the status the program chose must come back.
    status=0
    wine cmd /c exit 7 </dev/null >/dev/null 2>&1 || status=$?
    if [ "$status" -ne 7 ]; then
        echo "wine cannot run 64-bit programs in $prefix (got status $status)" >&2
        exit 1
    fi
    ;;
down)
    wineserver -k 2>/dev/null || true
    wineserver -w 2>/dev/null || true
    rm -rf "$prefix"
    ;;
esac

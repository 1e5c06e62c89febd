#!/bin/sh
# Runs a Windows program of the tests under Wine, in the test run's private prefix
# (VOLDRANE_WINEPREFIX), quietly, without menu entries in $HOME.
# Usage: wine-run.sh PREFIX PROGRAM.exe [ARGS...]
prefix=$1
shift
export WINEPREFIX="$prefix" WINEDEBUG=-all WINEDLLOVERRIDES=winemenubuilder.exe=d
exec wine "$@"

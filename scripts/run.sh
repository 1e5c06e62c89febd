#!/usr/bin/env bash
# Builds the program and does what the tray program does at start-up with automatic
# detection on: recognises the office of the current network and makes its printer the
# user's default printer (voldranectl auto). Says what it did, or how to add this network.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh build
scripts/build.sh
ctl=build/cli/voldranectl

status=0
"$ctl" auto || status=$?
if [ "$status" -eq 1 ]; then
    {
        echo
        echo "No stored office matches this network. To add it as an office, with the printer"
        echo "to make the default here:"
        echo "    $ctl add --current --name \"Head office\" --printer PRINTER"
        echo "then run scripts/run.sh again. The printers (* = your default):"
        "$ctl" printers | sed 's/^/    /' || true
    } >&2
fi
exit "$status"

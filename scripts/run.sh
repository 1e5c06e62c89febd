#!/usr/bin/env bash
# Builds the program and starts the tray program in your desktop session. Without a desktop
# session (no DISPLAY or WAYLAND_DISPLAY) it does what the tray program does at start-up
# instead, with voldranectl auto: recognises the office of the current network and makes its
# printer your default printer, or says how to add this network.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh build
scripts/build.sh
ctl=build/cli/voldranectl

if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
    echo "Starting the tray program (build/app/voldrane); its icon is in the notification area." >&2
    exec build/app/voldrane
fi

echo "No desktop session (neither DISPLAY nor WAYLAND_DISPLAY is set): running voldranectl auto" \
    "instead of the tray program." >&2
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

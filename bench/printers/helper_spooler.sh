#!/usr/bin/env bash
# What one spooler call costs the tray program, which runs `voldranectl spooler ...` for it:
# each of the three calls as a whole helper process, next to the CUPS tool that does the same
# work (lpstat -e, lpstat -d, lpoptions -d); then spooler_bench, the calls through the helper
# against the same calls in process. Against one private cupsd in a temp folder.
# Usage: bench/printers/helper_spooler.sh [path/to/voldranectl [path/to/spooler_bench]]
set -euo pipefail
ctl=$(realpath "${1:-build/cli/voldranectl}")
bench=$(realpath "${2:-build/bench/spooler_bench}")
. "$(dirname "$0")/private_cupsd.sh"

lpoptions -d office_b >/dev/null
[ "$("$ctl" spooler default)" = office_b ]

hyperfine -N --warmup 10 --runs 100 \
    -n "spooler list" "$ctl spooler list" -n "lpstat -e" "lpstat -e" \
    -n "spooler default" "$ctl spooler default" -n "lpstat -d" "lpstat -d" \
    -n "spooler set-default office_b" "$ctl spooler set-default office_b" \
    -n "lpoptions -d office_b" "lpoptions -d office_b"

"$bench" --benchmark_repetitions=5 --benchmark_report_aggregates_only=true

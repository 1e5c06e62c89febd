#!/usr/bin/env bash
# `voldranectl auto` (detect, load 64 offices, match, set the default printer) against
# `lpoptions -d NAME` alone, which is the floor: the same CUPS work and nothing else. Both run
# as whole processes, alternately, against one private cupsd in a temp folder; the machine's
# own cupsd, printers and settings are never used.
# Usage: bench/printers/auto_vs_lpoptions.sh [path/to/voldranectl] [hyperfine options...]
set -euo pipefail
ctl=$(realpath "${1:-build/cli/voldranectl}")
shift || true
. "$(dirname "$0")/private_cupsd.sh"

# 64 offices; only the last matches this machine, so matching scores every one.
for i in $(seq 1 63); do
    "$ctl" add --name "Branch $i" --printer Plotter --ip "203.0.113.$i" --mask 255.255.255.0 \
        --gateway 203.0.113.254 --dhcp 198.51.100.1 --dns1 198.51.100.2 --dns2 198.51.100.3 \
        --wins 198.51.100.4 >/dev/null
done
"$ctl" add --current --name "Head office" --printer office_b >/dev/null
[ "$("$ctl" list --json | /usr/bin/python3 -c 'import json,sys; print(len(json.load(sys.stdin)))')" = 64 ]
"$ctl" auto >/dev/null
[ "$(lpstat -d)" = "system default destination: office_b" ]

# Three rounds, each measuring both commands, so that a change in the machine's load during
# one round weighs on both; the reported ratio is the median of the rounds' median ratios.
for round in 1 2 3; do
    hyperfine -N --warmup 10 --runs 150 --export-json "$B/round$round.json" "$@" \
        -n "voldranectl auto" "$ctl auto" \
        -n "lpoptions -d office_b" "lpoptions -d office_b"
done
[ "$(lpstat -d)" = "system default destination: office_b" ]

/usr/bin/python3 - "$B"/round*.json <<'PY'
import json, statistics, sys
ratios = []
for path in sys.argv[1:]:
    r = {x["command"]: x for x in json.load(open(path))["results"]}
    auto, floor = r["voldranectl auto"]["median"], r["lpoptions -d office_b"]["median"]
    ratios.append(auto / floor)
    print(f"round: voldranectl auto {auto*1e3:.2f} ms, lpoptions -d {floor*1e3:.2f} ms (medians), "
          f"ratio {auto/floor:.2f}")
print(f"ratio (median of rounds): {statistics.median(ratios):.2f}, target at most 1.30")
PY

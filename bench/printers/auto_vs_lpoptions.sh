#!/usr/bin/env bash
# `voldranectl auto` (detect, load 64 offices, match, set the default printer) against
# `lpoptions -d NAME` alone, which is the floor: the same CUPS work and nothing else. Both run
# as whole processes, alternately, against one private cupsd in a temp folder; the machine's
# own cupsd, printers and settings are never used.
# Usage: bench/printers/auto_vs_lpoptions.sh [path/to/voldranectl] [hyperfine options...]
set -euo pipefail
ctl=$(realpath "${1:-build/cli/voldranectl}")
shift || true
for tool in /usr/sbin/cupsd /usr/sbin/lpadmin /usr/bin/lpoptions /usr/bin/lpstat hyperfine; do
    command -v "$tool" >/dev/null || { echo "missing $tool (scripts/deps.sh test)" >&2; exit 1; }
done

B=$(mktemp -d /tmp/voldrane-bench-cups-XXXXXX)
pid=""
cleanup() {
    # cupsd dies of the signal: its status (137) is not this script's.
    if [ -n "$pid" ]; then kill -KILL "$pid" 2>/dev/null || true; wait "$pid" 2>/dev/null || true; fi
    rm -rf "$B"
}
trap cleanup EXIT

mkdir -p "$B"/spool/temp "$B"/log "$B"/cache "$B"/home "$B"/config
printf 'Listen %s/cups.sock\nBrowsing Off\nWebInterface No\n<Policy default>\n<Limit All>\nOrder Allow,Deny\n</Limit>\n</Policy>\n' "$B" >"$B"/cupsd.conf
printf 'FileDevice Yes\nPrintcap %s/printcap\nServerRoot %s\nStateDir %s\nCacheDir %s/cache\nRequestRoot %s/spool\nTempDir %s/spool/temp\nAccessLog %s/log/access_log\nErrorLog %s/log/error_log\nPageLog %s/log/page_log\n' \
    "$B" "$B" "$B" "$B" "$B" "$B" "$B" "$B" "$B" >"$B"/cups-files.conf
/usr/sbin/cupsd -f -c "$B"/cupsd.conf -s "$B"/cups-files.conf >"$B"/log/cupsd.out 2>&1 &
pid=$!
export CUPS_SERVER=$B/cups.sock HOME=$B/home XDG_CONFIG_HOME=$B/config
unset LPDEST PRINTER
for _ in $(seq 100); do
    [ "$(lpstat -r 2>/dev/null)" = "scheduler is running" ] && break
    sleep 0.1
done
[ "$(lpstat -r 2>/dev/null)" = "scheduler is running" ] || { echo "private cupsd did not start" >&2; exit 1; }

# A few queues, one instance, the office's printer among them.
for q in Alpha-Laser Front-Desk office_b Plotter Zeta; do
    /usr/sbin/lpadmin -p "$q" -E -v file:///dev/null
done
lpoptions -p office_b/draft -o sides=one-sided >/dev/null

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

#!/usr/bin/env bash
# Applying an office against `lpoptions -d NAME`, the floor: what setting a default printer
# costs with the CUPS tool. Measured as whole processes with hyperfine, against one private
# cupsd in a temp folder (the machine's own cupsd, printers and settings are never used):
#   voldranectl auto, 64 offices   detect, load 64 offices (only the last matches, so every
#                                  one is scored), match, make office_b the default
#   voldranectl auto, 1 office     the same with one office
#   tray apply path                helper_apply: HelperSpooler running `voldranectl spooler
#                                  set-default office_b`, as the tray program does; against
#                                  the floor as it is, and against the floor started through
#                                  helper_apply (the same program start on both sides)
# Before every timed run the user's lpoptions is put back to "Default Zeta", so that every
# command makes the same change (not a no-op after the first run). Rounds alternate the
# three pairs, each pair timed in one hyperfine call, so that a change in the machine's load
# weighs on both sides of a ratio; a pair's ratio is the median of its rounds' ratios.
# Then the requests each command makes, counted in cupsd's access log over one run.
#
# Usage: bench/printers/auto_vs_lpoptions.sh [voldranectl [helper_apply]]
# BENCH_ROUNDS (7), BENCH_RUNS (100 per command and round), BENCH_WARMUP (10).
set -euo pipefail
ctl=$(realpath "${1:-build/cli/voldranectl}")
helper=$(realpath "${2:-build/bench/helper_apply}")
rounds=${BENCH_ROUNDS:-7}
runs=${BENCH_RUNS:-100}
warmup=${BENCH_WARMUP:-10}
. "$(dirname "$0")/private_cupsd.sh"

# Two settings folders: 64 offices (only the last matches this machine), and that one alone.
export XDG_CONFIG_HOME=$B/config64
for i in $(seq 1 63); do
    "$ctl" add --name "Branch $i" --printer Plotter --ip "203.0.113.$i" --mask 255.255.255.0 \
        --gateway 203.0.113.254 --dhcp 198.51.100.1 --dns1 198.51.100.2 --dns2 198.51.100.3 \
        --wins 198.51.100.4 >/dev/null
done
"$ctl" add --current --name "Head office" --printer office_b >/dev/null
XDG_CONFIG_HOME=$B/config1 "$ctl" add --current --name "Head office" --printer office_b >/dev/null
count() { "$ctl" list --json | /usr/bin/python3 -c 'import json,sys; print(len(json.load(sys.stdin)))'; }
[ "$(count)" = 64 ] && [ "$(XDG_CONFIG_HOME=$B/config1 count)" = 1 ]

# The state before every run: Zeta the default, the instance office_b/draft defined.
lpoptions -d Zeta >/dev/null
cp "$HOME/.cups/lpoptions" "$B/lpoptions.before"
reset=(--prepare "cp $B/lpoptions.before $HOME/.cups/lpoptions")
"$ctl" auto >/dev/null
[ "$(lpstat -d)" = "system default destination: office_b" ]
cp "$B/lpoptions.before" "$HOME/.cups/lpoptions"
"$helper" "$ctl" office_b
[ "$(lpstat -d)" = "system default destination: office_b" ]

floor="lpoptions -d office_b"
pair() {  # name, settings folder, command, json, [more hyperfine arguments]
    local name=$1 folder=$2 cmd=$3 json=$4
    shift 4
    XDG_CONFIG_HOME=$folder hyperfine -N --warmup "$warmup" --runs "$runs" "${reset[@]}" \
        --export-json "$json" -n "$name" "$cmd" -n "$floor" "$floor" "$@" >&2
}
for round in $(seq 1 "$rounds"); do
    echo "load average before round $round: $(cut -d' ' -f1-3 /proc/loadavg)"
    pair "auto64" "$B/config64" "$ctl auto" "$B/auto64-$round.json"
    pair "auto1" "$B/config1" "$ctl auto" "$B/auto1-$round.json"
    # The tray's path costs helper_apply's own start on top, which the tray program does not
    # pay; the floor started through helper_apply has that start too.
    pair "helper" "$B/config1" "$helper $ctl office_b" "$B/helper-$round.json" \
        -n "launched floor" "$helper --run $floor"
done
echo "load average after the rounds: $(cut -d' ' -f1-3 /proc/loadavg)"
[ "$(lpstat -d)" = "system default destination: office_b" ]

# Requests per run: the access log's new lines over one run of each (cupsd logs every
# request; see private_cupsd.sh). Each run starts from the same lpoptions as above.
log=$B/log/access_log
requests() {  # settings folder, command...
    local folder=$1
    shift
    cp "$B/lpoptions.before" "$HOME/.cups/lpoptions"
    local before after
    before=$(wc -l <"$log")
    XDG_CONFIG_HOME=$folder "$@" >/dev/null
    sleep 0.3  # a bench, not a test: cupsd writes each line just after its answer
    after=$(wc -l <"$log")
    echo "$((after - before)) $(tail -n "$((after - before))" "$log" | awk '{print $(NF-1)}' | sort | uniq -c | awk '{printf "%s%s×%s", sep, $2, $1; sep=", "}')"
}
echo "requests: auto64 $(requests "$B/config64" "$ctl" auto)"
echo "requests: auto1 $(requests "$B/config1" "$ctl" auto)"
echo "requests: helper $(requests "$B/config1" "$helper" "$ctl" office_b)"
echo "requests: floor $(requests "$B/config1" lpoptions -d office_b)"

/usr/bin/python3 - "$B" "$rounds" <<'PY'
import json, statistics, sys
b, rounds = sys.argv[1], int(sys.argv[2])
labels = {"auto64": ("`voldranectl auto`, 64 offices, vs `lpoptions -d`", 1.1),
          "auto1": ("`voldranectl auto`, 1 office, vs `lpoptions -d`", 1.1),
          "helper": ("tray apply path through the helper vs `lpoptions -d`", 1.2)}

def ratio_line(key, label, target, floor_name):
    ratios, pairs, cpu = [], [], []
    for r in range(1, rounds + 1):
        res = {x["command"]: x for x in json.load(open(f"{b}/{key}-{r}.json"))["results"]}
        mine, base = res[key], res[floor_name]
        own, floor = mine["median"], base["median"]
        ratios.append(own / floor)
        pairs.append((own, floor))
        cpu.append(((mine["user"] + mine["system"]), (base["user"] + base["system"])))
        print(f"round {r}: {key} {own*1e3:.2f} ms, {floor_name} {floor*1e3:.2f} ms (medians), "
              f"ratio {own/floor:.2f}; CPU {cpu[-1][0]*1e3:.2f} ms vs {cpu[-1][1]*1e3:.2f} ms")
    mid = sorted(range(len(ratios)), key=lambda i: ratios[i])[len(ratios) // 2]
    own, floor = pairs[mid]
    own_cpu = statistics.median(c[0] for c in cpu)
    floor_cpu = statistics.median(c[1] for c in cpu)
    print(f"result: {key} ({label}) {own*1e3:.2f} ms vs {floor*1e3:.2f} ms, ratio (median of "
          f"rounds) {statistics.median(ratios):.2f}, target at most {target:.2f}")
    print(f"cpu: {key} ({label}) {own_cpu*1e3:.2f} ms vs {floor_cpu*1e3:.2f} ms (user + system, "
          f"mean per run, median of rounds), ratio {own_cpu/floor_cpu:.2f}")


for key, (label, target) in labels.items():
    ratio_line(key, label, target, "lpoptions -d office_b")
# The tray's path against the floor with the same program start in front of it.
ratio_line("helper", "tray apply path through the helper vs `lpoptions -d` started the same way",
           1.2, "launched floor")

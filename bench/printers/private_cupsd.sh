# Sourced by the printer benchmarks: starts a private cupsd in a temp folder that goes with
# the script (its socket in CUPS_SERVER, HOME and XDG_CONFIG_HOME of its own), with five raw
# queues and one lpoptions instance, office_b/draft. cupsd logs every request (AccessLogLevel
# all: one line to a file per request, for both sides of a comparison), so that the benchmarks
# can count them.
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
printf 'Listen %s/cups.sock\nBrowsing Off\nWebInterface No\nAccessLogLevel all\n<Policy default>\n<Limit All>\nOrder Allow,Deny\n</Limit>\n</Policy>\n' "$B" >"$B"/cupsd.conf
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

for q in Alpha-Laser Front-Desk office_b Plotter Zeta; do
    /usr/sbin/lpadmin -p "$q" -E -v file:///dev/null
done
lpoptions -p office_b/draft -o sides=one-sided >/dev/null

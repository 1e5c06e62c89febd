#!/usr/bin/env bash
# Drives the built voldranectl's office commands against a store in a temp folder.
# Usage: cli_offices_test.sh PATH/TO/voldranectl
set -uo pipefail
V=$1
T=$(mktemp -d)
trap 'rm -rf "$T"' EXIT
export XDG_CONFIG_HOME=$T/config
STORE=$XDG_CONFIG_HOME/Kestamor/Voldrane.reg
PY=/usr/bin/python3
passed=0 failed=0

check() {  # check NAME EXPECTED_STATUS COMMAND...; output in $out, errors in $err
    local name=$1 want=$2
    shift 2
    out=$("$@" 2>"$T/err")
    local got=$?
    err=$(cat "$T/err")
    if [ "$got" -ne "$want" ]; then
        echo "FAIL $name: exit $got, expected $want; stdout: $out; stderr: $err"
        failed=$((failed + 1))
        return 1
    fi
    passed=$((passed + 1))
}
expect() {  # expect NAME CONDITION...
    local name=$1
    shift
    if "$@"; then passed=$((passed + 1)); else echo "FAIL $name"; failed=$((failed + 1)); fi
}
json() { "$V" list --json | $PY -c "import json,sys; d=json.load(sys.stdin); print($1)"; }

# An empty store lists nothing.
check "list empty" 0 "$V" list && expect "list empty prints nothing" [ -z "$out" ]
check "list --json empty" 0 "$V" list --json && expect "empty json" [ "$out" = "[]" ]

# add: the key is printed; options fill the fields; the rest are 0.0.0.0.
check "add" 0 "$V" add --name "Head office" --ip 10.1.0.5 --mask 255.255.0.0 --dns1 10.1.0.53 --printer "Laser 1"
head_key=$out
expect "key is %X of the time" grep -Eqx '[0-9A-F]{8}' <<<"$head_key"
check "add same second" 0 "$V" add --name Branch --ip 192.168.7.9 --mask 255.255.255.0
branch_key=$out
expect "offices made in one second get different keys" [ "$head_key" != "$branch_key" ]
expect "json field order" [ "$(json 'list(d[0].keys())')" = "['Key', 'Office Name', 'IP Address', 'Subnet Mask', 'Default Gateway', 'DHCP Server', 'DNS Server 1', 'DNS Server 2', 'WINS Server', 'Default Printer']" ]
expect "json values" [ "$(json '[d[0][k] for k in ("Key","Office Name","IP Address","Subnet Mask","DNS Server 1","WINS Server","Default Printer")]')" = "['$head_key', 'Head office', '10.1.0.5', '255.255.0.0', '10.1.0.53', '0.0.0.0', 'Laser 1']" ]
expect "list order is creation order" [ "$(json '[o["Office Name"] for o in d]')" = "['Head office', 'Branch']" ]
check "list text" 0 "$V" list && expect "list text names both" grep -q "^$branch_key  Branch$" <<<"$out"

# Bad input changes nothing.
cp "$STORE" "$T/before"
for bad in "--name X --ip 10.1.0" "--name X --mask 255.255.256.0" "--name X --dns1 10.01.0.1" \
    "--name X --wins N/A" "--name X --gateway 1.2.3.4.5" "--ip 10.0.0.1" "--name" "--name X extra" "--name ''"; do
    eval "check \"add $bad\" 2 \"\$V\" add $bad"
done
check "add short address" 2 "$V" add --name X --ip 1.2.3
expect "bad input names the problem" grep -q '"1.2.3" is not a dotted-decimal IPv4 address' <<<"$err"
expect "bad adds leave the store alone" cmp -s "$STORE" "$T/before"

# --help and -h ask for the usage only where an option may stand: an option's value is data.
check "printer named -h" 0 "$V" add --name Beta --printer -h
beta_key=$out
expect "printer -h stored" [ "$(json "[o['Default Printer'] for o in d if o['Key']=='$beta_key']")" = "['-h']" ]
check "remove beta" 0 "$V" remove "$beta_key"
cp "$STORE" "$T/before"
check "add -h" 0 "$V" add --name Gamma -h
expect "add -h prints the usage" grep -q '^usage: voldranectl add --name NAME' <<<"$out"
check "edit --help" 0 "$V" edit "$head_key" --help --name Delta
check "-h after --" 2 "$V" add --name Gamma -- -h
expect "help changes nothing" cmp -s "$STORE" "$T/before"

# The command line reads as getopt_long read it: shortened long options, "--opt=" as an empty
# value, brackets as data, and anything else after a dash (before "--") an unknown option,
# named as given; the first problem from the left is the one reported.
check "shortened options" 0 "$V" edit "$head_key" --pr "[Laser 2]" --na "Head office"
expect "bracketed value kept whole" [ "$(json "[o['Default Printer'] for o in d if o['Key']=='$head_key']")" = "['[Laser 2]']" ]
check "empty value with =" 0 "$V" edit "$head_key" --printer= --name "Head office"
expect "printer= clears the printer" [ "$(json "[o['Default Printer'] for o in d if o['Key']=='$head_key']")" = "['']" ]
check "bracketed argument" 2 "$V" remove "[a,b]"
expect "bracketed argument kept whole" grep -qF 'no office has the key "[a,b]"' <<<"$err"
check "edit back" 0 "$V" edit "$head_key" --printer "Laser 1"
cp "$STORE" "$T/before"
check "ambiguous prefix" 2 "$V" add --name X --dns 1.2.3.4
expect "ambiguous prefix named" [ "$(head -1 <<<"$err")" = "add: unknown option: --dns" ]
for bad in -5 ---x -xy --current=yes; do
    check "add $bad" 2 "$V" add --name X "$bad"
    expect "add $bad named" [ "$(head -1 <<<"$err")" = "add: unknown option: $bad" ]
done
check "unknown before help" 2 "$V" list --bogus --help
expect "unknown before help named" [ "$(head -1 <<<"$err")" = "list: unknown option: --bogus" ]
check "unknown before missing value" 2 "$V" add --bogus --name
expect "the first problem named" [ "$(head -1 <<<"$err")" = "add: unknown option: --bogus" ]
check "missing value" 2 "$V" add --ip 1.2.3.4 --name
expect "missing value named" [ "$(head -1 <<<"$err")" = "add: option needs a value: --name" ]
check "options after --" 2 "$V" match -- --explain
expect "options after -- are arguments" [ "$(head -1 <<<"$err")" = "voldranectl match: unexpected argument" ]
expect "parsing problems change nothing" cmp -s "$STORE" "$T/before"

# A failed write to standard output is a failure (exit 3), whatever the command.
full() { "$V" "$@" >/dev/full; }
check "list to a full disk" 3 full list
expect "full disk: reason" grep -q 'cannot write to standard output: No space left on device' <<<"$err"
check "match to a full disk" 3 full match --explain
check "usage to a full disk" 3 full --help
check "add to a full disk" 3 full add --name "Lost key"
check "remove what the full disk hid" 0 "$V" remove "$(json "[o['Key'] for o in d if o['Office Name']=='Lost key'][0]")"
expect "full disk: the store is as before" cmp -s "$STORE" "$T/before"

# Detection's "N/A" for a missing second DNS server is a value an office may hold.
check "add --dns2 N/A" 0 "$V" add --name "One DNS" --ip 10.3.0.9 --dns2 N/A
one_dns_key=$out
expect "N/A stored" [ "$(json "[o['DNS Server 2'] for o in d if o['Key']=='$one_dns_key'][0]")" = "N/A" ]
check "edit --dns2 N/A" 0 "$V" edit "$one_dns_key" --dns2 N/A
check "remove one DNS" 0 "$V" remove "$one_dns_key"

# --current takes the detected network as the office dialog would store it.
check "add --current" 0 "$V" add --name Here --current --printer P
here_key=$out
here_dns2=$(json "[o['DNS Server 2'] for o in d if o['Key']=='$here_key'][0]")
expect "no N/A is stored" [ "$here_dns2" != "N/A" ]
check "match here" 0 "$V" match
expect "match prints the office's name" [ "$out" = "Here" ]
check "match --explain" 0 "$V" match --explain
expect "explain: seven tests per office" [ "$(grep -c 'scored' <<<"$out")" -eq 21 ]
expect "explain: ends with the matcher's line" [ "$(tail -n1 <<<"$out")" = "Here" ]
expect "explain: counts" grep -q "^Here ($here_key): [3-7] points, matches$" <<<"$out"

# edit keeps the key; remove deletes it.
check "edit" 0 "$V" edit "$branch_key" --name "Branch, renamed" --wins 192.168.7.44 --printer ""
expect "edit keeps the key and changes the values" [ "$(json "[(o['Office Name'], o['WINS Server'], o['IP Address'], o['Default Printer']) for o in d if o['Key']=='$branch_key']")" = "[('Branch, renamed', '192.168.7.44', '192.168.7.9', '')]" ]
check "edit unknown key" 2 "$V" edit 12345678 --name X
check "edit bad address" 2 "$V" edit "$branch_key" --ip 300.1.1.1
check "remove" 0 "$V" remove "$here_key"
check "remove again" 2 "$V" remove "$here_key"
expect "removed" [ "$(json 'len(d)')" -eq 2 ]

check "no match" 1 "$V" match
expect "no match message" [ "$err" = "Cannot Determine Office Network" ]
expect "no match prints nothing" [ -z "$out" ]

# Settings.
check "auto-detect off" 0 "$V" set auto-detect off
expect "stored as 0" grep -qx '"Auto Detect"=dword:00000000' "$STORE"
check "auto-detect on" 0 "$V" set auto-detect on
expect "stored as 1" grep -qx '"Auto Detect"=dword:00000001' "$STORE"
check "auto-detect bad" 2 "$V" set auto-detect yes
check "follow-network on" 0 "$V" set follow-network on
expect "follow stored as 1" grep -qx '"Follow Network"=dword:00000001' "$STORE"
check "notify off" 0 "$V" set notify off
expect "notify stored as 0" grep -qx '"Notify"=dword:00000000' "$STORE"
check "notify bad" 2 "$V" set notify
check "default office" 0 "$V" set default-office "$(tr A-F a-f <<<"$head_key")"
expect "stored with the key's own case" grep -qx "\"Default Office\"=\"$head_key\"" "$STORE"
check "default office unknown" 2 "$V" set default-office 0BADBEEF
check "default office clear" 0 "$V" set default-office --clear
expect "cleared" bash -c "! grep -q 'Default Office' '$STORE'"
check "default office clear again" 0 "$V" set default-office --clear
check "set nothing" 2 "$V" set

# export and import.
# export writes what the registry editor writes (UTF-16LE with its byte-order mark, CRLF): the
# only form it imports without garbling every text that is not ASCII.
regedit_form() {  # regedit_form FILE: the store's text in the registry editor's form?
    $PY - "$1" "$STORE" <<'EOF'
import sys
got, store = (open(f, 'rb').read() for f in sys.argv[1:])
sys.exit(0 if got == b'\xff\xfe' + store.replace(b'\n', b'\r\n').decode().encode('utf-16-le') else 1)
EOF
}
check "export" 0 bash -c '"$0" export >"$1"' "$V" "$T/stdout.reg"
expect "export is the store, as regedit writes it" regedit_form "$T/stdout.reg"
check "export file" 0 "$V" export "$T/out.reg" && expect "export file is the store, as regedit writes it" regedit_form "$T/out.reg"
check "import own export" 0 "$V" import "$T/out.reg"
expect "import reports the count" [ "$out" = "Added 2 offices" ]
expect "import adds under new keys" [ "$(json 'len(set(o["Key"] for o in d))')" -eq 4 ]
expect "imported values" [ "$(json '[o["Office Name"] for o in d]')" = "['Head office', 'Branch, renamed', 'Head office', 'Branch, renamed']" ]
$PY - "$T" <<'EOF'
import sys
d = sys.argv[1]
office = ('"IP Address"="10.9.0.1"\n"Subnet Mask"="255.255.0.0"\n"Default Gateway"="10.9.0.254"\n'
          '"DHCP Server"="10.9.0.254"\n"DNS Server 1"="10.9.0.53"\n"DNS Server 2"="N/A"\n'
          '"WINS Server"="0.0.0.0"\n')
head = 'Windows Registry Editor Version 5.00\n\n'
key = '[HKEY_CURRENT_USER\\Software\\Kestamor\\Voldrane\\Offices\\'
text = (head + key + '3FF36300]\n"Office Name"="B\u00fcro Z\u00fcrich"\n' + office +
        '"Default Printer"=hex(1):25,00,50,00,00,00\n').replace('\n', '\r\n')
open(d + '/regedit.reg', 'wb').write(b'\xff\xfe' + text.encode('utf-16-le'))
# Values add would refuse, values of other types, and a missing value.
open(d + '/badvalues.reg', 'w').write(
    head + key + '1]\n"Office Name"="' + 'n' * 2000 + '"\n' +
    office.replace('"10.9.0.1"', 'dword:0a090001') +
    '"Default Printer"=hex(2):25,00,50,00,25,00,00,00\n\n' +
    key + '2]\n"Office Name"="ok"\n"Default Printer"=""\n' +
    office.replace('"DNS Server 1"="10.9.0.53"\n', ''))
# Deletion lines, as the registry editor would apply them.
open(d + '/deletes.reg', 'w').write(
    head + key + '1]\n"Office Name"="ok"\n' + office + '"Default Printer"=-\n\n' +
    key.replace('[', '[-') + 'X]\n')
# A key path of half a million components, and ten thousand unreadable lines.
open(d + '/deep.reg', 'w').write(head + key + 'a\\' * 500000 + 'b]\n"Office Name"="deep"\n')
open(d + '/junk.reg', 'w').write(head + key + '1]\n' + 'junk\n' * 10000)
EOF
check "import regedit UTF-16" 0 "$V" import "$T/regedit.reg"
expect "import one" [ "$out" = "Added 1 office" ]
expect "UTF-16 texts, N/A kept" [ "$(json '[(o["Office Name"], o["IP Address"], o["DNS Server 2"], o["Default Printer"]) for o in d][-1]')" = "('Büro Zürich', '10.9.0.1', 'N/A', '%P')" ]
cp "$STORE" "$T/before"
check "import values add refuses" 2 "$V" import "$T/badvalues.reg"
for what in '1, "Office Name": at most 1023 bytes (this one has 2000)' \
    '1, "IP Address": a dword value, not a text' \
    '1, "Default Printer": a hex(2) value, not a text' '2, "DNS Server 1": missing'; do
    expect "import names: $what" grep -qF "badvalues.reg: office $what" <<<"$err"
done
expect "import names only those" [ "$(grep -c ': office ' <<<"$err")" -eq 4 ]
check "import deletions" 2 "$V" import "$T/deletes.reg"
expect "deletions: line and reason" grep -q 'deletes.reg:12: the file deletes keys or values' <<<"$err"
check "import deep key path" 2 "$V" import "$T/deep.reg"
expect "deep: said briefly" [ "$(wc -c <<<"$err")" -lt 2000 ]
check "import ten thousand bad lines" 2 "$V" import "$T/junk.reg"
expect "bad lines: a hundred" [ "$(grep -c 'junk.reg:[0-9]*: ' <<<"$err")" -eq 100 ]
expect "bad lines: then a count" grep -q 'junk.reg: ... and 9900 more lines that cannot be read' <<<"$err"
expect "refused imports change nothing" cmp -s "$STORE" "$T/before"
cp "$STORE" "$T/before"
printf 'Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\SOFTWARE\\Kestamor\\Voldrane\\Offices\\1]\n"Office Name"="ok"\n"IP Address"="broken\n' >"$T/damaged.reg"
check "import damaged" 2 "$V" import "$T/damaged.reg"
expect "damaged: line number given" grep -q "damaged.reg:5: " <<<"$err"
echo "not a registry file" >"$T/text.reg"
check "import not .reg" 2 "$V" import "$T/text.reg"
printf 'REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Other]\n"x"="y"\n' >"$T/other.reg"
check "import no offices" 2 "$V" import "$T/other.reg"
check "import missing" 2 "$V" import "$T/missing.reg"
expect "failed imports change nothing" cmp -s "$STORE" "$T/before"

# A REGEDIT4 file, as an older registry editor exported it: texts in the ANSI code page.
printf 'REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Kestamor\\Voldrane\\Offices\\1]\r\n"Office Name"="Z\xfcrich B\xfcro \x96 2F"\r\n"Default Printer"="M\xfcller \x80"\r\n' >"$T/ansi.reg"
for v in "IP Address" "Subnet Mask" "Default Gateway" "DHCP Server" "DNS Server 1" "DNS Server 2" "WINS Server"; do
    printf '"%s"="0.0.0.0"\r\n' "$v" >>"$T/ansi.reg"
done
check "import REGEDIT4" 0 "$V" import "$T/ansi.reg"
expect "REGEDIT4: texts from Windows-1252" [ "$(json '[(o["Office Name"], o["Default Printer"]) for o in d][-1]')" = "('Zürich Büro – 2F', 'Müller €')" ]
check "remove REGEDIT4 office" 0 "$V" remove "$(json 'd[-1]["Key"]')"

# Key names compare as the registry compares them, letters outside ASCII too.
cp "$STORE" "$T/before"
printf '\n[HKEY_CURRENT_USER\\SOFTWARE\\Kestamor\\Voldrane\\Offices\\BÜRO]\n"Office Name"="Büro"\n' >>"$STORE"
check "edit by a key in other case" 0 "$V" edit büro --printer "P2"
expect "one office BÜRO" [ "$(json '[(o["Key"], o["Default Printer"]) for o in d if o["Office Name"] == "Büro"]')" = "[('BÜRO', 'P2')]" ]
check "remove by a key in other case" 0 "$V" remove bÜrO
expect "BÜRO gone" [ "$(json 'len([o for o in d if o["Office Name"] == "Büro"])')" -eq 0 ]

# A store that cannot be read or written: exit 3 with the OS's reason.
mkdir -p "$T/dir-store/Kestamor/Voldrane.reg"
XDG_CONFIG_HOME=$T/dir-store check "unreadable store" 3 "$V" list
expect "unreadable: reason" grep -q "Voldrane.reg: Is a directory" <<<"$err"
touch "$T/file-folder"
XDG_CONFIG_HOME=$T/file-folder check "unwritable store" 3 "$V" add --name X
expect "unwritable: reason" grep -q "Not a directory" <<<"$err"

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]

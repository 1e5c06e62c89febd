#!/usr/bin/env bash
# The installed side of the programs that the package carries: the manual pages list what
# --help lists, and `voldranectl set autostart` writes an entry that starts the tray program
# installed beside it. Usage: dist_test.sh SOURCE_DIR PATH/TO/voldranectl [PATH/TO/voldrane]
set -uo pipefail
SRC=$1 CTL=$2 TRAY=${3:-}
T=$(mktemp -d)
trap 'rm -rf "$T"' EXIT
passed=0 failed=0
expect() {  # expect NAME CONDITION...
    local name=$1
    shift
    if "$@"; then passed=$((passed + 1)); else echo "FAIL $name"; failed=$((failed + 1)); fi
}
same() {  # same NAME FILE1 FILE2
    if diff "$2" "$3" >"$T/diff"; then passed=$((passed + 1)); else
        echo "FAIL $1 (< --help, > manual page)"; cat "$T/diff"; failed=$((failed + 1)); fi
}
options() { grep -oE -- '--[a-z][a-z0-9-]*' | sort -u; }
# The commands of the man page: "*name*" starting a line of its COMMANDS section.
man_commands() { sed -n '/^# COMMANDS/,/^# /s/^\*\([a-z-]*\)[* ].*/\1/p' "$1" | sort -u; }

"$CTL" --help | options >"$T/help-options"
options <"$SRC/docs/man/voldranectl.1.scd" >"$T/man-options"
same "voldranectl options" "$T/help-options" "$T/man-options"
"$CTL" --help | sed -n 's/^  voldranectl \([a-z][a-z-]*\).*/\1/p' | sort -u >"$T/help-commands"
man_commands "$SRC/docs/man/voldranectl.1.scd" >"$T/man-commands"
same "voldranectl commands" "$T/help-commands" "$T/man-commands"
# Each setting of `set` has its own entry.
"$CTL" --help | grep -oE 'set [a-z-]+' | sort -u >"$T/help-settings"
grep -oE '^\*set [a-z-]+' "$SRC/docs/man/voldranectl.1.scd" | tr -d '*' | sort -u >"$T/man-settings"
same "voldranectl settings" "$T/help-settings" "$T/man-settings"
if [ -n "$TRAY" ]; then
    "$TRAY" --help | options >"$T/help-options"
    options <"$SRC/docs/man/voldrane.1.scd" >"$T/man-options"
    same "voldrane options" "$T/help-options" "$T/man-options"
    expect "voldrane --version without a display" \
        [ "$(env -u DISPLAY -u WAYLAND_DISPLAY "$TRAY" --version)" = "$("$CTL" --version | sed 's/^voldranectl/voldrane/')" ]
fi

# bash completion over canned answers of voldranectl: what it offers after each word.
if [ -f /usr/share/bash-completion/bash_completion ]; then
    complete_words() {  # complete_words WORD... : the offers for the last word, one a line
        bash -c '. /usr/share/bash-completion/bash_completion
            . "$0"
            voldranectl() {
                case $1 in
                    list) printf "5F00A1B2  Head office\n    IP Address       10.1.0.5\n\n5F00A1B3  Branch\n" ;;
                    printers) printf "* Laser 1\n  Ink\n" ;;
                esac
            }
            COMP_WORDS=("$@"); COMP_CWORD=$(($# - 1)); COMP_LINE="$*"; COMP_POINT=${#COMP_LINE}
            _voldranectl voldranectl "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD - 1]}"
            printf "%s\n" "${COMPREPLY[@]}" | sort | paste -sd,' \
            "$SRC/res/completion/voldranectl.bash" "$@"
    }
    expect "completes commands" [ "$(complete_words voldranectl im)" = import ]
    expect "completes printers" [ "$(complete_words voldranectl add --printer "")" = "Ink,Laser\ 1" ]
    expect "completes office keys" [ "$(complete_words voldranectl edit "")" = "5F00A1B2,5F00A1B3" ]
    expect "completes offices by key and name" \
        [ "$(complete_words voldranectl apply "")" = "5F00A1B2,5F00A1B3,Branch,Head\ office" ]
    expect "completes settings" [ "$(complete_words voldranectl set "")" = "auto-detect,autostart,default-office,follow-network,notify" ]
    expect "completes on and off" [ "$(complete_words voldranectl set autostart "")" = "off,on" ]
    expect "completes options" [ "$(complete_words voldranectl match --)" = "--explain,--help" ]
fi

# voldranectl set autostart, from a copy installed beside a tray program.
export XDG_CONFIG_HOME=$T/config
entry=$XDG_CONFIG_HOME/autostart/com.kestamor.Voldrane.desktop
mkdir -p "$T/bin" "$T/my bin"
cp "$CTL" "$T/bin/voldranectl"
"$T/bin/voldranectl" set autostart on 2>"$T/err"
expect "no tray program beside: refused" [ $? -eq 3 ]
expect "no tray program beside: no entry" [ ! -e "$entry" ]
expect "no tray program beside: says where it looked" grep -q "$T/bin/voldrane" "$T/err"
printf '#!/bin/sh\n' >"$T/bin/voldrane"
chmod +x "$T/bin/voldrane"
expect "autostart on" "$T/bin/voldranectl" set autostart on
expect "entry starts the program beside" grep -qx "Exec=$T/bin/voldrane" "$entry"
if command -v desktop-file-validate >/dev/null; then
    expect "entry is a valid desktop file" desktop-file-validate "$entry"
fi
expect "autostart on twice" "$T/bin/voldranectl" set autostart on
expect "autostart off" "$T/bin/voldranectl" set autostart off
expect "off removes the entry" [ ! -e "$entry" ]
expect "autostart off twice" "$T/bin/voldranectl" set autostart off
"$T/bin/voldranectl" set autostart maybe 2>/dev/null
expect "autostart takes on or off" [ $? -eq 2 ]
# A folder with a space: the Exec value is quoted as the desktop entry rules say.
cp "$CTL" "$T/my bin/voldranectl" && cp "$T/bin/voldrane" "$T/my bin/voldrane"
expect "autostart on from a folder with a space" "$T/my bin/voldranectl" set autostart on
expect "Exec quoted" grep -qxF "Exec=\"$T/my bin/voldrane\"" "$entry"
# A config folder that cannot hold the entry: exit 3 with the reason.
touch "$T/file"
XDG_CONFIG_HOME=$T/file "$T/bin/voldranectl" set autostart on 2>"$T/err"
expect "unwritable: exit 3" [ $? -eq 3 ]
expect "unwritable: reason" grep -q "Not a directory" "$T/err"

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]

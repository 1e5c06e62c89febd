#!/usr/bin/env bash
# The per-user installer under Wine, in a fresh private prefix:
#   installer_test.sh SETUP.exe
# 1. Silent install with /AUTOSTART: the programs, the manual, the uninstaller, the Start-menu
#    entry, the Run value and the uninstall entry are where they belong; voldranectl.exe runs
#    from the install folder and lists the office the prefix already held; voldrane.exe (when
#    the installer has it) starts from there and adds its notification-area icon.
#    Installing again over the running voldrane.exe closes it first.
# 2. Silent uninstall, with voldrane.exe still running: no file of ours is left, no Start-menu
#    entry, no Run value, no uninstall entry, and the offices are still there.
# 3. Install and uninstall again with /REMOVESETTINGS: then the offices go too.
# Needs wine; for voldrane.exe also Xvfb and xdotool.
set -euo pipefail

setup=$(realpath "$1")
tmp=$(mktemp -d "${TMPDIR:-/tmp}/voldrane-installer.XXXXXX")
export WINEPREFIX=$tmp/prefix WINEDEBUG=-all WINEDLLOVERRIDES=winemenubuilder.exe=d
unset DISPLAY
xvfb_pid=""
cleanup() {
    wineserver -k 2>/dev/null || true
    wineserver -w 2>/dev/null || true
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
    rm -rf "$tmp"
}
trap cleanup EXIT

failures=0
fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}
check() {  # check DESCRIPTION COMMAND...
    local what=$1
    shift
    "$@" >/dev/null 2>&1 || fail "$what"
}
refuse() {  # refuse DESCRIPTION COMMAND...: the command must fail
    local what=$1
    shift
    ! "$@" >/dev/null 2>&1 || fail "$what"
}
# Waits up to $1 seconds for a command to succeed, polling.
wait_for() {
    local seconds=$1
    shift
    local deadline=$((SECONDS + seconds))
    until "$@" >/dev/null 2>&1; do
        [ $SECONDS -ge $deadline ] && return 1
        sleep 0.1
    done
}

wine() { command wine "$@" </dev/null; }
unix_path() { command winepath -u "$1" 2>/dev/null | tr -d '\r'; }
reg_has() { wine reg query "$1" /v "$2"; }
office_key='HKCU\SOFTWARE\Kestamor\Voldrane\Offices\3FF36300'
run_key='HKCU\Software\Microsoft\Windows\CurrentVersion\Run'
uninstall_key='HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\Voldrane'

wineboot -i >/dev/null 2>&1
wineserver -w
wine reg add "$office_key" /v "Office Name" /d "Head Office" /f >/dev/null
wine reg add "$office_key" /v "IP Address" /d "192.168.50.10" /f >/dev/null

local_appdata=$(wine cmd /c echo %LOCALAPPDATA% | tr -d '\r')
appdata=$(wine cmd /c echo %APPDATA% | tr -d '\r')
inst_win="$local_appdata\\Programs\\Voldrane"
inst=$(unix_path "$inst_win")
shortcut=$(unix_path "$appdata\\Microsoft\\Windows\\Start Menu\\Programs\\Voldrane.lnk")
# Every file of ours has "voldrane" in its name or lies in the install folder.
ours() { find "$WINEPREFIX/drive_c" -iname '*voldrane*' -print; }

echo "== silent install"
wine "$setup" /S /AUTOSTART
timeout 60 wineserver -w
check "voldranectl.exe installed in $inst" test -f "$inst/voldranectl.exe"
check "manual installed beside the program" test -f "$inst/help/index.html"
check "uninstaller installed" test -f "$inst/uninstall.exe"
check "uninstall entry written" reg_has "$uninstall_key" UninstallString
if wine "$inst/voldranectl.exe" list >"$tmp/list.out" 2>&1; then
    grep -q "Head Office" "$tmp/list.out" ||
        fail "voldranectl.exe list from the install folder lacks the office: $(cat "$tmp/list.out")"
else
    fail "voldranectl.exe does not run from the install folder: $(cat "$tmp/list.out")"
fi

tray=0
[ -f "$inst/voldrane.exe" ] && tray=1
if [ $tray = 1 ]; then
    check "Start-menu entry created" test -f "$shortcut"
    wine reg query "$run_key" /v Voldrane >"$tmp/run.out" 2>&1 || true
    grep -qiF "$inst_win\\voldrane.exe" "$tmp/run.out" ||
        fail "/AUTOSTART did not write the Run value: $(cat "$tmp/run.out")"

    echo "== voldrane.exe starts from the install folder"
    # A private X display: Wine shows the notification area as its own "Wine System Tray"
    # window there once a program adds an icon.
    Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$tmp/display" >/dev/null 2>&1 &
    xvfb_pid=$!
    wait_for 10 test -s "$tmp/display" || { echo "Xvfb did not start" >&2; exit 1; }
    display=$(head -n1 "$tmp/display")
    # The prefix's wine server and desktop started without a display: start them anew with it.
    wineserver -k
    timeout 30 wineserver -w || true
    export DISPLAY=:$display
    start_tray() {
        command wine "$inst/voldrane.exe" </dev/null >"$tmp/tray.out" 2>&1 &
        tray_pid=$!
        wait_for 60 xdotool search --name "Wine System Tray" ||
            fail "voldrane.exe added no notification-area icon: $(cat "$tmp/tray.out")"
        check "voldrane.exe still running" kill -0 "$tray_pid"
    }
    start_tray

    echo "== silent install again, over the running voldrane.exe"
    # An update: the installer asks the running program to exit, or it could not replace it.
    wine "$setup" /S
    if ! timeout 60 wineserver -w; then
        fail "a program still runs a minute after the second install (voldrane.exe not closed?)"
        wineserver -k
    fi
    refuse "the second install left the old voldrane.exe running" kill -0 "$tray_pid"
    wait "$tray_pid" 2>/dev/null || true
    check "voldrane.exe in place after the second install" test -f "$inst/voldrane.exe"
    start_tray
else
    echo "(the installer holds no voldrane.exe: only voldranectl.exe is tried)"
fi

echo "== silent uninstall"
# The uninstaller runs a copy of itself from the temp folder and returns at once:
# wineserver -w waits for that copy, and for voldrane.exe, which it asks to exit.
wine "$inst/uninstall.exe" /S
if ! timeout 60 wineserver -w; then
    fail "a program still runs a minute after the uninstall (voldrane.exe not asked to exit?)"
    wineserver -k
fi
if [ $tray = 1 ]; then
    refuse "voldrane.exe still running after the uninstall" kill -0 "$tray_pid"
    wait "$tray_pid" 2>/dev/null || true
fi
refuse "install folder left behind: $(ls -A "$inst" 2>/dev/null | tr '\n' ' ')" test -e "$inst"
[ -z "$(ours)" ] || fail "files of ours left behind: $(ours | tr '\n' ' ')"
refuse "Start-menu entry left behind" test -e "$shortcut"
refuse "Run value left behind" reg_has "$run_key" Voldrane
refuse "uninstall entry left behind" wine reg query "$uninstall_key"
check "the offices were removed by the uninstall" reg_has "$office_key" "Office Name"

echo "== install, then uninstall with /REMOVESETTINGS"
wine "$setup" /S
timeout 60 wineserver -w
check "second install" test -f "$inst/voldranectl.exe"
wine "$inst/uninstall.exe" /S /REMOVESETTINGS
timeout 60 wineserver -w
refuse "/REMOVESETTINGS kept the offices" wine reg query 'HKCU\SOFTWARE\Kestamor\Voldrane'
refuse "install folder left behind after the second uninstall" test -e "$inst"

if [ $failures -ne 0 ]; then
    echo "$failures check(s) failed" >&2
    exit 1
fi
echo "installer: all checks passed"

#!/usr/bin/env bash
# Builds the Debian package, lints it, installs it on this machine with apt-get, tries the
# installed files as a user would, and purges it again, checking that nothing of it stays.
# Needs root (or sudo). Refuses when a voldrane package is installed already: it is not ours
# to replace. The package is purged on every way out.
set -euo pipefail
cd "$(dirname "$0")/.."
started=$(date +%s)
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
if dpkg-query -W -f='${Status}' voldrane 2>/dev/null | grep -q installed; then
    echo "test-package: a voldrane package is installed already; remove it first" >&2
    exit 2
fi

deb=$(scripts/package.sh | tail -n 1)
echo "== $deb"
dpkg-deb --info "$deb" | sed -n '/Depends/,/Description/p'

echo "== lintian"
# As root lintian would ask for a user; it only reads the file.
lintian --fail-on error --allow-root --display-info "$deb"

T=$(mktemp -d)
installed=0
cleanup() {
    if [ "$installed" -eq 1 ]; then
        DEBIAN_FRONTEND=noninteractive $sudo apt-get purge -y -qq voldrane >/dev/null || true
    fi
    rm -rf "$T"
}
trap cleanup EXIT

# The machine's files outside the package database's own caches, before and after.
snapshot() {
    find /usr /etc /opt -xdev 2>/dev/null |
        grep -Ev '/(mimeinfo|icon-theme|gschemas)\.cache$|^/etc/ld\.so\.cache$' | sort
}
snapshot >"$T/before"

echo "== apt-get install"
installed=1
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "$deb" >/dev/null
dpkg-query -L voldrane >"$T/files"

passed=0 failed=0
check() {  # check NAME COMMAND...
    local name=$1
    shift
    if "$@" >"$T/out" 2>&1; then echo "ok   $name"; passed=$((passed + 1)); else
        echo "FAIL $name"; sed 's/^/     /' "$T/out"; failed=$((failed + 1)); fi
}

export XDG_CONFIG_HOME=$T/config HOME=$T/home
mkdir -p "$HOME"
version=$(dpkg-deb -f "$deb" Version)
check "voldrane --version is the package's" sh -c '[ "$(voldrane --version)" = "voldrane $1" ]' - "$version"
check "voldranectl --help" sh -c 'voldranectl --help | grep -q "set autostart on|off"'
check "man -w voldranectl" sh -c '[ "$(man -w voldranectl)" = /usr/share/man/man1/voldranectl.1.gz ]'
check "man -w voldrane" sh -c '[ "$(man -w voldrane)" = /usr/share/man/man1/voldrane.1.gz ]'
check "man voldranectl renders" sh -c 'MANWIDTH=80 man -P cat voldranectl 2>&1 | grep -q "set autostart on|off"'
check "desktop file valid" desktop-file-validate /usr/share/applications/com.kestamor.Voldrane.desktop
check "metainfo valid" appstreamcli validate --no-net /usr/share/metainfo/com.kestamor.Voldrane.metainfo.xml
check "PNG icon 48x48" sh -c 'file /usr/share/icons/hicolor/48x48/apps/com.kestamor.Voldrane.png | grep -q "48 x 48"'
check "manual installed" test -f /usr/share/doc/voldrane/help/index.html

# Completion as bash-completion loads it on demand from the installed file.
cat >"$T/complete.sh" <<'EOS'
. /usr/share/bash-completion/bash_completion
_completion_loader voldranectl
COMP_WORDS=("$@"); COMP_CWORD=$(($# - 1)); COMP_LINE="$*"; COMP_POINT=${#COMP_LINE}
function=$(complete -p voldranectl | sed -n 's/.*-F \([^ ]*\) .*/\1/p')
"$function" voldranectl "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD - 1]}"
printf '%s\n' "${COMPREPLY[@]}"
EOS
key=$(voldranectl add --name "Head office")
check "bash completion: commands" sh -c '[ "$(bash "$1" voldranectl se)" = set ]' - "$T/complete.sh"
check "bash completion: office key and name" sh -c \
    '[ "$(bash "$1" voldranectl apply "" | sort | paste -sd,)" = "$2,Head\\ office" ]' - "$T/complete.sh" "$key"
check "zsh finds its completion" zsh -fc 'autoload -U compinit; compinit -D; [ "$_comps[voldranectl]" = _voldranectl ]'

# Start at login: the entry starts the installed program, and goes again.
entry=$XDG_CONFIG_HOME/autostart/com.kestamor.Voldrane.desktop
check "autostart on" voldranectl set autostart on
check "autostart entry starts /usr/bin/voldrane" grep -qx "Exec=/usr/bin/voldrane" "$entry"
check "autostart entry valid" desktop-file-validate "$entry"
check "autostart off" sh -c "voldranectl set autostart off && ! test -e '$entry'"

echo "== apt-get purge"
DEBIAN_FRONTEND=noninteractive $sudo apt-get purge -y -qq voldrane >/dev/null
installed=0
snapshot >"$T/after"
check "purge leaves no file of the package" sh -c \
    "while read -r f; do [ -d \"\$f\" ] || ! [ -e \"\$f\" ] || echo \"left: \$f\"; done <'$T/files' | grep . && exit 1 || exit 0"
check "purge leaves the machine's files as they were" diff "$T/before" "$T/after"

echo "test-package: $(($(date +%s) - started)) s"
echo "package: $passed passed, $failed failed"
[ "$failed" -eq 0 ]

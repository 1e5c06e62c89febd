#!/usr/bin/env bash
# The per-user Windows installer, built from the Windows build with NSIS:
#   scripts/package-windows.sh [--no-build] [BUILD_DIR]      (BUILD_DIR: build-windows)
# builds first (scripts/build-windows.sh) unless --no-build, then writes
# BUILD_DIR/Voldrane-<version>-setup.exe and prints its path. It packs the programs the build
# has: voldranectl.exe always, voldrane.exe once it is built; the manual always.
set -euo pipefail
cd "$(dirname "$0")/.."

build=1
if [ "${1:-}" = --no-build ]; then
    build=0
    shift
fi
dir=${1:-build-windows}
if [ $build = 1 ]; then
    BUILD_DIR=$dir scripts/build-windows.sh >&2
fi

dir=$(cd "$dir" && pwd)
version=$(sed -n 's/^project(Voldrane VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
ctl=$dir/cli/voldranectl.exe
tray=$(find "$dir" -name voldrane.exe -type f -not -path "$dir/installer/*" -print -quit)
if [ ! -f "$ctl" ]; then
    echo "package-windows.sh: $ctl is missing: build the Windows programs first" >&2
    exit 1
fi
if ! command -v makensis >/dev/null; then
    echo "package-windows.sh: makensis is missing (scripts/deps.sh windows installs it)" >&2
    exit 1
fi

# The files as they will lie in the install folder, without debugging information.
stage=$dir/installer/stage
rm -rf "$stage"
mkdir -p "$stage"
x86_64-w64-mingw32-strip -o "$stage/voldranectl.exe" "$ctl"
defines=()
if [ -n "$tray" ]; then
    x86_64-w64-mingw32-strip -o "$stage/voldrane.exe" "$tray"
    defines+=(-DHAVE_TRAY)
else
    echo "package-windows.sh: no voldrane.exe in $dir: the installer holds voldranectl.exe only" >&2
fi
cp -r docs/help "$stage/help"
icon=$dir/res/win32/icons/office-applied.ico
[ -f "$icon" ] && defines+=("-DICON=$icon")

out=$dir/Voldrane-$version-setup.exe
makensis -V2 -DVERSION="$version" -DSTAGE="$stage" -DOUTFILE="$out" "${defines[@]}" \
    dist/windows/voldrane.nsi >&2
echo "$out"

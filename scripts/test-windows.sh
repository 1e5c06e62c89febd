#!/usr/bin/env bash
# Cross-builds the Windows programs into build-windows/ (or $BUILD_DIR) and runs their tests
# under Wine: the GoogleTest programs in one private prefix for the run, and voldranectl.exe
# against a network namespace and a private cupsd (root needed, as for the Linux namespace
# tests). Installs what is missing first. Fails, never skips, when a test cannot run.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh windows
build_dir=${BUILD_DIR:-build-windows}
BUILD_DIR=$build_dir scripts/build-windows.sh "$@"
cd "$build_dir"
count=$(ctest -N | sed -n 's/^Total Tests: //p')
if [ "${count:-0}" -lt 2 ]; then
    echo "test-windows: no Windows tests were found in $build_dir" >&2
    exit 1
fi
ctest --output-on-failure --timeout 600 -j"$(nproc)" --no-tests=error

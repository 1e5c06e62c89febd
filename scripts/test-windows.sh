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
# Listing runs the GoogleTest programs under Wine to find their tests: a Wine that cannot run
# them must fail here, not leave only the other tests to pass.
listed=$(ctest -N)
if ! grep -q 'Test *#[0-9]*: WinRegistryStore\.' <<<"$listed" ||
    ! grep -q 'Test *#[0-9]*: wine_system$' <<<"$listed"; then
    echo "test-windows: the Windows tests were not found in $build_dir:" >&2
    echo "$listed" >&2
    exit 1
fi
ctest --output-on-failure --timeout 600 -j"$(nproc)" --no-tests=error

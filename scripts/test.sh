#!/usr/bin/env bash
# Builds and runs every test, the Linux build's and then the Windows build's under Wine
# (scripts/test-windows.sh): installs what is missing, starts nothing of the machine's own
# (each test fixture starts its private cupsd, D-Bus, X server, network namespaces and Wine
# prefix).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh test
BUILD_DIR=${BUILD_DIR:-build} scripts/build.sh "$@"
(cd "${BUILD_DIR:-build}" && ctest --output-on-failure --timeout 600 -j"$(nproc)")
# Then the Windows programs, cross-built and tested under Wine.
scripts/test-windows.sh

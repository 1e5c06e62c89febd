#!/usr/bin/env bash
# Cross-builds the Windows programs (voldranectl.exe and the tests) with MinGW-w64 into
# build-windows/ (or $BUILD_DIR). Extra arguments go to cmake's configure. Uses ccache when
# CCACHE_DIR is set, as the Linux build may.
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir=${BUILD_DIR:-build-windows}
launcher=()
if [ -n "${CCACHE_DIR:-}" ] && command -v ccache >/dev/null; then
    launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
fi
cmake -S . -B "$build_dir" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/mingw-w64-x86_64.cmake" \
    -DVOLDRANE_BUILD_GUI=OFF -DVOLDRANE_BUILD_BENCH=OFF "${launcher[@]}" "$@" >/dev/null
cmake --build "$build_dir" -j"$(nproc)"

#!/usr/bin/env bash
# Builds the Debian package voldrane_<version>_amd64.deb into build-package/ (or $BUILD_DIR):
# the programs only, with Debian's compiler flags, stripped; dependencies from dpkg-shlibdeps.
# Extra arguments go to cmake's configure. Prints the package's path.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh package
build_dir=${BUILD_DIR:-build-package}
# Debian's hardening flags, as dpkg-buildpackage would set them.
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
eval "$(dpkg-buildflags --export=sh)"
export CXXFLAGS="$CXXFLAGS $CPPFLAGS" CFLAGS="$CFLAGS $CPPFLAGS"
cmake -S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=None -DCMAKE_INSTALL_PREFIX=/usr \
    -DVOLDRANE_BUILD_TESTS=OFF -DVOLDRANE_BUILD_BENCH=OFF "$@" >/dev/null
cmake --build "$build_dir" -j"$(nproc)" >&2
rm -f "$build_dir"/voldrane_*.deb
(cd "$build_dir" && cpack -G DEB >&2)
ls "$PWD/$build_dir"/voldrane_*_amd64.deb

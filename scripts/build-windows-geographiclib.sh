#!/usr/bin/env bash
# Builds GeographicLib (the great-circle figures) as a static library for
# x86_64-w64-mingw32 from Debian's own geographiclib source and prints the
# install prefix. Cached like the static Qt, under a key made from this script
# and the toolchain file. Needs the deb-src line that build-windows-qt.sh adds.
# Usage: scripts/build-windows-geographiclib.sh   (prints the prefix on the last line)
set -euo pipefail

root="$(cd "$(dirname "$0")/.." && pwd)"
toolchain="$root/cmake/mingw-w64-x86_64.cmake"
key="$(cat "$0" "$toolchain" | sha256sum | cut -c1-12)"
cache="${TESSARO_CACHE:-$HOME/.cache/tessaro}"
prefix="$cache/geographiclib-mingw-$key"

if [ -f "$prefix/.complete" ]; then
    echo "$prefix"
    exit 0
fi

work="$cache/geographiclib-mingw-build-$key"
rm -rf "$work"
mkdir -p "$work"
cd "$work"
apt-get source --download-only geographiclib >/dev/null
dpkg-source --no-check -x geographiclib_*.dsc src >/dev/null

mkdir build
cd build
# The library alone: no shared one, documentation, manual pages or tests.
cmake -G Ninja ../src \
    -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
    -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_INSTALL_PREFIX="$prefix" \
    -DBUILD_SHARED_LIBS=OFF -DBUILD_BOTH_LIBS=OFF \
    -DBUILD_DOCUMENTATION=OFF -DBUILD_MANPAGES=OFF -DCONVERT_WARNINGS_TO_ERRORS=OFF \
    >configure.log 2>&1 || { tail -40 configure.log >&2; exit 1; }
cmake --build . --target GeographicLib_STATIC --parallel "${TESSARO_JOBS:-2}" >build.log 2>&1 ||
    { tail -60 build.log >&2; exit 1; }
rm -rf "$prefix"
mkdir -p "$prefix/include" "$prefix/lib"
cp -r ../src/include/GeographicLib "$prefix/include/"
# The configured header says "static library" (GEOGRAPHICLIB_SHARED_LIB 0).
cp include/GeographicLib/Config.h "$prefix/include/GeographicLib/"
find . -name 'libGeographicLib*.a' -exec cp {} "$prefix/lib/" \;
[ -n "$(ls "$prefix/lib")" ] || { echo "no static GeographicLib built" >&2; exit 1; }
cd /
touch "$prefix/.complete"
rm -rf "$work"
echo "$prefix"

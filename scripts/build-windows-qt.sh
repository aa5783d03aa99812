#!/usr/bin/env bash
# Builds a static Qt 6 for x86_64-w64-mingw32 from Debian's own qt6-base source and
# prints the install prefix. The result is cached under a key made from this script and
# the toolchain file, so a rebuild happens only when either changes.
# Usage: scripts/build-windows-qt.sh            (prints the prefix on the last line)
set -euo pipefail

root="$(cd "$(dirname "$0")/.." && pwd)"
toolchain="$root/cmake/mingw-w64-x86_64.cmake"
key="$(cat "$0" "$toolchain" | sha256sum | cut -c1-12)"
cache="${TESSARO_CACHE:-$HOME/.cache/tessaro}"
prefix="$cache/qt6-mingw-$key"

if [ -f "$prefix/.complete" ]; then
    echo "$prefix"
    exit 0
fi

sudo=""
if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi

# Debian ships Qt's sources but not a Windows build of them; apt-get source needs a
# deb-src line for the same mirror the system already uses.
if ! grep -rqs '^Types:.*deb-src\|^deb-src ' /etc/apt/sources.list /etc/apt/sources.list.d/; then
    src=/etc/apt/sources.list.d/debian.sources
    if [ -f "$src" ]; then
        sed 's/^Types: deb$/Types: deb-src/' "$src" | $sudo tee /etc/apt/sources.list.d/tessaro-deb-src.sources >/dev/null
    else
        grep '^deb ' /etc/apt/sources.list | sed 's/^deb /deb-src /' | $sudo tee /etc/apt/sources.list.d/tessaro-deb-src.list >/dev/null
    fi
    $sudo apt-get update -qq
fi
"$root/scripts/deps.sh" windows

work="$cache/qt6-mingw-build-$key"
rm -rf "$work"
mkdir -p "$work"
cd "$work"
apt-get source --download-only qt6-base >/dev/null
dpkg-source --no-check -x qt6-base_*.dsc src >/dev/null

jobs="${TESSARO_JOBS:-2}"
mkdir build
cd build
# Only what a Widgets program and its tests need, and Qt Network for the UDP locator
# server (no TLS: nothing here speaks it; Schannel off too, as 6.4 builds its
# plugin even without SSL). DirectWrite 3 without Direct2D fails to
# link in 6.4.2, so fonts go through GDI; Debian's source drops wintab, hence no tablets.
cmake -G Ninja ../src \
    -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
    -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_INSTALL_PREFIX="$prefix" \
    -DQT_HOST_PATH=/usr \
    -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
    -DQT_QMAKE_TARGET_MKSPEC=win32-g++ \
    -DBUILD_SHARED_LIBS=OFF \
    -DFEATURE_static_runtime=ON \
    -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF -DQT_BUILD_BENCHMARKS=OFF \
    -DFEATURE_gui=ON -DFEATURE_widgets=ON -DFEATURE_testlib=ON \
    -DFEATURE_sql=OFF -DFEATURE_network=ON -DINPUT_openssl=no -DFEATURE_schannel=OFF -DFEATURE_ssl=OFF \
    -DFEATURE_xml=OFF -DFEATURE_dbus=OFF \
    -DFEATURE_opengl=OFF -DINPUT_opengl=no -DFEATURE_vulkan=OFF -DFEATURE_printsupport=OFF \
    -DFEATURE_concurrent=OFF -DFEATURE_icu=OFF -DFEATURE_glib=OFF \
    -DFEATURE_freetype=OFF -DFEATURE_fontconfig=OFF -DFEATURE_harfbuzz=ON \
    -DFEATURE_system_zlib=OFF -DFEATURE_system_png=OFF -DFEATURE_system_pcre2=OFF \
    -DFEATURE_system_harfbuzz=OFF -DFEATURE_system_doubleconversion=OFF \
    -DFEATURE_jpeg=OFF -DFEATURE_system_jpeg=OFF \
    -DFEATURE_directwrite=OFF -DFEATURE_directwrite3=OFF -DFEATURE_direct2d=OFF \
    -DFEATURE_tabletevent=OFF \
    >configure.log 2>&1 || { tail -40 configure.log >&2; exit 1; }
cmake --build . --parallel "$jobs" >build.log 2>&1 || { tail -60 build.log >&2; exit 1; }
rm -rf "$prefix"
cmake --install . >install.log 2>&1 || { tail -40 install.log >&2; exit 1; }
cd /
touch "$prefix/.complete"
rm -rf "$work"
echo "$prefix"

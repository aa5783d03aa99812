#!/usr/bin/env bash
# Builds the Windows program from a clean clone on Debian: a static Qt for
# MinGW-w64 (cached), tessaro.exe, its tests under wine, and the installer,
# which it then installs and uninstalls silently under wine.
# Usage: scripts/build-windows.sh [--screenshots DIR]
# TESSARO_WIN_BUILD_DIR selects the build folder (default build/windows).
set -euo pipefail
cd "$(dirname "$0")/.."
root="$PWD"
shots=""
if [ "${1:-}" = "--screenshots" ]; then shots="$(realpath -m "$2")"; fi

start=$SECONDS
scripts/deps.sh windows
TESSARO_QT_PREFIX="$(scripts/build-windows-qt.sh | tail -1)"
export TESSARO_QT_PREFIX
echo "Qt for Windows: $TESSARO_QT_PREFIX ($((SECONDS - start)) s)"
TESSARO_GEOGRAPHICLIB_PREFIX="$(scripts/build-windows-geographiclib.sh | tail -1)"
export TESSARO_GEOGRAPHICLIB_PREFIX
echo "GeographicLib for Windows: $TESSARO_GEOGRAPHICLIB_PREFIX ($((SECONDS - start)) s)"

dir="${TESSARO_WIN_BUILD_DIR:-build/windows}"
cmake -S . -B "$dir" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64-qt.cmake" \
      -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=ON -DTESSARO_WERROR=ON -DTESSARO_GEOGRAPHICLIB=ON > /dev/null
cmake --build "$dir" --parallel "${TESSARO_JOBS:-2}"
echo "built ($((SECONDS - start)) s)"

dir="$(realpath "$dir")"
version="$(sed -n 's/^project(Tessaro VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)"
setup="$dir/tessaro-setup-$version.exe"
makensis -V2 -DVERSION="$version" -DEXE="$dir/app/tessaro.exe" -DOUT="$setup" \
         -DICON="$dir/app/tessaro.ico" packaging/windows/tessaro.nsi
echo "installer: $(stat -c %s "$setup") bytes"

# Everything under wine on one virtual display, with one wine server: the Qt
# windows of the tests are real windows there.
export dir setup shots
xvfb-run -a -s '-screen 0 1280x1024x24' bash -c '
    set -euo pipefail
    trap "WINEPREFIX=\"$dir/wineprefix\" wineserver -k 2> /dev/null || true" EXIT
    tests/wine/setup.sh "$dir/wineprefix" "$dir/ports"
    ctest --test-dir "$dir" --output-on-failure --timeout 300
    packaging/windows/install_check.sh "$dir/wine-run.sh" "$setup"
    if [ -n "$shots" ]; then
        # On Windows the tool cannot move the settings away from the registry:
        # start it from a first start, not from what the tests left.
        "$dir/wine-run.sh" reg delete "HKCU\\Software\\Veltmark-soft\\tessaro" /f > /dev/null 2>&1 || true
        mkdir -p "$shots"
        "$dir/wine-run.sh" "$dir/tools/tessaro-screenshots.exe" "$shots"
    fi
'
echo "Windows stage finished in $((SECONDS - start)) s"

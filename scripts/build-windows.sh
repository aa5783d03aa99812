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

dir="${TESSARO_WIN_BUILD_DIR:-build/windows}"
cmake -S . -B "$dir" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64-qt.cmake" \
      -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=ON -DTESSARO_WERROR=ON > /dev/null
cmake --build "$dir" --parallel "${TESSARO_JOBS:-2}"
echo "built ($((SECONDS - start)) s)"

dir="$(realpath "$dir")"
tests/wine/setup.sh "$dir/wineprefix" "$dir/ports"
ctest --test-dir "$dir" --output-on-failure --timeout 300
echo "tested ($((SECONDS - start)) s)"

version="$(sed -n 's/^project(Tessaro VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)"
makensis -V2 -DVERSION="$version" -DEXE="$dir/app/tessaro.exe" -DOUT="$dir/tessaro-setup-$version.exe" \
         -DICON="$dir/app/tessaro.ico" packaging/windows/tessaro.nsi
packaging/windows/install_check.sh "$dir/wine-run.sh" "$dir/tessaro-setup-$version.exe"
echo "installer: $(stat -c %s "$dir/tessaro-setup-$version.exe") bytes ($((SECONDS - start)) s)"

if [ -n "$shots" ]; then
    mkdir -p "$shots"
    export dir shots
    xvfb-run -a -s '-screen 0 1024x768x24' bash -c \
        '"$dir/wine-run.sh" "$dir/tools/tessaro-screenshots.exe" "Z:$shots"'
fi
echo "Windows stage finished in $((SECONDS - start)) s"

#!/usr/bin/env bash
# Installs the Debian 12 packages Tessaro needs and that are missing.
# Usage: scripts/deps.sh [run|test|ci|windows]   (default: run)
set -euo pipefail

want=(build-essential cmake ninja-build pkg-config qt6-base-dev qt6-qpa-plugins libgl-dev
      fonts-liberation libgeographiclib-dev qt6-l10n-tools)
case "${1:-run}" in
    test) want+=(libgtest-dev libgmock-dev at-spi2-core dbus-daemon python3-pyatspi xvfb
                 gpsd gpsd-clients wsjtx) ;;
    ci) want+=(libgtest-dev libgmock-dev at-spi2-core dbus-daemon python3-pyatspi xvfb
               libbenchmark-dev libhamlib-dev libxcb1-dev clang-14 libclang-rt-14-dev libfuzzer-14-dev
               clang-format clang-tidy gpsd gpsd-clients wsjtx) ;;
    windows) want=(cmake ninja-build qt6-base-dev qt6-base-dev-tools qt6-l10n-tools dpkg-dev
                   g++-mingw-w64-x86-64-posix googletest wine wine64 nsis xvfb xauth x11-apps xdotool
                   netpbm) ;;
    run) ;;
    *) echo "usage: $0 [run|test|ci|windows]" >&2; exit 2 ;;
esac

missing=()
for p in "${want[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$p")
    fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
echo "Installing: ${missing[*]}"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"

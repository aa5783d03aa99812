#!/usr/bin/env bash
# Builds the Release program and its Debian package tessaro_<version>_<arch>.deb
# in the build directory (TESSARO_PKG_DIR, default build/pkg) and prints its
# control fields. Needs dpkg-dev for the library dependencies (dpkg-shlibdeps).
set -euo pipefail
cd "$(dirname "$0")/.."
dir="${TESSARO_PKG_DIR:-build/pkg}"
scripts/deps.sh run
command -v dpkg-shlibdeps >/dev/null || {
    echo "build-deb: dpkg-shlibdeps missing (apt-get install dpkg-dev)" >&2
    exit 2
}
cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF -DTESSARO_WERROR=ON
cmake --build "$dir" --parallel
(cd "$dir" && cpack -G DEB)
deb=$(ls -t "$dir"/tessaro_*.deb | head -n 1)
dpkg-deb --info "$deb"
echo "built $deb"

#!/usr/bin/env bash
# Installs what is missing, builds Tessaro with its tests and runs them all.
# TESSARO_BUILD_DIR and TESSARO_CMAKE_ARGS select other builds (the CI uses
# them for the sanitizer runs).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh test
dir="${TESSARO_BUILD_DIR:-build/test}"
# shellcheck disable=SC2086
cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBUILD_TESTING=ON \
      -DTESSARO_WERROR=ON ${TESSARO_CMAKE_ARGS:-}
cmake --build "$dir" --parallel
export QT_QPA_PLATFORM=offscreen
ctest --test-dir "$dir" --output-on-failure --parallel "$(nproc)" --timeout 300 ${TESSARO_CTEST_ARGS:-}

#!/usr/bin/env bash
# Installs what is missing, builds Tessaro and starts it.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh run
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF
cmake --build build/release --parallel
exec build/release/app/tessaro "$@"

#!/usr/bin/env bash
# Builds the fuzz targets with clang-14 (libFuzzer + ASan + UBSan) and runs each
# for FUZZ_SECONDS seconds (default 20) from its seeds in fuzz/corpus/<name>.
# Exits non-zero when a target finds a crash, a failed check, a leak or a hang;
# the input is kept as <build>/artifacts/<name>-crash-... for reproduction:
#   <build>/fuzz/fuzz_<name> <that file>
# FUZZ_BUILD_DIR selects the build directory (default build/fuzz).
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${FUZZ_SECONDS:-20}"
dir="${FUZZ_BUILD_DIR:-build/fuzz}"

for tool in clang-14 clang++-14; do
    command -v "$tool" >/dev/null || { echo "fuzz: $tool not found (scripts/deps.sh ci installs it)" >&2; exit 2; }
done
CC=clang-14 CXX=clang++-14 cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DTESSARO_GUI=OFF -DTESSARO_FUZZ=ON -DBUILD_TESTING=OFF -DTESSARO_ASAN=ON -DTESSARO_WERROR=ON \
    >/dev/null
cmake --build "$dir" --parallel

mkdir -p "$dir/artifacts" "$dir/logs"
passed=0
failed=0
while read -r target; do
    [ -n "$target" ] || continue
    name="${target#fuzz_}"
    # New inputs go to the build's own corpus; the seeds in the repository stay as they are.
    work="$dir/corpus/$name"
    mkdir -p "$work"
    log="$dir/logs/$name.log"
    if "$dir/fuzz/$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
        -print_final_stats=1 -artifact_prefix="$dir/artifacts/$name-" \
        "$work" "fuzz/corpus/$name" >"$log" 2>&1; then
        passed=$((passed + 1))
        execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
        cov=$(grep -o 'cov: [0-9]*' "$log" | tail -n 1)
        echo "fuzz $name: ${execs:-?} runs, ${cov:-cov: ?}, no finding"
    else
        failed=$((failed + 1))
        echo "fuzz $name: FINDING (log $log)"
        grep -E -A12 'check failed|ERROR: |runtime error' "$log" | head -n 40 || tail -n 40 "$log"
        ls "$dir/artifacts/$name-"* 2>/dev/null || true
    fi
done <"$dir/fuzz/targets.txt"

echo "fuzz: $passed passed, $failed failed"
[ "$failed" -eq 0 ]

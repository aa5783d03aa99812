#!/bin/bash
# From a GPS fix in a new square to WSJT-X showing it: the end-to-end test
# with the real WSJT-X (tests/net/WsjtxLiveTest.cpp) walked over more square
# changes, several runs. Each run prints the median, the least and the most
# time from the sentence written into the window's pseudo-terminal to the
# WSJT-X Status datagram whose DE grid is the new square.
#
#   bench/wsjtx_latency.sh [build dir=build/test] [squares=30] [runs=3]
set -euo pipefail
build=${1:-build/test}
squares=${2:-30}
runs=${3:-3}
program="$build/tests/net/test_wsjtx_live"
if [[ ! -x $program ]]; then
    echo "no $program (build with -DBUILD_TESTING=ON first)" >&2
    exit 2
fi
for _ in $(seq "$runs"); do
    TESSARO_WSJTX_SQUARES=$squares "$program" --gtest_brief=1 2>/dev/null | grep -E "median|FAILED|SKIPPED" || true
done

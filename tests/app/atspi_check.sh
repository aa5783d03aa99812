#!/usr/bin/env bash
# Starts the program on a virtual X display with its own session bus and the
# accessibility bus, and reads it through Qt's AT-SPI bridge (atspi_tree.py).
# Usage: atspi_check.sh PROGRAM   Exit 77 (skipped) when the tools are missing.
set -euo pipefail
program="$1"
here="$(cd "$(dirname "$0")" && pwd)"
launcher=""
for candidate in /usr/libexec/at-spi-bus-launcher /usr/lib/at-spi2-core/at-spi-bus-launcher; do
    if [ -x "$candidate" ]; then launcher="$candidate"; fi
done
if [ -z "$launcher" ] || ! command -v Xvfb > /dev/null || ! command -v dbus-run-session > /dev/null ||
    ! /usr/bin/python3 -c 'import pyatspi' 2> /dev/null; then
    echo "AT-SPI tools missing: skipped"
    exit 77
fi
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
export program here launcher work
timeout 150 "$here/../with_xvfb.sh" dbus-run-session -- bash -c '
    "$launcher" --launch-immediately > /dev/null 2>&1 &
    launcher_pid=$!
    XDG_CONFIG_HOME="$work" QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 QT_QPA_PLATFORM=xcb \
        "$program" > "$work/program.log" 2>&1 &
    program_pid=$!
    status=0
    /usr/bin/python3 "$here/atspi_tree.py" tessaro "$program_pid" || status=$?
    if [ "$status" -ne 0 ]; then
        if grep -q "^[^)]*) [^Z]" "/proc/$program_pid/stat" 2> /dev/null; then
            echo "the program was still running; its last output:"
        else
            wait "$program_pid" && code=0 || code=$?
            echo "the program had ended (exit status $code); its last output:"
        fi
        tail -n 20 "$work/program.log" | sed "s/^/    /"
    fi
    kill "$program_pid" "$launcher_pid" 2> /dev/null || true
    wait "$program_pid" 2> /dev/null || true
    exit "$status"
'

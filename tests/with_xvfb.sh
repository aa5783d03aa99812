#!/usr/bin/env bash
# Runs a command on a virtual X display of its own: Xvfb picks a free display
# number itself and reports it through -displayfd only once it accepts
# connections, so parallel tests never race for a number and never connect to
# a server that is still starting (xvfb-run -a does neither). -noreset: by
# default the server resets when its last client leaves, and a client that
# connects during the reset is refused (the accessibility bus launcher comes
# and goes just as the program starts).
# Usage: with_xvfb.sh COMMAND [ARGS...]   Exit 77 (skipped) when Xvfb is missing.
set -euo pipefail
if ! command -v Xvfb > /dev/null; then
    echo "Xvfb missing: skipped"
    exit 77
fi
dir="$(mktemp -d)"
server=""
cleanup() {
    if [ -n "$server" ]; then
        kill "$server" 2> /dev/null || true
        wait "$server" 2> /dev/null || true
    fi
    rm -rf "$dir"
}
trap cleanup EXIT
trap 'exit 143' TERM INT
mkfifo "$dir/ready"
Xvfb -displayfd 3 -nolisten tcp -noreset -screen 0 1280x1024x24 3> "$dir/ready" > "$dir/log" 2>&1 &
server=$!
number=""
# The server writes the number when it is ready; if it dies first, the pipe
# closes and the read ends empty.
read -r -t 60 number < "$dir/ready" || true
if ! [[ "$number" =~ ^[0-9]+$ ]]; then
    echo "Xvfb did not start:" >&2
    tail -n 20 "$dir/log" >&2
    exit 1
fi
export DISPLAY=":$number"
unset WAYLAND_DISPLAY
status=0
"$@" || status=$?
exit "$status"

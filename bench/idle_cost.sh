#!/bin/bash
# CPU time of the whole program while nothing happens, offscreen: once with
# the GPS port open on a silent pseudo-terminal, once with GPS Off (port
# closed). Counts user + system time of all its threads from /proc/<pid>/stat
# over the measuring window, after the start-up has settled.
#
#   bench/idle_cost.sh [path/to/tessaro] [seconds=30]
#
# Goal: at most 0.5 % of one core in each case. Exit status 0 when both meet it.
set -euo pipefail

program=${1:-build/app/tessaro}
seconds=${2:-30}
settle=3
goal_percent=0.5

if [[ ! -x $program ]]; then
    echo "no program at $program (build the target 'tessaro' first)" >&2
    exit 2
fi

work=$(mktemp -d /tmp/tessaro-idle-XXXXXX)
holder=""
app=""
cleanup() {
    [[ -n $app ]] && kill "$app" 2>/dev/null || true
    [[ -n $holder ]] && kill "$holder" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

# A receiver that sends nothing: a pseudo-terminal held open, never written.
python3 -c 'import os, sys, time
master, slave = os.openpty()
print(os.ttyname(slave), flush=True)
while True:
    time.sleep(3600)' >"$work/pty" &
holder=$!
for _ in $(seq 50); do
    [[ -s $work/pty ]] && break
    sleep 0.1
done
device=$(head -n1 "$work/pty")
[[ -n $device ]] || { echo "no pseudo-terminal" >&2; exit 2; }

ticks=$(getconf CLK_TCK)

# utime + stime of the process (all threads), in clock ticks. The fields after
# the command name, which is in parentheses, start with the state (field 3).
cpu_ticks() {
    local rest
    rest=$(sed 's/^.*) //' "/proc/$1/stat")
    awk '{ print $12 + $13 }' <<<"$rest"
}

# Run time of each thread in nanoseconds from the scheduler, as "id ns" lines:
# finer than clock ticks. A thread that ends meanwhile (Qt retires an idle
# pool thread after 30 s) takes its time along, so only threads alive at both
# ends are compared; the ticks above count every thread.
thread_ns() {
    local t
    for t in /proc/"$1"/task/*; do
        echo "${t##*/} $(cut -d' ' -f1 "$t/schedstat")"
    done
}

measure() { # name target
    local name=$1 target=$2 home="$work/target$2"
    mkdir -p "$home/Veltmark-soft"
    cat >"$home/Veltmark-soft/tessaro.conf" <<EOF
[v1]
FmLatitudeDeg=51
FmLatitudeMin=30
FmLatitudeSec=46
FmLongitudeDeg=0
FmLongitudeMin=7
FmLongitudeSec=20
FmLatitude_NS=0
FMLongitude_EW=1
Units=0
qthloc=IO91wm
numdigits=0
comport=0
comspeed=2
actpage=1
center=1
target=$target
ComDevice1=$device
EOF
    XDG_CONFIG_HOME=$home QT_QPA_PLATFORM=offscreen "$program" 2>"$home.log" &
    app=$!
    sleep "$settle"
    local held=no
    if ls -l "/proc/$app/fd" 2>/dev/null | grep -q -- "-> $device\$"; then
        held=yes
    fi
    local t0 t1
    t0=$(cpu_ticks "$app")
    thread_ns "$app" >"$home.ns0"
    sleep "$seconds"
    t1=$(cpu_ticks "$app")
    thread_ns "$app" >"$home.ns1"
    kill "$app"
    wait "$app" 2>/dev/null || true
    app=""
    local cpu_ms percent
    cpu_ms=$(((t1 - t0) * 1000 / ticks))
    percent=$(awk -v t="$((t1 - t0))" -v hz="$ticks" -v s="$seconds" \
        'BEGIN { printf "%.3f", t / hz / s * 100 }')
    printf '%-30s port held: %-3s  CPU %5d ms in %d s = %s %% of one core (resolution %s %%)\n' \
        "$name" "$held" "$cpu_ms" "$seconds" "$percent" \
        "$(awk -v hz="$ticks" -v s="$seconds" 'BEGIN { printf "%.3f", 100 / hz / s }')"
    awk -v s="$seconds" -v pad="" '
        NR == FNR { start[$1] = $2; next }
        ($1 in start) { ns += $2 - start[$1]; n++ }
        END { printf "%-30s %d threads alive throughout ran %.3f ms = %.4f %% of one core\n",
                     pad, n, ns / 1e6, ns / (s * 1e9) * 100 }' "$home.ns0" "$home.ns1"
    if [[ $name == port-open* && $held != yes ]]; then
        echo "  the program did not open $device" >&2
        return 1
    fi
    awk -v p="$percent" -v g="$goal_percent" 'BEGIN { exit !(p <= g) }'
}

echo "program: $program, ${seconds} s each after ${settle} s of start-up, device $device"
status=0
measure "port-open (GPS start point)" 0 || status=1
measure "port-closed (GPS Off)" 2 || status=1
if ((status == 0)); then
    echo "goal (<= $goal_percent % each): met"
else
    echo "goal (<= $goal_percent % each): MISSED"
fi
exit $status

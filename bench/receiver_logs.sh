#!/bin/sh
# Every gpsd regression log with a fix (a TPV of mode 2 or 3 in its .chk)
# into the real window: directly (as recorded and with LF line ends) for NMEA
# logs, through gpsd for all. One process per log, so a log that hangs or
# crashes the window is reported and the run goes on.
#
#   bench/receiver_logs.sh BUILD/bench/receiver_logs GPSD-SOURCE/test/daemon [OUT.tsv]
#
# Needs gpsd and gpsfake (Debian gpsd, gpsd-clients). Prints the per-log table
# (also kept in OUT.tsv), then the counts and the logs without a position.
set -u
program=${1:?path of the receiver_logs program}
daemon=${2:?gpsd source test/daemon folder}
out=${3:-receiver_logs.tsv}
cap=${RECEIVER_LOGS_CAP:-60} # seconds per log

started=$(date +%s)
printf 'log\tkind\tgpsd fixes\tposition sentences (valid)\tdirect\tdirect LF\tgpsd\treason\n' >"$out"
for log in "$daemon"/*.log; do
    grep -q '"class":"TPV".*"mode":[23].*"lat":' "$log.chk" 2>/dev/null || continue
    name=$(basename "$log")
    lines=$(QT_QPA_PLATFORM=offscreen timeout -k 5 "$cap" "$program" "$log" 2>/dev/null)
    rc=$?
    body=$(printf '%s\n' "$lines" | sed 1d)
    if [ "$rc" -ne 0 ] || [ -z "$body" ]; then
        # A line of its own, so the summary counts the log as giving nothing.
        body=$(printf '%s\t?\t?\t?\t0\t0\t0\tthe program ended with %s (124: over %s s)' \
            "$name" "$rc" "$cap")
    fi
    printf '%s\n' "$body" >>"$out"
done
elapsed=$(($(date +%s) - started))

cat "$out"
echo
awk -F'\t' -v elapsed="$elapsed" '
    NR == 1 || $1 == "#" { if ($1 == "#") boxes++; next }
    function n(field) { return field == "-" ? 0 : field + 0 }
    {
        logs++
        if ($2 == "nmea") {
            nmea++
            if (n($5) > 0) direct++
            if (n($6) > 0) lf++
            if (n($7) > 0) gpsdNmea++
        } else if ($2 == "binary") {
            binary++
            if (n($7) > 0) gpsdBinary++
        } else {
            failed++
        }
        if ($5 ~ /off/ || $6 ~ /off/ || $7 ~ /off/) off++
        if ($2 == "?" || ($2 == "nmea" && (n($5) == 0 || n($6) == 0 || n($7) == 0)) ||
            ($2 == "binary" && n($7) == 0))
            none[++nones] = $1 " [" $2 "; direct " $5 ", LF " $6 ", gpsd " $7 "]: " $8
    }
    END {
        printf "logs with a fix in gpsd'"'"'s decoding: %d (%d s)\n", logs, elapsed
        printf "NMEA logs with a fix: %d; position direct: %d; direct with LF line ends: %d; through gpsd: %d\n",
               nmea, direct, lf, gpsdNmea
        printf "binary logs through gpsd: %d of %d\n", gpsdBinary, binary
        printf "logs with a shown fix not at gpsd'"'"'s position of that second: %d\n", off + 0
        printf "runs that ended abnormally: %d; error boxes: %d\n", failed + 0, boxes + 0
        printf "\nlogs without a position in at least one way (%d):\n", nones
        for (i = 1; i <= nones; i++) print "  " none[i]
    }' "$out"

#!/usr/bin/env bash
# The Windows program as a user meets it, under wine on a virtual display:
# stored settings choose COM1 at 4800 bit/s, a GPS fix arrives on COM1 (a
# pseudo-terminal), Esc closes the window, and the registry holds the fix.
# Usage: end_to_end.sh WINE_RUN TESSARO_EXE PORTS_DIR   (on $DISPLAY; exit 77 without)
set -euo pipefail
wine_run="$1" exe="$2" ports="$3"
here="$(cd "$(dirname "$0")" && pwd)"
[ -n "${DISPLAY:-}" ] && command -v xdotool > /dev/null || exit 77

key='HKCU\Software\Veltmark-soft\tessaro\v1'
"$wine_run" reg delete "$key" /f > /dev/null 2>&1 || true
add() { "$wine_run" reg add "$key" /v "$1" /t "$2" /d "$3" /f > /dev/null; }
# A first start's values, a home far from the fix, and the GPS fix as target:
# port 1 (index 0), 4800 bit/s (index 2).
for v in FmLatitudeDeg:10 FmLatitudeMin:0 FmLatitudeSec:0 FmLongitudeDeg:20 FmLongitudeMin:0 \
         FmLongitudeSec:0 qthloc:JJ00aa; do
    add "${v%%:*}" REG_SZ "${v#*:}"
done
for v in FmLatitude_NS:0 FMLongitude_EW:0 Units:0 comport:0 comspeed:2 target:0; do
    add "${v%%:*}" REG_DWORD "${v#*:}"
done

"$here/null_modem.py" "$ports" "$wine_run" "$exe" &
runner=$!
win=$(timeout 60 xdotool search --sync --onlyvisible --name '^Tessaro$' | head -1)
sleep 1
# 51 deg 30.7712 min N, 0 deg 7.3456 min W: 51 30 46, 0 7 20, west.
printf '%s\r\n' '$GPGLL,5130.7712,N,00007.3456,W,093015.00,A*1F' > "$ports/com1.feed"
sleep 2
# No window manager on the virtual display: focus the window directly.
xdotool windowfocus --sync "$win"
xdotool key Escape
wait "$runner"
out="$("$wine_run" reg query "$key")"
echo "$out"
fail=0
for want in 'FmLatitudeDeg +REG_SZ +51$' 'FmLatitudeSec +REG_SZ +46$' 'FmLongitudeMin +REG_SZ +7$' \
            'FMLongitude_EW +REG_DWORD +0x1$'; do
    if ! tr -d '\r' <<< "$out" | grep -Eq "^ +$want"; then
        echo "missing: $want" >&2
        fail=1
    fi
done
exit "$fail"

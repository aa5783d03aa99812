#!/usr/bin/env bash
# Prepares the wine prefix of a Windows build's tests and keeps its server
# running, so that each test process starts in a tenth of a second.
# COM1 and COM2 become the pseudo-terminals that null_modem.py creates.
# Usage: tests/wine/setup.sh PREFIX PORTS_DIR
set -euo pipefail
export WINEPREFIX="$1" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
ports="$2"
mkdir -p "$ports"
if [ ! -f "$WINEPREFIX/system.reg" ]; then
    wineboot -i > /dev/null 2>&1
fi
key='HKLM\Software\Wine\Ports'
changed=0
for n in 1 2; do
    if ! wine reg query "$key" /v "COM$n" 2> /dev/null | grep -qF "$ports/com$n"; then
        wine reg add "$key" /v "COM$n" /t REG_SZ /d "$ports/com$n" /f > /dev/null 2>&1
        changed=1
    fi
done
# Wine maps its ports when its services start: restart them to take the mapping.
if [ "$changed" = 1 ]; then
    wineserver -k || true
    wineserver -w || true
fi
# The server holds the pseudo-terminals behind COM1 and COM2 and takes the
# hang-up when null_modem.py closes them: it then lists all its objects on its
# standard error, thousands of lines that belong in a log, not in the test output.
wineserver -p 2>> "$WINEPREFIX/wineserver.log"
wine cmd /c exit > /dev/null 2>&1

#!/usr/bin/env bash
# Installs the Windows installer silently under wine, checks what a user would
# find (program, Start-menu entry, Apps & Features entry), uninstalls silently
# and checks that all of it is gone.
# Usage: install_check.sh WINE_RUN SETUP_EXE
set -euo pipefail
wine_run="$1" setup="$2"
prefix="$(sed -n 's/^export WINEPREFIX="\(.*\)"$/\1/p' "$wine_run")"
dir="$prefix/drive_c/Program Files/Tessaro"
link="$prefix/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/Tessaro.lnk"
key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Tessaro'

"$wine_run" "$setup" /S
for f in "$dir/tessaro.exe" "$dir/uninstall.exe" "$link"; do
    [ -f "$f" ] || { echo "install_check: missing after install: $f" >&2; exit 1; }
done
"$wine_run" reg query "$key" /v DisplayVersion > /dev/null

# The uninstaller hands over to a copy of itself in the temporary folder (so it
# can remove its own file) and returns at once: wait for the folder to go.
"$wine_run" "$dir/uninstall.exe" /S
for _ in $(seq 300); do
    [ -e "$dir" ] || break
    sleep 0.1
done
[ ! -e "$dir" ] || { echo "install_check: install folder left after uninstall" >&2; exit 1; }
for f in "$dir/tessaro.exe" "$link"; do
    [ ! -e "$f" ] || { echo "install_check: left after uninstall: $f" >&2; exit 1; }
done
if "$wine_run" reg query "$key" > /dev/null 2>&1; then
    echo "install_check: uninstall entry left" >&2
    exit 1
fi
echo "install_check: silent install and uninstall passed"

#!/usr/bin/env bash
# Brings tessaro_de.ts up to date with the texts marked in the sources (new
# ones arrive unfinished, for a translator). With --check, changes nothing
# and fails when the file is not up to date or a translation is unfinished.
set -euo pipefail
command -v lupdate > /dev/null || [ -x /usr/lib/qt6/bin/lupdate ] || { echo "lupdate missing: skipped"; exit 77; }
here="$(cd "$(dirname "$0")" && pwd)"
cd "$here/.."
lupdate="$(command -v lupdate || echo /usr/lib/qt6/bin/lupdate)"
ts="$here/tessaro_de.ts"
sources=(app/*.cpp app/*.h gps/*.cpp gps/*.h serial/*.cpp serial/*.h)
if [ "${1:-}" != "--check" ]; then
    exec "$lupdate" -silent -no-obsolete -locations none -target-language de_DE -I app -I gps -I serial "${sources[@]}" -ts "$ts"
fi
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
cp "$ts" "$work/check.ts"
"$lupdate" -silent -no-obsolete -locations none -target-language de_DE -I app -I gps -I serial "${sources[@]}" -ts "$work/check.ts"
if ! cmp -s "$ts" "$work/check.ts"; then
    echo "translations/tessaro_de.ts is not up to date with the sources; run translations/update.sh:"
    diff -u "$ts" "$work/check.ts" || true
    exit 1
fi
if grep -q 'type="unfinished"' "$ts"; then
    echo "translations/tessaro_de.ts has unfinished translations:"
    grep -B2 'type="unfinished"' "$ts"
    exit 1
fi

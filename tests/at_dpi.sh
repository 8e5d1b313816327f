#!/usr/bin/env bash
# at_dpi.sh DPI WINE PROGRAM [ARGS...]: runs a Windows program under Wine with the screen at DPI.
# Wine takes the DPI from the user's LogPixels as each process starts; the value that was there
# before is put back however the program ends.
set -euo pipefail
dpi="$1" wine="$2"
shift 2
key='HKCU\Control Panel\Desktop'
before="$("$wine" reg query "$key" /v LogPixels 2>/dev/null | tr -d '\r' |
    awk '$1 == "LogPixels" { print $3 }' || true)"
restore() {
    if [ -n "$before" ]; then
        "$wine" reg add "$key" /v LogPixels /t REG_DWORD /d "$((before))" /f >/dev/null 2>&1
    else
        "$wine" reg delete "$key" /v LogPixels /f >/dev/null 2>&1
    fi
}
trap restore EXIT
"$wine" reg add "$key" /v LogPixels /t REG_DWORD /d "$dpi" /f >/dev/null
PURGEBOX_TEST_DPI="$dpi" "$wine" "$@"

#!/usr/bin/env bash
# at_dpi.sh set DPI STATE -- WINE...: sets the user's LogPixels, keeping the earlier value in STATE.
# at_dpi.sh restore STATE -- WINE...: puts that value back (or deletes it where there was none).
# Wine takes the DPI from LogPixels as each process starts. Set and restore are separate CTest
# entries, the restore a fixture's cleanup, so that it runs also after a failure or a timeout.
set -euo pipefail
mode="$1"
shift
if [ "$mode" = set ]; then dpi="$1"; shift; fi
state="$1"
shift
[ "$1" = -- ] && shift
wine=("$@")
key='HKCU\Control Panel\Desktop'
case "$mode" in
set)
    # The key must answer; only the value may be missing ("none").
    listing="$("${wine[@]}" reg query "$key" | tr -d '\r')"
    before="$(awk '$1 == "LogPixels" { print $3 }' <<< "$listing")"
    echo "${before:-none}" > "$state"
    "${wine[@]}" reg add "$key" /v LogPixels /t REG_DWORD /d "$dpi" /f > /dev/null
    ;;
restore)
    if [ ! -f "$state" ]; then
        echo "at_dpi.sh: nothing was set, nothing to put back"
        exit 0
    fi
    before="$(cat "$state")"
    if [ "$before" = none ]; then
        "${wine[@]}" reg delete "$key" /v LogPixels /f > /dev/null
    else
        "${wine[@]}" reg add "$key" /v LogPixels /t REG_DWORD /d "$((before))" /f > /dev/null
    fi
    rm -f "$state"
    ;;
*)
    echo "at_dpi.sh: unknown mode $mode" >&2
    exit 2
    ;;
esac

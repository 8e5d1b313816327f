#!/usr/bin/env bash
# Installs what is missing, builds purgebox.exe and starts it under Wine. On a display it runs
# in the user's own Wine prefix, as `wine purgebox.exe` would, and so cleans that prefix's
# traces. On a machine with no display it runs in a private X server and a throwaway prefix,
# saves a screenshot once the window is idle, and ends the program.
set -euo pipefail
# shellcheck source-path=SCRIPTDIR source=lib.sh
source "$(dirname "$0")/lib.sh"
handle_exits
caller_locale=() # Wine is started on a display with the user's own locale
for v in LANG LC_ALL; do if [ -n "${!v+x}" ]; then caller_locale+=("$v=${!v}"); fi; done
# shellcheck disable=SC2119 # no argument: a UTF-8 locale the user has is kept
use_utf8_locale

ensure_packages
check_setup
build_arch x86_64 -DPURGEBOX_TESTS=OFF
EXE="$BUILD_ROOT/x86_64/purgebox.exe"

if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
    # Nothing is written into this prefix but what Wine and the program write: no fonts (the
    # program has its own stand-in face), no settings, and no clean-up of it on any way out
    # but stopping the program itself; a wineserver that was running goes on running.
    export WINEPREFIX="${WINEPREFIX:-$HOME/.wine}"
    export WINEDEBUG="${WINEDEBUG--all}"
    echo "Starting Purgebox in the Wine prefix $WINEPREFIX: what it cleans is that prefix's."
    run_child env -u LANG -u LC_ALL "${caller_locale[@]}" PATH="${CALLER_PATH:+$CALLER_PATH:}/usr/bin" \
        wine "$EXE"
    exit 0
fi

start_wine_env no-window-manager
# A child the traps stop, as run_child's are.
wine "$EXE" &
CHILD_PID=$!
for _ in $(seq 300); do
    xwininfo -root -tree 2>/dev/null | grep -q '"Purgebox"' && break
    sleep 0.1
done
run_child sleep 2 # let it finish painting
SHOT="${PURGEBOX_SCREENSHOT:-$BUILD_ROOT/purgebox-screenshot.png}"
xwd -root -silent | convert xwd:- -trim "$SHOT"
echo "No display here: the window ran in a private X server and a throwaway Wine prefix. Screenshot saved to $SHOT"

# A private X server with a window manager, and a fresh Wine prefix with a home of its own.
# shellcheck shell=bash

# Starts a private X server with a window manager, as every desktop has, and a fresh Wine prefix
# with one persistent wineserver; stop_wine_env undoes them and is safe to call twice. Only what
# this made is ever removed or stopped: PRIVATE_PREFIX, not whatever WINEPREFIX names, which may
# be the user's own. With "no-window-manager", Wine draws the windows' frames itself, as the
# picture of the window in the README shows them: a frame as designed, whatever a window
# manager would add.
PRIVATE_PREFIX=""
PRIVATE_HOME=""
XVFB_PID=""
WM_PID=""
start_wine_env() {
    export WINEDEBUG=-all
    # No .NET or Gecko installers, and no debugger that would wait forever on a crash.
    export WINEDLLOVERRIDES="mscoree,mshtml,winedbg.exe=d"
    PRIVATE_PREFIX="$(mktemp -d /tmp/purgebox-wine.XXXXXX)"
    export WINEPREFIX="$PRIVATE_PREFIX"
    # The server writes its display number once it listens; the files go with the prefix.
    local fdfile="$WINEPREFIX/xvfb-display" log="$WINEPREFIX/xvfb.log" display=""
    Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$fdfile" >"$log" 2>&1 &
    XVFB_PID=$!
    for _ in $(seq 100); do
        display="$(head -n1 "$fdfile" 2>/dev/null || true)"
        [ -n "$display" ] && break
        kill -0 "$XVFB_PID" 2>/dev/null || break
        sleep 0.1
    done
    if [ -z "$display" ]; then
        echo "error: the private X server (Xvfb) did not start; it said:" >&2
        sed 's/(EE) *//g; /^[[:space:]]*$/d; s/^/    /' "$log" | tail -n 3 >&2
        return 1
    fi
    export DISPLAY=":$display"
    rm -f "$fdfile" "$log"
    [ "${1:-}" = no-window-manager ] || start_window_manager
    make_private_home
    wineserver -p
    run_child quietly wineboot -i || true
    if [ "${1:-}" = no-window-manager ]; then
        run_child quietly wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f || true
    fi
    # Debian's Wine does not look in its own font folder: Marlett (the caption buttons' symbols)
    # and Tahoma are found only in the prefix's Fonts folder.
    cp /usr/share/wine/fonts/*.ttf "$WINEPREFIX/drive_c/windows/Fonts/"
    # Start afresh, so that the desktop process reads the above. The services and the
    # desktop start here, not under the test runner, whose output pipe they would otherwise
    # hold open.
    wineserver -k 2>/dev/null || true
    run_child wineserver -w
    remove_server_dir
    wineserver -p
    run_child quietly wineboot -r || true
}

# A home of the prefix's own, with the folders that every desktop names in user-dirs.dirs. The
# prefix links its Documents, Desktop and the others there: no test can reach the user's own
# files, and the home is not taken for a content folder, as Wine does without that file. It lies
# beside the build, on a disk as a user's home does, not in /tmp, which may be a memory file
# system that Wine would take for the same volume as the prefix's folders there.
make_private_home() {
    mkdir -p "$BUILD_ROOT"
    PRIVATE_HOME="$(mktemp -d "$BUILD_ROOT/home.XXXXXX")"
    export HOME="$PRIVATE_HOME"
    local d
    for d in .config Desktop Documents Downloads Music Pictures Public Templates Videos; do
        mkdir -p "$HOME/$d"
    done
    # shellcheck disable=SC2016 # $HOME is written as such, as xdg-user-dirs writes it
    printf 'XDG_%s_DIR="$HOME/%s"\n' DESKTOP Desktop DOCUMENTS Documents DOWNLOAD Downloads \
        MUSIC Music PICTURES Pictures PUBLICSHARE Public TEMPLATES Templates VIDEOS Videos \
        >"$HOME/.config/user-dirs.dirs"
}

# Without a window manager Wine waits up to two seconds for one whenever a window leaves the
# screen, and activation and stacking are not what users meet. Ready once it names itself on the
# root window.
start_window_manager() {
    # Its own settings as packaged, not the user's, and its log and cache in the prefix.
    XDG_CONFIG_HOME="$PRIVATE_PREFIX/xdg-config" XDG_CACHE_HOME="$PRIVATE_PREFIX/xdg-cache" \
        openbox --sm-disable --config-file /etc/xdg/openbox/rc.xml \
        >"$PRIVATE_PREFIX/openbox.log" 2>&1 &
    WM_PID=$!
    for _ in $(seq 100); do
        xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && return 0
        kill -0 "$WM_PID" 2>/dev/null || break
        sleep 0.1
    done
    echo "error: the window manager (openbox) did not start; it said:" >&2
    sed 's/^/    /' "$PRIVATE_PREFIX/openbox.log" | tail -n 3 >&2
    return 1
}

# Debian's wineserver keeps its socket in a directory of its own under TMPDIR, named in the
# prefix's file "wineserver", and leaves that directory behind when it ends.
remove_server_dir() {
    local name
    name="$(cat "$PRIVATE_PREFIX/wineserver" 2>/dev/null || true)"
    case "$name" in
    wine-??????) rm -rf "${TMPDIR:-/tmp}/$name" ;;
    esac
}

stop_wine_env() {
    if [ -n "$PRIVATE_PREFIX" ] && [ -d "$PRIVATE_PREFIX" ]; then
        WINEPREFIX="$PRIVATE_PREFIX" wineserver -k 2>/dev/null || true
        WINEPREFIX="$PRIVATE_PREFIX" wineserver -w 2>/dev/null || true
        remove_server_dir
        rm -rf "$PRIVATE_PREFIX"
    fi
    PRIVATE_PREFIX=""
    [ -z "$PRIVATE_HOME" ] || rm -rf "$PRIVATE_HOME"
    PRIVATE_HOME=""
    if [ -n "$WM_PID" ]; then
        kill "$WM_PID" 2>/dev/null || true
        wait "$WM_PID" 2>/dev/null || true
        WM_PID=""
    fi
    if [ -n "$XVFB_PID" ]; then
        kill "$XVFB_PID" 2>/dev/null || true
        wait "$XVFB_PID" 2>/dev/null || true
        XVFB_PID=""
    fi
}

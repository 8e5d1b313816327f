# Shared by the run and test commands: packages, builds, and a private Wine desktop.
# shellcheck shell=bash

REPO_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
BUILD_ROOT="${PURGEBOX_BUILD_DIR:-$REPO_ROOT/build}"

PACKAGES=(cmake make python3 g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix
          binutils-mingw-w64-x86-64 binutils-mingw-w64-i686 wine64 xvfb xauth x11-utils
          x11-apps imagemagick googletest fonts-comic-neue)

# Installs whichever of the packages is missing (Debian; needs root or sudo).
ensure_packages() {
    local missing=()
    for p in "${PACKAGES[@]}"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "Installing: ${missing[*]}"
    local sudo=""
    [ "$(id -u)" -ne 0 ] && sudo="sudo"
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
}

# build_arch ARCH [cmake args...]: configures and builds into $BUILD_ROOT/ARCH.
build_arch() {
    local arch="$1"; shift
    cmake -S "$REPO_ROOT" -B "$BUILD_ROOT/$arch" -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_TOOLCHAIN_FILE="$REPO_ROOT/cmake/mingw-$arch.cmake" "$@" >/dev/null
    cmake --build "$BUILD_ROOT/$arch" -j "$(nproc)"
}

# Starts a private X server (unless use_display is given) and a fresh Wine prefix with one
# persistent wineserver; stop_wine_env undoes both and is safe to call twice.
start_wine_env() {
    export WINEDEBUG=-all
    # No .NET or Gecko installers, and no debugger that would wait forever on a crash.
    export WINEDLLOVERRIDES="mscoree,mshtml,winedbg.exe=d"
    export WINEPREFIX
    WINEPREFIX="$(mktemp -d /tmp/purgebox-wine.XXXXXX)"
    if [ "${1:-}" != "use_display" ]; then
        local fdfile
        fdfile="$(mktemp)"
        Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$fdfile" >/dev/null 2>&1 &
        XVFB_PID=$!
        for _ in $(seq 100); do [ -s "$fdfile" ] && break; sleep 0.1; done
        export DISPLAY=":$(head -n1 "$fdfile")"
        rm -f "$fdfile"
    fi
    wineserver -p
    wineboot -i >/dev/null 2>&1 || true
    # Comic Sans MS is not packaged for Debian; its nearest free relative stands in.
    wine reg add 'HKCU\Software\Wine\Fonts\Replacements' /v 'Comic Sans MS' /d 'Comic Neue' /f >/dev/null 2>&1 || true
    if [ "${1:-}" != "use_display" ]; then
        # No window manager runs on the private server: without this, Wine waits two seconds
        # for one to acknowledge every window it hides.
        wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1 || true
    fi
    # Start afresh, so that the desktop process (and its tray) reads the settings above. The
    # services and the desktop start here, not under the test runner, whose output pipe they
    # would otherwise hold open.
    wineserver -k 2>/dev/null || true
    wineserver -w
    wineserver -p
    wineboot -r >/dev/null 2>&1 || true
}

stop_wine_env() {
    if [ -n "${WINEPREFIX:-}" ] && [ -d "$WINEPREFIX" ]; then
        wineserver -k 2>/dev/null || true
        wineserver -w 2>/dev/null || true
        rm -rf "$WINEPREFIX"
    fi
    if [ -n "${XVFB_PID:-}" ]; then
        kill "$XVFB_PID" 2>/dev/null || true
        wait "$XVFB_PID" 2>/dev/null || true
        XVFB_PID=""
    fi
}

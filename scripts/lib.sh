# Shared by the run and test commands: packages, builds, and a private Wine desktop.
# shellcheck shell=bash

REPO_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
BUILD_ROOT="${PURGEBOX_BUILD_DIR:-$REPO_ROOT/build}"

# The system's own tools first, whatever the caller's PATH holds (a pyenv shim, a stand-in
# convert in /usr/local/bin): what runs is what the package list installs.
# CALLER_PATH keeps theirs for what should run as the user would run it.
# shellcheck disable=SC2034 # read by run.sh
CALLER_PATH="${PATH:-}"
export PATH="/usr/sbin:/usr/bin:/sbin:/bin${PATH:+:$PATH}"

# Exactly the packages that own what the scripts, CMake and the tests run (see check_setup).
PACKAGES=(cmake make python3-minimal python3.11-minimal
          gcc-mingw-w64-x86-64-posix g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
          gcc-mingw-w64-i686-posix g++-mingw-w64-i686-posix binutils-mingw-w64-i686
          wine wine64 libwine xvfb openbox x11-utils x11-apps imagemagick-6.q16 googletest fonts-comic-neue fonts-wine
          fonts-liberation fonts-dejavu-core fonts-dejavu-extra)

# What the scripts, CMake and the tests run, and the packaged files they read.
SETUP_COMMANDS=(wine wineserver wineboot Xvfb openbox xprop xdpyinfo xwininfo xwd convert cmake ctest make
                python3 x86_64-w64-mingw32-gcc-posix x86_64-w64-mingw32-g++-posix
                x86_64-w64-mingw32-windres i686-w64-mingw32-gcc-posix i686-w64-mingw32-g++-posix
                i686-w64-mingw32-windres)
# The captions test checks the program's stand-in faces that have a free package (Liberation
# Sans has Arial's widths) and a face too wide for the boxes (DejaVu Sans).
SETUP_FILES=(/usr/lib/wine/wine64 /usr/src/googletest/CMakeLists.txt
             /usr/share/fonts/opentype/comic-neue/ComicNeue-Regular.otf
             /usr/share/wine/fonts/marlett.ttf /usr/share/wine/fonts/tahoma.ttf
             /usr/share/fonts/truetype/liberation/LiberationSans-Regular.ttf
             /usr/share/fonts/truetype/dejavu/DejaVuSans.ttf
             /usr/share/fonts/truetype/dejavu/DejaVuSansCondensed.ttf
             /etc/xdg/openbox/rc.xml)

# Wine maps file names through the locale's character set: without a UTF-8 locale (none is
# set in a minimal install or a container) names outside ASCII cannot be made or reached.
use_utf8_locale() {
    if [ "${1:-}" = force ] || [ "$(locale charmap 2>/dev/null)" != "UTF-8" ]; then
        export LANG=C.UTF-8 LC_ALL=C.UTF-8
    fi
}

# Fails, naming the file, unless every file that README.md links or shows by a relative path
# is in the repository: a file left out of a commit, or hidden by .gitignore, is a broken link
# in every clone and on every page that shows the repository. Without git (a fresh machine has
# none) the work tree is a clone, and a file in it is one that was committed. Needs only bash,
# sed and grep, so that it can run before anything is installed.
check_readme_links() {
    local readme="$REPO_ROOT/README.md" top="" link target bad=0
    if command -v git >/dev/null; then
        top="$(git -C "$REPO_ROOT" rev-parse --show-toplevel 2>/dev/null || true)"
        [ "$top" = "$(cd "$REPO_ROOT" && pwd -P)" ] || top=""
    fi
    # Inline links and pictures, reference definitions (not footnotes) and HTML src and href
    # attributes; nothing inside code blocks or code spans.
    # shellcheck disable=SC2016 # Markdown's backquotes, not the shell's
    while IFS= read -r link; do
        case "$link" in
        ']('*) target="${link#"]("}"; target="${target%")"}" ;;
        src=* | href=*) target="${link#*=?}"; target="${target%?}" ;;
        *) target="${link#*]:}" ;;
        esac
        target="${target#"${target%%[![:space:]]*}"}"
        if [ "${target#<}" != "$target" ]; then
            target="${target#<}"; target="${target%%>*}"
        else
            target="${target%%[[:space:]]*}" # a title follows the address
        fi
        target="${target%%#*}"; target="${target%%\?*}"
        target="$(printf '%b' "${target//%/\\x}")" # %XX escapes
        # An anchor in this page, or another site.
        [ -z "$target" ] || [[ "$target" =~ ^(//|[a-zA-Z][a-zA-Z0-9+.-]*:) ]] && continue
        target="${target#/}"; target="${target#./}"
        if [ -n "$top" ]; then
            [ -n "$(git -C "$REPO_ROOT" --literal-pathspecs ls-files -- "$target")" ] && continue
            echo "README check: '$target', which README.md links, is not in the repository: add it with git (is it in .gitignore?)" >&2
        else
            [ -e "$REPO_ROOT/$target" ] && continue
            echo "README check: '$target', which README.md links, is not in the repository" >&2
        fi
        bad=1
    done < <(sed -e '/^ \{0,3\}\(```\|~~~\)/,/^ \{0,3\}\(```\|~~~\)/d' -e 's/`[^`]*`//g' "$readme" |
        grep -oE '\]\([^)]*\)|^ {0,3}\[[^]^][^]]*\]:[[:space:]]*[^[:space:]]+|(src|href)=("[^"]*"|'"'[^']*'"')' || true)
    return "$bad"
}

# Fails, naming the command and the package, unless everything in SETUP_COMMANDS and
# SETUP_FILES comes from a package in PACKAGES: what a well-stocked machine happens to have
# cannot hide a missing install step. Both the name that is called and the file that runs in
# the end must be ours. dpkg still records some /usr-merged files under /bin or /lib, so each
# path is also asked for there; all in one look-up, which is what takes the time. Runs after
# ensure_packages, since before it a fresh machine has none of them.
check_setup() {
    local bad=0 i c p line
    local names=() found=() targets=()
    local -A queries=()
    for c in "${SETUP_COMMANDS[@]}" "${SETUP_FILES[@]}"; do
        if [ "${c#/}" != "$c" ]; then
            p="$c"; [ -e "$c" ] || p=""
        else
            p="$(command -v "$c" || true)"
        fi
        names+=("$c"); found+=("$p"); targets+=("")
        [ -n "$p" ] || continue
        targets[-1]="$(readlink -f "$p")"
        for p in "$p" "${targets[-1]}"; do
            queries[$p]=1
            [ "${p#/usr/}" = "$p" ] || queries[/${p#/usr/}]=1
        done
    done

    # owners[path]: the packages that installed it, as dpkg-query lists them (without the
    # diversions it also lists).
    local -A owners=()
    if [ ${#queries[@]} -gt 0 ]; then
        while IFS= read -r line; do
            case "$line" in "diversion by "* | "local diversion "*) continue ;; esac
            p="${line#*: }"
            [ -n "${owners[$p]:-}" ] || owners[$p]="${line%%: *}"
        done < <(LC_ALL=C dpkg-query -S "${!queries[@]}" 2>/dev/null)
    fi

    local owner list pkg ours pkgs
    for i in "${!names[@]}"; do
        c="${names[$i]}"
        if [ -z "${found[$i]}" ]; then
            echo "set-up check: '$c' is missing: add the package that provides it to PACKAGES in scripts/lib.sh" >&2
            bad=1; continue
        fi
        local paths=("${found[$i]}")
        [ "${targets[$i]}" = "${found[$i]}" ] || paths+=("${targets[$i]}")
        for p in "${paths[@]}"; do
            list="${owners[$p]:-}"
            [ -n "$list" ] || [ "${p#/usr/}" = "$p" ] || list="${owners[/${p#/usr/}]:-}"
            if [ -z "$list" ]; then
                [ "$p" = "${found[$i]}" ] && [ -L "$p" ] && continue # an alternatives link
                echo "set-up check: '$c' ($p) comes from no Debian package: install it with one listed in PACKAGES in scripts/lib.sh" >&2
                bad=1; continue
            fi
            # "pkg:arch, other: /path" for a file that more than one package ships.
            owner="" ours=""
            IFS=', ' read -r -a pkgs <<<"$list"
            for pkg in "${pkgs[@]}"; do
                pkg="${pkg%%:*}"
                [ -n "$owner" ] || owner="$pkg"
                [[ " ${PACKAGES[*]} " == *" $pkg "* ]] && ours=1
            done
            if [ -z "$ours" ]; then
                echo "set-up check: '$c' ($p) comes from the package '$owner', which is not in PACKAGES in scripts/lib.sh: add it" >&2
                bad=1
            fi
        done
    done
    return "$bad"
}

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
    # Through env: sudo's reset of the environment would drop a plain assignment before it.
    $sudo env DEBIAN_FRONTEND=noninteractive apt-get update -qq
    $sudo env DEBIAN_FRONTEND=noninteractive \
        apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
}

# build_arch ARCH [cmake args...]: configures and builds into $BUILD_ROOT/ARCH.
build_arch() {
    local arch="$1"; shift
    run_child cmake -S "$REPO_ROOT" -B "$BUILD_ROOT/$arch" -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_TOOLCHAIN_FILE="$REPO_ROOT/cmake/mingw-$arch.cmake" "$@" >/dev/null
    run_child cmake --build "$BUILD_ROOT/$arch" -j "$(nproc)"
}

# Every way out cleans up. Bash runs a trap only once the command in the foreground has ended,
# so a TERM during the tests would wait for all of them: long commands run as a child in the
# background (run_child) and are waited for. INT and TERM stop that child with everything it
# started, then end the script with 130 or 143, and EXIT removes the Wine prefix and the X
# server. The package install is left to finish: dpkg cut off halfway is worse.
CHILD_PID=""
handle_exits() {
    take_interrupts
    trap on_exit EXIT
    trap 'on_signal INT 130' INT
    trap 'on_signal TERM 143' TERM
}

# A script started in the background by another script begins with INT ignored, and bash can
# then neither trap nor reset it: a Ctrl+C in the terminal would stop the child in front and
# leave the rest running. Such a command starts again with INT as a terminal gives it.
take_interrupts() {
    local ignored
    ignored="$(sed -n 's/^SigIgn:[[:space:]]*//p' "/proc/$$/status" 2>/dev/null || true)"
    if [ -z "$ignored" ] || ! (((16#$ignored >> 1) & 1)); then
        unset PURGEBOX_INT_RESTORED # a command this one starts in the background may need it
        return 0
    fi
    [ -z "${PURGEBOX_INT_RESTORED:-}" ] || return 0
    export PURGEBOX_INT_RESTORED=1
    exec env --default-signal=INT PATH="$CALLER_PATH" "$BASH" "$0" # none takes arguments
}

on_signal() {
    trap '' INT TERM # a second Ctrl+C does not cut the clean-up short
    echo "$(basename "$0"): $1: stopping and cleaning up" >&2
    exit "$2"
}

on_exit() {
    stop_child
    stop_wine_env
}

# run_child COMMAND...: runs it where the traps can stop it, and returns its status. A trap
# runs with the redirections of the command it interrupted: silence the child with quietly,
# not run_child, or the signal's message is lost.
run_child() {
    "$@" &
    CHILD_PID=$!
    local status=0
    wait "$CHILD_PID" || status=$?
    CHILD_PID=""
    return "$status"
}

quietly() {
    "$@" >/dev/null 2>&1
}

# process_tree PID: the process and all its descendants, parents first.
process_tree() {
    local -A children=()
    local f stat pid fields
    for f in /proc/[0-9]*/stat; do
        { read -r stat <"$f"; } 2>/dev/null || continue
        pid="${f#/proc/}"; pid="${pid%/stat}"
        read -r -a fields <<<"${stat##*) }" # after the command name, which may hold blanks
        children[${fields[1]}]+=" $pid"
    done
    local queue=("$1")
    while [ ${#queue[@]} -gt 0 ]; do
        pid="${queue[0]}"; queue=("${queue[@]:1}")
        echo "$pid"
        # shellcheck disable=SC2206 # a list of numbers
        queue+=(${children[$pid]:-})
    done
}

stop_child() {
    [ -n "$CHILD_PID" ] || return 0
    # shellcheck disable=SC2046 # a list of numbers
    kill -TERM $(process_tree "$CHILD_PID") 2>/dev/null || true
    local stat tenths=0
    while [ "$tenths" -lt 50 ]; do
        { read -r stat <"/proc/$CHILD_PID/stat"; } 2>/dev/null || break
        stat="${stat##*) }"
        [ "${stat%% *}" = Z ] && break
        sleep 0.1
        tenths=$((tenths + 1))
    done
    # Still running after five seconds: this number is still the child's.
    [ "$tenths" -lt 50 ] || kill -KILL "$CHILD_PID" 2>/dev/null || true
    wait "$CHILD_PID" 2>/dev/null || true
    CHILD_PID=""
}

# Starts a private X server with a window manager, as every desktop has, and a fresh Wine prefix
# with one persistent wineserver; stop_wine_env undoes them and is safe to call twice. Only what
# this made is ever removed or stopped: PRIVATE_PREFIX, not whatever WINEPREFIX names, which may
# be the user's own. With "no-window-manager", Wine draws the windows' frames itself, as the
# picture of the window in the README shows them: a frame as designed, whatever a window
# manager would add.
PRIVATE_PREFIX=""
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
# files, and the home is not taken for a content folder, as Wine does without that file.
make_private_home() {
    export HOME="$PRIVATE_PREFIX/home"
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

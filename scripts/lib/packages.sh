# What the commands install and check: exactly the packages that own what they run.
# shellcheck shell=bash

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

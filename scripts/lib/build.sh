# The locale the tools run in, and the builds.
# shellcheck shell=bash

# Wine maps file names through the locale's character set: without a UTF-8 locale (none is
# set in a minimal install or a container) names outside ASCII cannot be made or reached.
use_utf8_locale() {
    if [ "${1:-}" = force ] || [ "$(locale charmap 2>/dev/null)" != "UTF-8" ]; then
        export LANG=C.UTF-8 LC_ALL=C.UTF-8
    fi
}


# build_arch ARCH [cmake args...]: configures and builds into $BUILD_ROOT/ARCH.
build_arch() {
    local arch="$1"; shift
    run_child cmake -S "$REPO_ROOT" -B "$BUILD_ROOT/$arch" -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_TOOLCHAIN_FILE="$REPO_ROOT/cmake/mingw-$arch.cmake" "$@" >/dev/null
    run_child cmake --build "$BUILD_ROOT/$arch" -j "$(nproc)"
}

#!/usr/bin/env bash
# Installs what is missing, builds the program for x86_64 and i686 and the tests, and runs
# every test under Wine in a fresh prefix on a private X server.
set -euo pipefail
# shellcheck source-path=SCRIPTDIR source=lib.sh
source "$(dirname "$0")/lib.sh"
handle_exits
use_utf8_locale force

check_readme_links
ensure_packages
check_setup
build_arch x86_64 -DPURGEBOX_TESTS=ON
build_arch i686 -DPURGEBOX_TESTS=OFF

# shellcheck disable=SC2119 # no argument: the window manager runs
start_wine_env
# Each test program may be asked to repeat itself (GTEST_REPEAT): its limit grows with it.
repeats="${GTEST_REPEAT:-1}"
[[ "$repeats" =~ ^[1-9][0-9]{0,3}$ ]] || repeats=1
run_child ctest --test-dir "$BUILD_ROOT/x86_64" --output-on-failure --timeout $((900 * repeats))

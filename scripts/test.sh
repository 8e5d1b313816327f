#!/usr/bin/env bash
# Installs what is missing, builds the program for x86_64 and i686 and the tests, and runs
# every test under Wine in a fresh prefix on a private X server.
set -euo pipefail
source "$(dirname "$0")/lib.sh"

ensure_packages
build_arch x86_64 -DPURGEBOX_TESTS=ON
build_arch i686 -DPURGEBOX_TESTS=OFF

trap stop_wine_env EXIT INT TERM
start_wine_env
ctest --test-dir "$BUILD_ROOT/x86_64" --output-on-failure --timeout 900

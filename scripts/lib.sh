# Shared by the run and test commands, the benchmark too: one file per concern in lib/.
# shellcheck shell=bash source-path=SCRIPTDIR

REPO_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
BUILD_ROOT="${PURGEBOX_BUILD_DIR:-$REPO_ROOT/build}"

# The system's own tools first, whatever the caller's PATH holds (a pyenv shim, a stand-in
# convert in /usr/local/bin): what runs is what the package list installs.
# CALLER_PATH keeps theirs for what should run as the user would run it.
# shellcheck disable=SC2034 # read by run.sh
CALLER_PATH="${PATH:-}"
export PATH="/usr/sbin:/usr/bin:/sbin:/bin${PATH:+:$PATH}"

# shellcheck source=lib/packages.sh
source "$REPO_ROOT/scripts/lib/packages.sh"
# shellcheck source=lib/readme.sh
source "$REPO_ROOT/scripts/lib/readme.sh"
# shellcheck source=lib/build.sh
source "$REPO_ROOT/scripts/lib/build.sh"
# shellcheck source=lib/exits.sh
source "$REPO_ROOT/scripts/lib/exits.sh"
# shellcheck source=lib/wine.sh
source "$REPO_ROOT/scripts/lib/wine.sh"

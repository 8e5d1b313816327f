# Every way out of a command cleans up: signals, children, and what they started.
# shellcheck shell=bash

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

#!/usr/bin/env bash
# Runs a test program on a virtual 800 x 600 X screen under the openbox window manager,
# so that its windows get real frames. Usage: run_under_wm.sh PROGRAM [ARGUMENTS...]
# Every wait is bounded; the X server and openbox end with the script, or after their
# own time limit should the script be killed outright.
set -uo pipefail
for tool in Xvfb openbox timeout; do
    command -v "$tool" >/dev/null || { echo "SKIP: $tool missing (scripts/deps.sh installs it)"; exit 77; }
done
work=$(mktemp -d)
pids=()
stop() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null; wait "$pid" 2>/dev/null; done
    rm -rf "$work"
}
trap stop EXIT
trap 'exit 143' INT TERM

# wait_until SECONDS COMMAND...: polls COMMAND every 0.1 s.
wait_until() {
    local tries=$(($1 * 10))
    shift
    until "$@"; do
        tries=$((tries - 1))
        [ "$tries" -gt 0 ] || return 1
        sleep 0.1
    done
}
# Xvfb writes its display number once it takes connections, and exits at once when
# another server holds the number; the next one is tried then (parallel runs).
xvfb_settled() { [ -s "$work/display" ] || ! kill -0 "$1" 2>/dev/null; }
for n in $(seq 91 150); do
    [ "$SECONDS" -lt 30 ] || break
    [ -e "/tmp/.X$n-lock" ] && continue
    timeout -k 5 300 Xvfb ":$n" -screen 0 800x600x24 -nolisten tcp -displayfd 3 \
        3>"$work/display" 2>"$work/xvfb.log" &
    pid=$!
    if wait_until 15 xvfb_settled "$pid" && [ -s "$work/display" ]; then
        pids=("$pid")
        export DISPLAY=":$n"
        break
    fi
    kill "$pid" 2>/dev/null
    wait "$pid" 2>/dev/null
done
[ -n "${DISPLAY-}" ] && [ ${#pids[@]} -eq 1 ] ||
    { echo "FAIL: no X server started"; cat "$work/xvfb.log"; exit 1; }

# openbox keeps its configuration and caches in the temporary folder, and runs the
# --startup command once it manages the screen.
export XDG_CONFIG_HOME=$work/config XDG_CACHE_HOME=$work/cache XDG_DATA_HOME=$work/data
export XDG_RUNTIME_DIR=$work/runtime
mkdir -m 700 "$XDG_RUNTIME_DIR"
timeout -k 5 300 openbox --sm-disable --startup "touch $work/wm-ready" >"$work/openbox.log" 2>&1 &
pids=("$!" "${pids[@]}")
wait_until 15 test -e "$work/wm-ready" ||
    { echo "FAIL: openbox did not start on $DISPLAY"; cat "$work/openbox.log"; exit 1; }

QT_QPA_PLATFORM=xcb timeout -k 5 150 "$@"
status=$?
[ $status -eq 124 ] || [ $status -eq 137 ] && echo "FAIL: $1 timed out"
exit $status

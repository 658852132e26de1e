#!/usr/bin/env bash
# Runs a test program on a virtual 800 x 600 X screen under the openbox window manager,
# so that its windows get real frames. Usage: run_under_wm.sh PROGRAM [ARGUMENTS...]
# Every wait is bounded, and the X server and the window manager end with the script
# (or, should it be killed outright, at the latest after their own time limit).
set -uo pipefail
for tool in Xvfb openbox timeout; do
    command -v "$tool" >/dev/null || { echo "SKIP: $tool missing (scripts/deps.sh installs it)"; exit 77; }
done

work=$(mktemp -d)
xvfb_pid=""
wm_pid=""
stop() {
    for pid in $wm_pid $xvfb_pid; do kill "$pid" 2>/dev/null; done
    for pid in $wm_pid $xvfb_pid; do wait "$pid" 2>/dev/null; done
    rm -rf "$work"
}
trap stop EXIT
trap 'exit 143' INT TERM

# wait_until SECONDS COMMAND...: true once COMMAND succeeds, polling every 0.1 s.
wait_until() {
    local tries=$(($1 * 10))
    shift
    while [ "$tries" -gt 0 ]; do
        "$@" && return 0
        sleep 0.1
        tries=$((tries - 1))
    done
    return 1
}
# Xvfb writes its display number once it accepts connections, or exits when another
# server holds the number.
xvfb_settled() { [ -s "$work/display" ] || ! kill -0 "$xvfb_pid" 2>/dev/null; }

# The first free display from :91 on; when another run takes the same number at the same
# moment, the next one is tried, for half a minute at most.
display=""
for n in $(seq 91 150); do
    [ "$SECONDS" -lt 30 ] || break
    [ -e "/tmp/.X$n-lock" ] && continue
    rm -f "$work/display"
    timeout -k 5 300 Xvfb ":$n" -screen 0 800x600x24 -nolisten tcp -displayfd 3 \
        3>"$work/display" 2>"$work/xvfb.log" &
    xvfb_pid=$!
    if wait_until 15 xvfb_settled && [ -s "$work/display" ]; then
        display=":$n"
        break
    fi
    kill "$xvfb_pid" 2>/dev/null
    wait "$xvfb_pid" 2>/dev/null
    xvfb_pid=""
done
[ -n "$display" ] || { echo "FAIL: no X server started"; cat "$work/xvfb.log" 2>/dev/null; exit 1; }

# The window manager's own configuration and caches stay in the temporary folder.
export DISPLAY=$display
export XDG_CONFIG_HOME=$work/config XDG_CACHE_HOME=$work/cache XDG_DATA_HOME=$work/data
export XDG_RUNTIME_DIR=$work/runtime
mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
# openbox runs the --startup command once it manages the screen.
timeout -k 5 300 openbox --sm-disable --startup "touch $work/wm-ready" >"$work/openbox.log" 2>&1 &
wm_pid=$!
if ! wait_until 15 test -e "$work/wm-ready"; then
    echo "FAIL: openbox did not start on $display"
    cat "$work/openbox.log"
    exit 1
fi

QT_QPA_PLATFORM=xcb timeout -k 5 150 "$@"
status=$?
case $status in
    0) ;;
    124 | 137) echo "FAIL: $1 timed out" ;;
    *) echo "--- openbox log:"; cat "$work/openbox.log" ;;
esac
exit $status

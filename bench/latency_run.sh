#!/usr/bin/env bash
# Runs latency_probe of two builds side by side against the simulated controller in
# each bus state, the two builds one after the other on a fresh simulator per run.
#   bench/latency_run.sh BEFORE_PROBE AFTER_PROBE SIMULATOR [SECONDS]
set -euo pipefail
before="$1"
after="$2"
sim="$3"
seconds="${4:-60}"

run_dir="$(mktemp -d)"
trap 'rm -rf "$run_dir"' EXIT

# name|rate|simulator options|seconds after which the device vanishes (0: never)
states=(
    "healthy, paced 9600|9600|--pace|0"
    "silent|9600|--fault silence|0"
    "late|9600|--fault late|0"
    "checksum:every-3|9600|--fault checksum:every-3|0"
    "device vanishes|9600|--pace|3"
    "healthy, paced 110|110|--pace|0"
)

run_one() {
    local probe="$1" rate="$2" options="$3" vanish="$4"
    local link="$run_dir/tty" cfg="$run_dir/config"
    rm -rf "$cfg"
    mkdir -p "$cfg"
    # shellcheck disable=SC2086
    "$sim" --link "$link" --address 1 --rate "$rate" $options >/dev/null 2>&1 &
    local sim_pid=$!
    for _ in $(seq 50); do [ -e "$link" ] && break; sleep 0.1; done
    cat >"$cfg/TavTx20.ini" <<INI
[PORTMAP]
COM1=$link

[PORT]
COM=1
BAUDRATE=$rate

[ADRESA]
DA=1
SA=0
INI
    if [ "$vanish" -gt 0 ]; then
        (sleep "$((vanish + 1))"; kill "$sim_pid" 2>/dev/null; rm -f "$link") &
    fi
    XDG_CONFIG_HOME="$cfg" QT_QPA_PLATFORM=offscreen "$probe" "$seconds" 2>/dev/null | tail -1
    kill "$sim_pid" 2>/dev/null || true
    wait "$sim_pid" 2>/dev/null || true
}

for state in "${states[@]}"; do
    IFS='|' read -r name rate options vanish <<<"$state"
    echo "== $name"
    echo "before: $(run_one "$before" "$rate" "$options" "$vanish")"
    echo "after:  $(run_one "$after" "$rate" "$options" "$vanish")"
done

#!/usr/bin/env bash
# Builds what is stale, starts the simulated controller on a pseudo-terminal and opens
# TX-20 on it. The program reads its settings from a folder of this run's own, with
# COM1 pointed at the simulator, so the user's own settings stay untouched.
set -euo pipefail
cd "$(dirname "$0")"
bash scripts/deps.sh
build="${BUILD_DIR:-build}"
cmake -S . -B "$build" -G Ninja >/dev/null
cmake --build "$build" --target tx20 kelvra20-sim

rundir="$(mktemp -d)"
sim_pid=""
cleanup() {
    [ -n "$sim_pid" ] && kill "$sim_pid" 2>/dev/null || true
    rm -rf "$rundir"
}
trap cleanup EXIT

link="$rundir/ttyKELVRA"
"$build/sim/kelvra20-sim" --link "$link" --address 1 --pace --eeprom "$rundir/eeprom.ini" >/dev/null &
sim_pid=$!
for _ in $(seq 50); do [ -e "$link" ] && break; sleep 0.1; done
if [ ! -e "$link" ]; then
    echo "run.sh: the simulator did not start" >&2
    exit 1
fi

# The settings store lives in the user's configuration folder, which follows
# XDG_CONFIG_HOME: this run gets one of its own.
export XDG_CONFIG_HOME="$rundir/config"
mkdir -p "$XDG_CONFIG_HOME"
cat >"$XDG_CONFIG_HOME/TavTx20.ini" <<INI
[PORTMAP]
COM1=$link

[PORT]
COM=1
BAUDRATE=9600

[ADRESA]
DA=1
SA=0
INI

"$build/app/tx20"

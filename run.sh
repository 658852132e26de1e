#!/usr/bin/env bash
# Builds what is stale, starts the simulated controller on a pseudo-terminal and
# shows its live values.
set -euo pipefail
cd "$(dirname "$0")"
bash scripts/deps.sh
build="${BUILD_DIR:-build}"
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build"

rundir="$(mktemp -d)"
trap 'kill "$sim_pid" 2>/dev/null || true; rm -rf "$rundir"' EXIT
"$build/sim/kelvra20-sim" --link "$rundir/ttyKELVRA" --address 1 --eeprom "$rundir/eeprom.ini" &
sim_pid=$!
for _ in $(seq 50); do [ -e "$rundir/ttyKELVRA" ] && break; sleep 0.1; done
"$build/tools/tx20ctl/tx20ctl" --port "$rundir/ttyKELVRA" --da 1 live --watch 1

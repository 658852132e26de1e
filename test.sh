#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test. Non-zero status on any failure.
set -euo pipefail
cd "$(dirname "$0")"
bash scripts/deps.sh
build="${BUILD_DIR:-build}"
# shellcheck disable=SC2086
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE="${BUILD_TYPE:-Debug}" ${CMAKE_ARGS:-}
cmake --build "$build"
QT_QPA_PLATFORM=offscreen ctest --test-dir "$build" -j2 --output-on-failure --timeout 300
